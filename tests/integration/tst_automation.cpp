// The real program, offscreen, driven through its automation channel: start-up
// questions, the exit question, what is saved on the way out, and how damaged
// or invalid settings are met.
#include "platform/store/sqlite/sqliteregistry.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>
#include <functional>
#include <utility>

using namespace qyr;

namespace {

const QString kPlayerKey = QStringLiteral("Software\\VB and VBA Program Settings\\QYR MediaPlayer\\Player");
// The web engine starts slowly on a small machine; these only bound a hang.
constexpr int kTimeoutMs = 20000;

using Pred = std::function<bool(const QJsonObject &)>;

// Writes text values into the Player section of a settings file.
void storeValues(const QString &file, const QList<std::pair<QString, QString>> &values)
{
    auto opened = SqliteRegistry::open(file);
    QVERIFY2(opened.store, qPrintable(opened.problem));
    for (const auto &[name, text] : values)
        opened.store->setValue(kPlayerKey, RegValue::fromText(name, text));
}

// Reads a value of the Player section back; a null string when absent.
QString storedValue(const QString &file, const QString &name)
{
    auto opened = SqliteRegistry::open(file);
    if (!opened.store || !opened.movedAside.isEmpty())
        return QStringLiteral("<settings file unusable: %1>").arg(opened.problem);
    const auto v = opened.store->value(kPlayerKey, name);
    return v ? v->text() : QString();
}

Pred is(const QString &field, const QString &value)
{
    return [field, value](const QJsonObject &e) { return e.value(field).toString() == value; };
}

Pred setting(const QString &key)
{
    return [key](const QJsonObject &e) {
        return e.value(QStringLiteral("section")).toString() == QLatin1String("Player") &&
               e.value(QStringLiteral("key")).toString() == key;
    };
}

// One run of the program. Every event is kept, so a test can check both what
// arrived and in which order; waitFor searches forward from the last match.
class Session {
public:
    explicit Session(const QString &settingsFile)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        // So that the test also runs directly, outside CTest.
        if (!env.contains(QStringLiteral("QT_QPA_PLATFORM")))
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        if (!env.contains(QStringLiteral("QTWEBENGINE_CHROMIUM_FLAGS")))
            env.insert(QStringLiteral("QTWEBENGINE_CHROMIUM_FLAGS"), QStringLiteral("--no-sandbox --disable-gpu"));
        proc_.setProcessEnvironment(env);
        QObject::connect(&proc_, &QProcess::readyReadStandardOutput, [this] { readLines(); });
        QObject::connect(&proc_, &QProcess::readyReadStandardError, [this] { stderr_ += proc_.readAllStandardError(); });
        proc_.start(QStringLiteral(QYRPLAYER_BIN),
                    {QStringLiteral("--automation"), QStringLiteral("--settings"), settingsFile, QStringLiteral("--book"),
                     QStringLiteral(SAMPLE_BOOK), QStringLiteral("--audio-out"), QStringLiteral("null")});
    }
    ~Session()
    {
        if (proc_.state() != QProcess::NotRunning) {
            proc_.kill();
            proc_.waitForFinished(5000);
        }
    }

    bool started() { return proc_.waitForStarted(kTimeoutMs); }

    void send(const QJsonObject &cmd)
    {
        proc_.write(QJsonDocument(cmd).toJson(QJsonDocument::Compact) + '\n');
    }
    void send(const QString &cmd) { send(QJsonObject{{QStringLiteral("cmd"), cmd}}); }
    void answer(const QString &button)
    {
        send(QJsonObject{{QStringLiteral("cmd"), QStringLiteral("answer")}, {QStringLiteral("button"), button}});
    }

