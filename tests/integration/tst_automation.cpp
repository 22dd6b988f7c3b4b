// The real program, offscreen, driven through its automation channel: start-up
// questions, the exit question, what is saved on the way out, and how damaged
// or invalid settings are met.
#include "doubles/regf_writer.h"
#include "platform/store/sqlite/sqliteregistry.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>
#include <csignal>
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

// A settings file in dir holding the Player values given; empty when it
// could not be made.
QString preparedSettings(const QTemporaryDir &dir, const QList<std::pair<QString, QString>> &values)
{
    if (!dir.isValid())
        return QString();
    const QString file = dir.filePath(QStringLiteral("impostazioni.sqlite"));
    storeValues(file, values);
    return QTest::currentTestFailed() ? QString() : file;
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
    explicit Session(const QString &settingsFile, const QList<std::pair<QString, QString>> &extraEnv = {},
                     const QString &book = QStringLiteral(SAMPLE_BOOK))
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const auto &[name, value] : extraEnv)
            env.insert(name, value);
        // So that the test also runs directly, outside CTest.
        if (!env.contains(QStringLiteral("QT_QPA_PLATFORM")))
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        if (!env.contains(QStringLiteral("QTWEBENGINE_CHROMIUM_FLAGS")))
            env.insert(QStringLiteral("QTWEBENGINE_CHROMIUM_FLAGS"), QStringLiteral("--no-sandbox --disable-gpu"));
        proc_.setProcessEnvironment(env);
        QObject::connect(&proc_, &QProcess::readyReadStandardOutput, [this] { readLines(); });
        QObject::connect(&proc_, &QProcess::readyReadStandardError, [this] { stderr_ += proc_.readAllStandardError(); });
        proc_.start(QStringLiteral(QYRPLAYER_BIN),
                    {QStringLiteral("--automation"), QStringLiteral("--settings"), settingsFile, QStringLiteral("--book"), book,
                     QStringLiteral("--audio-out"), QStringLiteral("null")});
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

    void signal(int sig) { ::kill(pid_t(proc_.processId()), sig); }
    void endInput() { proc_.closeWriteChannel(); }

    // Quits through the exit question, answering yes.
    bool quitYes()
    {
        send(QStringLiteral("quit"));
        // The sample book words the exit question its own way.
        if (waitFor(QStringLiteral("dialog"), is(QStringLiteral("title"), QStringLiteral("LUMO Player"))) < 0)
            return false;
        answer(QStringLiteral("yes"));
        return waitFor(QStringLiteral("closed")) >= 0 && finished();
    }

    const QJsonObject &event(int i) const { return events_.at(i); }
    int count() const { return int(events_.size()); }
    const QStringList &strayLines() const { return stray_; }
    const QString &why() const { return why_; }
    QString errorOutput() { return QString::fromLocal8Bit(stderr_ + proc_.readAllStandardError()); }

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
    void version6IsOfferedTheUpgradeOnce_data();
    void version6IsOfferedTheUpgradeOnce();
    void resumeSavesThePageBeingRead_data();
    void resumeSavesThePageBeingRead();
    void followingTheBook();
    void brokenPagesAndMissingFiles();
    void aBookWithUnusualNames();
    void bookmarksOfTheWholeBook();
    void keyboardDrivesTheBook();
    void bookmarksExportedAndImported();
    void damagedSettingsFileIsKeptAside();
    void invalidStoredValueIsReportedAndStartUpGoesOn_data();
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

Pred action(const QString &name, const QString &valueContains = QString())
{
    return [name, valueContains](const QJsonObject &e) {
        return e.value(QStringLiteral("action")).toString() == name &&
               e.value(QStringLiteral("value")).toVariant().toString().contains(valueContains, Qt::CaseInsensitive);
    };
}

Pred urlContains(const QString &part)
{
    return [part](const QJsonObject &e) { return e.value(QStringLiteral("url")).toString().contains(part, Qt::CaseInsensitive); };
}

QJsonObject command(const QString &cmd, const QJsonObject &fields)
{
    QJsonObject o = fields;
    o.insert(QStringLiteral("cmd"), cmd);
    return o;
}

void TstAutomation::version6IsOfferedTheUpgradeOnce_data()
{
    QTest::addColumn<bool>("upgrade");
    QTest::newRow("yes: version 9 from now on") << true;
    QTest::newRow("no: the player of other versions reads the book") << false;
}

