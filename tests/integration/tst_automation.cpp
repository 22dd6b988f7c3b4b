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
using Values = QList<std::pair<QString, QString>>;

QString field(const QJsonObject &e, const char *name) { return e.value(QLatin1String(name)).toString(); }

// Writes text values into the Player section of a settings file.
void storeValues(const QString &file, const Values &values)
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
QString preparedSettings(const QTemporaryDir &dir, const Values &values)
{
    if (!dir.isValid())
        return QString();
    const QString file = dir.filePath("impostazioni.sqlite");
    storeValues(file, values);
    return QTest::currentTestFailed() ? QString() : file;
}

Pred is(const char *name, const QString &value)
{
    return [name, value](const QJsonObject &e) { return field(e, name) == value; };
}
Pred setting(const QString &key)
{
    return [key](const QJsonObject &e) { return field(e, "section") == "Player" && field(e, "key") == key; };
}
Pred action(const QString &name, const QString &valueContains = QString())
{
    return [name, valueContains](const QJsonObject &e) {
        return field(e, "action") == name &&
               e.value("value").toVariant().toString().contains(valueContains, Qt::CaseInsensitive);
    };
}
// A seek to `at`, give or take `slack` seconds.
Pred seek(double at, double slack = 0.01)
{
    return [at, slack](const QJsonObject &e) {
        return field(e, "action") == "seek" && qAbs(e.value("value").toDouble() - at) < slack;
    };
}
Pred urlContains(const QString &part)
{
    return [part](const QJsonObject &e) { return field(e, "url").contains(part, Qt::CaseInsensitive); };
}
Pred textStarts(const QString &text)
{
    return [text](const QJsonObject &e) { return field(e, "text").startsWith(text); };
}

QJsonObject command(const QString &cmd, QJsonObject fields = {})
{
    fields.insert("cmd", cmd);
    return fields;
}