    // Index of the first matching event at or after the cursor (or `from`),
    // waiting for it if need be; -1 on timeout, with the reason in why().
    int waitFor(const QString &event, const Pred &pred = {}, int from = -1, int timeoutMs = kTimeoutMs)
    {
        const int start = from < 0 ? cursor_ : from;
        int found = -1;
        (void)QTest::qWaitFor([&] {
            readLines();
            found = indexOf(event, pred, start);
            return found >= 0 || proc_.state() == QProcess::NotRunning;
        }, timeoutMs);
        if (found < 0) {
            readLines();
            found = indexOf(event, pred, start);
        }
        if (found < 0) {
            why_ = QStringLiteral("no matching \"%1\" event after #%2 (%3)").arg(event).arg(start).arg(
                       proc_.state() == QProcess::NotRunning ? QStringLiteral("the program has ended")
                                                              : QStringLiteral("timed out"));
            qWarning().noquote() << dump();
            return -1;
        }
        cursor_ = found + 1;
        return found;
    }

    // Index of the first matching event in [from, to); -1 when there is none.
    int indexOf(const QString &event, const Pred &pred = {}, int from = 0, int to = -1) const
    {
        const int end = to < 0 ? int(events_.size()) : std::min(to, int(events_.size()));
        for (int i = std::max(from, 0); i < end; ++i) {
            const QJsonObject &e = events_.at(i);
            if (e.value(QStringLiteral("event")).toString() == event && (!pred || pred(e)))
                return i;
        }
        return -1;
    }

    // Asks for the state and returns it (empty on timeout).
    QJsonObject state()
    {
        send(QStringLiteral("state"));
        const int i = waitFor(QStringLiteral("state"));
        return i < 0 ? QJsonObject() : events_.at(i);
    }

    // Waits for the end of the process; false (with why()) if it does not end
    // or does not end cleanly.
    bool finished()
    {
        if (!proc_.waitForFinished(kTimeoutMs)) {
            why_ = QStringLiteral("the program did not end");
            qWarning().noquote() << dump();
            return false;
        }
        readLines();
        stderr_ += proc_.readAllStandardError();
        if (proc_.exitStatus() != QProcess::NormalExit || proc_.exitCode() != 0) {
            why_ = QStringLiteral("the program ended with status %1, code %2").arg(int(proc_.exitStatus())).arg(proc_.exitCode());
            qWarning().noquote() << dump();
            return false;
        }
        return true;
    }

    // Quits through the exit question, answering yes.
    bool quitYes()
    {
        send(QStringLiteral("quit"));
        if (waitFor(QStringLiteral("dialog"), is(QStringLiteral("text"), QStringLiteral("Sei sicuro di voler uscire?"))) < 0)
            return false;
        answer(QStringLiteral("yes"));
        return waitFor(QStringLiteral("closed")) >= 0 && finished();
    }

    const QJsonObject &event(int i) const { return events_.at(i); }
    int count() const { return int(events_.size()); }
    const QStringList &strayLines() const { return stray_; }
    const QString &why() const { return why_; }

    QString dump() const
    {
        QString s = QStringLiteral("events seen:\n");
        for (int i = 0; i < events_.size(); ++i)
            s += QStringLiteral("  #%1 %2\n").arg(i).arg(
                QString::fromUtf8(QJsonDocument(events_.at(i)).toJson(QJsonDocument::Compact)));
        for (const QString &l : stray_)
            s += QStringLiteral("  not an event: %1\n").arg(l);
        s += QStringLiteral("stderr:\n") + QString::fromLocal8Bit(stderr_);
        return s;
    }

private:
    void readLines()
    {
        buffer_ += proc_.readAllStandardOutput();
        int nl;
        while ((nl = buffer_.indexOf('\n')) >= 0) {
            const QByteArray line = buffer_.left(nl);
            buffer_.remove(0, nl + 1);
            const QJsonDocument doc = QJsonDocument::fromJson(line);
            // Standard output carries events and nothing else.
            if (doc.isObject() && doc.object().value(QStringLiteral("event")).isString() &&
                doc.object().value(QStringLiteral("t")).isDouble())
                events_.append(doc.object());
            else
                stray_.append(QString::fromUtf8(line));
        }
    }

    QProcess proc_;
    QByteArray buffer_;
    QByteArray stderr_;
    QList<QJsonObject> events_;
    QStringList stray_;
    QString why_;
    int cursor_ = 0;
};

} // namespace