void TstAutomation::version6IsOfferedTheUpgradeOnce()
{
    QFETCH(bool, upgrade);
    QTemporaryDir dir;
    const QString file = preparedSettings(dir, {{QStringLiteral("Versione"), QStringLiteral("0")},
                                                {QStringLiteral("TempoSp"), QStringLiteral("0")}});
    QVERIFY(!file.isEmpty());

    {
        Session s(file);
        QVERIFY(s.started());
        const int question = s.waitFor(QStringLiteral("dialog"));
        QVERIFY2(question >= 0, qPrintable(s.why()));
        QCOMPARE(s.event(question).value(QStringLiteral("kind")).toString(), QStringLiteral("message"));
        SESSION_VERIFY(s, s.event(question).value(QStringLiteral("text")).toString().contains(
                     QStringLiteral("Vuoi passare alla versione 9?")), "");
        SESSION_VERIFY(s, s.indexOf(QStringLiteral("ready"), {}, 0, question) < 0, "");
        s.answer(upgrade ? QStringLiteral("yes") : QStringLiteral("no"));
        if (upgrade) {
            const int saved = s.waitFor(QStringLiteral("setting"), setting(QStringLiteral("Versione")));
            QVERIFY2(saved >= 0, qPrintable(s.why()));
            QCOMPARE(s.event(saved).value(QStringLiteral("value")).toString(), QStringLiteral("1"));
            QVERIFY2(s.waitFor(QStringLiteral("ready")) >= 0, qPrintable(s.why()));
            QCOMPARE(s.state().value(QStringLiteral("version")).toInt(-1), 1);
        } else {
            // The first page plays and chains to its next audio, with no error on the way.
            QVERIFY2(s.waitFor(QStringLiteral("document"), urlContains(QStringLiteral("Index.htm"))) >= 0,
                     qPrintable(s.why()));
            QCOMPARE(s.state().value(QStringLiteral("version")).toInt(-1), 0);
            s.send(command(QStringLiteral("follow"), {{QStringLiteral("href"), QStringLiteral("Libro/cap1.htm")}}));
            QVERIFY2(s.waitFor(QStringLiteral("player"), action(QStringLiteral("playing"), QStringLiteral("cap1_1"))) >= 0,
                     qPrintable(s.why()));
            // Near the end of the first audio, so that it ends soon.
            s.send(command(QStringLiteral("follow"), {{QStringLiteral("name"), QStringLiteral("LumoIndex_3")}}));
            QVERIFY2(s.waitFor(QStringLiteral("player"), action(QStringLiteral("ended"), QStringLiteral("cap1_1"))) >= 0,
                     qPrintable(s.why()));
            QVERIFY2(s.waitFor(QStringLiteral("player"), action(QStringLiteral("playing"), QStringLiteral("cap1_2"))) >= 0,
                     qPrintable(s.why()));
            const QJsonObject st = s.state();
            SESSION_VERIFY(s, st.value(QStringLiteral("playing")).toBool(), "the next audio plays");
            SESSION_VERIFY(s, st.value(QStringLiteral("duration")).toDouble() > 1, "its length is known");
            SESSION_VERIFY(s, s.indexOf(QStringLiteral("dialog"), {}, question + 1) < 0, "no error dialog");
        }
        QVERIFY2(s.quitYes(), qPrintable(s.why()));
    }
    QCOMPARE(storedValue(file, QStringLiteral("Versione")), upgrade ? QStringLiteral("1") : QStringLiteral("0"));
    if (!upgrade)
        return;

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

// However the session ends, unasked, the place is saved as a "Sì" saves it.
enum class Ending { Yes, SigtermDuringQuestion, Sighup, EndOfInput };
Q_DECLARE_METATYPE(Ending)

void TstAutomation::resumeSavesThePageBeingRead_data()
{
    QTest::addColumn<Ending>("ending");
    QTest::addRow("yes to the exit question") << Ending::Yes;
    QTest::addRow("SIGTERM while the exit question is open") << Ending::SigtermDuringQuestion;
    QTest::addRow("SIGHUP") << Ending::Sighup;
    QTest::addRow("end of standard input") << Ending::EndOfInput;
}

void TstAutomation::resumeSavesThePageBeingRead()
{
    QFETCH(Ending, ending);
    QTemporaryDir dir;
    const QString file = preparedSettings(dir, {{QStringLiteral("SavePos"), QStringLiteral("1")}, {QStringLiteral("TempoSp"), QStringLiteral("1500")}});
    QVERIFY(!file.isEmpty());

    double savedPos = 0;
    QString saved;
    {
        Session s(file);
        QVERIFY(s.started());
        QVERIFY2(s.waitFor(QStringLiteral("ready")) >= 0, qPrintable(s.why()));
        // Nothing saved yet: the splash gives way to the book's index.
        QVERIFY2(s.waitFor(QStringLiteral("document"), urlContains(QStringLiteral("Index.htm"))) >= 0, qPrintable(s.why()));
        s.send(command(QStringLiteral("follow"), {{QStringLiteral("href"), QStringLiteral("Libro/cap2.htm")}}));
        QVERIFY2(s.waitFor(QStringLiteral("player"), action(QStringLiteral("playing"), QStringLiteral("cap2_1"))) >= 0,
                 qPrintable(s.why()));
        QTest::qWait(2500);

        if (ending == Ending::Yes || ending == Ending::SigtermDuringQuestion) {
            s.send(QStringLiteral("quit"));
            QVERIFY2(s.waitFor(QStringLiteral("dialog")) >= 0, qPrintable(s.why()));
        }
        switch (ending) {
        case Ending::Yes: s.answer(QStringLiteral("yes")); break;
        case Ending::SigtermDuringQuestion: s.signal(SIGTERM); break;
        case Ending::Sighup: s.signal(SIGHUP); break;
        case Ending::EndOfInput: s.endInput(); break;
        }
        const int brano = s.waitFor(QStringLiteral("setting"), setting(QStringLiteral("Brano")));
        QVERIFY2(brano >= 0, qPrintable(s.why()));
        saved = s.event(brano).value(QStringLiteral("value")).toString();
        QVERIFY2(saved.startsWith(QStringLiteral("file://")) && saved.endsWith(QStringLiteral("cap2.htm"), Qt::CaseInsensitive),
                 qPrintable(saved));
        const int pos = s.waitFor(QStringLiteral("setting"), setting(QStringLiteral("BranoPos")));
        QVERIFY2(pos >= 0, qPrintable(s.why()));
        const QString posText = s.event(pos).value(QStringLiteral("value")).toString();
        bool ok = false;
        savedPos = QString(posText).replace(QLatin1Char(','), QLatin1Char('.')).toDouble(&ok);
        SESSION_VERIFY(s, ok && savedPos > 1.5, qPrintable(posText));
        QVERIFY2(s.waitFor(QStringLiteral("closed")) >= 0, qPrintable(s.why()));
        QVERIFY2(s.finished(), qPrintable(s.why()));
        SESSION_VERIFY(s, s.indexOf(QStringLiteral("closed"), {}, s.indexOf(QStringLiteral("closed")) + 1) < 0, "closed once");
        QCOMPARE(storedValue(file, QStringLiteral("Brano")), saved);
    }

    // The next start opens that page and its audio goes on from there.
    {
        Session s(file);
        QVERIFY(s.started());
        QVERIFY2(s.waitFor(QStringLiteral("ready")) >= 0, qPrintable(s.why()));
        const int ready = s.count();
        QVERIFY2(s.waitFor(QStringLiteral("document"), urlContains(QStringLiteral("cap2.htm"))) >= 0, qPrintable(s.why()));
        const int seek = s.waitFor(QStringLiteral("player"), [&](const QJsonObject &e) {
            return e.value(QStringLiteral("action")).toString() == QLatin1String("seek") &&
                   qAbs(e.value(QStringLiteral("value")).toDouble() - savedPos) < 0.01;
        }, ready);
        SESSION_VERIFY(s, seek >= 0, "the saved position is applied");
        QVERIFY2(s.waitFor(QStringLiteral("player"), action(QStringLiteral("playing"), QStringLiteral("cap2_1"))) >= 0,
                 qPrintable(s.why()));
        const QJsonObject st = s.state();
        SESSION_VERIFY(s, st.value(QStringLiteral("position")).toDouble() >= savedPos - 0.5, "plays on from the saved place");
        QVERIFY2(s.quitYes(), qPrintable(s.why()));
    }

    if (ending != Ending::Yes)
        return;
    // A saved page that has since gone: the table of contents opens instead.
    storeValues(file, {{QStringLiteral("Brano"), QUrl::fromLocalFile(QStringLiteral(SAMPLE_BOOK "/Libro/sparito.htm")).toString()}});
    {
        Session s(file);
        QVERIFY(s.started());
        QVERIFY2(s.waitFor(QStringLiteral("document"), urlContains(QStringLiteral("Index.htm"))) >= 0, qPrintable(s.why()));
        QVERIFY2(s.quitYes(), qPrintable(s.why()));
    }
}

namespace {

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// Silence as an 8 kHz, 8-bit mono WAV file of the given length.
bool writeSilence(const QString &path, int seconds)
{
    const quint32 samples = 8000u * quint32(seconds);
    QByteArray h;
    auto u32 = [&](quint32 v) { for (int i = 0; i < 4; ++i) h += char((v >> (8 * i)) & 0xff); };
    auto u16 = [&](quint16 v) { h += char(v & 0xff); h += char(v >> 8); };
    h += "RIFF"; u32(36 + samples); h += "WAVEfmt "; u32(16); u16(1); u16(1); u32(8000); u32(8000); u16(1); u16(8);
    h += "data"; u32(samples);
    return writeFile(path, h + QByteArray(int(samples), char(0x80)));
}

} // namespace

// A reader follows the book: the table of contents, a chapter and its audio,
// the link commands of the page, a jump inside the page, a video.
void TstAutomation::followingTheBook()
{
    QTemporaryDir dir;
    const QString file = preparedSettings(dir, {{QStringLiteral("TempoSp"), QStringLiteral("0")}});
    QVERIFY(!file.isEmpty());
    Session s(file);
    QVERIFY(s.started());
    QVERIFY2(s.waitFor(QStringLiteral("ready")) >= 0, qPrintable(s.why()));
    const int index = s.waitFor(QStringLiteral("document"), urlContains(QStringLiteral("Index.htm")));
    QVERIFY2(index >= 0, qPrintable(s.why()));
    QCOMPARE(s.event(index).value(QStringLiteral("title")).toString(), QStringLiteral("Sommario - Il faro di Punta Lunga"));

    // A chapter link is an ordinary navigation; the page's first audio plays.
    const int before = s.count();
    s.send(command(QStringLiteral("follow"), {{QStringLiteral("href"), QStringLiteral("Libro/cap1.htm")}}));
    const int nav = s.waitFor(QStringLiteral("navigate"), urlContains(QStringLiteral("Libro/cap1.htm")));
    QVERIFY2(nav >= 0, qPrintable(s.why()));
    QCOMPARE(s.event(nav).value(QStringLiteral("cancelled")).toBool(), false);
    QVERIFY2(s.waitFor(QStringLiteral("document"), urlContains(QStringLiteral("cap1.htm"))) >= 0, qPrintable(s.why()));
    QVERIFY2(s.waitFor(QStringLiteral("player"), action(QStringLiteral("playing"), QStringLiteral("cap1_1"))) >= 0,
             qPrintable(s.why()));
    // Raised once for the link, not again when the engine loads the page.
    int navigations = 0;
    for (int i = before; i < s.count(); ++i)
        navigations += s.event(i).value(QStringLiteral("event")).toString() == QLatin1String("navigate");
    SESSION_VERIFY(s, navigations == 1, "one before-navigate per followed link");

    // Pause: a cancelled navigation, the kept message, the player paused.
    // The handlers' own events come before the navigate event that reports them.
    int mark = s.count();
    s.send(command(QStringLiteral("follow"), {{QStringLiteral("href"), QStringLiteral("#QYRP_PAUSE#")}}));
    const int pause = s.waitFor(QStringLiteral("navigate"), urlContains(QStringLiteral("#QYRP_PAUSE#")));
    QVERIFY2(pause >= 0, qPrintable(s.why()));
    QCOMPARE(s.event(pause).value(QStringLiteral("cancelled")).toBool(), true);
    const int osd = s.waitFor(QStringLiteral("osd"), {}, mark);
    QVERIFY2(osd >= 0, qPrintable(s.why()));
    QVERIFY2(s.event(osd).value(QStringLiteral("text")).toString().startsWith(QStringLiteral("PAUSA ")), qPrintable(s.dump()));
    QVERIFY2(s.event(osd).value(QStringLiteral("keep")).toBool(), qPrintable(s.dump()));
    QJsonObject st = s.state();
    SESSION_VERIFY(s, !st.value(QStringLiteral("playing")).toBool(), "paused");
    SESSION_VERIFY(s, st.value(QStringLiteral("url")).toString().endsWith(QStringLiteral("cap1.htm")), "the page stays");

    mark = s.count();
    s.send(command(QStringLiteral("follow"), {{QStringLiteral("href"), QStringLiteral("#QYRP_PLAY#")}}));
    QVERIFY2(s.waitFor(QStringLiteral("osd"), [](const QJsonObject &e) {
                 return e.value(QStringLiteral("text")).toString().startsWith(QStringLiteral("PLAY "));
             }, mark) >= 0, qPrintable(s.why()));
    QVERIFY2(s.waitFor(QStringLiteral("player"), action(QStringLiteral("playing")), mark) >= 0, qPrintable(s.why()));

    // A jump inside the page is a navigation that goes ahead and completes,
    // and its anchor positions the audio.
    mark = s.count();
    s.send(command(QStringLiteral("follow"), {{QStringLiteral("name"), QStringLiteral("LumoIndex_3")}}));
    const int jump = s.waitFor(QStringLiteral("navigate"), urlContains(QStringLiteral("#QYRPLAYER_AUDIO_POS=28")));
    QVERIFY2(jump >= 0, qPrintable(s.why()));
    QCOMPARE(s.event(jump).value(QStringLiteral("cancelled")).toBool(), false);
    QVERIFY2(s.waitFor(QStringLiteral("document"), urlContains(QStringLiteral("cap1.htm#QYRPLAYER_AUDIO_POS=28"))) >= 0,
             qPrintable(s.why()));
    QVERIFY2(s.waitFor(QStringLiteral("player"), [](const QJsonObject &e) {
                 return e.value(QStringLiteral("action")).toString() == QLatin1String("seek") &&
                        e.value(QStringLiteral("value")).toDouble() == 28.0;
             }, mark) >= 0, qPrintable(s.why()));

    // A javascript: link reaches the before-navigate too (here the reload form).
    mark = s.count();
    s.send(command(QStringLiteral("follow"), {{QStringLiteral("href"), QStringLiteral("javascript:location.reload()")}}));
    const int js = s.waitFor(QStringLiteral("navigate"), urlContains(QStringLiteral("javascript:")));
    QVERIFY2(js >= 0, qPrintable(s.why()));
    QCOMPARE(s.event(js).value(QStringLiteral("cancelled")).toBool(), true);
    QVERIFY2(s.waitFor(QStringLiteral("player"), action(QStringLiteral("playing")), mark) >= 0, qPrintable(s.why()));

    // A video link plays the video in its window; Escape there stops it.
    mark = s.count();
    s.send(command(QStringLiteral("follow"), {{QStringLiteral("href"), QStringLiteral("#video_prova.wmv@NOFULL@")}}));
    QVERIFY2(s.waitFor(QStringLiteral("player"), action(QStringLiteral("file"), QStringLiteral("video_prova.wmv")), mark) >= 0,
             qPrintable(s.why()));
    QVERIFY2(s.waitFor(QStringLiteral("player"), action(QStringLiteral("video-shown"))) >= 0, qPrintable(s.why()));
    s.send(command(QStringLiteral("key"), {{QStringLiteral("code"), 27}, {QStringLiteral("mask"), 0},
                                           {QStringLiteral("target"), QStringLiteral("frmWMP9")}}));
    QVERIFY2(s.waitFor(QStringLiteral("player"), action(QStringLiteral("stop"))) >= 0, qPrintable(s.why()));
    QVERIFY2(s.waitFor(QStringLiteral("player"), action(QStringLiteral("video-hidden"))) >= 0, qPrintable(s.why()));
    QVERIFY2(s.quitYes(), qPrintable(s.why()));
}

// Pages that cannot be read never stop the program: a missing page returns
// to the table of contents, a broken or huge page loads.
void TstAutomation::brokenPagesAndMissingFiles()
{
    QTemporaryDir dir;
    const QString file = preparedSettings(dir, {{QStringLiteral("TempoSp"), QStringLiteral("0")}});
    QVERIFY(!file.isEmpty());
    // Broken markup and thousands of named elements.
    const QString broken = dir.filePath(QStringLiteral("rotta.htm"));
    {
        QFile f(broken);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QByteArray html = "<html><head><title>Rotta</title><body><p><a name=x href='#y'>senza fine <table><tr><td>";
        for (int i = 0; i < 5000; ++i)
            html += "<a name='LumoIndex_" + QByteArray::number(i) + "' id='e" + QByteArray::number(i) + "'>" +
                    QByteArray::number(i) + "</a>";
        html += "<meta name='QYRPLAYER_AUDIO' content='non_esiste'><div";
        f.write(html);
    }
    Session s(file);
    QVERIFY(s.started());
    QVERIFY2(s.waitFor(QStringLiteral("document"), urlContains(QStringLiteral("Index.htm"))) >= 0, qPrintable(s.why()));

    s.send(command(QStringLiteral("navigate"), {{QStringLiteral("url"), QUrl::fromLocalFile(broken).toString()}}));
    const int doc = s.waitFor(QStringLiteral("document"), urlContains(QStringLiteral("rotta.htm")));
    QVERIFY2(doc >= 0, qPrintable(s.why()));
    QCOMPARE(s.event(doc).value(QStringLiteral("title")).toString(), QStringLiteral("Rotta"));

    // A link to a page that does not exist: back to the table of contents.
    s.send(command(QStringLiteral("navigate"),
                   {{QStringLiteral("url"), QUrl::fromLocalFile(QStringLiteral(SAMPLE_BOOK "/Libro/cap9.htm")).toString()}}));
    QVERIFY2(s.waitFor(QStringLiteral("navigate"), urlContains(QStringLiteral("cap9.htm"))) >= 0, qPrintable(s.why()));
    QVERIFY2(s.waitFor(QStringLiteral("document"), urlContains(QStringLiteral("Index.htm"))) >= 0, qPrintable(s.why()));
    // Letter case does not matter for the book's files.
    s.send(command(QStringLiteral("navigate"),
                   {{QStringLiteral("url"), QUrl::fromLocalFile(QStringLiteral(SAMPLE_BOOK "/LIBRO/CAP3.HTM")).toString()}}));
    QVERIFY2(s.waitFor(QStringLiteral("document"), urlContains(QStringLiteral("cap3.htm"))) >= 0, qPrintable(s.why()));
    QVERIFY2(s.waitFor(QStringLiteral("player"), action(QStringLiteral("playing"), QStringLiteral("cap3_1"))) >= 0,
             qPrintable(s.why()));
    SESSION_VERIFY(s, s.indexOf(QStringLiteral("dialog")) < 0, "no dialog on the way");

    // A page's alert is a dialog of the program; a page whose script never
    // ends is abandoned: the reader still reaches the table of contents.
    const QString alerting = dir.filePath(QStringLiteral("avviso.htm"));
    const QString endless = dir.filePath(QStringLiteral("bloccata.htm"));
    QVERIFY(writeFile(alerting, "<html><head><title>Avviso</title></head><body><script>alert('Attenzione');</script>"));
    QVERIFY(writeFile(endless, "<html><head><title>Bloccata</title></head><body><script>while (true) {}</script>"));
    s.send(command(QStringLiteral("navigate"), {{QStringLiteral("url"), QUrl::fromLocalFile(alerting).toString()}}));
    const int alert = s.waitFor(QStringLiteral("dialog"));
    QVERIFY2(alert >= 0, qPrintable(s.why()));
    QCOMPARE(s.event(alert).value(QStringLiteral("text")).toString(), QStringLiteral("Attenzione"));
    s.answer(QStringLiteral("ok"));
    s.send(command(QStringLiteral("navigate"), {{QStringLiteral("url"), QUrl::fromLocalFile(endless).toString()}}));
    QVERIFY2(s.waitFor(QStringLiteral("navigate"), urlContains(QStringLiteral("bloccata.htm"))) >= 0, qPrintable(s.why()));
    s.send(command(QStringLiteral("key"), {{QStringLiteral("code"), 'I'}, {QStringLiteral("mask"), 2}}));
    QVERIFY2(s.waitFor(QStringLiteral("document"), urlContains(QStringLiteral("Index.htm"))) >= 0, qPrintable(s.why()));
    QVERIFY2(s.quitYes(), qPrintable(s.why()));
}


// A book in a folder named with accents, "%" and "#", whose pages and audio
// names have accents and spaces, its first audio in the book folder only:
// every page opens, every audio is found, a direct video link names the real
// file, going back reaches the previous audio near its end, a new style keeps
// the place, and a page's script commands and window closing are heard.
void TstAutomation::aBookWithUnusualNames()
{
    QTemporaryDir dir;
    const QString file = preparedSettings(
        dir, {{QStringLiteral("TempoSp"), QStringLiteral("0")}, {QStringLiteral("AvantiIndietro"), QStringLiteral("5")}});
    QVERIFY(!file.isEmpty());
    const QString book = dir.filePath(QStringLiteral("Città del libro #1/cento %25 e più"));
    QVERIFY(QDir().mkpath(book + QStringLiteral("/Libro")) && QDir().mkpath(book + QStringLiteral("/Parte è due")) &&
            QDir().mkpath(book + QStringLiteral("/INCLUDE")));
    const QByteArray head = "<html><head><meta charset='utf-8'>";
    QVERIFY(writeFile(book + "/Index.htm", head + "<title>Indice</title></head><body>"
                                                  "<a href='Libro/perché.htm'>Perché</a></body></html>"));
    QVERIFY(writeFile(book + "/Libro/perché.htm",
                      head + "<title>Perché</title><meta name='QYRPLAYER_AUDIO' content='uno'>"
                             "<meta name='QYRPLAYER_AUDIO_1' content='due'></head><body>"
                             "<a href='clip.avi@NOFULL@'>Filmato</a> <a href='../Parte è due/pagina uno.htm'>Avanti</a>"
                             "</body></html>"));
    QVERIFY(writeFile(book + "/Parte è due/pagina uno.htm",
                      head + "<title>Pagina uno</title><meta name='QYRPLAYER_AUDIO' content='tre'></head><body>"
                             "<script>setTimeout(function () { location.href = '#QYRP_PAUSE#'; }, 300);"
                             "setTimeout(function () { window.close(); }, 1200);</script></body></html>"));
    QVERIFY(writeFile(book + "/INCLUDE/Style1.CSS", "body { font-size: 140%; }"));
    QVERIFY(writeSilence(book + "/uno.wav", 8) && writeSilence(book + "/Libro/due.wav", 6) &&
            writeSilence(book + "/Parte è due/tre.wav", 6));
    QVERIFY(QFile::copy(QStringLiteral(SAMPLE_BOOK "/Libro/video_prova.wmv"), book + "/Libro/clip.avi"));

    Session s(file, {}, book);
    QVERIFY(s.started());
    QVERIFY2(s.waitFor(QStringLiteral("document"), urlContains(QStringLiteral("Index.htm"))) >= 0, qPrintable(s.why()));
    int mark = 0;
    auto key = [&](int code, int mask) {
        mark = s.count();
        s.send(command(QStringLiteral("key"), {{QStringLiteral("code"), code}, {QStringLiteral("mask"), mask}}));
    };
    auto playing = [&](const QString &path) {
        return [path](const QJsonObject &e) {
            return e.value(QStringLiteral("action")).toString() == QLatin1String("playing") &&
                   e.value(QStringLiteral("value")).toString() == path;
        };
    };
    auto seekNear = [](double at) {
        return [at](const QJsonObject &e) {
            return e.value(QStringLiteral("action")).toString() == QLatin1String("seek") &&
                   qAbs(e.value(QStringLiteral("value")).toDouble() - at) < 0.5;
        };
    };

    // The page's first audio exists only in the book folder.
    s.send(command(QStringLiteral("follow"), {{QStringLiteral("href"), QStringLiteral("Libro/perché.htm")}}));
    QVERIFY2(s.waitFor(QStringLiteral("document"), [](const QJsonObject &e) {
                 return e.value(QStringLiteral("title")).toString() == QStringLiteral("Perché");
             }) >= 0, qPrintable(s.why()));
    QVERIFY2(s.waitFor(QStringLiteral("player"), playing(book + "/uno.wav")) >= 0, qPrintable(s.why()));

    // Past its end, the next audio (named without extension, beside the page).
    key('2', 2);
    key('2', 2);
    QVERIFY2(s.waitFor(QStringLiteral("player"), playing(book + "/Libro/due.wav"), mark) >= 0, qPrintable(s.why()));
    // In its first seconds Ctrl+1 goes back into the previous audio, its
    // length less the skip length (8 - 5).
    key('1', 2);
    QVERIFY2(s.waitFor(QStringLiteral("player"), playing(book + "/uno.wav"), mark) >= 0, qPrintable(s.why()));
    QVERIFY2(s.waitFor(QStringLiteral("player"), seekNear(3), mark) >= 0, qPrintable(s.why()));

    // A new style sheet reloads the page and the reading goes on in the same
    // file, from where it was.
    const double at = s.state().value(QStringLiteral("position")).toDouble();
    key('9', 4);
    QVERIFY2(s.waitFor(QStringLiteral("document"), urlContains(QStringLiteral("perch")), mark) >= 0, qPrintable(s.why()));
    QVERIFY2(s.waitFor(QStringLiteral("player"), seekNear(at + 0.25), mark) >= 0, qPrintable(s.why()));
    SESSION_VERIFY(s, s.indexOf(QStringLiteral("player"), playing(book + "/Libro/due.wav"), mark) < 0, "not the next audio");

    // A direct video link names the video file itself.
    mark = s.count();
    s.send(command(QStringLiteral("follow"), {{QStringLiteral("href"), QStringLiteral("clip.avi@NOFULL@")}}));
    const int video = s.waitFor(QStringLiteral("player"), action(QStringLiteral("file")), mark);
    QVERIFY2(video >= 0, qPrintable(s.why()));
    QCOMPARE(s.event(video).value(QStringLiteral("value")).toString(), book + "/Libro/clip.avi");
    QVERIFY2(s.waitFor(QStringLiteral("player"), action(QStringLiteral("video-shown")), mark) >= 0, qPrintable(s.why()));

    // A page in a folder with accents and spaces; its script sets a command
    // anchor, then closes its window: the exit question is asked.
    mark = s.count();
    s.send(command(QStringLiteral("follow"), {{QStringLiteral("href"), QStringLiteral("../Parte è due/pagina uno.htm")}}));
    QVERIFY2(s.waitFor(QStringLiteral("player"), playing(book + "/Parte è due/tre.wav"), mark) >= 0, qPrintable(s.why()));
    const int pause = s.waitFor(QStringLiteral("navigate"), urlContains(QStringLiteral("#QYRP_PAUSE#")), mark);
    QVERIFY2(pause >= 0, qPrintable(s.why()));
    QCOMPARE(s.event(pause).value(QStringLiteral("cancelled")).toBool(), true);
    QVERIFY2(s.waitFor(QStringLiteral("player"), action(QStringLiteral("pause")), mark) >= 0, qPrintable(s.why()));
    const int question = s.waitFor(QStringLiteral("dialog"), {}, mark);
    QVERIFY2(question >= 0, qPrintable(s.why()));
    QCOMPARE(s.event(question).value(QStringLiteral("text")).toString(), QStringLiteral("Sei sicuro di voler uscire?"));
    s.answer(QStringLiteral("no"));
    SESSION_VERIFY(s, s.indexOf(QStringLiteral("dialog"), {}, question + 1) < 0, "one question, no error");
    // The about page got its style sheet as well.
    SESSION_VERIFY(s, !s.errorOutput().contains(QStringLiteral("Not allowed to load local resource")), "");
    QVERIFY2(s.quitYes(), qPrintable(s.why()));
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

    // A folder named as the settings file is no damaged file: it is left
    // where it is, untouched, and the reader is told why nothing is kept.
    const QString folder = dir.filePath(QStringLiteral("cartella"));
    QVERIFY(QDir().mkpath(folder + QStringLiteral("/dentro")));
    {
        Session s(folder);
        QVERIFY(s.started());
        const int report = s.waitFor(QStringLiteral("dialog"));
        QVERIFY2(report >= 0, qPrintable(s.why()));
        const QString text = s.event(report).value(QStringLiteral("text")).toString();
        SESSION_VERIFY(s, text.contains(QStringLiteral("cartella")) && !text.contains(QStringLiteral("danneggiato")),
                       qPrintable(text));
        s.answer(QStringLiteral("ok"));
        QVERIFY2(s.waitFor(QStringLiteral("ready")) >= 0, qPrintable(s.why()));
        QVERIFY2(s.quitYes(), qPrintable(s.why()));
    }
    QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{QStringLiteral("dentro")});
    QCOMPARE(QDir(dir.path()).entryList({QStringLiteral("cartella*")}, QDir::AllEntries), QStringList{QStringLiteral("cartella")});
}

