// qyrplayer: wires the real components to the logic and starts the window.
#include "../platform/files/diskfiles.h"
#include "../platform/hive/hivexreader.h"
#include "../platform/bookpath.h"
#include "../platform/media/mpvmedia.h"
#include "../platform/media/qtmedia.h"
#include "observedmedia.h"
#include "videowindow.h"
#include "../platform/store/sqlite/sqliteregistry.h"
#ifdef Q_OS_WIN
#include "../platform/store/winreg/winregistry.h"
#endif
#include "../platform/ui/qtpump.h"
#include "../platform/ui/uidialogs.h"
#include "../platform/browser/webbrowser.h"
#include "../shell/frmbrowser.h"
#include "automation.h"
#include "sessionend.h"
#include "accessibility.h"
#include "mainwindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QStandardPaths>
#include <QJsonValue>
#include <QTimer>
#include <clocale>
#include <cstdio>
#include <utility>
#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

using namespace qyr;

namespace {

QString defaultBook()
{
    const QString exeDir = QCoreApplication::applicationDirPath();
    if (QFileInfo::exists(exeDir + QStringLiteral("/Index.htm")))
        return exeDir;
    return QStringLiteral(QYR_SAMPLE_BOOK_DIR);
}

QString defaultSettings()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/qyrplayer/settings.sqlite");
}

} // namespace