// Checks a condition about a run; on failure the run's events and error
// output are printed in full (a QtTest message is cut short).
#define SESSION_VERIFY(session, cond, msg)                                                                        \
    do {                                                                                                           \
        const bool ok_ = bool(cond);                                                                               \
        if (!ok_)                                                                                                  \
            qWarning().noquote() << (session).dump();                                                              \
        if (!QTest::qVerify(ok_, #cond, msg, __FILE__, __LINE__))                                                  \
            return;                                                                                                \
    } while (false)

class TstAutomation : public QObject {
    Q_OBJECT
private slots:
    void freshSettingsAndTheExitQuestion();
    void version6IsOfferedTheUpgradeOnce();
    void resumeSavesThePageBeingRead();
    void damagedSettingsFileIsKeptAside();
    void invalidStoredValueIsReportedAndStartUpGoesOn();
};

void TstAutomation::freshSettingsAndTheExitQuestion()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("impostazioni.sqlite"));
    QVERIFY(!QFile::exists(file));

    Session s(file);
    QVERIFY(s.started());
    const int ready = s.waitFor(QStringLiteral("ready"));
    QVERIFY2(ready >= 0, qPrintable(s.why()));
    SESSION_VERIFY(s, s.indexOf(QStringLiteral("dialog"), {}, 0, ready) < 0, "");
    const Pred version1 = [](const QJsonObject &e) {
        return setting(QStringLiteral("Versione"))(e) && e.value(QStringLiteral("value")).toString() == QLatin1String("1");
    };
    SESSION_VERIFY(s, s.indexOf(QStringLiteral("setting"), version1) >= 0, "");

    // Answering no keeps the program running and saves nothing.
    s.send(QStringLiteral("quit"));
    const int question = s.waitFor(QStringLiteral("dialog"));
    QVERIFY2(question >= 0, qPrintable(s.why()));
    const QJsonObject q = s.event(question);
    QCOMPARE(q.value(QStringLiteral("kind")).toString(), QStringLiteral("message"));
    QCOMPARE(q.value(QStringLiteral("buttons")).toString(), QStringLiteral("yesno"));
    QCOMPARE(q.value(QStringLiteral("text")).toString(), QStringLiteral("Sei sicuro di voler uscire?"));
    s.answer(QStringLiteral("no"));
    const QJsonObject st = s.state();
    QVERIFY2(!st.isEmpty(), qPrintable(s.why()));
    SESSION_VERIFY(s, s.indexOf(QStringLiteral("setting"), {}, question) < 0, "");
    SESSION_VERIFY(s, s.indexOf(QStringLiteral("closed")) < 0, "");

    // Answering yes with resume off clears the saved place.
    s.send(QStringLiteral("quit"));
    QVERIFY2(s.waitFor(QStringLiteral("dialog")) >= 0, qPrintable(s.why()));
    s.answer(QStringLiteral("yes"));
    const int brano = s.waitFor(QStringLiteral("setting"), setting(QStringLiteral("Brano")));
    QVERIFY2(brano >= 0, qPrintable(s.why()));
    QCOMPARE(s.event(brano).value(QStringLiteral("value")).toString(), QString());
    const int pos = s.waitFor(QStringLiteral("setting"), setting(QStringLiteral("BranoPos")));
    QVERIFY2(pos >= 0, qPrintable(s.why()));
    QCOMPARE(s.event(pos).value(QStringLiteral("value")).toString(), QString());
    QVERIFY2(s.waitFor(QStringLiteral("closed")) >= 0, qPrintable(s.why()));
    QVERIFY2(s.finished(), qPrintable(s.why()));
    SESSION_VERIFY(s, s.strayLines().isEmpty(), "");

    // What the events reported is what the file holds.
    QCOMPARE(storedValue(file, QStringLiteral("Versione")), QStringLiteral("1"));
    const QString storedBrano = storedValue(file, QStringLiteral("Brano"));
    QVERIFY(!storedBrano.isNull());
    QCOMPARE(storedBrano, QString());
}