// One run of the program. Every event is kept, so a test can check both what
// arrived and in which order; expect() searches forward from the last match.
class Session {
public:
    explicit Session(const QString &settingsFile, const Values &extraEnv = {}, const QString &book = SAMPLE_BOOK)
        : file_(settingsFile)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const auto &[name, value] : extraEnv)
            env.insert(name, value);
        // So that the test also runs directly, outside CTest.
        if (!env.contains("QT_QPA_PLATFORM"))
            env.insert("QT_QPA_PLATFORM", "offscreen");
        if (!env.contains("QTWEBENGINE_CHROMIUM_FLAGS"))
            env.insert("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox --disable-gpu");
        proc_.setProcessEnvironment(env);
        QObject::connect(&proc_, &QProcess::readyReadStandardOutput, [this] { readLines(); });
        QObject::connect(&proc_, &QProcess::readyReadStandardError, [this] { stderr_ += proc_.readAllStandardError(); });
        proc_.start(QYRPLAYER_BIN, {"--automation", "--settings", settingsFile, "--book", book, "--audio-out", "null"});
        if (!proc_.waitForStarted(kTimeoutMs))
            fail("the program did not start");
    }
    // A reader: a settings file in dir with the splash skipped (the values
    // given are added, or win), the program started, its table of contents shown.
    Session(const QTemporaryDir &dir, const Values &values, const Values &extraEnv = {}, const QString &book = SAMPLE_BOOK)
        : Session(preparedSettings(dir, Values{{"TempoSp", "0"}} + values), extraEnv, book)
    {
        expect("ready");
        expect("document", urlContains("Index.htm"));
    }
    ~Session()
    {
        if (proc_.state() != QProcess::NotRunning) {
            proc_.kill();
            proc_.waitForFinished(5000);
        }
    }

    const QString &file() const { return file_; }
    void send(const QJsonObject &cmd) { proc_.write(QJsonDocument(cmd).toJson(QJsonDocument::Compact) + '\n'); }
    void send(const QString &cmd) { send(command(cmd)); }
    void answer(const QString &button) { send(command("answer", {{"button", button}})); }
    void follow(const QString &href) { send(command("follow", {{"href", href}})); }
    void followName(const QString &name) { send(command("follow", {{"name", name}})); }
    void navigate(const QString &path) { send(command("navigate", {{"url", QUrl::fromLocalFile(path).toString()}})); }
    void put(const QString &section, const QString &key, const QString &value)
    {
        send(command("setting", {{"section", section}, {"key", key}, {"value", value}}));
    }
    // Presses a key; returns the count of events before it, to search from.
    int key(int code, int mask, const QString &target = QString())
    {
        const int mark = count();
        QJsonObject o{{"code", code}, {"mask", mask}};
        if (!target.isEmpty())
            o.insert("target", target);
        send(command("key", o));
        return mark;
    }

    // Waits for the first matching event at or after the cursor (or `from`)
    // and returns its index. When none comes the test fails with `why` and
    // every event seen; later waits then give up at once, and -1 is returned.
    int expect(const QString &event, const Pred &pred = {}, int from = -1, const QString &why = QString())
    {
        if (failed_)
            return -1;
        const int start = from < 0 ? cursor_ : from;
        int found = -1;
        (void)QTest::qWaitFor([&] {
            readLines();
            found = indexOf(event, pred, start);
            return found >= 0 || proc_.state() == QProcess::NotRunning;
        }, kTimeoutMs);
        readLines();
        found = indexOf(event, pred, start);
        if (found < 0) {
            fail(QStringLiteral("%1no matching \"%2\" event after #%3 (%4)")
                     .arg(why.isEmpty() ? QString() : why + ": ", event).arg(start)
                     .arg(proc_.state() == QProcess::NotRunning ? "the program has ended" : "timed out"));
            return -1;
        }
        cursor_ = found + 1;
        return found;
    }
    // The text of a field of the event expected, empty when it never came.
    QString expectText(const QString &event, const Pred &pred = {}, const char *name = "value", int from = -1)
    {
        return field(this->event(expect(event, pred, from)), name);
    }

    // Index of the first matching event in [from, to); -1 when there is none.
    int indexOf(const QString &event, const Pred &pred = {}, int from = 0, int to = -1) const
    {
        const int end = to < 0 ? int(events_.size()) : std::min(to, int(events_.size()));
        for (int i = std::max(from, 0); i < end; ++i)
            if (field(events_.at(i), "event") == event && (!pred || pred(events_.at(i))))
                return i;
        return -1;
    }

    // Asks for the state and returns it (empty when it does not come).
    QJsonObject state()
    {
        send("state");
        return event(expect("state"));
    }
    bool visible(const QString &name) { return state().value("visible").toObject().value(name).toBool(); }
    bool until(const std::function<bool()> &cond) { return !failed_ && QTest::qWaitFor(cond, kTimeoutMs); }

    // Waits for the end of the process; false (the test failed) if it does
    // not end, or does not end cleanly.
    bool finished()
    {
        if (failed_)
            return false;
        if (!proc_.waitForFinished(kTimeoutMs)) {
            fail("the program did not end");
            return false;
        }
        readLines();
        stderr_ += proc_.readAllStandardError();
        if (proc_.exitStatus() != QProcess::NormalExit || proc_.exitCode() != 0) {
            fail(QStringLiteral("the program ended with status %1, code %2").arg(int(proc_.exitStatus())).arg(proc_.exitCode()));
            return false;
        }
        return true;
    }

    void signal(int sig) { ::kill(pid_t(proc_.processId()), sig); }
    void endInput() { proc_.closeWriteChannel(); }

    // Quits through the exit question, answering yes.
    bool quitYes()
    {
        send("quit");
        // The sample book words the exit question its own way.
        if (expect("dialog", is("title", "LUMO Player")) < 0)
            return false;
        answer("yes");
        return expect("closed") >= 0 && finished();
    }

    QJsonObject event(int i) const { return i < 0 || i >= events_.size() ? QJsonObject() : events_.at(i); }
    int count() const { return int(events_.size()); }
    const QStringList &strayLines() const { return stray_; }
    QString errorOutput() { return QString::fromLocal8Bit(stderr_ + proc_.readAllStandardError()); }

    QString dump() const
    {
        QString s = "events seen:\n";
        for (int i = 0; i < events_.size(); ++i)
            s += QStringLiteral("  #%1 %2\n").arg(i).arg(QString::fromUtf8(QJsonDocument(events_.at(i)).toJson(QJsonDocument::Compact)));
        for (const QString &l : stray_)
            s += QStringLiteral("  not an event: %1\n").arg(l);
        return s + "stderr:\n" + QString::fromLocal8Bit(stderr_);
    }

