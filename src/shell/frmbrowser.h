#pragma once
// frmBrowser: the main window's logic and the one place that builds it. It
// owns the state fields, the control models, the player slot and one object
// per part; each part is given only what it works with, and the reactions
// to the browser's and the player's events are wired in one place, in the
// order they run. Nothing here touches a widget; only the window layer
// includes this header.
#include "../bookmarks/bookmarklist.h"
#include "../bookmarks/bookmarkrecall.h"
#include "../bookmarks/bookmarkstore.h"
#include "../books/books.h"
#include "../books/bookview.h"
#include "../dialogs/debugpanel.h"
#include "../dialogs/optionspanel.h"
#include "../exchange/impexppanel.h"
#include "../exchange/registryexchange.h"
#include "../services/feedback.h"
#include "../keyboard/keymap.h"
#include "../navigation/daisyreading.h"
#include "../navigation/daisytext.h"
#include "../navigation/linkcommands.h"
#include "../navigation/pageaudio.h"
#include "../navigation/pageload.h"
#include "../navigation/urlhelpers.h"
#include "../platform/controls.h"
#include "../platform/errorreport.h"
#include "../services/playerslot.h"
#include "aboutpage.h"
#include "layout.h"
#include "../services/messages.h"
#include "../services/panels.h"
#include "../services/playersettings.h"
#include "ports.h"
#include "../services/settings.h"
#include "../services/volumerange.h"
#include "startup.h"

#include <array>
#include <functional>
#include <memory>

namespace qyr {

class frmBrowser {
public:
    explicit frmBrowser(const Ports &ports);
    ~frmBrowser();
    frmBrowser(const frmBrowser &) = delete;
    frmBrowser &operator=(const frmBrowser &) = delete;

    // Ports and shared services.
    Ports ports;
    ErrorReporter er;
    BookView view; // the settings as seen with the open book
    Settings settings;
    PlayerSettings prefs{{.er = er, .settings = settings}}; // the checked reads of the Player settings
    PlayerSlot players;
    RegistryExchange exchange{view, ports.files, ports.hives}; // the settings tree to and from files
    // The name of the program's settings tree.
    const QString strAppName = programName();

    // Window.
    Control form{QStringLiteral("frmBrowser"), QStringLiteral("QYR - MediaPlayer"),
                 QStringLiteral("Finestra principale del lettore di audiolibri")};
    WindowState windowState = WindowState::Normal;

    // State fields, in their declared order.
    Messages msg;
    qint16 nIndexAnchor = 0;

