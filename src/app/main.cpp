// qyrplayer: wires the real components to the logic and starts the window.
#include "../platform/files/bookarchives.h"
#include "../platform/files/diskfiles.h"
#ifdef QYR_WITH_HIVEX
#include "../platform/hive/hivexreader.h"
#endif
#include "../platform/bookpath.h"
#include "../platform/media/mpvmedia.h"
#include "../platform/media/qtmedia.h"
#include "../platform/speech/qtspeech.h"
#include "../platform/store/sqlite/sqliteregistry.h"
#include "observedmedia.h"
#include "qtvideowindow.h"
#ifdef Q_OS_WIN
#include "../platform/store/winreg/winregistry.h"
#endif
#include "../books/books.h"
#include "../books/bookview.h"
#include "../platform/browser/webbrowser.h"
#include "../platform/daisyxml/daisyreader.h"
#include "../platform/errorreport.h"
#include "../platform/ui/qtpump.h"
#include "../platform/ui/uidialogs.h"
#include "../shell/program.h"
#include "accessibility.h"
#include "automation.h"
#include "enterkey.h"
#include "installpaths.h"
#include "mainwindow.h"
#include "sessionend.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonValue>
#include <QLibraryInfo>
#include <QLocale>
#include <QStandardPaths>
#include <QTimer>
#include <QTranslator>
#include <clocale>
#include <cstdio>
#include <functional>
#include <memory>
#include <utility>
#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

using namespace qyr;

namespace {

QString defaultBook() { return sampleBookFolder(); }

QString defaultSettings()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/qyrplayer/settings.sqlite");
}

QString absolute(const QString &path)
{
    QString p = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
    if (p.endsWith(QDir::separator()) && p.size() > 1)
        p.chop(1);
    return p;
}

// The book asked for on the command line, else the one read last, else the
// sample book; notice says why the one asked for or read last is not opened.
QString chooseBook(const QString &asked, IRegistry &store, BookArchives &files, IDaisyReader &daisy, QString &notice)
{
    BookView view(store);
    const QString sample = absolute(defaultBook());
    QString book = asked.isEmpty() ? QString() : bookFolderOf(files, absolute(asked), &daisy, &files);
    if (!asked.isEmpty() && book.isEmpty())
        notice = notABook(files, absolute(asked), &daisy, &files);
    QString last;
    IgnoreFailure([&] { last = view.lastBook(); });
    if (book.isEmpty() && !last.isEmpty()) {
        book = bookFolderOf(files, last, &daisy, &files);
        if (book.isEmpty() && notice.isEmpty())
            notice = QStringLiteral("Il libro letto l'ultima volta non si trova più: %1.").arg(last);
    }
    if (book.isEmpty()) {
        book = sample;
        if (!notice.isEmpty())
            notice += QStringLiteral(" Si apre il libro di esempio.");
    } else if (!notice.isEmpty()) {
        notice += QStringLiteral(" Si apre il libro %1.").arg(book);
    }
    return absolute(book);
}

