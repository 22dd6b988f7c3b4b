// Bookmark lists and keys on the real SQLite store: the whole-book listing
// of a generated book of 1,000 page files holding 5,000 bookmarks, one
// page's load pass with 20 bookmarks, and the processing from a key press
// to its on-screen message. The browser and the player are doubles: what is
// measured is our own work and the store's. Prints figures; asserts nothing.
#include "doubles/doubles.h"
#include "platform/files/diskfiles.h"
#include "platform/store/sqlite/sqliteregistry.h"
#include "shell/frmbrowser.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace qyr;
using namespace qyr::test;

namespace {

const QString kApp = QStringLiteral("QYR MediaPlayer");

struct Figures {
    std::vector<double> ms;
    double median()
    {
        std::sort(ms.begin(), ms.end());
        return ms[ms.size() / 2];
    }
};

Figures timeRuns(int runs, const std::function<void()> &body)
{
    Figures f;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        body();
        f.ms.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    return f;
}

void touch(const QString &path)
{
    QFile f(path);
    f.open(QIODevice::WriteOnly);
}

void row(const char *what, Figures f, const char *aim, const QString &check)
{
    std::printf("%-46s %9.3f %9.3f %9.3f   %-10s %s\n", what, *std::min_element(f.ms.begin(), f.ms.end()), f.median(),
                *std::max_element(f.ms.begin(), f.ms.end()), aim, qPrintable(check));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString book = dir.filePath(QStringLiteral("libro"));
    QDir().mkpath(book + QStringLiteral("/Libro"));
    QDir().mkpath(book + QStringLiteral("/INCLUDE"));
    touch(book + QStringLiteral("/Index.htm"));
    for (int p = 1; p <= 1000; ++p)
        touch(book + QStringLiteral("/Libro/p%1.htm").arg(p, 4, 10, QLatin1Char('0')));
    touch(book + QStringLiteral("/Libro/venti.htm"));

    auto opened = SqliteRegistry::open(dir.filePath(QStringLiteral("impostazioni.sqlite")));
    if (!opened.store) {
        std::fprintf(stderr, "settings store: %s\n", qPrintable(opened.problem));
        return 1;
    }
    SqliteRegistry &reg = *opened.store;
    const QString root = settingsRoot() + QLatin1Char('\\') + kApp + QLatin1Char('\\');
    auto writeMarks = [&](const QString &section, int count) {
        for (int n = 1; n <= count; ++n) {
            const QString s = QString::number(n);
            reg.setValue(root + section, RegValue::fromText(s, QString::number(n * 37)));
            reg.setValue(root + section, RegValue::fromText(s + QStringLiteral("NOME"),
                                                            QStringLiteral("Segno %1 di %2").arg(n).arg(section)));
            reg.setValue(root + section,
                         RegValue::fromText(s + QStringLiteral("NOMEAUDIO"), QStringLiteral("audio.mp3")));
        }
    };
    reg.transaction([&] {
        for (int p = 1; p <= 1000; ++p)
            writeMarks(QStringLiteral("LIBRO\\P%1.HTM").arg(p, 4, 10, QLatin1Char('0')), 5);
        writeMarks(QStringLiteral("LIBRO\\VENTI.HTM"), 20);
    });

    DiskFiles files;
    ScriptedDialogs dialogs;
    ManualClock clock;
    FakeBrowser browser;
    Ports ports{.registry = reg,
                .files = files,
                .dialogs = dialogs,
                .pump = clock,
                .timers = clock,
                .browser = browser,
                .createMedia = []() {
                    return MediaHostParts{std::make_unique<FakeMedia>(), std::make_unique<FakeVideoWindow>()};
                },
                .appFolder = book};
    frmBrowser f(ports);
    f.startup.Form_Load(); // tables, settings and the player, as at start

    // The whole book, as the table of contents lists it.
    const QString index = QUrl::fromLocalFile(book + QStringLiteral("/Index.htm")).toString();
    browser.location = index;
    Figures whole = timeRuns(5, [&] { f.pageLoad.objWB_DocumentComplete(index); });
    const int listed = f.ListMarkers.listCount();

    // One page with 20 bookmarks: its load pass.
    browser.location = QUrl::fromLocalFile(book + QStringLiteral("/Libro/venti.htm")).toString();
    Figures single = timeRuns(200, [&] {
        f.marks.ClearMarcatori();
        f.marks.Marcatori(BookmarkStore::MarkerMode::List, QString(), 0);
    });
    const int singleListed = f.ListMarkers.listCount();

    // Key presses to their on-screen message, with a file playing.
    f.oPlayer->setFileName(book + QStringLiteral("/Libro/audio.mp3"));
    f.oPlayer->Play_Player();
    int messages = 0;
    f.lblOSD.PropertyChanged.connect([&](Prop p) { messages += p == Prop::Caption; });
    auto keyFigures = [&](int runs, qint16 code, qint16 mask) {
        const int before = messages;
        Figures k = timeRuns(runs, [&] { f.keys.Form_KeyDown(code, mask); });
        return std::pair{k, messages - before};
    };
    auto [playPause, pp] = keyFigures(400, '3', 2);
    auto [skip, sk] = keyFigures(400, '2', 2);
    auto [speedUp, su] = keyFigures(100, 187, 4);
    auto [speedDown, sd] = keyFigures(100, 189, 4);

    std::printf("milliseconds                                         min    median       max   aim        check\n");
    row("whole-book listing, 1,000 pages, 5,000 marks", whole, "< 200", QStringLiteral("%1 entries").arg(listed));
    row("one page's load pass, 20 bookmarks", single, "< 5", QStringLiteral("%1 entries").arg(singleListed));
    row("Ctrl+3 (play/pause) to its message", playPause, "< 5", QStringLiteral("%1 messages").arg(pp));
    row("Ctrl+2 (skip forward) to its message", skip, "< 5", QStringLiteral("%1 messages").arg(sk));
    row("Alt+\"+\" (speed up, stored) to its message", speedUp, "< 5", QStringLiteral("%1 messages").arg(su));
    row("Alt+\"-\" (speed down, stored) to its message", speedDown, "< 5", QStringLiteral("%1 messages").arg(sd));
    std::printf("error dialogs during the runs: %d\n", int(dialogs.shown.size()));
    return 0;
}