void TstAutomation::version6IsOfferedTheUpgradeOnce()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("impostazioni.sqlite"));
    storeValues(file, {{QStringLiteral("Versione"), QStringLiteral("0")}});
    if (QTest::currentTestFailed())
        return;

    {
        Session s(file);
        QVERIFY(s.started());
        const int question = s.waitFor(QStringLiteral("dialog"));
        QVERIFY2(question >= 0, qPrintable(s.why()));
        QCOMPARE(s.event(question).value(QStringLiteral("kind")).toString(), QStringLiteral("message"));
        SESSION_VERIFY(s, s.event(question).value(QStringLiteral("text")).toString().contains(
                     QStringLiteral("Vuoi passare alla versione 9?")), "");
        SESSION_VERIFY(s, s.indexOf(QStringLiteral("ready"), {}, 0, question) < 0, "");
        s.answer(QStringLiteral("yes"));
        const int saved = s.waitFor(QStringLiteral("setting"), setting(QStringLiteral("Versione")));
        QVERIFY2(saved >= 0, qPrintable(s.why()));
        QCOMPARE(s.event(saved).value(QStringLiteral("value")).toString(), QStringLiteral("1"));
        QVERIFY2(s.waitFor(QStringLiteral("ready")) >= 0, qPrintable(s.why()));
        QCOMPARE(s.state().value(QStringLiteral("version")).toInt(-1), 1);
        QVERIFY2(s.quitYes(), qPrintable(s.why()));
    }
    QCOMPARE(storedValue(file, QStringLiteral("Versione")), QStringLiteral("1"));

    // Once upgraded, nothing is asked again.
    {
        Session s(file);
        QVERIFY(s.started());
        const int ready = s.waitFor(QStringLiteral("ready"));
        QVERIFY2(ready >= 0, qPrintable(s.why()));
        SESSION_VERIFY(s, s.indexOf(QStringLiteral("dialog"), {}, 0, ready) < 0, "");
        QVERIFY2(s.quitYes(), qPrintable(s.why()));
    }
}

void TstAutomation::resumeSavesThePageBeingRead()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("impostazioni.sqlite"));
    storeValues(file, {{QStringLiteral("SavePos"), QStringLiteral("1")}, {QStringLiteral("TempoSp"), QStringLiteral("1500")}});
    if (QTest::currentTestFailed())
        return;

    // Polls the state until the page shown matches, or the time runs out.
    auto waitForPage = [](Session &s, const QString &fragment) {
        QString url;
        (void)QTest::qWaitFor([&] {
            const QJsonObject st = s.state();
            url = st.value(QStringLiteral("url")).toString();
            return st.isEmpty() || url.contains(fragment, Qt::CaseInsensitive);
        }, kTimeoutMs);
        return url;
    };

    {
        Session s(file);
        QVERIFY(s.started());
        QVERIFY2(s.waitFor(QStringLiteral("ready")) >= 0, qPrintable(s.why()));
        // Nothing saved yet: the splash gives way to the book's index.
        const QString url = waitForPage(s, QStringLiteral("Index.htm"));
        SESSION_VERIFY(s, url.contains(QStringLiteral("Index.htm"), Qt::CaseInsensitive), qPrintable(url));

        s.send(QStringLiteral("quit"));
        QVERIFY2(s.waitFor(QStringLiteral("dialog")) >= 0, qPrintable(s.why()));
        s.answer(QStringLiteral("yes"));
        const int brano = s.waitFor(QStringLiteral("setting"), setting(QStringLiteral("Brano")));
        QVERIFY2(brano >= 0, qPrintable(s.why()));
        const QString saved = s.event(brano).value(QStringLiteral("value")).toString();
        QVERIFY2(saved.startsWith(QStringLiteral("file://")), qPrintable(saved));
        QVERIFY2(saved.endsWith(QStringLiteral("Index.htm"), Qt::CaseInsensitive), qPrintable(saved));
        const int pos = s.waitFor(QStringLiteral("setting"), setting(QStringLiteral("BranoPos")));
        QVERIFY2(pos >= 0, qPrintable(s.why()));
        const QString posText = s.event(pos).value(QStringLiteral("value")).toString();
        QVERIFY2(QRegularExpression(QStringLiteral("^-?\\d+([.,]\\d+)?$")).match(posText).hasMatch(), qPrintable(posText));
        QVERIFY2(s.waitFor(QStringLiteral("closed")) >= 0, qPrintable(s.why()));
        QVERIFY2(s.finished(), qPrintable(s.why()));
        QCOMPARE(storedValue(file, QStringLiteral("Brano")), saved);
    }

    // A saved page of the book is where the next start resumes.
    const QString chapter = QUrl::fromLocalFile(QStringLiteral(SAMPLE_BOOK "/Libro/cap2.htm")).toString();
    storeValues(file, {{QStringLiteral("Brano"), chapter}});
    {
        Session s(file);
        QVERIFY(s.started());
        QVERIFY2(s.waitFor(QStringLiteral("ready")) >= 0, qPrintable(s.why()));
        const QString url = waitForPage(s, QStringLiteral("cap2.htm"));
        SESSION_VERIFY(s, url.contains(QStringLiteral("cap2.htm"), Qt::CaseInsensitive), qPrintable(url));
        QVERIFY2(s.quitYes(), qPrintable(s.why()));
    }
}