    // Control models.
    Control objwb{QStringLiteral("objwb"), QStringLiteral("Pagina del libro"),
                  QStringLiteral("Il contenuto della pagina del libro")};
    Panel frmconfigurazione{QStringLiteral("frmconfigurazione"), QStringLiteral("Configurazione"),
                            QStringLiteral("Pannello delle opzioni del lettore")};
    CheckBox chkSavePos{QStringLiteral("chkSavePos"), QStringLiteral("Riparti dal punto di uscita"),
                        QStringLiteral("All'avvio riapre la pagina e la posizione in cui si era usciti")};
    TextBox TextAvantiIndietro{QStringLiteral("TextAvantiIndietro"), QStringLiteral("Avanzamento audio in secondi"),
                               QStringLiteral("Secondi saltati avanti o indietro da un comando di salto")};
    TextBox TextVolume{QStringLiteral("TextVolume"), QStringLiteral("Volume"), QStringLiteral("Volume del lettore")};
    TextBox TextRate{QStringLiteral("TextRate"), QStringLiteral("Velocità di Lettura"),
                     QStringLiteral("Velocità di lettura: 1 è la velocità normale")};
    CheckBox chkAudioOff{QStringLiteral("chkAudioOff"), QStringLiteral("Lettore spento"),
                         QStringLiteral("Spegne la lettura ad alta voce delle pagine")};
    // The player choice, in a box of its own: its buttons are announced with
    // the name of their choice, not the panel's.
    Control fraLettore{QStringLiteral("fraLettore"), QStringLiteral("Lettore"),
                       QStringLiteral("Il lettore multimediale che riproduce l'audio")};
    Control optPlayer0{QStringLiteral("optPlayer(0)"), QStringLiteral("Altre"),
                       QStringLiteral("Lettore di altre versioni")};
    Control optPlayer1{QStringLiteral("optPlayer(1)"), QStringLiteral("Versione 9"),
                       QStringLiteral("Lettore multimediale versione 9 o successiva")};
    OptionGroup optPlayer{QStringLiteral("optPlayer"), {&optPlayer0, &optPlayer1}};
    // When the program speaks its messages itself: 0 only with no screen
    // reader running, 1 always, 2 never (setting "VoceProgramma").
    Control fraVoce{QStringLiteral("fraVoce"), QStringLiteral("Voce del programma"),
                    QStringLiteral("Quando il programma legge da sé i suoi messaggi")};
    Control optVoce0{QStringLiteral("optVoce(0)"), QStringLiteral("Automatica"),
                     QStringLiteral("Parla solo se non è attivo un lettore di schermo")};
    Control optVoce1{QStringLiteral("optVoce(1)"), QStringLiteral("Sempre"),
                     QStringLiteral("Parla sempre, anche con un lettore di schermo")};
    Control optVoce2{QStringLiteral("optVoce(2)"), QStringLiteral("Mai"), QStringLiteral("Non parla mai")};
    OptionGroup optVoce{QStringLiteral("optVoce"), {&optVoce0, &optVoce1, &optVoce2}};
    Button cmdSetupClose{QStringLiteral("cmdSetupClose"), QStringLiteral("Chiudi"),
                         QStringLiteral("Chiude il pannello delle opzioni")};
    Panel frmOSD{QStringLiteral("frmOSD"), QStringLiteral("Messaggi"), QStringLiteral("Messaggi del lettore")};
    // No description: a screen reader would say it after every message.
    Label lblOSD{QStringLiteral("lblOSD"), QStringLiteral("Messaggio"), QString()};
    Panel fraMarcatori{QStringLiteral("fraMarcatori"), QStringLiteral("Marcatori"),
                       QStringLiteral("Pannello dei marcatori")};
    ListBox ListMarkers{QStringLiteral("ListMarkers"), QStringLiteral("Elenco dei marcatori"),
                        QStringLiteral("Invio richiama il marcatore scelto, Canc lo cancella")};
    ListBox lstapp{QStringLiteral("lstapp"), QStringLiteral("Elenco di servizio"),
                   QStringLiteral("Elenco nascosto delle pagine dei marcatori")};
    std::array<Button, 5> cmdImpExp{
        Button{QStringLiteral("cmdImpExp(0)"), QStringLiteral("Esporta Marcatori"),
               QStringLiteral("Esporta i marcatori e le impostazioni in un file")},
        Button{QStringLiteral("cmdImpExp(1)"), QStringLiteral("Importa Marcatori"),
               QStringLiteral("Importa i marcatori e le impostazioni da un file")},
        Button{QStringLiteral("cmdImpExp(2)"), QStringLiteral("OK"), QStringLiteral("Conferma l'operazione")},
        Button{QStringLiteral("cmdImpExp(3)"), QStringLiteral("Annulla"), QStringLiteral("Annulla l'operazione")},
        Button{QStringLiteral("cmdImpExp(4)"), QStringLiteral("Chiudi"),
               QStringLiteral("Chiude il pannello dei marcatori")}};
    Panel frmImpExp{QStringLiteral("frmImpExp"), QStringLiteral("Esporta o importa"),
                    QStringLiteral("Scelta del file per esportare o importare i marcatori")};
    PathList Drive{QStringLiteral("Drive"), QStringLiteral("Unità"), QStringLiteral("Unità o volume")};
    PathList Dir{QStringLiteral("Dir"), QStringLiteral("Cartelle"), QStringLiteral("Cartella del file")};
    PathList File{QStringLiteral("File"), QStringLiteral("File"), QStringLiteral("File della cartella scelta")};
    TextBox TextFileName{QStringLiteral("TextFileName"), QStringLiteral("Nome del file"),
                         QStringLiteral("Nome del file da esportare o importare")};
    Label lblNomeFile{QStringLiteral("lblNomeFile"), QStringLiteral("Nome file"), QString()};
    Panel fraDebug{QStringLiteral("fraDebug"), QStringLiteral("Debug"), QStringLiteral("Pannello diagnostico")};
    Label Label2{QStringLiteral("Label2"), QStringLiteral("Url"), QString()};
    TextBox TextURL{QStringLiteral("TextURL"), QStringLiteral("Indirizzo"),
                    QStringLiteral("Ultimo indirizzo chiesto al browser")};
    Button cmdGO{QStringLiteral("cmdGO"), QStringLiteral("Vai"), QStringLiteral("Apre l'indirizzo scritto")};
    TextBox TxtDebFilename{QStringLiteral("TxtDebFilename"), QStringLiteral("File del lettore"),
                           QStringLiteral("Il file caricato nel lettore")};
    std::array<Button, 2> cmdDebug{
        Button{QStringLiteral("cmdDebug(0)"), QStringLiteral("Aggiorna"), QStringLiteral("Mostra il file del lettore")},
        Button{QStringLiteral("cmdDebug(1)"), QStringLiteral("Riproduci"),
               QStringLiteral("Avvia il lettore e mostra il suo file")}};
    Button cmdFileAudio{QStringLiteral("cmdFileAudio"), QStringLiteral("Audio ?"),
                        QStringLiteral("Mostra il file audio del lettore")};
    TextBox TextAudio{QStringLiteral("TextAudio"), QStringLiteral("File audio"),
                      QStringLiteral("Il file audio del lettore, a richiesta")};
    TextBox Text1{QStringLiteral("Text1"), QStringLiteral("Promemoria dei tasti"),
                  QStringLiteral("Tasti con Maiuscole e Ctrl e con Ctrl")};
    Button Command1{QStringLiteral("Command1"), QStringLiteral("Esportazione di prova"),
                    QStringLiteral("Esporta le impostazioni in un file di prova")};