private:
    void fail(const QString &reason)
    {
        failed_ = true;
        qWarning().noquote() << dump();
        QTest::qFail(qPrintable(reason), __FILE__, __LINE__);
    }
    void readLines()
    {
        buffer_ += proc_.readAllStandardOutput();
        int nl;
        while ((nl = buffer_.indexOf('\n')) >= 0) {
            const QByteArray line = buffer_.left(nl);
            buffer_.remove(0, nl + 1);
            const QJsonDocument doc = QJsonDocument::fromJson(line);
            // Standard output carries events and nothing else.
            if (doc.isObject() && doc.object().value("event").isString() && doc.object().value("t").isDouble())
                events_.append(doc.object());
            else
                stray_.append(QString::fromUtf8(line));
        }
    }

    QString file_;
    QProcess proc_;
    QByteArray buffer_;
    QByteArray stderr_;
    QList<QJsonObject> events_;
    QStringList stray_;
    bool failed_ = false;
    int cursor_ = 0;
};

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
    const QString file = dir.filePath("impostazioni.sqlite");
    QVERIFY(!QFile::exists(file));

    Session s(file);
    const int ready = s.expect("ready");
    SESSION_VERIFY(s, s.indexOf("dialog", {}, 0, ready) < 0, "");
    const Pred version1 = [](const QJsonObject &e) { return setting("Versione")(e) && field(e, "value") == "1"; };
    SESSION_VERIFY(s, s.indexOf("setting", version1) >= 0, "");

    // Answering no keeps the program running and saves nothing.
    s.send("quit");
    const int question = s.expect("dialog");
    const QJsonObject q = s.event(question);
    QCOMPARE(field(q, "kind"), "message");
    QCOMPARE(field(q, "buttons"), "yesno");
    QCOMPARE(field(q, "text"), "Sei sicuro di voler uscire?");
    s.answer("no");
    QVERIFY(!s.state().isEmpty());
    SESSION_VERIFY(s, s.indexOf("setting", {}, question) < 0, "");
    SESSION_VERIFY(s, s.indexOf("closed") < 0, "");

    // Answering yes with resume off clears the saved place.
    s.send("quit");
    s.expect("dialog");
    s.answer("yes");
    QCOMPARE(s.expectText("setting", setting("Brano")), QString());
    QCOMPARE(s.expectText("setting", setting("BranoPos")), QString());
    s.expect("closed");
    QVERIFY(s.finished());
    SESSION_VERIFY(s, s.strayLines().isEmpty(), "");

    // What the events reported is what the file holds.
    QCOMPARE(storedValue(file, "Versione"), "1");
    const QString storedBrano = storedValue(file, "Brano");
    QVERIFY(!storedBrano.isNull());
    QCOMPARE(storedBrano, QString());
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
    const QString file = preparedSettings(dir, {{"Versione", "0"}, {"TempoSp", "0"}});
    QVERIFY(!file.isEmpty());
    {
        Session s(file);
        const int question = s.expect("dialog");
        QCOMPARE(field(s.event(question), "kind"), "message");
        SESSION_VERIFY(s, field(s.event(question), "text").contains("Vuoi passare alla versione 9?"), "");
        SESSION_VERIFY(s, s.indexOf("ready", {}, 0, question) < 0, "");
        s.answer(upgrade ? "yes" : "no");
        if (upgrade) {
            QCOMPARE(s.expectText("setting", setting("Versione")), "1");
            s.expect("ready");
            QCOMPARE(s.state().value("version").toInt(-1), 1);
        } else {
            // The first page plays and chains to its next audio, with no error on the way.
            s.expect("document", urlContains("Index.htm"));
            QCOMPARE(s.state().value("version").toInt(-1), 0);
            s.follow("Libro/cap1.htm");
            s.expect("player", action("playing", "cap1_1"));
            // Near the end of the first audio, so that it ends soon.
            s.followName("LumoIndex_3");
            s.expect("player", action("ended", "cap1_1"));
            s.expect("player", action("playing", "cap1_2"));
            const QJsonObject st = s.state();
            SESSION_VERIFY(s, st.value("playing").toBool(), "the next audio plays");
            SESSION_VERIFY(s, st.value("duration").toDouble() > 1, "its length is known");
            SESSION_VERIFY(s, s.indexOf("dialog", {}, question + 1) < 0, "no error dialog");
        }
        QVERIFY(s.quitYes());
    }
    QCOMPARE(storedValue(file, "Versione"), upgrade ? "1" : "0");
    if (!upgrade)
        return;

    // Once upgraded, nothing is asked again.
    Session s(file);
    const int ready = s.expect("ready");
    SESSION_VERIFY(s, s.indexOf("dialog", {}, 0, ready) < 0, "");
    QVERIFY(s.quitYes());
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
    double savedPos = 0;
    QString file;
    {
        // Nothing saved yet: the splash gives way to the book's index.
        Session s(dir, {{"SavePos", "1"}, {"TempoSp", "1500"}});
        file = s.file();
        s.follow("Libro/cap2.htm");
        s.expect("player", action("playing", "cap2_1"));
        QTest::qWait(2500);

        if (ending == Ending::Yes || ending == Ending::SigtermDuringQuestion) {
            s.send("quit");
            s.expect("dialog");
        }
        switch (ending) {
        case Ending::Yes: s.answer("yes"); break;
        case Ending::SigtermDuringQuestion: s.signal(SIGTERM); break;
        case Ending::Sighup: s.signal(SIGHUP); break;
        case Ending::EndOfInput: s.endInput(); break;
        }
        const QString saved = s.expectText("setting", setting("Brano"));
        QVERIFY2(saved.startsWith("file://") && saved.endsWith("cap2.htm", Qt::CaseInsensitive), qPrintable(saved));
        const QString posText = s.expectText("setting", setting("BranoPos"));
        bool ok = false;
        savedPos = QString(posText).replace(',', '.').toDouble(&ok);
        SESSION_VERIFY(s, ok && savedPos > 1.5, qPrintable(posText));
        s.expect("closed");
        QVERIFY(s.finished());
        SESSION_VERIFY(s, s.indexOf("closed", {}, s.indexOf("closed") + 1) < 0, "closed once");
        QCOMPARE(storedValue(file, "Brano"), saved);
    }

    // The next start opens that page and its audio goes on from there.
    {
        Session s(file);
        s.expect("ready");
        const int ready = s.count();
        s.expect("document", urlContains("cap2.htm"));
        s.expect("player", seek(savedPos), ready, "the saved position is applied");
        s.expect("player", action("playing", "cap2_1"));
        SESSION_VERIFY(s, s.state().value("position").toDouble() >= savedPos - 0.5, "plays on from the saved place");
        QVERIFY(s.quitYes());
    }

    if (ending != Ending::Yes)
        return;
    // A saved page that has since gone: the table of contents opens instead.
    storeValues(file, {{"Brano", QUrl::fromLocalFile(SAMPLE_BOOK "/Libro/sparito.htm").toString()}});
    Session s(file);
    s.expect("document", urlContains("Index.htm"));
    QVERIFY(s.quitYes());
}

