#pragma once
// frmBrowser: the main window's logic. It owns the state fields, the control
// models, the player facade and one object per subsystem; each subsystem
// reaches the others through this owner. Nothing here touches a widget.
#include "../books/books.h"
#include "../books/bookview.h"
#include "../bookmarks/bookmarklist.h"
#include "../bookmarks/bookmarkrecall.h"
#include "../bookmarks/bookmarkstore.h"
#include "../dialogs/debugpanel.h"
#include "../dialogs/optionspanel.h"
#include "../exchange/impexppanel.h"
#include "../keyboard/keymap.h"
#include "../keyboard/feedback.h"
#include "../navigation/linkcommands.h"
#include "../navigation/pageaudio.h"
#include "../navigation/pageload.h"
#include "../navigation/urlhelpers.h"
#include "../platform/browser.h"
#include "../platform/controls.h"
#include "../platform/dialogs.h"
#include "../platform/files.h"
#include "../platform/hive.h"
#include "../platform/media.h"
#include "../platform/videowindow.h"
#include "../platform/pump.h"
#include "../platform/registry.h"
#include "../player/ekoplayer.h"
#include "aboutpage.h"
#include "../platform/errorreport.h"
#include "layout.h"
#include "messages.h"
#include "playersettings.h"
#include "settings.h"
#include "startup.h"

#include <array>
#include <functional>
#include <memory>

namespace qyr {

// The real or test components the logic runs on.
struct Ports {
    IRegistry &registry;
    IFiles &files;
    IDialogs &dialogs;
    IEventPump &pump;
    ITimerService &timers;
    IBrowser &browser;
    // Creates the media control and video window of a new version 9 host;
    // throws QyrError when it cannot.
    std::function<MediaHostParts()> createMedia;
    QString appFolder; // the book opened first
    IHiveReader *hives = nullptr; // reads hive files for an import; none: hives cannot be imported
    // Creates the media control and video window of the player of other
    // versions ("Altre"); none: that version has no player.
    std::function<MediaHostParts()> createOtherMedia = nullptr;
};

enum class WindowState { Normal, Minimized, Maximized };

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
    PlayerSettings prefs{*this}; // the checked reads of the Player settings
    Books books;
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
    TextBox TextVolume{QStringLiteral("TextVolume"), QStringLiteral("Volume"),
                       QStringLiteral("Volume del lettore")};
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

    std::unique_ptr<oEkoPlayer> oPlayer;

    // Subsystems.
    Startup startup;
    AboutPage about;
    Layout layout;
    Feedback feedback;
    OptionsPanel options;
    UrlHelpers urls;
    PageAudio audio;
    LinkCommands links;
    PageLoad pageLoad;
    KeyMap keys;
    BookmarkStore marks;
    BookmarkRecall recall;
    BookmarkList markList;
    DebugPanel debugPanel;
    ImpExpPanel impExp;

    // A new facade wired to this window's handlers.
    std::unique_ptr<oEkoPlayer> newPlayer();
    // The facade; a failure (91) of the caller's step when there is none.
    oEkoPlayer &player();
    // Loads the player's file again and plays on from where it was, at the
    // speed saved before a pause (the bookmark list and panel close so).
    void resumeWithReload();
    void setCaption(const QString &c) { form.setCaption(c); }
    QString caption() const { return form.caption(); }

    // Events raised on the owner for the page-audio logic of later subsystems.
    Signal<qint32> PlayerStateChanged;
    Signal<const QString &> PlayerFileChanged;

private:
    void createDesignedLayout();
    void designOptionsPanel();
    void designBookmarkPanel();
    void designDebugPanel();
};

} // namespace qyr
