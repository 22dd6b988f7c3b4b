#include "readingkeys.h"
#include "../navigation/pageaudio.h"
#include "../platform/bookpath.h"
#include "../platform/browser.h"
#include "../platform/convert.h"
#include "../platform/errors.h"
#include "../platform/files.h"
#include "../platform/openbook.h"
#include "../platform/pump.h"
#include "../services/feedback.h"
#include "../services/playersettings.h"
#include "../services/playerslot.h"
#include "keyhelpers.h"

#include <limits>

namespace qyr {

// The speed as the player holds it, in the reader's number format.
QString ReadingKeys::rateText() { return conv::fromSingle(u.player.get().Rate()); }

Result<Done> ReadingKeys::speedStep(bool up)
{
    const QVariant next = u.feedback.RateChange(double(u.player.get().Rate()), up);
    if (!next.isValid())
        return Failure::of(err::TypeMismatch); // never a speed of 0 behind the reader's back
    // Single precision, so the next step starts from what the player holds.
    u.player.get().setRate(float(next.toDouble()));
    u.feedback.setPlayerRate(u.player.get().Rate());
    u.feedback.OSD((up ? QStringLiteral("Lettura più veloce - Rate ") : QStringLiteral("Lettura più lenta - Rate ")) +
                       rateText(),
                   false);
    return Done{};
}

void ReadingKeys::speedCycle()
{
    // 1, 1.4, 0.7, 1; a speed reached by steps goes back to 1 first.
    const float rate = u.player.get().Rate();
    if (rate == 1.0f) {
        u.player.get().setRate(1.4f);
        u.feedback.OSD(QStringLiteral("Lettura veloce - Rate ") + rateText(), false);
    } else if (rate != 1.4f) {
        u.player.get().setRate(1.0f);
        u.feedback.OSD(QStringLiteral("Lettura normale - Rate ") + rateText(), false);
    } else {
        u.player.get().setRate(0.7f);
        u.feedback.OSD(QStringLiteral("Lettura lenta - Rate ") + rateText(), false);
    }
    u.feedback.setPlayerRate(u.player.get().Rate());
}

void ReadingKeys::readingOnOff()
{
    u.feedback.SetAudioOff(!u.feedback.audioOff());
    u.prefs.save(QStringLiteral("AudioOff"), conv::fromBool(u.feedback.audioOff()));
    u.feedback.OSD(u.feedback.audioOff() ? QStringLiteral("Lettura disattivata") : QStringLiteral("Lettura attiva"),
                   false);
}

Result<Done> ReadingKeys::nextStyleSheet()
{
    // The styles are the program's own books' (include/styleN.css): a DAISY
    // book has none, and its reading must not be stopped for nothing.
    if (u.book.daisyBook()) {
        u.feedback.OSD(QStringLiteral("Il libro DAISY non ha stili: il testo resta com'è"), false);
        return Done{};
    }
    if (nStyleSheet == std::numeric_limits<qint16>::max())
        return Failure::of(err::Overflow);
    // Tested at every press: sheets added or removed meanwhile count.
    const qint16 following = qint16(nStyleSheet + 1);
    const bool exists =
        u.files.fileExists(joinPath(u.book.folder(), QStringLiteral("include/style%1.css").arg(following)));
    nStyleSheet = exists ? following : qint16(1);
    u.feedback.OSD(QStringLiteral("Stile ") + QString::number(nStyleSheet), false);
    u.prefs.save(QStringLiteral("StyleSheet"), QString::number(nStyleSheet));

    // The reload applies the sheet; the reading then goes on from the same
    // file and position. The anchor is left out of the address: a jump inside
    // the page would not reload it.
    QString address = u.browser.locationURL();
    const int hash = address.indexOf(QLatin1Char('#'));
    if (hash >= 0)
        address.truncate(hash);
    u.audio.keepPlaceForReload();
    if (u.player.get().IsPlaying())
        u.player.get().Stop_Player();
    u.browser.navigate(address);
    u.pump.processEvents();
    return Done{};
}

void ReadingKeys::optionsPanel()
{
    u.feedback.OSD(QStringLiteral("Pannello configurazione"), false);
    u.frmconfigurazione.setVisible(!u.frmconfigurazione.visible());
    // The box shows the stored speed; its change handler stores it back unchanged.
    u.TextRate.setText(conv::fromSingle(u.feedback.PlayerRate()));
}

void ReadingKeys::debugPanel() { u.fraDebug.setVisible(!u.fraDebug.visible()); }

} // namespace qyr
