#include "frmbrowser.h"
#include "../player/frmother.h"
#include "../player/frmwmp9.h"
#include "program.h"

#include <QDir>

namespace qyr {

frmBrowser::frmBrowser(const Ports &p)
    : ports(p), er(p.dialogs), view(p.registry), settings(view),
      TimerSpalsh(QStringLiteral("TimerSpalsh"), 5000, &p.timers),
      TimerDisableState(QStringLiteral("TimerDisableState"), 1000, &p.timers),
      TimerOSD(QStringLiteral("TimerOSD"), 1500, &p.timers), TimerDaisy(QStringLiteral("TimerDaisy"), 100, &p.timers)
{
    players.setFactory([this] { return newPlayer(); });
    form.setCaption(QStringLiteral("QYR - MediaPlayer"));
    createDesignedLayout();
    options.connect();
    markList.connect();
    debugPanel.connect();
    impExp.connect();
    wireReactions();
}

frmBrowser::~frmBrowser() { players.oPlayer.reset(); }

// Who reacts to what, in the order they react.
void frmBrowser::wireReactions()
{
    IBrowser &wb = ports.browser;
    // In a DAISY book every time said is the book's.
    feedback.bookTime = [this]() -> std::optional<double> {
        return daisyReading.active() ? std::optional<double>(daisyReading.bookTime()) : std::nullopt;
    };
    // A link is looked at first for a player, key or video command (which
    // keeps the page where it is); then a page the reader asked for while
    // the about page shows ends the splash.
    wb.BeforeNavigate2.connect([this](const QString &url, bool &cancel) {
        links.objWB_BeforeNavigate2(url, cancel);
        daisyText.beforeNavigate(url, cancel);
        about.readerMoved(url, cancel);
        if (!cancel)
            keys.bookmarks.pageLeaving();
    });
    wb.NavigationRefused.connect([this](const QString &url) { links.refused(url); });
    // A page that really loaded ends a return to the contents before the
    // page's own handling (bookmarks, caption, style, audio, a waiting
    // recall, the book's messages) runs; a DAISY book's text, and the blank
    // page its contents and help are written on, have none of that.
    wb.DocumentComplete.connect([this](const QString &url) {
        urls.pageLoaded();
        if (!daisyText.pageLoaded(url))
            pageLoad.objWB_DocumentComplete(url);
    });
    wb.TitleChange.connect([this](const QString &title) { urls.objWB_TitleChange(title); });
    // The port reports only the main window's browser closing.
    wb.WindowClosing.connect([this](bool &cancel) { urls.objWB_WindowClosing(false, cancel); });
    // A DAISY book's reading follows its own audio; a page's audio follows the page.
    players.StateChanged.connect([this](qint32 mode) {
        if (daisyReading.active())
            daisyReading.playerState(mode);
        else
            audio.oPlayer_PlayStateChange(mode);
    });
    // The view follows the reading: first the phrase is found, then shown.
    TimerDaisy.Timer.connect([this] {
        daisyReading.follow();
        daisyText.follow();
    });
    daisyReading.Moved.connect([this] { daisyText.moved(); });
    daisyReading.PageAsked.connect([this](const QString &page) { daisyText.asked(page); });
    players.FileChanged.connect([this](const QString &name) { audio.oPlayer_PlayFileChange(name); });
    TimerSpalsh.Timer.connect([this] { about.TimerSpalsh_Timer(); });
    TimerDisableState.Timer.connect([this] { recall.TimerDisableState_Timer(); });
    TimerOSD.Timer.connect([this] { feedback.TimerOSD_Timer(); });
    // Parts that reach one built after them.
    books.Leaving.connect([this] { startup.savePlace(); });
    urls.QueryUnload.connect([this](bool &cancel) { startup.Form_QueryUnload(cancel); });
    impExp.ListClosed.connect([this] { keys.bookmarks.listClosed(); });
}

// Another book has been entered: the messages its contents page worded its
// own way go, its bookmarks are read afresh, and its reading place opens.
void frmBrowser::enteredBook()
{
    msg.setDefaults();
    TimerDaisy.setEnabled(false);
    marks.ClearMarcatori();
    about.openReadingPlace();
}

std::unique_ptr<oEkoPlayer> frmBrowser::newPlayer()
{
    auto create = [this]() -> std::unique_ptr<IPlayer> {
        if (!ports.createMedia)
            throw QyrError(err::CannotCreateObject);
        return std::make_unique<frmWMP9>(er, ports.pump, ports.timers, ports.createMedia());
    };
    oEkoPlayer::HostFactory createOther;
    if (ports.createOtherMedia)
        createOther = [this]() -> std::unique_ptr<IPlayer> {
            return std::make_unique<frmOther>(er, ports.pump, ports.timers, ports.createOtherMedia());
        };
    return std::make_unique<oEkoPlayer>(er, create, createOther);
}

// Designed positions and sizes (twips) of the controls the layout rules
// leave alone, and which panels start hidden.
void frmBrowser::createDesignedLayout()
{
    form.setGeometry(0, 0, 12000, 9000);
    designOptionsPanel();
    frmOSD.setGeometry(0, 0, 12000, 1200);
    frmOSD.setVisible(false);
    lblOSD.setGeometry(0, 120, 12000, 960);
    designBookmarkPanel();
    designDebugPanel();
    lstapp.setVisible(false);
    // The drive list starts on the drive (or file-system root) of the book.
    Drive.setPath(QDir(QDir::fromNativeSeparators(books.folder())).rootPath());
}

void frmBrowser::designOptionsPanel()
{
    frmconfigurazione.setGeometry(0, 0, 5400, Layout::kOptionsHeight);
    frmconfigurazione.setVisible(false);
    frmconfigurazione.setCaption(QStringLiteral("Configurazione"));
    chkSavePos.setGeometry(240, 360, 4800, 300);
    chkSavePos.setCaption(QStringLiteral("Riparti dal punto di uscita"));
    TextAvantiIndietro.setGeometry(2400, 840, 900, 300);
    TextVolume.setGeometry(2400, 1320, 900, 300);
    TextRate.setGeometry(2400, 1800, 900, 300);
    chkAudioOff.setGeometry(240, 2280, 4800, 300);
    chkAudioOff.setCaption(QStringLiteral("Lettore spento"));
    fraLettore.setGeometry(240, 2640, 4920, 780);
    fraLettore.setCaption(QStringLiteral("Lettore"));
    optPlayer1.setGeometry(120, 380, 2200, 300);
    optPlayer1.setCaption(QStringLiteral("Versione 9"));
    optPlayer0.setGeometry(2520, 380, 2200, 300);
    optPlayer0.setCaption(QStringLiteral("Altre"));
    fraVoce.setGeometry(240, 3480, 4920, 780);
    fraVoce.setCaption(QStringLiteral("Voce del programma"));
    optVoce0.setGeometry(120, 380, 1600, 300);
    optVoce0.setCaption(QStringLiteral("Automatica"));
    optVoce1.setGeometry(1800, 380, 1400, 300);
    optVoce1.setCaption(QStringLiteral("Sempre"));
    optVoce2.setGeometry(3300, 380, 1400, 300);
    optVoce2.setCaption(QStringLiteral("Mai"));
    cmdSetupClose.setGeometry(3960, 4320, 1200, 420);
    cmdSetupClose.setCaption(QStringLiteral("Chiudi"));
}

// The bookmark panel with the import/export panel inside it.
void frmBrowser::designBookmarkPanel()
{
    fraMarcatori.setVisible(false);
    fraMarcatori.setCaption(QStringLiteral("Marcatori"));
    cmdImpExp[0].setGeometry(100, 200, 2400, 420);
    cmdImpExp[1].setGeometry(2600, 200, 2400, 420);
    cmdImpExp[4].setGeometry(5100, 200, 1400, 420);
    cmdImpExp[2].setGeometry(0, 200, 1200, 420);
    cmdImpExp[3].setGeometry(0, 720, 1200, 420);
    const char *captions[] = {"&Esporta Marcatori", "&Importa Marcatori", "&OK", "&Annulla", "&Chiudi"};
    for (size_t i = 0; i < cmdImpExp.size(); ++i)
        cmdImpExp[i].setCaption(QString::fromUtf8(captions[i]));
    frmImpExp.setVisible(false);
    Drive.setGeometry(100, 0, 3000, 315);
    Dir.setGeometry(100, 200, 3000, 2000);
    File.setGeometry(3300, 720, 3000, 2000);
    TextFileName.setGeometry(3300, 200, 3000, 315);
    lblNomeFile.setGeometry(3300, 0, 2000, 200);
    lblNomeFile.setCaption(QStringLiteral("Nome file:"));
}

void frmBrowser::designDebugPanel()
{
    fraDebug.setGeometry(600, 1300, 9600, 4500);
    fraDebug.setVisible(false);
    Label2.setGeometry(120, 300, 600, 315);
    Label2.setCaption(QStringLiteral("Url"));
    TextURL.setGeometry(800, 300, 6000, 315);
    cmdGO.setGeometry(6950, 260, 900, 400);
    cmdGO.setCaption(QStringLiteral("GO"));
    TxtDebFilename.setGeometry(120, 860, 6000, 315);
    cmdDebug[0].setGeometry(6250, 820, 1400, 400);
    cmdDebug[0].setCaption(QStringLiteral("refresh"));
    cmdDebug[1].setGeometry(7750, 820, 1400, 400);
    cmdDebug[1].setCaption(QStringLiteral("play"));
    cmdFileAudio.setGeometry(120, 1400, 1400, 400);
    cmdFileAudio.setCaption(QStringLiteral("Audio ?"));
    TextAudio.setGeometry(1650, 1440, 6000, 315);
    Text1.setGeometry(120, 1950, 6000, 2400);
    Command1.setGeometry(6250, 1950, 2900, 400);
    Command1.setCaption(QStringLiteral("Command1"));
}

} // namespace qyr

namespace qyr {

Program::Program(const Ports &ports) : f_(std::make_unique<frmBrowser>(ports)) {}
Program::~Program() = default;

void Program::start()
{
    f_->startup.Form_Load();
    f_->startup.Form_Initialize();
}

bool Program::closing() const { return f_->startup.closing(); }
void Program::endWithoutQuestion() { f_->startup.EndWithoutQuestion(); }
void Program::say(const QString &text) { f_->feedback.OSD(text, false); }
QString Program::bookFolder() const { return f_->books.folder(); }
void Program::keepOwnFilesIn(const QString &folder) { f_->impExp.setOwnFilesFolder(folder); }
void Program::showError(const QString &title, const QString &text) { f_->er.ShowError(title, text); }

} // namespace qyr
