#pragma once
// In-process doubles of the ports, for unit tests of the logic.
#include "platform/browser.h"
#include "platform/controls.h"
#include "platform/dialogs.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "platform/media.h"
#include "platform/pump.h"
#include "platform/registry.h"
#include "platform/speech.h"
#include "platform/store/sqlite/sqliteregistry.h"
#include "platform/videowindow.h"

#include <QHash>
#include <QQueue>
#include <QRegularExpression>
#include <QSet>
#include <QStringList>
#include <algorithm>
#include <map>
#include <memory>

namespace qyr::test {

// The settings tree of the logic's tests: the program's own SQLite store, in
// memory, so that the tests see the case folding and ordering the program has.
class MemoryRegistry : public IRegistry {
public:
    std::optional<RegValue> value(const QString &key, const QString &name) override { return store_->value(key, name); }
    void setValue(const QString &key, const RegValue &v) override
    {
        if (failWrites)
            throw QyrError(err::SettingsStore, QStringLiteral("scrittura simulata non riuscita"));
        store_->setValue(key, v);
    }
    void deleteValue(const QString &key, const QString &name) override { store_->deleteValue(key, name); }
    void deleteKey(const QString &key) override { store_->deleteKey(key); }
    bool keyExists(const QString &key) override { return store_->keyExists(key); }
    QStringList subKeys(const QString &key) override { return store_->subKeys(key); }
    QList<RegValue> values(const QString &key) override { return store_->values(key); }
    void transaction(const std::function<void()> &body) override { store_->transaction(body); }
    // The program's own settings, as the program sees them (through the open
    // book's view when one is set).
    QString get(const QString &section, const QString &name)
    {
        const auto v = view().value(own(section), name);
        return v ? v->text() : QStringLiteral("<assente>");
    }
    void put(const QString &section, const QString &name, const QString &text)
    {
        view().setValue(own(section), RegValue::fromText(name, text));
    }
    IRegistry *seenThrough = nullptr;
    bool failWrites = false;

private:
    IRegistry &view() { return seenThrough ? *seenThrough : *this; }
    static QString own(const QString &section) { return settingsRoot() + QStringLiteral("\\QYR MediaPlayer\\") + section; }
    std::unique_ptr<SqliteRegistry> store_ = SqliteRegistry::open(QStringLiteral(":memory:")).store;
};

// Files that exist by name only (names in lower case, "/" separators); the
// folders are those the names imply.
class FakeFiles : public IFiles {
public:
    static QString norm(QString p)
    {
        p.replace(QLatin1Char('\\'), QLatin1Char('/')).remove(QLatin1String("file://"));
        while (p.contains(QLatin1String("//")))
            p.replace(QLatin1String("//"), QLatin1String("/"));
        return (p.startsWith(QLatin1Char('/')) ? p : QLatin1Char('/') + p).toLower();
    }
    void add(const QString &p) { existing.insert(norm(p)); }
    bool fileExists(const QString &path) override { asked << path; return existing.contains(norm(path)); }
    bool folderExists(const QString &) override { return !bookGone; }
    QString resolve(const QString &path) override { return fileExists(path) ? norm(path) : QString(); }
    QStringList folders(const QString &folder) override { return children(folder, true); }
    QStringList files(const QString &folder, const QString & = QString()) override { return children(folder, false); }
    bool deleteFile(const QString &path) override { return existing.remove(norm(path)); }
    QStringList volumes() override { return volumeRoots; }
    Result<QByteArray> readFile(const QString &path, qint64) override
    {
        if (!contents.contains(norm(path)))
            return Failure{err::FileNotFound, QStringLiteral("Il file %1 non esiste.").arg(path)};
        return contents.value(norm(path));
    }
    Result<Done> writeFile(const QString &path, const QByteArray &bytes) override
    {
        contents.insert(norm(path), bytes);
        add(path);
        return Done{};
    }
    bool makeFolder(const QString &) override { return true; }
    bool makeWritable(const QString &) override { return true; }
    bool sameFile(const QString &a, const QString &b) override { return norm(a) == norm(b); }
    QString ownFolder() override { return QStringLiteral("/config/qyrplayer"); }
    Result<QString> admit(const QString &root, const QString &path, BookFileKind) override
    {
        if (!existing.contains(norm(path)))
            return Failure{err::FileNotFound, QStringLiteral("Il file %1 non esiste.").arg(path)};
        if (!liesBelow(norm(root), norm(path)) || refused.contains(norm(path)))
            return Failure{err::PathAccess, QStringLiteral("Il file %1 è fuori dal libro: non viene aperto.").arg(path)};
        return norm(path);
    }
    QSet<QString> existing, refused; // refused: links out of the book