void TstAutomation::invalidStoredValueIsReportedAndStartUpGoesOn_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addRow("SavePos text") << "SavePos" << "abc";
    QTest::addRow("StyleSheet 99999") << "StyleSheet" << "99999";
    QTest::addRow("Versione text") << "Versione" << "nove";
    QTest::addRow("AudioOff text") << "AudioOff" << "forse";
    QTest::addRow("Rate 0") << "Rate" << "0";
    QTest::addRow("Rate NaN") << "Rate" << "NaN";
    QTest::addRow("Rate 1e30") << "Rate" << "1e30";
}

// A damaged value is reported once, then the book opens and reads as if the
// value were absent.
void TstAutomation::invalidStoredValueIsReportedAndStartUpGoesOn()
{
    QFETCH(QString, key);
    QFETCH(QString, value);
    QTemporaryDir dir;
    const QString file = preparedSettings(dir, {{QStringLiteral("TempoSp"), QStringLiteral("0")}, {key, value}});
    QVERIFY(!file.isEmpty());

    Session s(file);
    QVERIFY(s.started());
    const int report = s.waitFor(QStringLiteral("dialog"));
    QVERIFY2(report >= 0, qPrintable(s.why()));
    QCOMPARE(s.event(report).value(QStringLiteral("kind")).toString(), QStringLiteral("error"));
    QCOMPARE(s.event(report).value(QStringLiteral("name")).toString(),
             QStringLiteral("Form Load - Form Load: caricamento settings"));
    SESSION_VERIFY(s, s.event(report).value(QStringLiteral("text")).toString().contains(key), "the report names the setting");
    s.answer(QStringLiteral("ok"));
    QVERIFY2(s.waitFor(QStringLiteral("document"), urlContains(QStringLiteral("Index.htm"))) >= 0, qPrintable(s.why()));
    s.send(command(QStringLiteral("follow"), {{QStringLiteral("href"), QStringLiteral("Libro/cap1.htm")}}));
    QVERIFY2(s.waitFor(QStringLiteral("player"), action(QStringLiteral("playing"), QStringLiteral("cap1_1"))) >= 0,
             qPrintable(s.why()));
    const QJsonObject st = s.state();
    SESSION_VERIFY(s, st.value(QStringLiteral("rate")).toDouble() == 1.0 && !st.value(QStringLiteral("audioOff")).toBool(),
                   "the defaults are in force");
    SESSION_VERIFY(s, s.indexOf(QStringLiteral("dialog"), {}, report + 1) < 0, "reported once, and nothing else");
    QVERIFY2(s.quitYes(), qPrintable(s.why()));
}

