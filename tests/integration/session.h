#pragma once
// The real program, offscreen, driven through its automation channel: one run of it (Session), what its events are
// matched against, and the settings files and sounds the end-to-end tests prepare.
#include "doubles/regf_writer.h"
#include "doubles/treefiles.h"
#include "books/bookview.h"
#include "platform/store/sqlite/sqliteregistry.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>
#include <csignal>
#include <functional>
#include <utility>

using namespace qyr;
using test::readFile;
using test::writeFile;

namespace e2e {

const QString kPlayerKey = "Software\\VB and VBA Program Settings\\QYR MediaPlayer\\Player";
// The web engine starts slowly on a small machine; these only bound a hang.
constexpr int kTimeoutMs = 20000;
constexpr int Shift = 1, Ctrl = 2, Alt = 4;

using Pred = std::function<bool(const QJsonObject &)>;
using Values = QList<std::pair<QString, QString>>;

QString field(const QJsonObject &e, const char *name) { return e.value(QLatin1String(name)).toVariant().toString(); }

// The settings of a file as the program sees them with a book open.
template <typename Body>
auto throughBook(const QString &file, const QString &book, Body &&body)
{
    auto opened = SqliteRegistry::open(file);
    if (!opened.store || !opened.movedAside.isEmpty()) {
        QTest::qFail(qPrintable("settings file unusable: " + opened.problem), __FILE__, __LINE__);
        opened = SqliteRegistry::open(":memory:");
    }
    BookView view(*opened.store);
    view.openBook(book);
    return body(view);
}

// Writes text values into the Player section of a settings file, and returns its name.
QString storeValues(const QString &file, const Values &values, const QString &book = SAMPLE_BOOK)
{
    return throughBook(file, book, [&](IRegistry &view) {
        for (const auto &[name, text] : values)
            view.setValue(kPlayerKey, RegValue::fromText(name, text));
        return file;
    });
}

// Reads a value of the Player section back; a null string when absent.
QString storedValue(const QString &file, const QString &name, const QString &book = SAMPLE_BOOK)
{
    return throughBook(file, book, [&](IRegistry &view) {
        const auto v = view.value(kPlayerKey, name);
        return v ? v->text() : QString();
    });
}

// Events whose field `name` is `value`, or (contains) holds it, ignoring case.
Pred is(const char *name, const QString &value, bool contains = false)
{
    return [=](const QJsonObject &e) { return contains ? field(e, name).contains(value, Qt::CaseInsensitive) : field(e, name) == value; };
}
Pred all(const Pred &a, const Pred &b) { return [=](const QJsonObject &e) { return a(e) && b(e); }; }
Pred setting(const QString &key) { return all(is("section", "Player"), is("key", key)); }
Pred setting(const QString &key, const QString &value) { return all(setting(key), is("value", value)); }
Pred action(const QString &name, const QString &valueContains = QString())
{
    return all(is("action", name), is("value", valueContains, true));
}
Pred urlContains(const QString &part) { return is("url", part, true); }
// A before-navigate to an address containing `part`, cancelled or let through.
Pred navigation(const QString &part, bool cancelled) { return all(urlContains(part), is("cancelled", cancelled ? "true" : "false")); }
Pred textStarts(const QString &text) { return [=](const QJsonObject &e) { return field(e, "text").startsWith(text); }; }
// A seek to `at`, give or take `slack` seconds.
Pred seek(double at, double slack = 0.01)
{
    return [=](const QJsonObject &e) { return field(e, "action") == "seek" && qAbs(e.value("value").toDouble() - at) < slack; };
}

// One run of the program. Every event is kept, so a test can check both what arrived and in which order; expect()
// searches forward from the last match.
class Session {
public:
    explicit Session(const QString &settingsFile, const Values &extraEnv = {}, const QString &book = SAMPLE_BOOK)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        // So that the test also runs directly, outside CTest.
        env.insert("QT_QPA_PLATFORM", env.value("QT_QPA_PLATFORM", "offscreen"));
        env.insert("QTWEBENGINE_CHROMIUM_FLAGS", env.value("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox --disable-gpu"));
        // No voice unless the test brings its own speech server (speechlog.h): the machine's would be started for
        // the program and speak its every message.
        env.insert("SPEECHD_ADDRESS", "unix_socket:" + QDir::tempPath() + "/qyr-nessuna-voce/speechd.sock");
        for (const auto &[name, value] : extraEnv)
            env.insert(name, value);
        proc_.setProcessEnvironment(env);
        QObject::connect(&proc_, &QProcess::readyReadStandardOutput, [this] { readLines(); });
        QObject::connect(&proc_, &QProcess::readyReadStandardError, [this] { stderr_ += proc_.readAllStandardError(); });
        QStringList args{"--automation", "--settings", settingsFile, "--audio-out", "null"};
        if (!book.isEmpty()) // none: the book read last
            args << "--book" << book;
        proc_.start(QYRPLAYER_BIN, args);
        if (!proc_.waitForStarted(kTimeoutMs))
            fail("the program did not start");
    }
    // A reader: a settings file in dir with the splash skipped (the values given are added, or win), the program
    // started, its table of contents shown.
    Session(const QTemporaryDir &dir, const Values &values, const Values &extraEnv = {}, const QString &book = SAMPLE_BOOK)
        : Session(storeValues(dir.filePath("impostazioni.sqlite"), Values{{"TempoSp", "0"}} + values), extraEnv, book)
    {
        expect("ready");
        expect("document", urlContains("Index.htm"));
    }
    // When the test has failed, every event and the error output are printed.
    ~Session()
    {
        if (QTest::currentTestFailed()) {
            QString s = "events seen:\n";
            for (int i = 0; i < events_.size(); ++i)
                s += QString("  #%1 %2\n").arg(i).arg(QString::fromUtf8(QJsonDocument(events_.at(i)).toJson(QJsonDocument::Compact)));
            qWarning().noquote() << s + "not events:\n" + stray_.join('\n') + "\nstderr:\n" + errorOutput();
        }
        if (proc_.state() != QProcess::NotRunning) {
            proc_.kill();
            proc_.waitForFinished(5000);
        }
    }