int main(int argc, char **argv)
{
    QElapsedTimer clock;
    clock.start();
    // Page content is exposed to screen readers only when this is set before
    // the engine starts.
    qputenv("QTWEBENGINE_ENABLE_LINUX_ACCESSIBILITY", "1");
#ifdef Q_OS_UNIX
    if (geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1"); // the sandbox refuses to run as root
#endif
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("qyrplayer"));
    installAccessibility();
    std::setlocale(LC_NUMERIC, "C"); // libmpv needs it; shown numbers use QLocale

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Lettore accessibile di audiolibri"));
    parser.addHelpOption();
    QCommandLineOption automationOpt(QStringLiteral("automation"), QStringLiteral("Canale di automazione JSON Lines"));
    QCommandLineOption bookOpt(QStringLiteral("book"), QStringLiteral("Cartella del libro"), QStringLiteral("DIR"));
    QCommandLineOption settingsOpt(QStringLiteral("settings"), QStringLiteral("File delle impostazioni"), QStringLiteral("FILE"));
    QCommandLineOption audioOpt(QStringLiteral("audio-out"), QStringLiteral("Uscita audio: null, pcm:FILE, default"),
                                QStringLiteral("OUT"), QStringLiteral("default"));
    parser.addOptions({automationOpt, bookOpt, settingsOpt, audioOpt});
    parser.process(app);

    QString book = parser.isSet(bookOpt) ? parser.value(bookOpt) : defaultBook();
    book = QDir::toNativeSeparators(QFileInfo(book).absoluteFilePath());
    if (book.endsWith(QDir::separator()) && book.size() > 1)
        book.chop(1);
    const QString audioOut = parser.value(audioOpt);
    if (audioOut != QLatin1String("null") && audioOut != QLatin1String("default") &&
        !(audioOut.startsWith(QLatin1String("pcm:")) && audioOut.size() > 4)) {
        std::fprintf(stderr, "qyrplayer: --audio-out vuole null, pcm:FILE oppure default\n");
        return 2;
    }
    const QString settingsFile = parser.isSet(settingsOpt) ? parser.value(settingsOpt) : defaultSettings();

    UiDialogs dialogs;
    std::unique_ptr<Automation> automation;
    if (parser.isSet(automationOpt)) {
        automation = std::make_unique<Automation>(dialogs, clock);
        automation->start();
    }

    std::unique_ptr<IRegistry> store;
    QString storeNotice;
#ifdef Q_OS_WIN
    // On Windows the settings live in the registry unless a file is named.
    if (!parser.isSet(settingsOpt))
        store = std::make_unique<WinRegistry>();
#endif
    if (!store) {
        auto opened = SqliteRegistry::open(settingsFile);
        if (!opened.store) {
            storeNotice = QStringLiteral("Il file delle impostazioni %1 non si può usare (%2). Il programma parte con "
                                         "le impostazioni predefinite, che non saranno conservate all'uscita.")
                              .arg(settingsFile, opened.problem);
            opened = SqliteRegistry::open(QStringLiteral(":memory:"));
        } else if (!opened.movedAside.isEmpty()) {
            storeNotice = QStringLiteral("Il file delle impostazioni era danneggiato (%1). È stato conservato come %2 "
                                         "e il programma riparte dalle impostazioni predefinite.")
                              .arg(opened.problem, opened.movedAside);
        }
        store = std::move(opened.store);
    }
    if (!store) {
        std::fprintf(stderr, "qyrplayer: impossibile aprire le impostazioni\n");
        return 1;
    }

    DiskFiles files;
    QtPump pump;
    MainWindow window(files);
    window.browser().setDialogs(&dialogs);
    // What the automation channel hears of the player, whichever it is.
    auto report = [&](const QString &action, const QVariant &value) {
        if (automation)
            automation->emitEvent(QStringLiteral("player"), {{QStringLiteral("action"), action},
                                                             {QStringLiteral("value"), QJsonValue::fromVariant(value)}});
    };
    auto resolve = [&files](const QString &name) {
        const QString real = files.resolve(name);
        return real.isEmpty() ? pathFromAddress(name) : real;
    };
    auto videoWindow = [&](QWidget *surface) {
        auto w = std::make_unique<VideoWindow>(surface);
        w->onShown = [report](bool shown) {
            report(shown ? QStringLiteral("video-shown") : QStringLiteral("video-hidden"), QVariant());
        };
        return w;
    };
    Ports ports{*store, files, dialogs, pump, pump, window.browser(),
                [&]() -> MediaHostParts {
                    auto w = videoWindow(nullptr);
                    auto control = std::make_unique<MpvMediaControl>(w->surface(), audioOut);
                    control->resolvePath = resolve;
                    return MediaHostParts{std::make_unique<ObservedMedia>(std::move(control), report), std::move(w)};
                },
                book};
    // The player of other versions ("Altre"): Qt Multimedia, a second engine
    // for readers whose system plays through it better than through libmpv.
    ports.createOtherMedia = [&]() -> MediaHostParts {
        auto *video = new QtVideoSurface;
        auto w = videoWindow(video);
        auto control = std::make_unique<QtMediaControl>(video, audioOut);
        control->resolvePath = resolve;
        return MediaHostParts{std::make_unique<ObservedMedia>(std::move(control), report), std::move(w)};
    };
    HivexReader hives;
    ports.hives = &hives;
    frmBrowser f(ports);
    window.bind(f);
    if (automation)
        automation->attach(f, window);
    bool closedOnce = false;
    window.onClosing = [&] {
        if (std::exchange(closedOnce, true))
            return;
        if (automation)
            automation->closed();
        // Queued, so that a close granted during start-up also ends the program.
        QTimer::singleShot(0, &app, &QCoreApplication::quit);
    };
    // The session ends without the reader at the keyboard: the place is saved
    // as a "Sì" to the exit question would save it, and any open dialog,
    // the exit question included, is closed so that nothing waits for an answer.
    auto endSession = [&] {
        f.startup.EndWithoutQuestion();
        dialogs.dismissAll();
        window.close();
    };
    SessionEnd sessionEnd(endSession);
    if (automation)
        automation->onInputEnded = endSession;
    // A quit that came some other way (the session manager's last word).
    QObject::connect(&app, &QCoreApplication::aboutToQuit, [&] { f.startup.EndWithoutQuestion(); });

    if (!storeNotice.isEmpty())
        f.er.ShowError(QStringLiteral("Impostazioni"), storeNotice);

    f.startup.Form_Load();
    f.startup.Form_Initialize();
    if (f.closing)
        return 0; // closed while starting: nothing more to show
    window.show();
    if (automation)
        automation->ready();
    return app.exec();
}