// Bookmarks written as the program would write them are listed on the table
// of contents, page by page, and Enter on one opens its page and plays its
// audio from the place marked.
void TstAutomation::bookmarksOfTheWholeBook()
{
    QTemporaryDir dir;
    const QString file = preparedSettings(dir, {{QStringLiteral("TempoSp"), QStringLiteral("0")}});
    QVERIFY(!file.isEmpty());
    Session s(file);
    QVERIFY(s.started());
    // After the splash has opened the table of contents, so that no later
    // load rebuilds the list under the test.
    QVERIFY2(s.waitFor(QStringLiteral("document"), urlContains(QStringLiteral("Index.htm"))) >= 0, qPrintable(s.why()));
    auto put = [&](const QString &section, const QString &key, const QString &value) {
        s.send(command(QStringLiteral("setting"), {{QStringLiteral("section"), section}, {QStringLiteral("key"), key},
                                                   {QStringLiteral("value"), value}}));
    };
    const QString cap1 = QStringLiteral("LIBRO\\CAP1.HTM"), cap3 = QStringLiteral("Libro\\cap3.htm");
    put(cap1, QStringLiteral("1"), QStringLiteral("16"));
    put(cap1, QStringLiteral("1NOME"), QStringLiteral("Una cartella"));
    put(cap1, QStringLiteral("1NOMEAUDIO"), QStringLiteral("cap1_1.mp3"));
    // The same description on another page stays a bookmark of its own.
    put(cap3, QStringLiteral("1"), QStringLiteral("3"));
    put(cap3, QStringLiteral("1NOME"), QStringLiteral("Una cartella"));
    put(cap3, QStringLiteral("1NOMEAUDIO"), QStringLiteral("cap3_1.wma"));
    put(cap3, QStringLiteral("2"), QStringLiteral("8"));
    put(cap3, QStringLiteral("2NOME"), QStringLiteral("La tempesta"));
    put(cap3, QStringLiteral("2NOMEAUDIO"), QStringLiteral("cap3_1.wma"));
    // The table of contents (again, once the records are in) lists every page's bookmarks.
    s.send(command(QStringLiteral("navigate"),
                   {{QStringLiteral("url"), QUrl::fromLocalFile(QStringLiteral(SAMPLE_BOOK "/Index.htm")).toString()}}));
    QVERIFY2(s.waitFor(QStringLiteral("document"), urlContains(QStringLiteral("Index.htm"))) >= 0, qPrintable(s.why()));
    QJsonArray list;
    (void)QTest::qWaitFor([&] {
        list = s.state().value(QStringLiteral("list")).toArray();
        return list.size() == 3;
    }, kTimeoutMs);
    SESSION_VERIFY(s, list.size() == 3, "three bookmarks listed");
    QCOMPARE(list.at(0).toString(), QStringLiteral("00:16 - Una cartella"));
    QCOMPARE(list.at(1).toString(), QStringLiteral("00:03 - Una cartella"));
    QCOMPARE(list.at(2).toString(), QStringLiteral("00:08 - La tempesta"));

    // Enter on the third entry: its page opens and its audio plays from 8 s.
    const int mark = s.count();
    s.send(command(QStringLiteral("control"), {{QStringLiteral("name"), QStringLiteral("ListMarkers")},
                                               {QStringLiteral("action"), QStringLiteral("select")},
                                               {QStringLiteral("index"), 2}}));
    s.send(command(QStringLiteral("key"), {{QStringLiteral("code"), 13}, {QStringLiteral("mask"), 0},
                                           {QStringLiteral("target"), QStringLiteral("ListMarkers")}}));
    QVERIFY2(s.waitFor(QStringLiteral("document"), urlContains(QStringLiteral("cap3.htm")), mark) >= 0, qPrintable(s.why()));
    QVERIFY2(s.waitFor(QStringLiteral("player"), [](const QJsonObject &e) {
                 return e.value(QStringLiteral("action")).toString() == QLatin1String("seek") &&
                        e.value(QStringLiteral("value")).toDouble() == 8.0;
             }, mark) >= 0, qPrintable(s.why()));
    QVERIFY2(s.waitFor(QStringLiteral("player"), action(QStringLiteral("playing"), QStringLiteral("cap3_1")), mark) >= 0,
             qPrintable(s.why()));
    SESSION_VERIFY(s, s.indexOf(QStringLiteral("dialog")) < 0, "no dialog on the way");
    QVERIFY2(s.quitYes(), qPrintable(s.why()));
}