    // Sends a command; returns the count of events before it, to search from.
    int send(const QString &cmd, QJsonObject fields = {})
    {
        const int mark = count();
        fields.insert("cmd", cmd);
        proc_.write(QJsonDocument(fields).toJson(QJsonDocument::Compact) + '\n');
        return mark;
    }
    int answer(const QString &button) { return send("answer", {{"button", button}}); }
    // A move of a DAISY or EPUB book lands on a clip: said as `said`, the player sent to the clip's start (within
    // 0.2 s), the state on its phrase and audio file.
    void lands(int mark, const QString &said, double begin, const QString &phrase, const QString &audio)
    {
        expect("osd", is("text", said), mark);
        expect("player", seek(begin, 0.2), mark);
        const QJsonObject st = stateWhen([&](const QJsonObject &x) { return field(x, "phrase") == phrase; });
        QVERIFY2(field(st, "file").endsWith(audio), qPrintable(field(st, "file")));
    }
    // Ctrl+key, whose input box is answered with text; the key's mark.
    int typed(int code, const QString &text)
    {
        const int mark = key(code, Ctrl);
        expect("dialog", is("kind", "input"), mark);
        send("answer", {{"text", text}});
        return mark;
    }
    int follow(const QString &href) { return send("follow", {{"href", href}}); }
    int followName(const QString &name) { return send("follow", {{"name", name}}); }
    // Follows a link to a page and waits for its audio to play.
    int reading(const QString &href, const QString &audio) { return expect("player", action("playing", audio), follow(href)); }
    int navigate(const QString &path) { return send("navigate", {{"url", QUrl::fromLocalFile(path).toString()}}); }
    int put(const QString &section, const QString &key, const QString &value)
    {
        return send("setting", {{"section", section}, {"key", key}, {"value", value}});
    }
    // A key press as a keyboard makes it: the main row's digits carry their X11 scan code (10 for 1 ... 19 for 0), so
    // they are read by position, the way the program reads a real key.
    int key(int code, int mask, const QString &target = {})
    {
        QJsonObject k{{"code", code}, {"mask", mask}, {"target", target}};
        if (code >= '0' && code <= '9')
            k.insert("scan", code == '0' ? 19 : 10 + (code - '1'));
        return send("key", k);
    }
    // Acts on a control by name; a number selects an entry, a text is the value.
    int control(const QString &name, const QString &action, const QJsonValue &value = QJsonValue())
    {
        QJsonObject o{{"name", name}, {"action", action}};
        if (!value.isNull())
            o.insert(value.isDouble() ? "index" : "value", value);
        return send("control", o);
    }