void TstAutomation::damagedSettingsFileIsKeptAside()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString name = QStringLiteral("impostazioni.sqlite");
    const QString file = dir.filePath(name);
    QByteArray garbage;
    for (int i = 0; i < 200; ++i)
        garbage += "Questo non è un archivio di impostazioni, riga " + QByteArray::number(i) + "\n";
    {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QCOMPARE(f.write(garbage), qint64(garbage.size()));
    }

    {
        Session s(file);
        QVERIFY(s.started());
        const int report = s.waitFor(QStringLiteral("dialog"));
        QVERIFY2(report >= 0, qPrintable(s.why()));
        QCOMPARE(s.event(report).value(QStringLiteral("kind")).toString(), QStringLiteral("error"));
        SESSION_VERIFY(s, s.event(report).value(QStringLiteral("text")).toString().contains(QStringLiteral("danneggiato")), "");
        s.answer(QStringLiteral("ok"));
        QVERIFY2(s.waitFor(QStringLiteral("ready")) >= 0, qPrintable(s.why()));
        QVERIFY2(s.quitYes(), qPrintable(s.why()));
    }

    // The new file is a usable store, and the damaged one survives beside it.
    QCOMPARE(storedValue(file, QStringLiteral("Versione")), QStringLiteral("1"));
    const QStringList kept = QDir(dir.path()).entryList({name + QStringLiteral(".danneggiato-*")}, QDir::Files);
    QVERIFY2(kept.size() == 1, qPrintable(QDir(dir.path()).entryList(QDir::Files).join(QLatin1Char(' '))));
    QFile copy(dir.filePath(kept.first()));
    QVERIFY(copy.open(QIODevice::ReadOnly));
    QVERIFY(copy.readAll() == garbage);
}

void TstAutomation::invalidStoredValueIsReportedAndStartUpGoesOn()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("impostazioni.sqlite"));
    storeValues(file, {{QStringLiteral("SavePos"), QStringLiteral("abc")}});
    if (QTest::currentTestFailed())
        return;

    Session s(file);
    QVERIFY(s.started());
    const int report = s.waitFor(QStringLiteral("dialog"));
    QVERIFY2(report >= 0, qPrintable(s.why()));
    QCOMPARE(s.event(report).value(QStringLiteral("kind")).toString(), QStringLiteral("error"));
    QCOMPARE(s.event(report).value(QStringLiteral("name")).toString(),
             QStringLiteral("Form Load - Form Load: caricamento settings"));
    SESSION_VERIFY(s, s.indexOf(QStringLiteral("ready"), {}, 0, report) < 0, "");
    s.answer(QStringLiteral("ok"));
    QVERIFY2(s.waitFor(QStringLiteral("ready")) >= 0, qPrintable(s.why()));
    QVERIFY2(s.quitYes(), qPrintable(s.why()));
    // The bad value is left for the reader to correct, not overwritten.
    QCOMPARE(storedValue(file, QStringLiteral("SavePos")), QStringLiteral("abc"));
}

QTEST_GUILESS_MAIN(TstAutomation)
#include "tst_automation.moc"