// The reader's keys, sent as key presses to the window, as from the keyboard.
void TstAutomation::keyboardDrivesTheBook()
{
    QTemporaryDir dir;
    const QString file = preparedSettings(dir, {{QStringLiteral("TempoSp"), QStringLiteral("0")}});
    QVERIFY(!file.isEmpty());
    Session s(file);
    QVERIFY(s.started());
    QVERIFY2(s.waitFor(QStringLiteral("document"), urlContains(QStringLiteral("Index.htm"))) >= 0, qPrintable(s.why()));
    s.send(command(QStringLiteral("follow"), {{QStringLiteral("href"), QStringLiteral("Libro/cap1.htm")}}));
    QVERIFY2(s.waitFor(QStringLiteral("player"), action(QStringLiteral("playing"), QStringLiteral("cap1_1"))) >= 0,
             qPrintable(s.why()));

    int mark = 0;
    auto key = [&](int code, int mask) {
        mark = s.count();
        s.send(command(QStringLiteral("key"), {{QStringLiteral("code"), code}, {QStringLiteral("mask"), mask}}));
    };
    auto osdStarts = [](const QString &text) {
        return [text](const QJsonObject &e) { return e.value(QStringLiteral("text")).toString().startsWith(text); };
    };
    auto seekAt = [](double at) {
        return [at](const QJsonObject &e) {
            return e.value(QStringLiteral("action")).toString() == QLatin1String("seek") &&
                   qAbs(e.value(QStringLiteral("value")).toDouble() - at) < 1.5;
        };
    };
    const int ctrl = 2, alt = 4;

    // Ctrl+3 pauses, and again resumes.
    key('3', ctrl);
    QVERIFY2(s.waitFor(QStringLiteral("player"), action(QStringLiteral("pause")), mark) >= 0, qPrintable(s.why()));
    key('3', ctrl);
    QVERIFY2(s.waitFor(QStringLiteral("player"), action(QStringLiteral("play")), mark) >= 0, qPrintable(s.why()));
    // Ctrl+Shift+3 is another key: nothing happens.
    key('3', ctrl | 1);
    s.send(command(QStringLiteral("wait"), {{QStringLiteral("ms"), 300}}));
    QVERIFY2(s.waitFor(QStringLiteral("waited"), {}, mark) >= 0, qPrintable(s.why()));
    SESSION_VERIFY(s, s.indexOf(QStringLiteral("player"), action(QStringLiteral("pause")), mark) < 0, "Ctrl+Shift+3 did nothing");

    // Ctrl+2 skips forward by the skip length (10 s).
    const double before = s.state().value(QStringLiteral("position")).toDouble();
    key('2', ctrl);
    QVERIFY2(s.waitFor(QStringLiteral("player"), seekAt(before + 10), mark) >= 0, qPrintable(s.why()));

    // Alt+8: the next index entry at or after the position (16 s, then 28 s).
    key('8', alt);
    QVERIFY2(s.waitFor(QStringLiteral("osd"), osdStarts(QStringLiteral("Indice avanti - Indice 2")), mark) >= 0,
             qPrintable(s.why()));
    QVERIFY2(s.waitFor(QStringLiteral("player"), seekAt(16), mark) >= 0, qPrintable(s.why()));
    key('8', alt);
    QVERIFY2(s.waitFor(QStringLiteral("osd"), osdStarts(QStringLiteral("Indice avanti - Indice 3")), mark) >= 0,
             qPrintable(s.why()));
    QVERIFY2(s.waitFor(QStringLiteral("player"), seekAt(28), mark) >= 0, qPrintable(s.why()));
    // Back to the start of the section before the one being heard.
    key('7', alt);
    QVERIFY2(s.waitFor(QStringLiteral("osd"), osdStarts(QStringLiteral("Indice indietro - Indice 1")), mark) >= 0,
             qPrintable(s.why()));

    // Ctrl+7 and Ctrl+6: the next and the previous page file.
    key('7', ctrl);
    QVERIFY2(s.waitFor(QStringLiteral("document"), urlContains(QStringLiteral("cap2.htm")), mark) >= 0, qPrintable(s.why()));
    QVERIFY2(s.waitFor(QStringLiteral("player"), action(QStringLiteral("playing"), QStringLiteral("cap2_1")), mark) >= 0,
             qPrintable(s.why()));
    key('6', ctrl);
    QVERIFY2(s.waitFor(QStringLiteral("document"), urlContains(QStringLiteral("cap1.htm")), mark) >= 0, qPrintable(s.why()));

    // Alt+"+" and Alt+"-" change the speed, which is stored.
    key(187, alt);
    const int up = s.waitFor(QStringLiteral("setting"), setting(QStringLiteral("Rate")), mark);
    QVERIFY2(up >= 0, qPrintable(s.why()));
    QCOMPARE(s.event(up).value(QStringLiteral("value")).toString(), QStringLiteral("1.1"));
    key(189, alt);
    const int down = s.waitFor(QStringLiteral("setting"), setting(QStringLiteral("Rate")), mark);
    QVERIFY2(down >= 0, qPrintable(s.why()));
    QCOMPARE(s.event(down).value(QStringLiteral("value")).toString(), QStringLiteral("1"));

    // A message that follows another gets its own full time on screen (1500
    // ms): the band does not hide 1500 ms after the first one, 800 ms before
    // the second (the bound leaves room for a busy machine).
    key(189, ctrl);
    s.send(command(QStringLiteral("wait"), {{QStringLiteral("ms"), 800}}));
    QVERIFY2(s.waitFor(QStringLiteral("waited"), {}, mark) >= 0, qPrintable(s.why()));
    key(187, ctrl);
    const int second = s.waitFor(QStringLiteral("osd"), osdStarts(QStringLiteral("Volume - ")), mark);
    QVERIFY2(second >= 0, qPrintable(s.why()));
    const int hidden = s.waitFor(QStringLiteral("osd-hidden"), {}, second);
    QVERIFY2(hidden >= 0, qPrintable(s.why()));
    SESSION_VERIFY(s, s.event(hidden).value(QStringLiteral("t")).toDouble() -
                              s.event(second).value(QStringLiteral("t")).toDouble() >= 1000, "full time for the second");

    // Ctrl+0 switches reading off and on again.
    key('0', ctrl);
    QVERIFY2(s.waitFor(QStringLiteral("setting"), setting(QStringLiteral("AudioOff")), mark) >= 0, qPrintable(s.why()));
    SESSION_VERIFY(s, s.state().value(QStringLiteral("audioOff")).toBool(), "reading off");
    key('0', ctrl);
    QVERIFY2(s.waitFor(QStringLiteral("setting"), setting(QStringLiteral("AudioOff")), mark) >= 0, qPrintable(s.why()));
    SESSION_VERIFY(s, !s.state().value(QStringLiteral("audioOff")).toBool(), "reading on");

    // Alt+9: the next style sheet, stored, and the page reloaded.
    key('9', alt);
    const int style = s.waitFor(QStringLiteral("setting"), setting(QStringLiteral("StyleSheet")), mark);
    QVERIFY2(style >= 0, qPrintable(s.why()));
    QCOMPARE(s.event(style).value(QStringLiteral("value")).toString(), QStringLiteral("2"));
    QVERIFY2(s.waitFor(QStringLiteral("document"), urlContains(QStringLiteral("cap1.htm")), mark) >= 0, qPrintable(s.why()));

    // Alt+3 asks for a description and adds the bookmark; Alt+6 lists it,
    // Escape closes the list.
    key('3', alt);
    const int ask = s.waitFor(QStringLiteral("dialog"), is(QStringLiteral("kind"), QStringLiteral("input")), mark);
    QVERIFY2(ask >= 0, qPrintable(s.why()));
    s.send(command(QStringLiteral("answer"), {{QStringLiteral("text"), QStringLiteral("Il faro acceso")}}));
    QVERIFY2(s.waitFor(QStringLiteral("setting"), is(QStringLiteral("key"), QStringLiteral("1NOME")), mark) >= 0,
             qPrintable(s.why()));
    key('6', alt);
    QJsonObject st;
    (void)QTest::qWaitFor([&] {
        st = s.state();
        return st.value(QStringLiteral("visible")).toObject().value(QStringLiteral("fraMarcatori")).toBool();
    }, kTimeoutMs);
    const QJsonArray list = st.value(QStringLiteral("list")).toArray();
    SESSION_VERIFY(s, list.size() == 1 && list.at(0).toString().endsWith(QStringLiteral(" - Il faro acceso")),
                   qPrintable(QJsonDocument(list).toJson()));
    key(27, 0);
    (void)QTest::qWaitFor([&] {
        return !s.state().value(QStringLiteral("visible")).toObject().value(QStringLiteral("fraMarcatori")).toBool();
    }, kTimeoutMs);
    SESSION_VERIFY(s, !s.state().value(QStringLiteral("visible")).toObject().value(QStringLiteral("fraMarcatori")).toBool(),
                   "Escape closed the list");

    // Ctrl+8 opens the options panel; the skip length and volume typed there are stored.
    key('8', ctrl);
    (void)QTest::qWaitFor([&] {
        return s.state().value(QStringLiteral("visible")).toObject().value(QStringLiteral("frmconfigurazione")).toBool();
    }, kTimeoutMs);
    mark = s.count();
    s.send(command(QStringLiteral("control"), {{QStringLiteral("name"), QStringLiteral("TextAvantiIndietro")},
                                               {QStringLiteral("action"), QStringLiteral("set")},
                                               {QStringLiteral("value"), QStringLiteral("15")}}));
    s.send(command(QStringLiteral("control"), {{QStringLiteral("name"), QStringLiteral("TextVolume")},
                                               {QStringLiteral("action"), QStringLiteral("set")},
                                               {QStringLiteral("value"), QStringLiteral("50")}}));
    const int skip = s.waitFor(QStringLiteral("setting"), setting(QStringLiteral("AvantiIndietro")), mark);
    QVERIFY2(skip >= 0, qPrintable(s.why()));
    QCOMPARE(s.event(skip).value(QStringLiteral("value")).toString(), QStringLiteral("15"));
    const int vol = s.waitFor(QStringLiteral("setting"), setting(QStringLiteral("Volume")), mark);
    QVERIFY2(vol >= 0, qPrintable(s.why()));
    QCOMPARE(s.event(vol).value(QStringLiteral("value")).toString(), QStringLiteral("50"));
    SESSION_VERIFY(s, s.indexOf(QStringLiteral("dialog"), is(QStringLiteral("kind"), QStringLiteral("error"))) < 0,
                   "no error on the way");
    QVERIFY2(s.quitYes(), qPrintable(s.why()));
}