// Qt's own texts (the folder chooser's, the text boxes' menus) in Italian,
// whatever the system's language.
void installItalianQtTexts(QApplication &app)
{
    static QTranslator qtTexts;
    if (qtTexts.load(QLocale(QLocale::Italian), QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        app.installTranslator(&qtTexts);
}

// What the web engine reads as it starts.
void prepareWebEngine()
{
    // Page content is exposed to screen readers only when this is set before
    // the engine starts.
    qputenv("QTWEBENGINE_ENABLE_LINUX_ACCESSIBILITY", "1");
#ifdef Q_OS_UNIX
    if (geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1"); // the sandbox refuses to run as root
#endif
    // The address scheme of zipped books' pages, which the engine must know before it starts.
    WebBrowser::registerPackedScheme();
}

// What the command line asks for.
struct Options {
    QString book, settingsFile, audioOut;
    bool automation = false, settingsNamed = false;
};

// False (with a message on standard error) for an option that cannot be used.
bool readOptions(QApplication &app, Options &o)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Lettore accessibile di audiolibri"));
    parser.addHelpOption();
    QCommandLineOption automationOpt(QStringLiteral("automation"), QStringLiteral("Canale di automazione JSON Lines"));
    QCommandLineOption bookOpt(QStringLiteral("book"), QStringLiteral("Cartella del libro"), QStringLiteral("DIR"));
    QCommandLineOption settingsOpt(QStringLiteral("settings"), QStringLiteral("File delle impostazioni"),
                                   QStringLiteral("FILE"));
    QCommandLineOption audioOpt(QStringLiteral("audio-out"), QStringLiteral("Uscita audio: null, pcm:FILE, default"),
                                QStringLiteral("OUT"), QStringLiteral("default"));
    parser.addOptions({automationOpt, bookOpt, settingsOpt, audioOpt});
    parser.addPositionalArgument(QStringLiteral("libro"), QStringLiteral("Cartella del libro, o il suo Index.htm"),
                                 QStringLiteral("[LIBRO]"));
    parser.process(app);

    const QStringList given = parser.positionalArguments();
    o.book = parser.isSet(bookOpt) ? parser.value(bookOpt) : given.value(0);
    if (!o.book.isEmpty())
        o.book = absolute(o.book);
    o.audioOut = parser.value(audioOpt);
    o.automation = parser.isSet(automationOpt);
    o.settingsNamed = parser.isSet(settingsOpt);
    o.settingsFile = o.settingsNamed ? parser.value(settingsOpt) : defaultSettings();
    if (o.audioOut != QLatin1String("null") && o.audioOut != QLatin1String("default") &&
        !(o.audioOut.startsWith(QLatin1String("pcm:")) && o.audioOut.size() > 4)) {
        std::fprintf(stderr, "qyrplayer: --audio-out vuole null, pcm:FILE oppure default\n");
        return false;
    }
    return true;
}

// The settings store; notice says what the reader must be told about it.
// None (said on the error output) when not even one in memory opens.
std::unique_ptr<IRegistry> openStore(const Options &o, QString &notice)
{
#ifdef Q_OS_WIN
    // On Windows the settings live in the registry unless a file is named.
    if (!o.settingsNamed)
        return std::make_unique<WinRegistry>();
#endif
    auto opened = SqliteRegistry::open(o.settingsFile);
    if (!opened.store) {
        notice = QStringLiteral("Il file delle impostazioni %1 non si può usare (%2). Il programma parte con "
                                "le impostazioni predefinite, che non saranno conservate all'uscita.")
                     .arg(o.settingsFile, opened.problem);
        opened = SqliteRegistry::open(QStringLiteral(":memory:"));
    } else if (!opened.movedAside.isEmpty()) {
        notice = QStringLiteral("Il file delle impostazioni era danneggiato (%1). È stato conservato come %2 "
                                "e il programma riparte dalle impostazioni predefinite.")
                     .arg(opened.problem, opened.movedAside);
    }
    if (!opened.store)
        std::fprintf(stderr, "qyrplayer: impossibile aprire le impostazioni\n");
    return std::move(opened.store);
}

// The two players' parts: libmpv for version 1, Qt Multimedia for the
// player of other versions ("Altre"), a second engine for readers whose
// system plays through it better. The automation channel hears both.
void addPlayers(Ports &ports, IFiles &files, Automation *automation, const QString &audioOut,
                const std::function<QString()> &bookFolder)
{
    auto report = [automation](const QString &action, const QVariant &value) {
        if (automation)
            automation->emitEvent(
                QStringLiteral("player"),
                {{QStringLiteral("action"), action}, {QStringLiteral("value"), QJsonValue::fromVariant(value)}});
    };
    // The player opens only the open book's own files. The video the program
    // itself ships plays from its own book, which is a book like any other.
    auto admit = [&files, bookFolder](const QString &name) {
        return files.admit(bookFolder(), name, BookFileKind::Audio);
    };
    IFiles *packed = &files; // a zipped book's sounds, read in place
    auto videoWindow = [report](QWidget *surface) {
        auto w = std::make_unique<VideoWindow>(surface);
        w->onShown = [report](bool shown) {
            report(shown ? QStringLiteral("video-shown") : QStringLiteral("video-hidden"), QVariant());
        };
        return w;
    };
    ports.createMedia = [=]() -> MediaHostParts {
        auto w = videoWindow(nullptr);
        auto control = std::make_unique<MpvMediaControl>(w->surface(), audioOut);
        control->admitPath = admit;
        control->setPackedFiles(packed);
        return MediaHostParts{std::make_unique<ObservedMedia>(std::move(control), report), std::move(w)};
    };
    ports.createOtherMedia = [=]() -> MediaHostParts {
        auto *video = new QtVideoSurface;
        auto w = videoWindow(video);
        auto control = std::make_unique<QtMediaControl>(video, audioOut);
        control->admitPath = admit;
        control->setPackedFiles(packed);
        return MediaHostParts{std::make_unique<ObservedMedia>(std::move(control), report), std::move(w)};
    };
}

// The session ends without the reader at the keyboard: the place is saved
// as a "Sì" to the exit question would save it, and any open dialog, the
// exit question included, is closed so that nothing waits for an answer.
void endUnattended(Program &program, UiDialogs &dialogs, MainWindow &window)
{
    program.endWithoutQuestion();
    dialogs.dismissAll();
    window.close();
}

// How the program ends: a granted close quits the event loop; the end of the
// automation channel's input ends the session as a log-out does.
void wireEnding(QApplication &app, MainWindow &window, Program &program, Automation *automation,
                const std::function<void()> &endSession)
{
    auto closedOnce = std::make_shared<bool>(false);
    window.onClosing = [&app, automation, closedOnce] {
        if (std::exchange(*closedOnce, true))
            return;
        if (automation)
            automation->closed();
        // Queued, so that a close granted during start-up also ends the program.
        QTimer::singleShot(0, &app, &QCoreApplication::quit);
    };
    if (automation)
        automation->onInputEnded = endSession;
    // A quit that came some other way (the session manager's last word).
    QObject::connect(&app, &QCoreApplication::aboutToQuit, [&program] { program.endWithoutQuestion(); });
}

// Start-up, then the window until it closes.
int startAndRun(QApplication &app, Program &program, MainWindow &window, Automation *automation)
{
    program.start();
    if (program.closing())
        return 0; // closed while starting: nothing more to show
    window.show();
    if (automation)
        automation->ready();
    return app.exec();
}

// What was said while the settings and the book were opened, once the
// program can show it.
void showNotices(Program &program, const QString &storeNotice, const QString &bookNotice)
{
    for (const auto &[title, text] : {std::pair{QStringLiteral("Impostazioni"), storeNotice},
                                      std::pair{QStringLiteral("Apertura del libro"), bookNotice}})
        if (!text.isEmpty())
            program.showError(title, text);
}

// Its name, the accessible interfaces, Enter on the focused button, Qt's own
// texts in Italian, and the C numbers libmpv needs.
void setUpApplication(QApplication &app)
{
    QApplication::setApplicationName(QStringLiteral("qyrplayer"));
    installAccessibility();
    installEnterPressesFocusedButton();
    installItalianQtTexts(app);
    std::setlocale(LC_NUMERIC, "C"); // shown numbers use QLocale
}

// The automation channel, when asked for, listening from the start.
std::unique_ptr<Automation> startAutomation(bool asked, UiDialogs &dialogs, const QElapsedTimer &clock)
{
    if (!asked)
        return nullptr;
    auto automation = std::make_unique<Automation>(dialogs, clock);
    automation->start();
    return automation;
}

} // namespace

int main(int argc, char **argv)
{
    QElapsedTimer clock;
    clock.start();
    prepareWebEngine();
    QApplication app(argc, argv);
    setUpApplication(app);

    Options options;
    if (!readOptions(app, options))
        return 2;
    UiDialogs dialogs;
    const std::unique_ptr<Automation> automation = startAutomation(options.automation, dialogs, clock);
    QString storeNotice;
    std::unique_ptr<IRegistry> store = openStore(options, storeNotice);
    if (!store)
        return 1;

    DiskFiles disk;
    BookArchives files(disk); // a zipped book's files read in place, all others from the disk
    DaisyFolderReader daisy(files);
    QString bookNotice;
    const QString book = chooseBook(options.book, *store, files, daisy, bookNotice);
    QtPump pump;
    QtSpeech speech;
    MainWindow window(files, speech);
    window.browser().setDialogs(&dialogs);
    Ports ports{.registry = *store,
                .files = files,
                .dialogs = dialogs,
                .pump = pump,
                .timers = pump,
                .browser = window.browser(),
                .appFolder = book,
                .daisy = &daisy,
                .archives = &files,
                .speech = &speech,
                .helpPage = absolute(defaultBook()) + QStringLiteral("/INCLUDE/help.htm")};
    Program *running = nullptr; // asked by the player, once it exists, which book is open
    addPlayers(ports, files, automation.get(), options.audioOut,
               [&] { return running ? running->bookFolder() : QString(); });
#ifdef QYR_WITH_HIVEX
    HivexReader hives;
    ports.hives = &hives;
#endif
    Program program(ports);
    running = &program;
    if (options.settingsNamed) // the safety copies beside the settings file in use
        program.keepOwnFilesIn(QFileInfo(options.settingsFile).absolutePath());
    window.bind(program.logic());
    dialogs.say = [&program](const QString &text) { program.say(text); };
    if (automation)
        automation->attach(program.logic(), window);
    const std::function<void()> endSession = [&] { endUnattended(program, dialogs, window); };
    SessionEnd sessionEnd(endSession);
    wireEnding(app, window, program, automation.get(), endSession);

    showNotices(program, storeNotice, bookNotice);
    return startAndRun(app, program, window, automation.get());
}
