// The cost of one page-audio resolution on a page whose file is found last
// in the search order: it is neither beside the page nor in the book folder
// but in the book's Libro folder, so every earlier place is tried on the
// real file system first. The call has no address, as when one audio chains
// to the next. Prints figures; asserts nothing.
#include "doubles/doubles.h"
#include "platform/files/diskfiles.h"
#include "shell/frmbrowser.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>

using namespace qyr;
using namespace qyr::test;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString book = dir.path();
    QDir(book).mkpath(QStringLiteral("Capitoli"));
    QDir(book).mkpath(QStringLiteral("Libro"));
    QFile f(book + QStringLiteral("/Libro/lettura.avi"));
    f.open(QIODevice::WriteOnly);
    f.write("x");
    f.close();

    MemoryRegistry reg;
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
                .createMedia = []() { return MediaHostParts{std::make_unique<FakeMedia>(), nullptr}; },
                .appFolder = book};
    frmBrowser form(ports);
    form.oPlayer = form.players.create();
    form.oPlayer->setVersione(1);
    browser.elements.insert(
        QStringLiteral("qyrplayer_audio"),
        PageElement{QStringLiteral("QYRPLAYER_AUDIO"), QStringLiteral("lettura.avi"), {}, {}, true});
    const QString page;

    if (!form.audio.Playaudio(page, AudioChoice::OfPage)) {
        std::fprintf(stderr, "il file non è stato trovato: la misura non vale\n");
        return 1;
    }
    constexpr int kRuns = 2000;
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < kRuns; ++i)
        form.audio.Playaudio(page, AudioChoice::OfPage);
    const double us = double(t.nsecsElapsed()) / 1000.0 / kRuns;
    std::printf("misura                                         valore\n");
    std::printf("Playaudio, file trovato per ultimo (disco)     %.1f µs a chiamata (%d chiamate)\n", us, kRuns);
    std::printf("errori mostrati durante la misura              %d\n", int(dialogs.shown.size()));
    return 0;
}