// Through the import/export panel, as a reader would, starting on a computer
// with no bookmarks: a file of the old program comes in, a Greek description
// is added, everything goes out to a file and is deleted; someone else's hive
// and a broken file are refused without touching the safety copies; the
// exported file brings everything back.
void TstAutomation::bookmarksExportedAndImported()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("impostazioni.sqlite"));
    const QString home = dir.filePath(QStringLiteral("casa"));
    QVERIFY(QDir().mkpath(home));
    storeValues(file, {{QStringLiteral("TempoSp"), QStringLiteral("0")}});
    if (QTest::currentTestFailed())
        return;
    const QString section = QStringLiteral("LIBRO\\CAP1.HTM");
    const QString own = QStringLiteral("[HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\QYR MediaPlayer\\") +
                        section + QStringLiteral("]\r\n");
    auto writeHome = [&](const QString &name, const QByteArray &bytes) {
        QFile out(home + QLatin1Char('/') + name);
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size());
    };
    // The old exporter escaped neither quotes nor backslashes.
    writeHome(QStringLiteral("vecchio.reg"), "REGEDIT4\r\n\r\n" + own.toLatin1() +
                                                 "\"1\"=\"16\"\r\n\"1NOME\"=\"Capitolo \"uno\"\"\r\n"
                                                 "\"2\"=\"30\"\r\n\"2NOME\"=\"fine \\\"\r\n");
    writeHome(QStringLiteral("rotto.reg"), "REGEDIT4\r\n\r\n" + own.toLatin1() + "\"1\"=hex:zz\r\n");
    writeHome(QStringLiteral("altro.qyr"),
              test::RegfWriter(HiveKey{QStringLiteral("Altro programma"),
                                       {RegValue{QStringLiteral("a"), regtype::String, QByteArray("b\0\0\0", 4)}}, {}})
                  .bytes());

    Session s(file, {{QStringLiteral("HOME"), home}, {QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config"))}});
    QVERIFY(s.started());
    QVERIFY2(s.waitFor(QStringLiteral("ready")) >= 0, qPrintable(s.why()));
    QVERIFY2(s.waitFor(QStringLiteral("document"), urlContains(QStringLiteral("Index.htm"))) >= 0, qPrintable(s.why()));
    s.send(command(QStringLiteral("follow"), {{QStringLiteral("href"), QStringLiteral("Libro/cap1.htm")}}));
    QVERIFY2(s.waitFor(QStringLiteral("document"), urlContains(QStringLiteral("cap1.htm"))) >= 0, qPrintable(s.why()));

    auto control = [&](const QString &name, const QString &action, const QJsonValue &value = QJsonValue()) {
        QJsonObject o{{QStringLiteral("name"), name}, {QStringLiteral("action"), action}};
        if (!value.isUndefined() && !value.isNull())
            o.insert(value.isDouble() ? QStringLiteral("index") : QStringLiteral("value"), value);
        s.send(command(QStringLiteral("control"), o));
    };
    auto visible = [&](const QString &name) {
        return s.state().value(QStringLiteral("visible")).toObject().value(name).toBool();
    };
    QString said;
    auto answerDialog = [&](const QString &kind, const QString &contains) {
        const int d = s.waitFor(QStringLiteral("dialog"), is(QStringLiteral("kind"), kind));
        said = d < 0 ? s.why() : s.event(d).value(QStringLiteral("text")).toString();
        if (d < 0 || !said.contains(contains))
            return false;
        s.answer(QStringLiteral("ok"));
        return true;
    };
    // "Importa Marcatori", the file chosen in the home folder's list, OK.
    auto import = [&](const QString &name) {
        control(QStringLiteral("cmdImpExp(1)"), QStringLiteral("click"));
        QVERIFY(QTest::qWaitFor([&] { return visible(QStringLiteral("frmImpExp")); }, kTimeoutMs));
        control(QStringLiteral("Drive"), QStringLiteral("select"), QDir::toNativeSeparators(home));
        const QStringList files = QDir(home).entryList({QStringLiteral("*.qyr"), QStringLiteral("*.reg")}, QDir::Files,
                                                       QDir::Name | QDir::IgnoreCase);
        control(QStringLiteral("File"), QStringLiteral("select"), int(files.indexOf(name)));
        control(QStringLiteral("cmdImpExp(2)"), QStringLiteral("click"));
    };
    auto listNow = [&](int size) {
        QJsonArray list;
        (void)QTest::qWaitFor([&] {
            list = s.state().value(QStringLiteral("list")).toArray();
            return list.size() == size;
        }, kTimeoutMs);
        QStringList out;
        for (const QJsonValue &v : list)
            out << v.toString().section(QStringLiteral(" - "), 1);
        return out;
    };
    const QString copies = dir.filePath(QStringLiteral("config/qyrplayer/copie-di-sicurezza"));
    auto copiesNow = [&] {
        QStringList out;
        for (const QFileInfo &i : QDir(copies).entryInfoList(QDir::Files, QDir::Name)) {
            QFile in(i.filePath());
            out << i.fileName() + QString::number(qHash(in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray()));
        }
        return out;
    };

    // No bookmarks yet: Alt+6 says so and opens the panel all the same, on "Importa Marcatori".
    s.send(command(QStringLiteral("key"), {{QStringLiteral("code"), '6'}, {QStringLiteral("mask"), 4}}));
    QVERIFY2(answerDialog(QStringLiteral("message"), QStringLiteral("Non ci sono marcatori")), qPrintable(said));
    QVERIFY(QTest::qWaitFor([&] { return visible(QStringLiteral("fraMarcatori")); }, kTimeoutMs));
    QVERIFY(QTest::qWaitFor([&] {
        return s.state().value(QStringLiteral("focus")).toObject().value(QStringLiteral("name")).toString() ==
               QStringLiteral("cmdImpExp(1)");
    }, kTimeoutMs));

    // The old program's file imports whole; the message says where the safety copy is.
    import(QStringLiteral("vecchio.reg"));
    QVERIFY2(answerDialog(QStringLiteral("message"), QStringLiteral("Ripristino effettuato")), qPrintable(said));
    QVERIFY2(said.contains(copies), qPrintable(said));
    QCOMPARE(listNow(2), (QStringList{QStringLiteral("Capitolo \"uno\""), QStringLiteral("fine \\")}));
    const QStringList copiesBefore = copiesNow();
    QCOMPARE(copiesBefore.size(), 1);

    // A Greek description: the export keeps it, in the version 5 format, and says so.
    for (const auto &[key, value] : {std::pair{QStringLiteral("3"), QStringLiteral("45")},
                                     {QStringLiteral("3NOME"), QStringLiteral("Ο φάρος είναι σβηστός")}})
        s.send(command(QStringLiteral("setting"), {{QStringLiteral("section"), section}, {QStringLiteral("key"), key},
                                                   {QStringLiteral("value"), value}}));
    QVERIFY2(s.waitFor(QStringLiteral("setting"), is(QStringLiteral("key"), QStringLiteral("3NOME"))) >= 0, qPrintable(s.why()));
    control(QStringLiteral("cmdImpExp(0)"), QStringLiteral("click"));
    QVERIFY(QTest::qWaitFor([&] { return visible(QStringLiteral("frmImpExp")); }, kTimeoutMs));
    control(QStringLiteral("Drive"), QStringLiteral("select"), QDir::toNativeSeparators(home));
    control(QStringLiteral("TextFileName"), QStringLiteral("set"), QStringLiteral("segnalibri"));
    control(QStringLiteral("cmdImpExp(2)"), QStringLiteral("click"));
    QVERIFY2(answerDialog(QStringLiteral("message"), QStringLiteral("Export effettuato correttamente")), qPrintable(said));
    QVERIFY2(said.contains(QStringLiteral("Unicode")), qPrintable(said));
    QFile exported(home + QStringLiteral("/segnalibri.REG"));
    QVERIFY2(exported.open(QIODevice::ReadOnly), qPrintable(exported.fileName()));
    QVERIFY(exported.readAll().startsWith(QByteArray("\xff\xfeW\0i\0n\0", 8)));

    // Every bookmark of the page deleted (Alt+4, yes).
    s.send(command(QStringLiteral("key"), {{QStringLiteral("code"), '4'}, {QStringLiteral("mask"), 4}}));
    QVERIFY2(s.waitFor(QStringLiteral("dialog")) >= 0, qPrintable(s.why()));
    s.answer(QStringLiteral("yes"));
    QVERIFY(listNow(0).isEmpty());

    // Someone else's hive, then a broken file: both refused, nothing changed,
    // the safety copies as they were.
    import(QStringLiteral("altro.qyr"));
    QVERIFY2(answerDialog(QStringLiteral("error"), QStringLiteral("non contiene impostazioni")), qPrintable(said));
    import(QStringLiteral("rotto.reg"));
    QVERIFY2(answerDialog(QStringLiteral("error"), QStringLiteral("Riga 4")), qPrintable(said));
    SESSION_VERIFY(s, copiesNow() == copiesBefore, qPrintable(copiesNow().join(QLatin1Char(' '))));

    // The exported file brings all three back, the Greek one whole.
    import(QStringLiteral("segnalibri.REG"));
    QVERIFY2(answerDialog(QStringLiteral("message"), QStringLiteral("Ripristino effettuato")), qPrintable(said));
    SESSION_VERIFY(s, (listNow(3) == QStringList{QStringLiteral("Capitolo \"uno\""), QStringLiteral("fine \\"),
                                                  QStringLiteral("Ο φάρος είναι σβηστός")}),
                   qPrintable(listNow(3).join(QLatin1Char('|'))));
    SESSION_VERIFY(s, copiesNow().size() == 2 && copiesNow().mid(0, 1) == copiesBefore, "a new copy beside the old one");
    QVERIFY2(s.quitYes(), qPrintable(s.why()));
}

QTEST_GUILESS_MAIN(TstAutomation)
#include "tst_automation.moc"
