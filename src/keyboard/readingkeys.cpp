#include "readingkeys.h"
#include "keyhelpers.h"
#include "../platform/bookpath.h"
#include "../platform/convert.h"
#include "../shell/frmbrowser.h"

#include <limits>

namespace qyr {


namespace {
} // namespace

// The speed as the player holds it, in the reader's number format.
QString ReadingKeys::rateText() { return conv::fromSingle(f.player().Rate()); }

void ReadingKeys::speedStep(bool up)
{
    const QVariant next = f.feedback.RateChange(double(f.player().Rate()), up);
    if (!next.isValid())
        throw QyrError(err::TypeMismatch); // never a speed of 0 behind the reader's back
    // Single precision, so the next step starts from what the player holds.
    f.player().setRate(float(next.toDouble()));
    f.feedback.setPlayerRate(f.player().Rate());
    f.feedback.OSD((up ? QStringLiteral("Lettura più veloce - Rate ") : QStringLiteral("Lettura più lenta - Rate ")) +
                       rateText(),
                   false);
}

void ReadingKeys::speedCycle(QString &KeyStep)
{
    KeyStep = QStringLiteral("Form KeyDown: Ctrl+9");
    // 1, 1.4, 0.7, 1; a speed reached by steps goes back to 1 first.
    const float rate = f.player().Rate();
    if (rate == 1.0f) {
        f.player().setRate(1.4f);
        f.feedback.OSD(QStringLiteral("Lettura veloce - Rate ") + rateText(), false);
    } else if (rate != 1.4f) {
        f.player().setRate(1.0f);
        f.feedback.OSD(QStringLiteral("Lettura normale - Rate ") + rateText(), false);
    } else {
        f.player().setRate(0.7f);
        f.feedback.OSD(QStringLiteral("Lettura lenta - Rate ") + rateText(), false);
    }
    f.feedback.setPlayerRate(f.player().Rate());
}

void ReadingKeys::readingOnOff(QString &KeyStep)
{
    KeyStep = QStringLiteral("Form KeyDown: Ctrl+0");
    f.feedback.SetAudioOff(!f.feedback.audioOff());
    f.prefs.save(QStringLiteral("AudioOff"), conv::fromBool(f.feedback.audioOff()));
    f.feedback.OSD(f.feedback.audioOff() ? QStringLiteral("Lettura disattivata") : QStringLiteral("Lettura attiva"), false);
}

void ReadingKeys::nextStyleSheet(QString &KeyStep)
{
    KeyStep = QStringLiteral("Form KeyDown: Ctrl+Shift+9");
    if (nStyleSheet == std::numeric_limits<qint16>::max())
        throw QyrError(err::Overflow);
    // Tested at every press: sheets added or removed meanwhile count.
    const qint16 following = qint16(nStyleSheet + 1);
    const bool exists =
        f.ports.files.fileExists(joinPath(f.books.folder(), QStringLiteral("include/style%1.css").arg(following)));
    nStyleSheet = exists ? following : qint16(1);
    f.feedback.OSD(QStringLiteral("Stile ") + QString::number(nStyleSheet), false);
    f.prefs.save(QStringLiteral("StyleSheet"), QString::number(nStyleSheet));

    // The reload applies the sheet; the reading then goes on from the same
    // file and position. The anchor is left out of the address: a jump inside
    // the page would not reload it.
    QString address = f.ports.browser.locationURL();
    const int hash = address.indexOf(QLatin1Char('#'));
    if (hash >= 0)
        address.truncate(hash);
    f.audio.keepPlaceForReload();
    if (f.player().IsPlaying())
        f.player().Stop_Player();
    f.ports.browser.navigate(address);
    f.ports.pump.processEvents();
}

void ReadingKeys::optionsPanel(QString &KeyStep)
{
    KeyStep = QStringLiteral("Form KeyDown: Ctrl+8");
    f.feedback.OSD(QStringLiteral("Pannello configurazione"), false);
    f.frmconfigurazione.setVisible(!f.frmconfigurazione.visible());
    // The box shows the stored speed; its change handler stores it back unchanged.
    f.TextRate.setText(conv::fromSingle(f.feedback.PlayerRate()));
}

void ReadingKeys::debugPanel() { f.fraDebug.setVisible(!f.fraDebug.visible()); }

} // namespace qyr
