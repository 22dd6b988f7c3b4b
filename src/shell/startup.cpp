#include "startup.h"

#include "../books/books.h"
#include "../keyboard/readingkeys.h"
#include "../navigation/daisyreading.h"
#include "../navigation/pageaudio.h"
#include "../platform/bookpath.h"
#include "../platform/browser.h"
#include "../platform/convert.h"
#include "../platform/dialogs.h"
#include "../platform/errorreport.h"
#include "../platform/errors.h"
#include "../platform/pump.h"
#include "../platform/registry.h"
#include "../services/feedback.h"
#include "../services/messages.h"
#include "../services/playersettings.h"
#include "../services/playerslot.h"
#include "../services/volumerange.h"
#include "aboutpage.h"

#include <QDebug>

#include <functional>

namespace qyr {

namespace {
const QString kVersion9Question =
    QStringLiteral("Versione 9 trovata! Per un corretto funzionamento è consigliato passare alla versione 9 (CTRL+7). "
                   "Vuoi passare alla versione 9?");
} // namespace

// Shows the start-up error report for the error just caught.
bool Startup::reportStartupError()
{
    lastFilledError = u.msg.errore(StartupStep, u.er.currentNumber(), u.er.currentDescription());
    u.er.ShowError(QStringLiteral("Form Load - ") + StartupStep, QString());
    u.er.clearCurrent();
    // The filled template is kept but not shown: the window does not exist
    // yet, so nothing on its display is heard, and laying the window out
    // hides the display anyway. The error dialog has told the reader.
    return false;
}

// False when the version 9 player could not be made: the facade has said
// why, and start-up retries with the other version.
bool Startup::createPlayer(const QString &versionText, bool audioOff)
{
    u.player.oPlayer.reset();
    u.player.oPlayer = u.player.create();
    if (versionText == QLatin1String("1")) {
        u.player.oPlayer->setVersione(1);
        if (!u.player.oPlayer->hasCurrentPlayer())
            return false;
        StartupStep = QStringLiteral("Form Load: settings WMP");
        u.controls.options.optPlayer.select(1);
        u.player.oPlayer->setRate(u.feedback.PlayerRate());
        u.player.oPlayer->setFullScreen(true);
        u.parts.range.setVersion(1);
    } else {
        u.player.oPlayer->setVersione(0);
        u.player.oPlayer->setRate(u.feedback.PlayerRate());
        StartupStep = QStringLiteral("Form Load: settings WMP6");
        u.parts.range.setVersion(0);
        u.controls.options.optPlayer.select(0);
    }
    // A volume of the other player's scale would leave this one silent.
    const QString volume = u.prefs.volumeFor(u.player.oPlayer->Versione(), [this] { reportStartupError(); });
    if (volume != u.controls.options.TextVolume.text())
        u.controls.options.TextVolume.setText(volume);
    u.player.oPlayer->setVolume(volume);
    u.feedback.SetAudioOff(audioOff);
    return true;
}

// Start-up's own guard, written once: a failure is reported under the step
// reached, with the filled message left on the display.
bool Startup::guarded(const std::function<void()> &body)
{
    try {
        body();
        return true;
    } catch (...) {
        u.er.captureCurrentException();
        return reportStartupError();
    }
}

void Startup::Form_Load()
{
    u.controls.TimerSpalsh.setEnabled(false);
    u.books.openAtStart();
    u.controls.form.setCaption(openingWords());
    u.controls.bookmarks.ListMarkers.setTabStop(20);

    StartupStep = QStringLiteral("Form Load: inizializzazione");
    QString versionText;
    bool audioOff = false;
    if (!guarded([&] { readSettings(versionText, audioOff); }))
        return;
    if (!choosePlayer(versionText, audioOff))
        return; // silently: no splash, no book page

    StartupStep =
        QStringLiteral("Form Load: caricamenti documento: ") + u.books.folder() + QStringLiteral("\\Index.htm.");
    guarded([&] {
        u.parts.about.ShowAbout();
        u.controls.TimerSpalsh.setEnabled(true);
    });
}

void Startup::readSettings(QString &versionText, bool &audioOff)
{
    u.msg.setDefaults();
    u.parts.range.setVersion(0);
    u.controls.chooser.Dir.setPath(u.controls.chooser.Drive.path());
    u.controls.chooser.File.setPath(u.controls.chooser.Dir.path());

    StartupStep = QStringLiteral("Form Load: caricamento settings");
    // A damaged value is reported once and its default taken, so that the
    // book still opens and plays: what read() gives always converts (the
    // fallbacks below are the defaults all the same).
    const auto report = [this] { reportStartupError(); };
    u.controls.options.chkSavePos.setValue(conv::tryInt16(u.prefs.read(QStringLiteral("SavePos"), report)).valueOr(0));
    u.parts.reading.setStyleSheet(conv::tryInt16(u.prefs.read(QStringLiteral("StyleSheet"), report)).valueOr(1));
    u.controls.options.TextAvantiIndietro.setText(u.prefs.read(QStringLiteral("AvantiIndietro"), report));
    u.controls.options.TextVolume.setText(u.prefs.read(QStringLiteral("Volume"), report));
    // An unknown value keeps the automatic choice rather than stopping start-up.
    u.controls.options.optVoce.select(u.prefs.stored(QStringLiteral("VoceProgramma"), QStringLiteral("0")).toInt());
    versionText = QString::number(conv::tryInt16(u.prefs.read(QStringLiteral("Versione"), report)).valueOr(1));
    audioOff = conv::tryBool(u.prefs.read(QStringLiteral("AudioOff"), report)).valueOr(false);
    // Checked here so that a damaged speed is reported with the other
    // settings; the player takes it later through PlayerRate.
    u.prefs.read(QStringLiteral("Rate"), report);
}

// Choosing and creating the player, with one retry on the other version.
// False when neither could be made.
bool Startup::choosePlayer(QString versionText, bool audioOff)
{
    bool retryUsed = false;
    for (;;) {
        bool made = false;
        try {
            if (versionText != QLatin1String("1")) {
                const Answer a = u.dialogs.message(programName(), kVersion9Question, Buttons::YesNo, Icon::Question);
                if (a == Answer::Yes) {
                    versionText = QStringLiteral("1");
                    continue;
                }
            }
            made = createPlayer(versionText, audioOff);
        } catch (...) {
            // A failure on the way (a store that cannot be read) counts as a
            // player not made: the other version is tried all the same.
        }
        if (made)
            return true;
        if (retryUsed) {
            u.er.clearCurrent();
            return false;
        }
        retryUsed = true;
        versionText = versionText == QLatin1String("1") ? QStringLiteral("0") : QStringLiteral("1");
    }
}

void Startup::Form_Initialize()
{
    u.browser.navigate(QStringLiteral("about:blank"));
    while (u.browser.readyState() != 4) {
        u.pump.sleep(100);
        u.pump.processEvents();
    }
    // The blank page's load named the window by its address; until the first
    // book page it says what is happening.
    u.controls.form.setCaption(openingWords());
    u.parts.about.ShowAbout();
}

QString Startup::openingWords() const
{
    return QStringLiteral("QYR Player: apertura del libro %1").arg(u.books.title());
}

void Startup::Form_QueryUnload(bool &cancel)
{
    Guard(u.er, QStringLiteral("Form_QueryUnload"), [&] {
        const Answer a =
            u.dialogs.message(QStringLiteral("LUMO Player"), u.msg.strMsgUscita, Buttons::YesNo, Icon::Question);
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
    if (!cancel && u.player.oPlayer && u.player.oPlayer->hasCurrentPlayer())
        u.player.oPlayer->Stop_Player();
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
        u.er.captureCurrentException();
        qWarning().noquote() << QStringLiteral("Form_QueryUnload: luogo di lettura non salvato: %1 (codice %2)")
                                    .arg(u.er.currentDescription())
                                    .arg(u.er.currentNumber());
        u.er.clearCurrent();
    }
    closing_ = true;
    IgnoreFailure([&] {
        if (u.player.oPlayer && u.player.oPlayer->hasCurrentPlayer())
            u.player.oPlayer->Stop_Player();
    });
}

void Startup::savePlace()
{
    if (u.controls.options.chkSavePos.value() == 1 && u.parts.daisy.active()) {
        // A DAISY book's place: the phrase being read and the book's time.
        if (u.parts.daisy.phrase() < 0)
            return;
        u.prefs.save(QStringLiteral("Brano"), u.parts.daisy.phraseName());
        u.prefs.save(QStringLiteral("BranoPos"), conv::fromDouble(u.parts.daisy.bookTime()));
        u.prefs.save(PageAudio::resumeAudioKey(), QString());
    } else if (u.controls.options.chkSavePos.value() == 1) {
        const QString url = u.browser.locationURL();
        // Before the first book page (the about page is on show) there is no
        // place yet, and the one saved at the last exit is still the reader's.
        // Nor is a page outside the book a place: the next start could not
        // open the book there.
        if (url.isEmpty() || url == QLatin1String("about:blank") ||
            pathBelow(u.books.folder(), pathFromAddress(url)).isEmpty())
            return;
        u.prefs.save(QStringLiteral("Brano"), url);
        const double pos = u.player.oPlayer ? u.player.oPlayer->CurrentPosition() : 0.0;
        u.prefs.save(QStringLiteral("BranoPos"), conv::fromDouble(pos));
        // The position is within the page's audio being read, which need not
        // be its first.
        u.prefs.save(PageAudio::resumeAudioKey(), QString::number(u.parts.audio.audioIndex()));
    } else {
        u.prefs.save(QStringLiteral("Brano"), QString());
        u.prefs.save(QStringLiteral("BranoPos"), QString());
        u.prefs.save(PageAudio::resumeAudioKey(), QString());
    }
}

} // namespace qyr
