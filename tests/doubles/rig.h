#pragma once
// The main window's logic on doubles, whole or one part at a time.
#include "doubles/doubles.h"
#include "platform/daisy.h"
#include "player/frmwmp9.h"
#include "shell/frmbrowser.h"

#include <QScopeGuard>
#include <QtTest>
#include <memory>
#include <vector>

namespace qyr::test {

// On leaving a case of a table: its name, when one of its checks failed.
inline auto naming(const char *name)
{
    return qScopeGuard([name] {
        if (QTest::currentTestFailed())
            qWarning("case: %s", name);
    });
}

// The doubles every test of the logic runs on: every port in memory, time
// manual, and the media controls the players create, logged.
struct Bench {
    MemoryRegistry reg;
    FakeFiles files;
    ScriptedDialogs dialogs;
    ManualClock clock;
    FakeBrowser browser;
    std::vector<FakeMedia *> medias;   // the controls alive now, owned by their hosts
    QStringList mediaLog;              // what every control was asked, in order
    FakeVideoWindow *window = nullptr; // the newest host's window
    int mediaFailures = 0;             // how many creations fail before one succeeds
    bool mediaAlwaysFails = false;

    Bench()
    {
        clock.onSleep = [this] { browser.tick(); };
    }
    Bench(const Bench &) = delete;
    MediaHostParts newMedia()
    {
        if (mediaAlwaysFails || mediaFailures-- > 0)
            throw QyrError(err::MediaHost, QStringLiteral("lettore non disponibile"));
        auto m = std::make_unique<FakeMedia>();
        m->sharedLog = &mediaLog;
        m->onGone = [this](FakeMedia *gone) { medias.erase(std::find(medias.begin(), medias.end(), gone)); };
        medias.push_back(m.get());
        auto w = std::make_unique<FakeVideoWindow>();
        window = w.get();
        return MediaHostParts{std::move(m), std::move(w)};
    }
    void clearTraces()
    {
        mediaLog.clear();
        dialogs.shown.clear();
        browser.navigations.clear();
        files.asked.clear();
    }
    FakeMedia *media() { return medias.empty() ? nullptr : medias.back(); }
    // The files the controls were given since the last clear.
    QString played() const { return mediaLog.filter("url:").join('|').remove("url:"); }
    void meta(const QString &name, const QString &content)
    {
        browser.elements.insert(name.toLower(), FakeBrowser::meta(name, content));
    }
    // Bookmarks as "slot|position|description|audio"; position "-" and a
    // missing audio are left out.
    void putMarks(const QString &section, const QStringList &records)
    {
        for (const QString &rec : records) {
            const QStringList p = rec.split('|');
            if (p[1] != "-")
                reg.put(section, p[0], p[1]);
            reg.put(section, p[0] + "NOME", p[2]);
            if (p.size() > 3)
                reg.put(section, p[0] + "NOMEAUDIO", p[3]);
        }
    }
    QStringList marks(const QString &section)
    {
        QStringList out;
        for (int n = 1; n <= 101; ++n) {
            const QString s = QString::number(n), name = reg.get(section, s + "NOME");
            if (name != "<assente>")
                out << s + '|' + reg.get(section, s) + '|' + name + '|' + reg.get(section, s + "NOMEAUDIO");
        }
        return out;
    }
};

// What a part tested alone stands on: the settings, the player slot, the
// on-screen answers, the open book and the page addresses, real and small,
// over the doubles. The part under test is built beside them with only what
// it uses.
struct Parts : Bench {
    ErrorReporter er{dialogs};
    BookView view{reg};
    Settings settings{view};
    PlayerSettings prefs{{er, settings}};
    PlayerSlot players;
    TimerModel TimerOSD{QStringLiteral("TimerOSD"), 1500, &clock};
    Panel frmOSD{QStringLiteral("frmOSD")};
    Label lblOSD{QStringLiteral("lblOSD")};
    CheckBox chkAudioOff{QStringLiteral("chkAudioOff")};
    Feedback feedback{{er, players, prefs, TimerOSD, frmOSD, lblOSD, chkAudioOff}};
    std::unique_ptr<IDaisyReader> daisyReader; // none: DAISY books cannot be read
    Books books;
    UrlHelpers urls{{er, browser, files, feedback, books}};

    using DaisyReaderOn = std::function<std::unique_ptr<IDaisyReader>(IFiles &)>;
    explicit Parts(const QString &appFolder = QStringLiteral("/libri/demo"), const DaisyReaderOn &daisy = {})
        : daisyReader(daisy ? daisy(files) : nullptr),
          books({er, files, dialogs, view, [this] { players.stop(); }, daisyReader.get(), appFolder,
                 [this](const QString &t) { feedback.OSD(t, false); }, [] {}})
    {
        reg.seenThrough = &view;
        books.openAtStart();
        players.setFactory([this] {
            return std::make_unique<oEkoPlayer>(er, [this]() -> std::unique_ptr<IPlayer> {
                return std::make_unique<frmWMP9>(er, clock, clock, newMedia());
            });
        });
    }
    // The version 9 player at the stored speed, as start-up makes it.
    void makePlayer()
    {
        players.oPlayer = players.create();
        players.oPlayer->setVersione(1);
        players.oPlayer->setRate(feedback.PlayerRate());
    }
    QString osd() const { return frmOSD.visible() ? lblOSD.caption() : QString(); }
};

struct Rig : Bench {
    std::unique_ptr<frmBrowser> f;

    // realFiles and hives, when given, stand in for the in-memory files and
    // for no hive reader; otherPlayer: version 0 has a player too.
    explicit Rig(const QString &appFolder = QStringLiteral("/libri/demo"), IFiles *realFiles = nullptr,
                 IHiveReader *hives = nullptr, bool otherPlayer = false)
    {
        Ports p{.registry = reg,
                .files = realFiles ? *realFiles : files,
                .dialogs = dialogs,
                .pump = clock,
                .timers = clock,
                .browser = browser,
                .createMedia = [this] { return newMedia(); },
                .appFolder = appFolder,
                .hives = hives};
        if (otherPlayer)
            p.createOtherMedia = [this] { return newMedia(); };
        f = std::make_unique<frmBrowser>(p);
        reg.seenThrough = &f->view;
    }
    void start()
    {
        f->startup.Form_Load();
        f->startup.Form_Initialize();
    }
    // Started, showing location, the traces of start-up cleared.
    void startAt(const QString &location)
    {
        start();
        browser.location = location;
        clear();
    }
    void clear()
    {
        clearTraces();
        f->frmOSD.setVisible(false);
    }
    // The message on show, if any.
    QString osd() const { return f->frmOSD.visible() ? f->lblOSD.caption() : QString(); }
    // The bookmarks of the page shown (or of page, listed as the n-th of the
    // whole book), loaded into the list afresh.
    void loadMarks(const QString &page = QString(), qint32 n = 0)
    {
        f->marks.ClearMarcatori();
        f->marks.Marcatori(BookmarkStore::MarkerMode::List, page, n);
    }
};

} // namespace qyr::test