// A reader follows the book: the table of contents, a chapter and its audio,
// the link commands of the page, a jump inside the page, a video.
void TstAutomation::followingTheBook()
{
    QTemporaryDir dir;
    Session s(dir, {});
    QCOMPARE(field(s.event(s.indexOf("document", urlContains("Index.htm"))), "title"),
             "Sommario - Il faro di Punta Lunga");

    // A chapter link is an ordinary navigation; the page's first audio plays.
    const int before = s.count();
    s.follow("Libro/cap1.htm");
    QCOMPARE(s.event(s.expect("navigate", urlContains("Libro/cap1.htm"))).value("cancelled").toBool(), false);
    s.expect("document", urlContains("cap1.htm"));
    s.expect("player", action("playing", "cap1_1"));
    // Raised once for the link, not again when the engine loads the page.
    int navigations = 0;
    for (int i = before; i < s.count(); ++i)
        navigations += field(s.event(i), "event") == "navigate";
    SESSION_VERIFY(s, navigations == 1, "one before-navigate per followed link");

    // Pause: a cancelled navigation, the kept message, the player paused.
    // The handlers' own events come before the navigate event that reports them.
    int mark = s.count();
    s.follow("#QYRP_PAUSE#");
    QCOMPARE(s.event(s.expect("navigate", urlContains("#QYRP_PAUSE#"))).value("cancelled").toBool(), true);
    const QJsonObject osd = s.event(s.expect("osd", {}, mark));
    SESSION_VERIFY(s, field(osd, "text").startsWith("PAUSA ") && osd.value("keep").toBool(), "kept pause message");
    QJsonObject st = s.state();
    SESSION_VERIFY(s, !st.value("playing").toBool(), "paused");
    SESSION_VERIFY(s, field(st, "url").endsWith("cap1.htm"), "the page stays");

    mark = s.count();
    s.follow("#QYRP_PLAY#");
    s.expect("osd", textStarts("PLAY "), mark);
    s.expect("player", action("playing"), mark);

    // A jump inside the page is a navigation that goes ahead and completes,
    // and its anchor positions the audio.
    mark = s.count();
    s.followName("LumoIndex_3");
    QCOMPARE(s.event(s.expect("navigate", urlContains("#QYRPLAYER_AUDIO_POS=28"))).value("cancelled").toBool(), false);
    s.expect("document", urlContains("cap1.htm#QYRPLAYER_AUDIO_POS=28"));
    s.expect("player", seek(28, 1e-9), mark);

    // A javascript: link reaches the before-navigate too (here the reload form).
    mark = s.count();
    s.follow("javascript:location.reload()");
    QCOMPARE(s.event(s.expect("navigate", urlContains("javascript:"))).value("cancelled").toBool(), true);
    s.expect("player", action("playing"), mark);

    // A video link plays the video in its window; Escape there stops it.
    mark = s.count();
    s.follow("#video_prova.wmv@NOFULL@");
    s.expect("player", action("file", "video_prova.wmv"), mark);
    s.expect("player", action("video-shown"));
    s.key(27, 0, "frmWMP9");
    s.expect("player", action("stop"));
    s.expect("player", action("video-hidden"));
    QVERIFY(s.quitYes());
}

// Pages that cannot be read never stop the program: a missing page returns
// to the table of contents, a broken or huge page loads.
void TstAutomation::brokenPagesAndMissingFiles()
{
    QTemporaryDir dir;
    // Broken markup and thousands of named elements.
    const QString broken = dir.filePath("rotta.htm");
    QByteArray html = "<html><head><title>Rotta</title><body><p><a name=x href='#y'>senza fine <table><tr><td>";
    for (int i = 0; i < 5000; ++i)
        html += "<a name='LumoIndex_" + QByteArray::number(i) + "' id='e" + QByteArray::number(i) + "'>" +
                QByteArray::number(i) + "</a>";
    QVERIFY(writeFile(broken, html + "<meta name='QYRPLAYER_AUDIO' content='non_esiste'><div"));
    Session s(dir, {});

    s.navigate(broken);
    QCOMPARE(s.expectText("document", urlContains("rotta.htm"), "title"), "Rotta");

    // A link to a page that does not exist: back to the table of contents.
    s.navigate(SAMPLE_BOOK "/Libro/cap9.htm");
    s.expect("navigate", urlContains("cap9.htm"));
    s.expect("document", urlContains("Index.htm"));
    // Letter case does not matter for the book's files.
    s.navigate(SAMPLE_BOOK "/LIBRO/CAP3.HTM");
    s.expect("document", urlContains("cap3.htm"));
    s.expect("player", action("playing", "cap3_1"));
    SESSION_VERIFY(s, s.indexOf("dialog") < 0, "no dialog on the way");

    // A page's alert is a dialog of the program; a page whose script never
    // ends is abandoned: the reader still reaches the table of contents.
    const QString alerting = dir.filePath("avviso.htm");
    const QString endless = dir.filePath("bloccata.htm");
    QVERIFY(writeFile(alerting, "<html><head><title>Avviso</title></head><body><script>alert('Attenzione');</script>"));
    QVERIFY(writeFile(endless, "<html><head><title>Bloccata</title></head><body><script>while (true) {}</script>"));
    s.navigate(alerting);
    QCOMPARE(s.expectText("dialog", {}, "text"), "Attenzione");
    s.answer("ok");
    s.navigate(endless);
    s.expect("navigate", urlContains("bloccata.htm"));
    s.key('I', 2);
    s.expect("document", urlContains("Index.htm"));
    QVERIFY(s.quitYes());
}