    TimerModel TimerSpalsh;
    TimerModel TimerDisableState;
    TimerModel TimerOSD;
    TimerModel TimerDaisy; // follows a DAISY book's audio as it plays
    VolumeRange volumeRange; // of the player in use

    // The panels' controls, grouped as the parts are given them.
    OptionsControls optionsControls{.frmconfigurazione = frmconfigurazione,
                                    .chkSavePos = chkSavePos,
                                    .chkAudioOff = chkAudioOff,
                                    .TextAvantiIndietro = TextAvantiIndietro,
                                    .TextVolume = TextVolume,
                                    .TextRate = TextRate,
                                    .optPlayer = optPlayer,
                                    .optVoce = optVoce,
                                    .cmdSetupClose = cmdSetupClose};
    BookmarkControls bookmarkControls{
        .fraMarcatori = fraMarcatori, .ListMarkers = ListMarkers, .lstapp = lstapp, .cmdImpExp = cmdImpExp};
    FileChooserControls chooserControls{.frmImpExp = frmImpExp,
                                        .Drive = Drive,
                                        .Dir = Dir,
                                        .File = File,
                                        .TextFileName = TextFileName,
                                        .lblNomeFile = lblNomeFile,
                                        .Command1 = Command1};
    OsdControls osdControls{.frmOSD = frmOSD, .lblOSD = lblOSD, .TimerOSD = TimerOSD};
    DebugControls debugControls{.fraDebug = fraDebug,
                                .TextURL = TextURL,
                                .TxtDebFilename = TxtDebFilename,
                                .TextAudio = TextAudio,
                                .Text1 = Text1,
                                .cmdDebug = cmdDebug,
                                .cmdFileAudio = cmdFileAudio,
                                .cmdGO = cmdGO};