    // Waits for the first matching event at or after the cursor (or `from`) and returns its index. When none comes the
    // test fails; once it has failed, waits give up at once and -1 is returned.
    int expect(const QString &event, const Pred &pred = {}, int from = -1)
    {
        if (QTest::currentTestFailed())
            return -1;
        const int start = from < 0 ? cursor_ : from;
        (void)QTest::qWaitFor([&] {
            readLines();
            return indexOf(event, pred, start) >= 0 || proc_.state() == QProcess::NotRunning;
        }, kTimeoutMs);
        readLines();
        const int found = indexOf(event, pred, start);
        if (found < 0)
            fail(QString("no matching \"%1\" event after #%2 (%3)").arg(event).arg(start).arg(
                proc_.state() == QProcess::NotRunning ? "the program has ended, code " + QString::number(proc_.exitCode()) : "timed out"));
        else
            cursor_ = found + 1;
        return found;
    }
    // A field of the event expected, empty when it never came.
    QString expectText(const QString &event, const Pred &pred = {}, const char *name = "value", int from = -1)
    {
        return field(this->event(expect(event, pred, from)), name);
    }
    // How many matching events came from `from` on.
    int count(const QString &event, int from, const Pred &pred = {}) const
    {
        int n = 0;
        for (int i = std::max(from, 0); i < count(); ++i)
            n += field(events_.at(i), "event") == event && (!pred || pred(events_.at(i)));
        return n;
    }
    // Index of the first matching event in [from, to); -1 when there is none.
    int indexOf(const QString &event, const Pred &pred = {}, int from = 0, int to = -1) const
    {
        for (int i = std::max(from, 0); i < (to < 0 ? count() : std::min(to, count())); ++i)
            if (field(events_.at(i), "event") == event && (!pred || pred(events_.at(i))))
                return i;
        return -1;
    }

    // Lets the program run for ms milliseconds; returns the index of its "waited" event.
    int wait(int ms) { return expect("waited", {}, send("wait", {{"ms", ms}})); }
    // Asks for the state and returns it (empty when it does not come).
    QJsonObject state()
    {
        send("state");
        return event(expect("state"));
    }
    bool visible(const QString &name) { return state().value("visible").toObject().value(name).toBool(); }
    // The state, asked until it meets the condition.
    QJsonObject stateWhen(const Pred &cond)
    {
        QJsonObject st;
        if (!until([&] { return cond(st = state()); }) && !QTest::currentTestFailed())
            fail("the state never came to what was waited for; the last: " +
                 QString::fromUtf8(QJsonDocument(st).toJson(QJsonDocument::Compact)).left(600));
        return st;
    }
    bool until(const std::function<bool()> &cond) { return !QTest::currentTestFailed() && QTest::qWaitFor(cond, kTimeoutMs); }
    // The bookmark list as shown, once it has `size` entries.
    QStringList list(int size)
    {
        QJsonArray list;
        until([&] { return (list = state().value("list").toArray()).size() == size; });
        return QVariant(list.toVariantList()).toStringList();
    }
    // Waits for the end of the process; false (the test failed) if it does not end, or does not end cleanly, or wrote
    // anything but events on its standard output.
    bool finished()
    {
        if (QTest::currentTestFailed())
            return false;
        if (!proc_.waitForFinished(kTimeoutMs))
            return fail("the program did not end");
        readLines();
        if (proc_.exitStatus() != QProcess::NormalExit || proc_.exitCode() != 0)
            return fail(QString("the program ended with status %1, code %2").arg(int(proc_.exitStatus())).arg(proc_.exitCode()));
        return stray_.isEmpty() || fail("not events on the standard output");
    }
    void signal(int sig) { ::kill(pid_t(proc_.processId()), sig); }
    void endInput() { proc_.closeWriteChannel(); }
    // Quits through the exit question, answering yes.
    bool quitYes()
    {
        send("quit");
        // The sample book words the exit question its own way.
        expect("dialog", is("title", "LUMO Player"));
        answer("yes");
        return expect("closed") >= 0 && finished();
    }