// A book in a folder named with accents, "%" and "#", whose pages and audio
// names have accents and spaces, its first audio in the book folder only:
// every page opens, every audio is found, a direct video link names the real
// file, going back reaches the previous audio near its end, a new style keeps
// the place, and a page's script commands and window closing are heard.
void TstAutomation::aBookWithUnusualNames()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString book = dir.filePath("Città del libro #1/cento %25 e più");
    QVERIFY(QDir().mkpath(book + "/Libro") && QDir().mkpath(book + "/Parte è due") && QDir().mkpath(book + "/INCLUDE"));
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
    QVERIFY(QFile::copy(SAMPLE_BOOK "/Libro/video_prova.wmv", book + "/Libro/clip.avi"));

    Session s(dir, {{"AvantiIndietro", "5"}}, {}, book);
    auto playing = [&](const QString &path) {
        return [path](const QJsonObject &e) { return field(e, "action") == "playing" && field(e, "value") == path; };
    };

    // The page's first audio exists only in the book folder.
    s.follow("Libro/perché.htm");
    s.expect("document", is("title", "Perché"));
    s.expect("player", playing(book + "/uno.wav"));

    // Past its end, the next audio (named without extension, beside the page).
    s.key('2', 2);
    int mark = s.key('2', 2);
    s.expect("player", playing(book + "/Libro/due.wav"), mark);
    // In its first seconds Ctrl+1 goes back into the previous audio, its
    // length less the skip length (8 - 5).
    mark = s.key('1', 2);
    s.expect("player", playing(book + "/uno.wav"), mark);
    s.expect("player", seek(3, 0.5), mark);

    // A new style sheet reloads the page and the reading goes on in the same
    // file, from where it was.
    const double at = s.state().value("position").toDouble();
    mark = s.key('9', 4);
    s.expect("document", urlContains("perch"), mark);
    s.expect("player", seek(at + 0.25, 0.5), mark);
    SESSION_VERIFY(s, s.indexOf("player", playing(book + "/Libro/due.wav"), mark) < 0, "not the next audio");

    // A direct video link names the video file itself.
    mark = s.count();
    s.follow("clip.avi@NOFULL@");
    QCOMPARE(s.expectText("player", action("file"), "value", mark), book + "/Libro/clip.avi");
    s.expect("player", action("video-shown"), mark);

    // A page in a folder with accents and spaces; its script sets a command
    // anchor, then closes its window: the exit question is asked.
    mark = s.count();
    s.follow("../Parte è due/pagina uno.htm");
    s.expect("player", playing(book + "/Parte è due/tre.wav"), mark);
    QCOMPARE(s.event(s.expect("navigate", urlContains("#QYRP_PAUSE#"), mark)).value("cancelled").toBool(), true);
    s.expect("player", action("pause"), mark);
    const int question = s.expect("dialog", {}, mark);
    QCOMPARE(field(s.event(question), "text"), "Sei sicuro di voler uscire?");
    s.answer("no");
    SESSION_VERIFY(s, s.indexOf("dialog", {}, question + 1) < 0, "one question, no error");
    // The about page got its style sheet as well.
    SESSION_VERIFY(s, !s.errorOutput().contains("Not allowed to load local resource"), "");
    QVERIFY(s.quitYes());
}