    // The parts, each given by name only what it works with, and declared
    // (so built) after everything it is given: no part is handed one that
    // does not exist yet. A part that must reach one built later raises a
    // signal, which wireReactions() connects once all exist.
    Feedback feedback{{.er = er,
                       .player = players,
                       .prefs = prefs,
                       .TimerOSD = TimerOSD,
                       .frmOSD = frmOSD,
                       .lblOSD = lblOSD,
                       .chkAudioOff = chkAudioOff}};
    Books books{{.er = er,
                 .files = ports.files,
                 .dialogs = ports.dialogs,
                 .view = view,
                 .stopPlayer = [this] { players.stop(); },
                 .daisy = ports.daisy,
                 .appFolder = ports.appFolder,
                 .say = [this](const QString &text) { feedback.OSD(text, false); },
                 .entered = [this] { enteredBook(); },
                 .archives = ports.archives}};
    UrlHelpers urls{
        {.er = er, .browser = ports.browser, .files = ports.files, .feedback = feedback, .book = books}};
    PageAudio audio{{.er = er,
                     .browser = ports.browser,
                     .files = ports.files,
                     .pump = ports.pump,
                     .player = players,
                     .prefs = prefs,
                     .feedback = feedback,
                     .book = books,
                     .TxtDebFilename = TxtDebFilename}};
    DaisyReading daisyReading{{.er = er,
                               .pump = ports.pump,
                               .dialogs = ports.dialogs,
                               .player = players,
                               .feedback = feedback,
                               .books = books,
                               .TimerDaisy = TimerDaisy,
                               .TextAvantiIndietro = TextAvantiIndietro,
                               .speech = ports.speech,
                               .texts = ports.daisy}};
    DaisyText daisyText{{.browser = ports.browser,
                         .daisy = ports.daisy,
                         .books = books,
                         .reading = daisyReading,
                         .files = ports.files,
                         .feedback = feedback,
                         .form = form,
                         .helpPage = ports.helpPage}};
    BookmarkStore marks{{.er = er,
                         .settings = settings,
                         .files = ports.files,
                         .dialogs = ports.dialogs,
                         .player = players,
                         .msg = msg,
                         .feedback = feedback,
                         .book = books,
                         .urls = urls,
                         .daisy = daisyReading,
                         .ListMarkers = ListMarkers,
                         .lstapp = lstapp}};
    BookmarkRecall recall{{.er = er,
                           .settings = settings,
                           .files = ports.files,
                           .browser = ports.browser,
                           .pump = ports.pump,
                           .player = players,
                           .feedback = feedback,
                           .book = books,
                           .places = {.urls = urls, .audio = audio, .daisy = daisyReading},
                           .marks = marks,
                           .controls = {.ListMarkers = ListMarkers,
                                        .fraMarcatori = fraMarcatori,
                                        .objwb = objwb,
                                        .TimerDisableState = TimerDisableState}}};
    BookmarkList markList{{.er = er,
                           .feedback = feedback,
                           .urls = urls,
                           .marks = marks,
                           .recall = recall,
                           .ListMarkers = ListMarkers}};
    ImpExpPanel impExp{{.er = er,
                        .files = ports.files,
                        .dialogs = ports.dialogs,
                        .browser = ports.browser,
                        .exchange = exchange,
                        .msg = msg,
                        .prefs = prefs,
                        .feedback = feedback,
                        .marks = marks,
                        .bookmarks = bookmarkControls,
                        .chooser = chooserControls,
                        .objwb = objwb}};
    KeyMap keys{{.er = er,
                 .dialogs = ports.dialogs,
                 .msg = msg,
                 .feedback = feedback,
                 .fraMarcatori = fraMarcatori,
                 .daisy = daisyReading,
                 .chooseBook = [this] { books.chooseAndOpen(); }},
                {.er = er,
                 .browser = ports.browser,
                 .player = players,
                 .feedback = feedback,
                 .audio = audio,
                 .TextAvantiIndietro = TextAvantiIndietro,
                 .TextVolume = TextVolume,
                 .range = volumeRange},
                {.browser = ports.browser,
                 .files = ports.files,
                 .player = players,
                 .feedback = feedback,
                 .book = books,
                 .nIndexAnchor = nIndexAnchor},
                {.browser = ports.browser,
                 .files = ports.files,
                 .pump = ports.pump,
                 .player = players,
                 .prefs = prefs,
                 .feedback = feedback,
                 .book = books,
                 .audio = audio,
                 .TextRate = TextRate,
                 .frmconfigurazione = frmconfigurazione,
                 .fraDebug = fraDebug},
                {.dialogs = ports.dialogs,
                 .browser = ports.browser,
                 .pump = ports.pump,
                 .player = players,
                 .msg = msg,
                 .feedback = feedback,
                 .marks = marks,
                 .recall = recall,
                 .bookmarks = bookmarkControls,
                 .objwb = objwb,
                 .safetyCopy = [this] { return impExp.safetyCopy(); }}};
    LinkCommands links{{.er = er,
                        .browser = ports.browser,
                        .player = players,
                        .feedback = feedback,
                        .book = books,
                        .urls = urls,
                        .audio = audio,
                        .TextURL = TextURL,
                        .pressKey = [this](qint16 code, qint16 mask) { keys.Form_KeyDown(code, mask); },
                        .goToHeading = [this](int heading) { daisyReading.goToHeading(heading); }}};
    PageLoad pageLoad{{.er = er,
                       .browser = ports.browser,
                       .pump = ports.pump,
                       .msg = msg,
                       .book = books,
                       .urls = urls,
                       .audio = audio,
                       .form = form,
                       .ListMarkers = ListMarkers,
                       .nIndexAnchor = nIndexAnchor,
                       .reactions = {.listBookmarks = [this](bool contents) { marks.listAsOpened(contents); },
                                     .completeRecall = [this] { recall.completePending(); },
                                     .styleSheet = [this] { return keys.reading.styleSheet(); }}}};
    OptionsPanel options{{.er = er,
                          .player = players,
                          .prefs = prefs,
                          .feedback = feedback,
                          .range = volumeRange,
                          .controls = optionsControls}};
    DebugPanel debugPanel{{.er = er, .browser = ports.browser, .player = players, .controls = debugControls}};
    AboutPage about{{.er = er,
                     .browser = ports.browser,
                     .files = ports.files,
                     .prefs = prefs,
                     .book = books,
                     .audio = audio,
                     .daisy = daisyReading,
                     .TimerSpalsh = TimerSpalsh,
                     .chkSavePos = chkSavePos,
                     .listBookmarks = [this] { marks.listAsOpened(false); }}};
    Layout layout{{.er = er,
                   .windowState = windowState,
                   .objwb = objwb,
                   .options = optionsControls,
                   .osd = osdControls,
                   .bookmarks = bookmarkControls,
                   .chooser = chooserControls}};
    Startup startup{{.er = er,
                     .browser = ports.browser,
                     .dialogs = ports.dialogs,
                     .pump = ports.pump,
                     .player = players,
                     .prefs = prefs,
                     .msg = msg,
                     .feedback = feedback,
                     .books = books,
                     .parts = {.audio = audio,
                               .about = about,
                               .range = volumeRange,
                               .reading = keys.reading,
                               .daisy = daisyReading},
                     .controls = {.form = form,
                                  .options = optionsControls,
                                  .bookmarks = bookmarkControls,
                                  .chooser = chooserControls,
                                  .TimerSpalsh = TimerSpalsh,
                                  .TimerDisableState = TimerDisableState}}};

    // The facade in use (the slot's), and what the window layer reads of it.
    std::unique_ptr<oEkoPlayer> &oPlayer = players.oPlayer;
    oEkoPlayer &player() { return players.get(); }
    void setCaption(const QString &c) { form.setCaption(c); }
    QString caption() const { return form.caption(); }

private:
    std::unique_ptr<oEkoPlayer> newPlayer();
    void wireReactions();
    void enteredBook();
    void createDesignedLayout();
    void designOptionsPanel();
    void designBookmarkPanel();
    void designDebugPanel();
};

} // namespace qyr