    QJsonObject event(int i) const { return i < 0 || i >= count() ? QJsonObject() : events_.at(i); }
    int count() const { return int(events_.size()); }
    QString errorOutput() { return QString::fromLocal8Bit(stderr_ += proc_.readAllStandardError()); }

private:
    bool fail(const QString &reason)
    {
        QTest::qFail(qPrintable(reason), __FILE__, __LINE__);
        return false;
    }
    void readLines()
    {
        buffer_ += proc_.readAllStandardOutput();
        for (int nl; (nl = buffer_.indexOf('\n')) >= 0; buffer_.remove(0, nl + 1)) {
            const QJsonObject o = QJsonDocument::fromJson(buffer_.left(nl)).object();
            // Standard output carries events and nothing else.
            if (o.value("event").isString() && o.value("t").isDouble())
                events_.append(o);
            else
                stray_.append(QString::fromUtf8(buffer_.left(nl)));
        }
    }

    QProcess proc_;
    QByteArray buffer_, stderr_;
    QList<QJsonObject> events_;
    QStringList stray_;
    int cursor_ = 0;
};

// Silence of the given length, made by sox.
bool writeSilence(const QString &path, int seconds)
{
    return QProcess::execute("sox", {"-n", "-r", "8000", "-c", "1", path, "trim", "0", QString::number(seconds)}) == 0;
}

// A page of a test book: its title, the audio its elements name in order (QYRPLAYER_AUDIO, _1, ...), more of its
// head, and its body.
QByteArray page(const QString &title, const QStringList &audio = {}, const QString &body = {}, const QString &head = {})
{
    QString metas;
    for (int i = 0; i < audio.size(); ++i)
        metas += QString("<meta name='QYRPLAYER_AUDIO%1' content='%2'>").arg(i ? QString("_%1").arg(i) : QString(), audio[i]);
    return ("<html><head><meta charset='utf-8'><title>" + title + "</title>" + metas + head + "</head><body>" + body).toUtf8();
}
// Stands for a file of that many seconds of silence in writeBook's list.
QByteArray silence(int seconds) { return "\x01silence " + QByteArray::number(seconds); }
// Writes the files of a book under root, their folders made as needed.
bool writeBook(const QString &root, const QList<std::pair<QString, QByteArray>> &files)
{
    for (const auto &[name, content] : files) {
        const QString path = root + '/' + name;
        if (!QDir().mkpath(QFileInfo(path).path()))
            return false;
        if (!content.startsWith("\x01silence "))
            writeFile(path, content);
        else if (!writeSilence(path, content.mid(9).toInt()))
            return false;
    }
    return !QTest::currentTestFailed();
}

// A book of one chapter page, Libro/p1.htm, whose audio elements name the given files (made as silence of the given
// seconds) and whose last audio leads, unless told otherwise, to Libro/p2.htm, read by a long audio of its own.
struct SmallBook {
    QTemporaryDir dir;
    QString folder = dir.filePath("libro");
    explicit SmallBook(const QList<std::pair<QString, int>> &audio, bool nextPage = true)
    {
        QStringList names;
        QList<std::pair<QString, QByteArray>> files{
            {"Index.htm", page("Sommario", {}, "<h1>Libro breve</h1><p><a href='Libro/p1.htm'>Uno</a> <a href='Libro/p2.htm'>Due</a>")},
            {"Libro/p2.htm", page("Due", {"b1.wav"}, "<p>Pagina due")}, {"Libro/b1.wav", silence(30)}};
        for (const auto &[name, seconds] : audio) {
            names << name;
            if (seconds > 0)
                files.append({"Libro/" + name, silence(seconds)});
        }
        const QString next = QString("<meta name='QYRPLAYER_AUDIO_NEXTHTML_%1' content='p2.htm'>").arg(names.size());
        files.append({"Libro/p1.htm", page("Uno", names, "<p>Pagina uno <a href='javascript:location.reload()'>Rileggi</a>",
                                           nextPage ? next : QString())});
        QVERIFY(writeBook(folder, files));
    }
    QString settings() const { return dir.filePath("impostazioni.sqlite"); }
};

} // namespace e2e

using namespace e2e;