void TstAutomation::damagedSettingsFileIsKeptAside()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString name = "impostazioni.sqlite";
    const QString file = dir.filePath(name);
    QByteArray garbage;
    for (int i = 0; i < 200; ++i)
        garbage += "Questo non è un archivio di impostazioni, riga " + QByteArray::number(i) + "\n";
    QVERIFY(writeFile(file, garbage));
    {
        Session s(file);
        const int report = s.expect("dialog");
        QCOMPARE(field(s.event(report), "kind"), "error");
        SESSION_VERIFY(s, field(s.event(report), "text").contains("danneggiato"), "");
        s.answer("ok");
        s.expect("ready");
        QVERIFY(s.quitYes());
    }

    // The new file is a usable store, and the damaged one survives beside it.
    QCOMPARE(storedValue(file, "Versione"), "1");
    const QStringList kept = QDir(dir.path()).entryList({name + ".danneggiato-*"}, QDir::Files);
    QVERIFY2(kept.size() == 1, qPrintable(QDir(dir.path()).entryList(QDir::Files).join(' ')));
    QFile copy(dir.filePath(kept.first()));
    QVERIFY(copy.open(QIODevice::ReadOnly));
    QVERIFY(copy.readAll() == garbage);

    // A folder named as the settings file is no damaged file: it is left
    // where it is, untouched, and the reader is told why nothing is kept.
    const QString folder = dir.filePath("cartella");
    QVERIFY(QDir().mkpath(folder + "/dentro"));
    {
        Session s(folder);
        const QString text = s.expectText("dialog", {}, "text");
        SESSION_VERIFY(s, text.contains("cartella") && !text.contains("danneggiato"), qPrintable(text));
        s.answer("ok");
        s.expect("ready");
        QVERIFY(s.quitYes());
    }
    QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"dentro"});
    QCOMPARE(QDir(dir.path()).entryList({"cartella*"}, QDir::AllEntries), QStringList{"cartella"});
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
    const QString file = preparedSettings(dir, {{"TempoSp", "0"}, {key, value}});
    QVERIFY(!file.isEmpty());

    Session s(file);
    const int report = s.expect("dialog");
    QCOMPARE(field(s.event(report), "kind"), "error");
    QCOMPARE(field(s.event(report), "name"), "Form Load - Form Load: caricamento settings");
    SESSION_VERIFY(s, field(s.event(report), "text").contains(key), "the report names the setting");
    s.answer("ok");
    s.expect("document", urlContains("Index.htm"));
    s.follow("Libro/cap1.htm");
    s.expect("player", action("playing", "cap1_1"));
    const QJsonObject st = s.state();
    SESSION_VERIFY(s, st.value("rate").toDouble() == 1.0 && !st.value("audioOff").toBool(), "the defaults are in force");
    SESSION_VERIFY(s, s.indexOf("dialog", {}, report + 1) < 0, "reported once, and nothing else");
    QVERIFY(s.quitYes());
}

// Bookmarks written as the program would write them are listed on the table
// of contents, page by page, and Enter on one opens its page and plays its
// audio from the place marked.
void TstAutomation::bookmarksOfTheWholeBook()
{
    QTemporaryDir dir;
    // Once the splash has opened the table of contents, so that no later
    // load rebuilds the list under the test.
    Session s(dir, {});
    const QString cap1 = "LIBRO\\CAP1.HTM", cap3 = "Libro\\cap3.htm";
    s.put(cap1, "1", "16");
    s.put(cap1, "1NOME", "Una cartella");
    s.put(cap1, "1NOMEAUDIO", "cap1_1.mp3");
    // The same description on another page stays a bookmark of its own.
    s.put(cap3, "1", "3");
    s.put(cap3, "1NOME", "Una cartella");
    s.put(cap3, "1NOMEAUDIO", "cap3_1.wma");
    s.put(cap3, "2", "8");
    s.put(cap3, "2NOME", "La tempesta");
    s.put(cap3, "2NOMEAUDIO", "cap3_1.wma");
    // The table of contents (again, once the records are in) lists every page's bookmarks.
    s.navigate(SAMPLE_BOOK "/Index.htm");
    s.expect("document", urlContains("Index.htm"));
    QJsonArray list;
    s.until([&] { return (list = s.state().value("list").toArray()).size() == 3; });
    SESSION_VERIFY(s, list.size() == 3, "three bookmarks listed");
    QCOMPARE(list.at(0).toString(), "00:16 - Una cartella");
    QCOMPARE(list.at(1).toString(), "00:03 - Una cartella");
    QCOMPARE(list.at(2).toString(), "00:08 - La tempesta");

    // Enter on the third entry: its page opens and its audio plays from 8 s.
    const int mark = s.count();
    s.send(command("control", {{"name", "ListMarkers"}, {"action", "select"}, {"index", 2}}));
    s.key(13, 0, "ListMarkers");
    s.expect("document", urlContains("cap3.htm"), mark);
    s.expect("player", seek(8, 1e-9), mark);
    s.expect("player", action("playing", "cap3_1"), mark);
    SESSION_VERIFY(s, s.indexOf("dialog") < 0, "no dialog on the way");
    QVERIFY(s.quitYes());
}

