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
#include "platform/videowindow.h"

#include <QHash>
#include <QMap>
#include <QQueue>
#include <QSet>
#include <QStringList>
#include <algorithm>
#include <map>

namespace qyr::test {

// Registry tree in memory, names compared without regard to case.
class MemoryRegistry : public IRegistry {
public:
    std::optional<RegValue> value(const QString &key, const QString &name) override
    {
        const auto k = keys_.find(norm(key));
        if (k == keys_.end())
            return std::nullopt;
        for (const RegValue &v : k->second.values)
            if (v.name.compare(name, Qt::CaseInsensitive) == 0)
                return v;
        return std::nullopt;
    }
    void setValue(const QString &key, const RegValue &v) override
    {
        if (failWrites)
            throw QyrError(err::SettingsStore, QStringLiteral("scrittura simulata non riuscita"));
        ensure(key);
        auto &vals = keys_[norm(key)].values;
        for (RegValue &e : vals)
            if (e.name.compare(v.name, Qt::CaseInsensitive) == 0) {
                e = v;
                return;
            }
        vals.append(v);
    }
    void deleteValue(const QString &key, const QString &name) override
    {
        auto k = keys_.find(norm(key));
        if (k == keys_.end())
            return;
        auto &vals = k->second.values;
        vals.erase(std::remove_if(vals.begin(), vals.end(),
                                  [&](const RegValue &v) { return v.name.compare(name, Qt::CaseInsensitive) == 0; }),
                   vals.end());
    }
    void deleteKey(const QString &key) override
    {
        const QString n = norm(key);
        for (auto it = keys_.begin(); it != keys_.end();)
            it = (it->first == n || it->first.startsWith(n + QLatin1Char('\\'))) ? keys_.erase(it) : std::next(it);
    }
    bool keyExists(const QString &key) override { return keys_.count(norm(key)) > 0; }
    QStringList subKeys(const QString &key) override
    {
        QStringList out;
        const QString n = norm(key) + QLatin1Char('\\');
        for (const auto &[k, e] : keys_)
            if (k.startsWith(n) && !k.mid(n.size()).contains(QLatin1Char('\\')))
                out << e.name;
        return out;
    }
    QList<RegValue> values(const QString &key) override
    {
        const auto k = keys_.find(norm(key));
        return k == keys_.end() ? QList<RegValue>() : k->second.values;
    }
    void transaction(const std::function<void()> &body) override
    {
        const auto saved = keys_;
        try {
            body();
        } catch (...) {
            keys_ = saved;
            throw;
        }
    }
    // Shorthand for the program's own settings, as the program sees them
    // (through the open book's view when one is set).
    QString get(const QString &section, const QString &name)
    {
        IRegistry &r = seenThrough ? *seenThrough : *this;
        const auto v = r.value(settingsRoot() + QStringLiteral("\\QYR MediaPlayer\\") + section, name);
        return v ? v->text() : QStringLiteral("<assente>");
    }
    void put(const QString &section, const QString &name, const QString &text)
    {
        IRegistry &r = seenThrough ? *seenThrough : *this;
        r.setValue(settingsRoot() + QStringLiteral("\\QYR MediaPlayer\\") + section, RegValue::fromText(name, text));
    }
    IRegistry *seenThrough = nullptr;
    bool failWrites = false;

private:
    struct Entry {
        QString name;
        QList<RegValue> values;
    };
    static QString norm(const QString &key) { return key.split(QLatin1Char('\\'), Qt::SkipEmptyParts).join(QLatin1Char('\\')).toCaseFolded(); }
    void ensure(const QString &key)
    {
        const QStringList parts = key.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
        QString path;
        for (const QString &p : parts) {
            path = path.isEmpty() ? p : path + QLatin1Char('\\') + p;
            auto &e = keys_[norm(path)];
            if (e.name.isEmpty())
                e.name = p;
        }
    }
    std::map<QString, Entry> keys_;
};

class FakeFiles : public IFiles {
public:
    QSet<QString> existing; // native paths with "/" separators, case-insensitive
    static QString norm(QString p)
    {
        p.replace(QLatin1Char('\\'), QLatin1Char('/'));
        p.remove(QLatin1String("file://"));
        while (p.contains(QLatin1String("//")))
            p.replace(QLatin1String("//"), QLatin1String("/"));
        if (!p.startsWith(QLatin1Char('/')))
            p.prepend(QLatin1Char('/'));
        return p.toLower();
    }
    void add(const QString &p) { existing.insert(norm(p)); }
    bool fileExists(const QString &path) override { asked << path; return existing.contains(norm(path)); }
    bool folderExists(const QString &) override { return !bookGone; }
    bool bookGone = false; // a removed drive: no folder is there
    QString resolve(const QString &path) override { return fileExists(path) ? norm(path) : QString(); }
    // Folders and files are those the existing paths imply (names in lower case).
    QStringList folders(const QString &folder) override { return children(folder, true); }
    QStringList files(const QString &folder, const QString & = QString()) override { return children(folder, false); }
    QStringList children(const QString &folder, bool wantFolders) const
    {
        const QString base = norm(folder) + QLatin1Char('/');
        QStringList out;
        for (const QString &p : existing) {
            if (!p.startsWith(base))
                continue;
            const QString rest = p.mid(base.size());
            const int slash = rest.indexOf(QLatin1Char('/'));
            const QString name = slash < 0 ? rest : rest.left(slash);
            if ((slash >= 0) == wantFolders && !out.contains(name))
                out << name;
        }
        out.sort();
        return out;
    }
    bool deleteFile(const QString &path) override { return existing.remove(norm(path)); }
    QStringList volumes() override { return volumeRoots; }
    // Whole files live in memory too.
    QByteArray readFile(const QString &path, qint64) override
    {
        if (!contents.contains(norm(path)))
            throw QyrError(err::FileNotFound, QStringLiteral("Il file %1 non esiste.").arg(path));
        return contents.value(norm(path));
    }
    bool writeFile(const QString &path, const QByteArray &bytes, QString *problem) override
    {
        if (failWrites) {
            if (problem)
                *problem = QStringLiteral("Scrittura del file %1 non riuscita.").arg(path);
            return false;
        }
        contents.insert(norm(path), bytes);
        add(path);
        return true;
    }
    bool makeFolder(const QString &) override { return true; }
    bool makeWritable(const QString &) override { return true; }
    bool sameFile(const QString &a, const QString &b) override { return norm(a) == norm(b); }
    QString ownFolder() override { return QStringLiteral("/config/qyrplayer"); }
    QHash<QString, QByteArray> contents;
    bool failWrites = false;
    QStringList volumeRoots;
    QStringList asked;
};

// Records every dialog; answers message boxes from a queue (default: the
// first button of the kind asked, Yes for questions).
class ScriptedDialogs : public IDialogs {
public:
    struct Shown {
        QString kind, title, text, name;
    };
    Answer message(const QString &title, const QString &text, Buttons buttons, Icon) override
    {
        shown.append({QStringLiteral("message"), title, text, QString()});
        if (!answers.isEmpty())
            return answers.dequeue();
        return buttons == Buttons::Ok ? Answer::Ok : Answer::Yes;
    }
    void error(const QString &name, const QString &text) override
    {
        shown.append({QStringLiteral("error"), QStringLiteral("LUMO Player - Segnalazioni"), text, name});
    }
    std::optional<QString> chooseFolder(const QString &title, const QString &start) override
    {
        shown.append({QStringLiteral("folder"), title, start, QString()});
        if (inputs.isEmpty())
            return std::nullopt;
        return inputs.dequeue();
    }
    std::optional<QString> input(const QString &title, const QString &label, const QString &) override
    {
        shown.append({QStringLiteral("input"), title, label, QString()});
        if (inputs.isEmpty())
            return std::nullopt;
        return inputs.dequeue();
    }
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
            TimerModel *next = nullptr;
            qint64 when = end + 1;
            for (const auto &[t, d] : due)
                if (d <= end && d < when) {
                    when = d;
                    next = t;
                }
            if (!next)
                break;
            now = when;
            due[next] = now + std::max(1, next->interval());
            next->fire();
        }
        now = end;
    }
    qint64 now = 0;
    int slept = 0;
    std::function<void()> onSleep;
    std::function<void()> onPump; // what a queued event would do
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
        if (state == 4)
            document = true;
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
        QString bare = url;
        bare.truncate(bare.indexOf(QLatin1Char('#')) < 0 ? bare.size() : bare.indexOf(QLatin1Char('#')));
        const Page p = pages.value(bare);
        location = url;
        pageTitle = p.title;
        elements = p.elements;
        sheets = p.sheets;
        state = 4;
        document = true;
        DocumentComplete(url);
    }
    static PageElement meta(const QString &name, const QString &content)
    {
        return PageElement{name, content, QString(), QString(), true, true};
    }
    static PageElement field(const QString &name, const QString &value)
    {
        return PageElement{name, QString(), QString(), value, true, false};
    }
    QString locationURL() override { return location; }
    // The page's title when the test gives one, else its address.
    QString locationName() override { return locationTitle.isEmpty() ? location : locationTitle; }
    QString locationTitle;
    int readyState() override { return state; }
    QString title() override { return pageTitle; }
    bool hasDocument() override { return document; }
    void setBodyHtml(const QString &html) override { bodies << html; }
    PageElement element(const QString &name) override { return elements.value(name.toLower()); }
    void setFocus() override {}
    void focusDocument() override { ++focused; }
    int styleSheetCount() override { return int(sheets.size()); }
    void createStyleSheet(const QString &url, int index) override { sheets.insert(qMin(index, int(sheets.size())), url); }
    // Called by the clock's onSleep: the load completes after some sleeps.
    void tick()
    {
        if (state != 4 && --readyAfterSleeps <= 0) {
            state = 4;
            document = true;
        }
    }
    QStringList navigations, bodies;
    QString location, pageTitle;
    int state = 0;
    int readyAfterSleeps = 0;
    bool document = false;
    QHash<QString, PageElement> elements;
    QStringList sheets;
    int focused = 0;
    QHash<QString, Page> pages;
    bool autoComplete = false; // navigations load their page at once
    bool failNavigation = false;
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
    void play() override { note(QStringLiteral("play")); set(playstate::Playing); }
    void pause() override { note(QStringLiteral("pause")); set(playstate::Paused); }
    void stop() override
    {
        note(QStringLiteral("stop"));
        position = 0;
        set(playstate::Stopped);
    }
    int playState() override { return state; }
    double currentPosition() override { return position; }
    void setCurrentPosition(double s) override { position = s; }
    double duration() override { return length; }
    float rate() override { return rate_; }
    void setRate(float r) override { rate_ = r; }
    int volume() override { return volume_; }
    void setVolume(int v) override
    {
        if (v < 0 || v > 100)
            throw QyrError(err::InvalidCall);
        volume_ = v;
    }
    void setGain(double g) override { gain = g; }
    void setAutoStart(bool on) override { autoStart = on; }
    void setUiMode(const QString &m) override { uiMode = m; }
    void setEnabled(bool) override {}
    int imageSourceWidth() override { return imageWidth; }
    int imageSourceHeight() override { return imageHeight; }
    QString versionInfo() override { return QStringLiteral("doppio di prova"); }
    int imageWidth = 0, imageHeight = 0;
    void note(const QString &what)
    {
        log << what;
        if (sharedLog)
            *sharedLog << what;
    }
    // The media reaches its end, as the control reports it.
    void end() { set(playstate::MediaEnded); }
    void set(int s) { state = s; PlayStateChange(s); }
    QStringList log;
    QStringList *sharedLog = nullptr; // outlives the control
    std::function<void(FakeMedia *)> onGone;
    QString url_, uiMode;
    int state = playstate::Undefined;
    double position = 0, length = 60;
    float rate_ = 1;
    int volume_ = 100;
    double gain = -1; // the last linear gain given; -1: none
    bool autoStart = false;
};

// The host's window on a 1024x768 screen at 15 twips per pixel.
class FakeVideoWindow : public IVideoWindow {
public:
    bool visible() override { return shown; }
    void setVisible(bool on) override { shown = on; }
    void setMaximized(bool on) override { maximized = on; }
    void setGeometryTwips(float l, float t, float w, float h) override
    {
        left = l;
        top = t;
        width = w;
        height = h;
    }
    float screenWidthTwips() override { return 1024 * 15; }
    float screenHeightTwips() override { return 768 * 15; }
    double twipsPerPixelX() override { return 15; }
    double twipsPerPixelY() override { return 15; }
    bool shown = false, maximized = false;
    float left = -1, top = -1, width = -1, height = -1;
};

} // namespace qyr::test