    QHash<QString, QByteArray> contents;
    QStringList volumeRoots, asked;
    bool bookGone = false; // a removed drive: no folder is there

private:
    QStringList children(const QString &folder, bool wantFolders) const
    {
        const QString base = norm(folder) + QLatin1Char('/');
        QStringList out;
        for (const QString &p : existing) {
            const QString rest = p.mid(base.size()), name = rest.section(QLatin1Char('/'), 0, 0);
            if (p.startsWith(base) && rest.contains(QLatin1Char('/')) == wantFolders && !out.contains(name))
                out << name;
        }
        out.sort();
        return out;
    }
};

// Records every dialog; answers message boxes from a queue (default: the
// first button of the kind asked, Yes for questions), inputs from another.
class ScriptedDialogs : public IDialogs {
public:
    struct Shown {
        QString kind, title, text, name;
    };
    Answer message(const QString &title, const QString &text, Buttons buttons, Icon) override
    {
        shown.append({QStringLiteral("message"), title, text, QString()});
        return !answers.isEmpty() ? answers.dequeue() : buttons == Buttons::Ok ? Answer::Ok : Answer::Yes;
    }
    void error(const QString &name, const QString &text) override
    {
        shown.append({QStringLiteral("error"), QStringLiteral("LUMO Player - Segnalazioni"), text, name});
    }
    // Each folder queued in inputs is chosen in turn; a refused one is shown as
    // the real chooser shows it, which then stays open for the next.
    std::optional<QString> chooseFolder(const QString &title, const QString &start,
                                        const std::function<QString(const QString &)> &refuse) override
    {
        QString at = start;
        for (;;) {
            const std::optional<QString> chosen = ask("folder", title, at);
            if (!chosen)
                return chosen;
            const QString why = refuse(*chosen);
            if (why.isEmpty())
                return chosen;
            shown.append({QStringLiteral("message"), title, why, QString()});
            at = *chosen;
        }
    }
    std::optional<QString> input(const QString &title, const QString &label, const QString &) override { return ask("input", title, label); }
    QStringList errorNames() const
    {
        QStringList n;
        for (const auto &s : shown)
            if (s.kind == QLatin1String("error"))
                n << s.name;
        return n;
    }
    int count(const QString &kind) const
    {
        return int(std::count_if(shown.begin(), shown.end(), [&](const Shown &s) { return s.kind == kind; }));
    }
    QList<Shown> shown;
    QQueue<Answer> answers;
    QQueue<QString> inputs;

private:
    std::optional<QString> ask(const char *kind, const QString &title, const QString &text)
    {
        shown.append({QLatin1String(kind), title, text, QString()});
        return inputs.isEmpty() ? std::nullopt : std::optional<QString>(inputs.dequeue());
    }
};

// A manual clock: timers fire only when the test advances time.
class ManualClock : public IEventPump, public ITimerService {
public:
    void processEvents() override
    {
        if (onPump)
            onPump();
    }
    void sleep(int ms) override
    {
        slept += ms;
        advance(ms);
        if (onSleep)
            onSleep();
    }
    qint64 nowMs() override { return now; }
    void start(TimerModel *t) override { due[t] = now + t->interval(); }
    void stop(TimerModel *t) override { due.erase(t); }
    void forget(TimerModel *t) override { due.erase(t); }
    // Moves time on, firing each timer when it falls due, earliest first.
    void advance(qint64 ms)
    {
        const qint64 end = now + ms;
        for (;;) {
            const auto next = std::min_element(due.begin(), due.end(),
                                               [](const auto &a, const auto &b) { return a.second < b.second; });
            if (next == due.end() || next->second > end)
                break;
            now = next->second;
            next->second = now + std::max(1, next->first->interval());
            next->first->fire();
        }
        now = end;
    }
    qint64 now = 0;
    int slept = 0;
    std::function<void()> onSleep, onPump; // onPump: what a queued event would do
    std::map<TimerModel *, qint64> due;
};

class FakeBrowser : public IBrowser {
public:
    void navigate(const QString &url) override
    {
        if (failNavigation)
            throw QyrError(err::Browser, QStringLiteral("navigazione non riuscita"));
        bool cancel = false;
        BeforeNavigate2(url, cancel);
        if (cancel)
            return;
        navigations << url;
        location = url;
        state = readyAfterSleeps > 0 ? 1 : 4;
        document = state == 4;
        if (autoComplete)
            load(url);
    }
    // A page the test describes, found by its address without anchor.
    struct Page {
        QString title;
        QHash<QString, PageElement> elements; // by lower-case name
        QStringList sheets;                   // style sheets of its own
    };
    // Shows the page described for url (an empty one when none is) and
    // raises the document-complete, as a finished load does.
    void load(const QString &url)
    {
        const Page p = pages.value(url.section(QLatin1Char('#'), 0, 0));
        location = url;
        pageTitle = p.title;
        elements = p.elements;
        sheets = p.sheets;
        state = 4;
        document = true;
        DocumentComplete(url);
    }
    static PageElement meta(const QString &name, const QString &content) { return PageElement{name, content, QString(), QString(), true, true}; }
    static PageElement field(const QString &name, const QString &value) { return PageElement{name, QString(), QString(), value, true, false}; }
    QString locationURL() override { return location; }
    // The page's title when the test gives one, else its address.
    QString locationName() override { return locationTitle.isEmpty() ? location : locationTitle; }
    int readyState() override { return state; }
    QString title() override { return pageTitle; }
    bool hasDocument() override { return document; }
    void setBodyHtml(const QString &html) override { bodies << html; }
    PageElement element(const QString &name) override { return elements.value(name.toLower()); }
    void setFocus() override {}
    void focusDocument() override { ++focused; }
    int styleSheetCount() override { return int(sheets.size()); }
    void createStyleSheet(const QString &url, int index) override { sheets.insert(qMin(index, int(sheets.size())), url); }
    void highlight(const QString &elementId) override { highlights << elementId; }
    QString highlighted() override { return highlights.isEmpty() ? QString() : highlights.last(); }
    // Called by the clock's onSleep: the load completes after some sleeps.
    void tick()
    {
        if (state != 4 && --readyAfterSleeps <= 0)
            state = 4, document = true;
    }
    QStringList navigations, bodies, sheets, highlights;
    QString location, locationTitle, pageTitle;
    QHash<QString, PageElement> elements;
    QHash<QString, Page> pages;
    int state = 0, readyAfterSleeps = 0, focused = 0;
    bool document = false, autoComplete = false, failNavigation = false; // autoComplete: navigations load at once
};

// A media control with scripted behaviour: play states change at once.
class FakeMedia : public IMediaControl {
public:
    ~FakeMedia() override
    {
        if (onGone)
            onGone(this);
    }
    QString url() override { return url_; }
    void setUrl(const QString &u) override
    {
        note(QStringLiteral("url:") + u);
        url_ = u;
        position = 0;
        if (autoStart && !u.isEmpty())
            set(playstate::Playing);
    }
    void clearPlaylist() override { note(QStringLiteral("clear")); }
    void play() override { note(QStringLiteral("play")), set(playstate::Playing); }
    void pause() override { note(QStringLiteral("pause")), set(playstate::Paused); }
    void stop() override { note(QStringLiteral("stop")), position = 0, set(playstate::Stopped); }
    int playState() override { return state; }
    double currentPosition() override { return position; }
    void setCurrentPosition(double s) override { position = s; }
    double duration() override { return length; }
    float rate() override { return rate_; }
    void setRate(float r) override { rate_ = r; }
    int volume() override { return volume_; }
    void setVolume(int v) override { volume_ = (v < 0 || v > 100) ? throw QyrError(err::InvalidCall) : v; }
    void setGain(double g) override { gain = g; }
    void setAutoStart(bool on) override { autoStart = on; }
    void setUiMode(const QString &m) override { uiMode = m; }
    void setEnabled(bool) override {}
    int imageSourceWidth() override { return imageWidth; }
    int imageSourceHeight() override { return imageHeight; }
    QString versionInfo() override { return QStringLiteral("doppio di prova"); }
    void note(const QString &what)
    {
        log << what;
        if (sharedLog)
            *sharedLog << what;
    }
    // The media reaches its end, as the control reports it.
    void end() { set(playstate::MediaEnded); }
    void set(int s) { state = s, PlayStateChange(s); }
    QStringList log;
    QStringList *sharedLog = nullptr; // outlives the control
    std::function<void(FakeMedia *)> onGone;
    QString url_, uiMode;
    int state = playstate::Undefined, volume_ = 100, imageWidth = 0, imageHeight = 0;
    double position = 0, length = 60, gain = -1; // gain: the last linear gain given; -1: none
    float rate_ = 1;
    bool autoStart = false;
};

// The host's window on a 1024x768 screen at 15 twips per pixel.
class FakeVideoWindow : public IVideoWindow {
public:
    bool visible() override { return shown; }
    void setVisible(bool on) override { shown = on; }
    void setMaximized(bool on) override { maximized = on; }
    void setGeometryTwips(float, float, float w, float h) override { width = w, height = h; }
    float screenWidthTwips() override { return 1024 * 15; }
    float screenHeightTwips() override { return 768 * 15; }
    double twipsPerPixelX() override { return 15; }
    double twipsPerPixelY() override { return 15; }
    bool shown = false, maximized = false;
    float width = -1, height = -1;
};

// A voice whose phrases end when the test says so: what it was given, in order.
class FakeSpeech : public ISpeech {
public:
    bool voice = true; // false: no voice on the machine
    QStringList said;  // "phrase|text|language|rate", "message|text", "pause", "resume", "stop"
    bool available() override { return voice; }
    void message(const QString &text) override { said << "message|" + text; }
    void phrase(const QString &text, const QString &language, double rate) override
    {
        said << QStringLiteral("phrase|%1|%2|%3").arg(text, language).arg(rate);
    }
    void pause() override { said << "pause"; }
    void resume() override { said << "resume"; }
    void stop() override { said << "stop"; }
    void finish() { Finished(); } // the phrase being said reaches its end
    QStringList phrases() const { return said.filter(QRegularExpression("^phrase\\|")); }
};

} // namespace qyr::test
