#include "transportkeys.h"
#include "keyhelpers.h"
#include "../platform/convert.h"
#include "../shell/frmbrowser.h"

namespace qyr {

using keyhelp::player;
using keyhelp::positionText;

// Read at every press: the reader may have changed it in the options panel.
double TransportKeys::skipLength() const { return conv::toDouble(f.TextAvantiIndietro.text()); }

void TransportKeys::playPause()
{
    player(f).StopPlay();
    if (player(f).IsPlaying())
        f.feedback.OSD(QStringLiteral("PLAY ") + positionText(f), false);
    else // stays on screen while paused, so the reader knows how to go on
        f.feedback.OSD(QStringLiteral("PAUSA ") + positionText(f) + QStringLiteral(" premere ctrl+3"), true);
}

void TransportKeys::stop()
{
    player(f).Stop_Player();
    player(f).setCurrentPosition(0);
    f.feedback.OSD(QStringLiteral("STOP ") + positionText(f), false);
}

void TransportKeys::skipForward(const QString &KeyStep)
{
    Guard(f.er, QStringLiteral("Form_KeyDown Avanti - ") + KeyStep, [&] {
        if (player(f).IsPlaying()) {
            const double target = skipLength() + player(f).CurrentPosition();
            const double duration = keyhelp::number(player(f).Duration());
            if (duration < target) {
                // Past the end: the page's next audio, or near the end of this one.
                if (!f.audio.Playaudio(QString(), true, false)) {
                    player(f).setCurrentPosition(keyhelp::number(player(f).Duration()) - 3);
                    player(f).Play_Player();
                }
            } else {
                player(f).setCurrentPosition(target);
            }
        }
        f.feedback.OSD(QStringLiteral("AVANTI ") + positionText(f), false);
    });
}

void TransportKeys::skipBack(const QString &KeyStep)
{
    Guard(f.er, QStringLiteral("Form_KeyDown Indietro - ") + KeyStep, [&] {
        if (player(f).IsPlaying()) {
            // The test uses a fixed 10 seconds whatever the skip length, so a
            // long skip may ask for a position before the start.
            if (player(f).CurrentPosition() - 10 > 0) {
                player(f).setCurrentPosition(player(f).CurrentPosition() - skipLength());
            } else if (f.audio.Playaudio(QString(), false, true)) {
                // Moved to the page's previous audio: near its end.
                player(f).setCurrentPosition(keyhelp::number(player(f).Duration()) - skipLength());
            } else {
                player(f).setCurrentPosition(0);
                player(f).Play_Player();
            }
        }
        f.feedback.OSD(QStringLiteral("INDIETRO ") + positionText(f), false);
    });
}

void TransportKeys::volume(bool up)
{
    const double now = keyhelp::number(player(f).Volume());
    f.nVolumeNew = conv::toInt16(up ? now + f.nVolumeStep : now - f.nVolumeStep);
    qint16 v = f.nVolumeNew;
    if (up && f.nVolumeNew > f.nVolumeMax)
        v = f.nVolumeMax;
    else if (!up && f.nVolumeNew < f.nVolumeMin)
        v = f.nVolumeMin;
    player(f).setVolume(QVariant(int(v)));

    const QVariant set = player(f).Volume();
    const QString text = set.typeId() == QMetaType::Double ? conv::fromDouble(set.toDouble()) : set.toString();
    f.feedback.OSD(QStringLiteral("Volume - ") + text, false);
    // The box's change handler stores the new volume.
    f.TextVolume.setText(text);
}

} // namespace qyr