// The reader's keys, sent as key presses to the window, as from the keyboard.
void TstAutomation::keyboardDrivesTheBook()
{
    QTemporaryDir dir;
    Session s(dir, {});
    s.follow("Libro/cap1.htm");
    s.expect("player", action("playing", "cap1_1"));
    const int ctrl = 2, alt = 4;
    int mark = 0;
    auto press = [&](int code, int mask) { mark = s.key(code, mask); };
    auto pause = [&](int ms) {
        s.send(command("wait", {{"ms", ms}}));
        s.expect("waited", {}, mark);
    };

    // Ctrl+3 pauses, and again resumes.
    press('3', ctrl);
    s.expect("player", action("pause"), mark);
    press('3', ctrl);
    s.expect("player", action("play"), mark);
    // Ctrl+Shift+3 is another key: nothing happens.
    press('3', ctrl | 1);
    pause(300);
    SESSION_VERIFY(s, s.indexOf("player", action("pause"), mark) < 0, "Ctrl+Shift+3 did nothing");

    // Ctrl+2 skips forward by the skip length (10 s).
    const double before = s.state().value("position").toDouble();
    press('2', ctrl);
    s.expect("player", seek(before + 10, 1.5), mark);

    // Alt+8: the next index entry at or after the position (16 s, then 28 s).
    press('8', alt);
    s.expect("osd", textStarts("Indice avanti - Indice 2"), mark);
    s.expect("player", seek(16, 1.5), mark);
    press('8', alt);
    s.expect("osd", textStarts("Indice avanti - Indice 3"), mark);
    s.expect("player", seek(28, 1.5), mark);
    // Back to the start of the section before the one being heard.
    press('7', alt);
    s.expect("osd", textStarts("Indice indietro - Indice 1"), mark);

    // Ctrl+7 and Ctrl+6: the next and the previous page file.
    press('7', ctrl);
    s.expect("document", urlContains("cap2.htm"), mark);
    s.expect("player", action("playing", "cap2_1"), mark);
    press('6', ctrl);
    s.expect("document", urlContains("cap1.htm"), mark);

    // Alt+"+" and Alt+"-" change the speed, which is stored.
    press(187, alt);
    QCOMPARE(s.expectText("setting", setting("Rate"), "value", mark), "1.1");
    press(189, alt);
    QCOMPARE(s.expectText("setting", setting("Rate"), "value", mark), "1");

    // A message that follows another gets its own full time on screen (1500
    // ms): the band does not hide 1500 ms after the first one, 800 ms before
    // the second (the bound leaves room for a busy machine).
    press(189, ctrl);
    pause(800);
    press(187, ctrl);
    const int second = s.expect("osd", textStarts("Volume - "), mark);
    const int hidden = s.expect("osd-hidden", {}, second);
    SESSION_VERIFY(s, s.event(hidden).value("t").toDouble() - s.event(second).value("t").toDouble() >= 1000,
                   "full time for the second");

    // Ctrl+0 switches reading off and on again.
    press('0', ctrl);
    s.expect("setting", setting("AudioOff"), mark);
    SESSION_VERIFY(s, s.state().value("audioOff").toBool(), "reading off");
    press('0', ctrl);
    s.expect("setting", setting("AudioOff"), mark);
    SESSION_VERIFY(s, !s.state().value("audioOff").toBool(), "reading on");

    // Alt+9: the next style sheet, stored, and the page reloaded.
    press('9', alt);
    QCOMPARE(s.expectText("setting", setting("StyleSheet"), "value", mark), "2");
    s.expect("document", urlContains("cap1.htm"), mark);

    // Alt+3 asks for a description and adds the bookmark; Alt+6 lists it,
    // Escape closes the list.
    press('3', alt);
    s.expect("dialog", is("kind", "input"), mark);
    s.send(command("answer", {{"text", "Il faro acceso"}}));
    s.expect("setting", is("key", "1NOME"), mark);
    press('6', alt);
    QJsonObject st;
    s.until([&] { return (st = s.state()).value("visible").toObject().value("fraMarcatori").toBool(); });
    const QJsonArray list = st.value("list").toArray();
    SESSION_VERIFY(s, list.size() == 1 && list.at(0).toString().endsWith(" - Il faro acceso"),
                   qPrintable(QJsonDocument(list).toJson()));
    press(27, 0);
    s.until([&] { return !s.visible("fraMarcatori"); });
    SESSION_VERIFY(s, !s.visible("fraMarcatori"), "Escape closed the list");

    // Ctrl+8 opens the options panel; the skip length and volume typed there are stored.
    press('8', ctrl);
    s.until([&] { return s.visible("frmconfigurazione"); });
    mark = s.count();
    s.send(command("control", {{"name", "TextAvantiIndietro"}, {"action", "set"}, {"value", "15"}}));
    s.send(command("control", {{"name", "TextVolume"}, {"action", "set"}, {"value", "50"}}));
    QCOMPARE(s.expectText("setting", setting("AvantiIndietro"), "value", mark), "15");
    QCOMPARE(s.expectText("setting", setting("Volume"), "value", mark), "50");
    SESSION_VERIFY(s, s.indexOf("dialog", is("kind", "error")) < 0, "no error on the way");
    QVERIFY(s.quitYes());
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
    const QString home = dir.filePath("casa");
    QVERIFY(QDir().mkpath(home));
    const QString section = "LIBRO\\CAP1.HTM";
    const QByteArray own =
        "[HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\QYR MediaPlayer\\" + section.toLatin1() + "]\r\n";
    // The old exporter escaped neither quotes nor backslashes.
    QVERIFY(writeFile(home + "/vecchio.reg", "REGEDIT4\r\n\r\n" + own +
                                                 "\"1\"=\"16\"\r\n\"1NOME\"=\"Capitolo \"uno\"\"\r\n"
                                                 "\"2\"=\"30\"\r\n\"2NOME\"=\"fine \\\"\r\n"));
    QVERIFY(writeFile(home + "/rotto.reg", "REGEDIT4\r\n\r\n" + own + "\"1\"=hex:zz\r\n"));
    QVERIFY(writeFile(home + "/altro.qyr",
                      test::RegfWriter(HiveKey{"Altro programma", {RegValue{"a", regtype::String, QByteArray("b\0\0\0", 4)}}, {}})
                          .bytes()));

    Session s(dir, {}, {{"HOME", home}, {"XDG_CONFIG_HOME", dir.filePath("config")}});
    s.follow("Libro/cap1.htm");
    s.expect("document", urlContains("cap1.htm"));

    auto control = [&](const QString &name, const QString &action, const QJsonValue &value = QJsonValue()) {
        QJsonObject o{{"name", name}, {"action", action}};
        if (!value.isUndefined() && !value.isNull())
            o.insert(value.isDouble() ? "index" : "value", value);
        s.send(command("control", o));
    };
    QString said;
    auto answerDialog = [&](const QString &kind, const QString &contains) {
        said = s.expectText("dialog", is("kind", kind), "text");
        if (!said.contains(contains))
            return false;
        s.answer("ok");
        return true;
    };
    // "Importa Marcatori", the file chosen in the home folder's list, OK.
    auto import = [&](const QString &name) {
        control("cmdImpExp(1)", "click");
        QVERIFY(s.until([&] { return s.visible("frmImpExp"); }));
        control("Drive", "select", QDir::toNativeSeparators(home));
        const QStringList files = QDir(home).entryList({"*.qyr", "*.reg"}, QDir::Files, QDir::Name | QDir::IgnoreCase);
        control("File", "select", int(files.indexOf(name)));
        control("cmdImpExp(2)", "click");
    };
    auto listNow = [&](int size) {
        QJsonArray list;
        s.until([&] { return (list = s.state().value("list").toArray()).size() == size; });
        QStringList out;
        for (const QJsonValue &v : list)
            out << v.toString().section(" - ", 1);
        return out;
    };
    const QString copies = dir.filePath("config/qyrplayer/copie-di-sicurezza");
    auto copiesNow = [&] {
        QStringList out;
        for (const QFileInfo &i : QDir(copies).entryInfoList(QDir::Files, QDir::Name)) {
            QFile in(i.filePath());
            out << i.fileName() + QString::number(qHash(in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray()));
        }
        return out;
    };

    // No bookmarks yet: Alt+6 says so and opens the panel all the same, on "Importa Marcatori".
    s.key('6', 4);
    QVERIFY2(answerDialog("message", "Non ci sono marcatori"), qPrintable(said));
    QVERIFY(s.until([&] { return s.visible("fraMarcatori"); }));
    QVERIFY(s.until([&] { return field(s.state().value("focus").toObject(), "name") == "cmdImpExp(1)"; }));

    // The old program's file imports whole; the message says where the safety copy is.
    import("vecchio.reg");
    QVERIFY2(answerDialog("message", "Ripristino effettuato"), qPrintable(said));
    QVERIFY2(said.contains(copies), qPrintable(said));
    QCOMPARE(listNow(2), (QStringList{"Capitolo \"uno\"", "fine \\"}));
    const QStringList copiesBefore = copiesNow();
    QCOMPARE(copiesBefore.size(), 1);

    // A Greek description: the export keeps it, in the version 5 format, and says so.
    s.put(section, "3", "45");
    s.put(section, "3NOME", "Ο φάρος είναι σβηστός");
    s.expect("setting", is("key", "3NOME"));
    control("cmdImpExp(0)", "click");
    QVERIFY(s.until([&] { return s.visible("frmImpExp"); }));
    control("Drive", "select", QDir::toNativeSeparators(home));
    control("TextFileName", "set", "segnalibri");
    control("cmdImpExp(2)", "click");
    QVERIFY2(answerDialog("message", "Export effettuato correttamente"), qPrintable(said));
    QVERIFY2(said.contains("Unicode"), qPrintable(said));
    QFile exported(home + "/segnalibri.REG");
    QVERIFY2(exported.open(QIODevice::ReadOnly), qPrintable(exported.fileName()));
    QVERIFY(exported.readAll().startsWith(QByteArray("\xff\xfeW\0i\0n\0", 8)));

    // Every bookmark of the page deleted (Alt+4, yes).
    s.key('4', 4);
    s.expect("dialog");
    s.answer("yes");
    QVERIFY(listNow(0).isEmpty());

    // Someone else's hive, then a broken file: both refused, nothing changed,
    // the safety copies as they were.
    import("altro.qyr");
    QVERIFY2(answerDialog("error", "non contiene impostazioni"), qPrintable(said));
    import("rotto.reg");
    QVERIFY2(answerDialog("error", "Riga 4"), qPrintable(said));
    SESSION_VERIFY(s, copiesNow() == copiesBefore, qPrintable(copiesNow().join(' ')));

    // The exported file brings all three back, the Greek one whole.
    import("segnalibri.REG");
    QVERIFY2(answerDialog("message", "Ripristino effettuato"), qPrintable(said));
    SESSION_VERIFY(s, (listNow(3) == QStringList{"Capitolo \"uno\"", "fine \\", "Ο φάρος είναι σβηστός"}),
                   qPrintable(listNow(3).join('|')));
    SESSION_VERIFY(s, copiesNow().size() == 2 && copiesNow().mid(0, 1) == copiesBefore, "a new copy beside the old one");
    QVERIFY(s.quitYes());
}

QTEST_GUILESS_MAIN(TstAutomation)
#include "tst_automation.moc"
