#include "startup.h"
#include "../platform/bookpath.h"
#include "../platform/convert.h"
#include "../platform/errors.h"
#include "frmbrowser.h"

#include <QDebug>

#include <functional>

namespace qyr {

namespace {
const QString kVersion9Question = QStringLiteral(
    "Versione 9 trovata! Per un corretto funzionamento è consigliato passare alla versione 9 (CTRL+7). "
    "Vuoi passare alla versione 9?");
} // namespace

// Shows the start-up error report for the error just caught.
bool Startup::reportStartupError()
{
    lastFilledError = f.msg.errore(StartupStep, f.er.currentNumber(), f.er.currentDescription());
    f.er.ShowError(QStringLiteral("Form Load - ") + StartupStep, QString());
    f.er.clearCurrent();
    // The filled template is kept but not shown: the window does not exist
    // yet, so nothing on its display is heard, and laying the window out
    // hides the display anyway. The error dialog has told the reader.
    return false;
}

void Startup::createPlayer(const QString &versionText, bool audioOff)
{
    if (versionText == QLatin1String("1")) {
        StartupStep = QStringLiteral("Form Load: creazione WMP");
        f.oPlayer.reset();
        f.oPlayer = f.newPlayer();
        StartupStep = QStringLiteral("Form Load: caricamento WMP");
        f.oPlayer->setVersione(1);
        // The facade reports why its host could not be made; start-up needs
        // to know, to retry with the other version.
        if (!f.oPlayer->hasCurrentPlayer())
            throw QyrError(err::CannotCreateObject,
                           QStringLiteral("Impossibile creare il lettore multimediale versione 9"));
        StartupStep = QStringLiteral("Form Load: settings WMP");
        f.optPlayer.select(1);
        f.oPlayer->setRate(f.feedback.PlayerRate());
        f.oPlayer->setFullScreen(true);
        f.keys.transport.setVolumeRange(1);
    } else {
        StartupStep = QStringLiteral("Form Load: creazione WMP6");
        f.oPlayer.reset();
        f.oPlayer = f.newPlayer();
        StartupStep = QStringLiteral("Form Load: caricamento WMP6");
        f.oPlayer->setVersione(0);
        f.oPlayer->setRate(f.feedback.PlayerRate());
        StartupStep = QStringLiteral("Form Load: settings WMP6");
        f.keys.transport.setVolumeRange(0);
        f.optPlayer.select(0);
    }
    // A volume of the other player's scale would leave this one silent.
    const QString volume = f.prefs.volumeFor(f.oPlayer->Versione(), [this] { reportStartupError(); });
    if (volume != f.TextVolume.text())
        f.TextVolume.setText(volume);
    f.oPlayer->setVolume(volume);
    f.feedback.SetAudioOff(audioOff);
}

// Start-up's own guard, written once: a failure is reported under the step
// reached, with the filled message left on the display.
bool Startup::guarded(const std::function<void()> &body)
{
    try {
        body();
        return true;
    } catch (...) {
        f.er.captureCurrentException();
        return reportStartupError();
    }
}

void Startup::Form_Load()
{
    f.TimerSpalsh.setEnabled(false);
    f.about.connect();
    f.books.openAtStart();
    f.setCaption(openingWords());
    f.ListMarkers.setTabStop(20);

    StartupStep = QStringLiteral("Form Load: inizializzazione");
    QString versionText;
    bool audioOff = false;
    if (!guarded([&] { readSettings(versionText, audioOff); }))
        return;
    if (!choosePlayer(versionText, audioOff))
        return; // silently: no splash, no book page

    StartupStep = QStringLiteral("Form Load: caricamenti documento: ") + f.books.folder() + QStringLiteral("\\Index.htm.");
    guarded([&] {
        f.about.ShowAbout();
        f.TimerSpalsh.setEnabled(true);
    });
}

void Startup::readSettings(QString &versionText, bool &audioOff)
{
    f.msg.setDefaults();
    f.keys.transport.setVolumeRange(0);
    f.Dir.setPath(f.Drive.path());
    f.File.setPath(f.Dir.path());

    StartupStep = QStringLiteral("Form Load: caricamento settings");
    // A damaged value is reported once and its default taken, so that the
    // book still opens and plays.
    const auto report = [this] { reportStartupError(); };
    f.chkSavePos.setValue(conv::toInt16(f.prefs.read(QStringLiteral("SavePos"), report)));
    f.keys.reading.setStyleSheet(conv::toInt16(f.prefs.read(QStringLiteral("StyleSheet"), report)));
    f.TextAvantiIndietro.setText(f.prefs.read(QStringLiteral("AvantiIndietro"), report));
    f.TextVolume.setText(f.prefs.read(QStringLiteral("Volume"), report));
    // An unknown value keeps the automatic choice rather than stopping start-up.
    f.optVoce.select(f.prefs.stored(QStringLiteral("VoceProgramma"), QStringLiteral("0")).toInt());
    versionText = QString::number(conv::toInt16(f.prefs.read(QStringLiteral("Versione"), report)));
    audioOff = conv::toBool(f.prefs.read(QStringLiteral("AudioOff"), report));
    // Checked here so that a damaged speed is reported with the other
    // settings; the player takes it later through PlayerRate.
    f.prefs.read(QStringLiteral("Rate"), report);
}

// Choosing and creating the player, with one retry on the other version.
// False when neither could be made.
bool Startup::choosePlayer(QString versionText, bool audioOff)
{
    bool retryUsed = false;
    for (;;) {
        try {
            if (versionText != QLatin1String("1")) {
                const Answer a = f.ports.dialogs.message(f.strAppName, kVersion9Question, Buttons::YesNo, Icon::Question);
                if (a == Answer::Yes) {
                    versionText = QStringLiteral("1");
                    continue;
                }
            }
            createPlayer(versionText, audioOff);
            return true;
        } catch (...) {
            if (retryUsed) {
                f.er.clearCurrent();
                return false;
            }
            retryUsed = true;
            versionText = versionText == QLatin1String("1") ? QStringLiteral("0") : QStringLiteral("1");
        }
    }
}

void Startup::Form_Initialize()
{
    f.ports.browser.navigate(QStringLiteral("about:blank"));
    while (f.ports.browser.readyState() != 4) {
        f.ports.pump.sleep(100);
        f.ports.pump.processEvents();
    }
    // The blank page's load named the window by its address; until the first
    // book page it says what is happening.
    f.setCaption(openingWords());
    f.about.ShowAbout();
}

QString Startup::openingWords() const
{
    return QStringLiteral("QYR Player: apertura del libro %1").arg(f.books.title());
}

void Startup::Form_QueryUnload(bool &cancel)
{
    Guard(f.er, QStringLiteral("Form_QueryUnload"), [&] {
        const Answer a = f.ports.dialogs.message(QStringLiteral("LUMO Player"), f.msg.strMsgUscita, Buttons::YesNo,
                                                 Icon::Question);
        // The session ended while the question was open: the place is saved already.
        if (closing_)
            return;
        if (a != Answer::Yes) {
            cancel = true;
            return;
        }
        savePlace();
    });
    // The close may be granted from inside another handler that is still
    // using the facade (a dialog's event loop runs queued requests), so the
    // player is stopped here and the facade released with the window.
    if (!cancel && f.oPlayer && f.oPlayer->hasCurrentPlayer())
        f.oPlayer->Stop_Player();
    if (!cancel)
        closing_ = true;
}

void Startup::EndWithoutQuestion()
{
    if (closing_)
        return;
    // Nobody is there to answer a dialog (a log-out, a signal): a place that
    // cannot be saved (a full disk) is written to the standard error output,
    // and the program ends all the same.
    try {
        savePlace();
    } catch (...) {
        f.er.captureCurrentException();
        qWarning().noquote() << QStringLiteral("Form_QueryUnload: luogo di lettura non salvato: %1 (codice %2)")
                                    .arg(f.er.currentDescription())
                                    .arg(f.er.currentNumber());
        f.er.clearCurrent();
    }
    closing_ = true;
    IgnoreFailure([&] {
        if (f.oPlayer && f.oPlayer->hasCurrentPlayer())
            f.oPlayer->Stop_Player();
    });
}

void Startup::savePlace()
{
    if (f.chkSavePos.value() == 1) {
        const QString url = f.ports.browser.locationURL();
        // Before the first book page (the about page is on show) there is no
        // place yet, and the one saved at the last exit is still the reader's.
        // Nor is a page outside the book a place: the next start could not
        // open the book there.
        if (url.isEmpty() || url == QLatin1String("about:blank") ||
            pathBelow(f.books.folder(), pathFromAddress(url)).isEmpty())
            return;
        f.prefs.save(QStringLiteral("Brano"), url);
        const double pos = f.oPlayer ? f.oPlayer->CurrentPosition() : 0.0;
        f.prefs.save(QStringLiteral("BranoPos"), conv::fromDouble(pos));
        // The position is within the page's audio being read, which need not
        // be its first.
        f.prefs.save(PageAudio::resumeAudioKey(), QString::number(f.audio.audioIndex()));
    } else {
        f.prefs.save(QStringLiteral("Brano"), QString());
        f.prefs.save(QStringLiteral("BranoPos"), QString());
        f.prefs.save(PageAudio::resumeAudioKey(), QString());
    }
}

void Startup::TimerDisableState_Timer()
{
    Guard(f.er, QStringLiteral("TimerDisableState_Timer"), [&] {
        f.TimerDisableState.setEnabled(false);
        f.audio.holdChaining(false);
    });
}

} // namespace qyr
