#include "transportkeys.h"
#include "keyhelpers.h"
#include "../platform/convert.h"
#include "../player/volumescale.h"
#include "../shell/frmbrowser.h"

#include <algorithm>

namespace qyr {


// With no file loaded a transport key has nothing to act on: the reader is
// told instead of hearing nothing.
bool TransportKeys::loaded()
{
    QString name;
    IgnoreFailure([&] { name = f.player().FileName(); });
    if (!name.isEmpty())
        return true;
    f.feedback.OSD(notice::noAudio(), false);
    return false;
}

// Read at every press: the reader may have changed it in the options panel.
double TransportKeys::skipLength() const { return conv::toDouble(f.TextAvantiIndietro.text()); }

void TransportKeys::playPause()
{
    f.player().StopPlay();
    if (f.player().IsPlaying())
        f.feedback.OSD(QStringLiteral("PLAY ") + f.feedback.positionText(), false);
    else // stays on screen while paused, so the reader knows how to go on
        f.feedback.OSD(QStringLiteral("PAUSA ") + f.feedback.positionText() + QStringLiteral(" premere ctrl+3"), true);
}

void TransportKeys::stop()
{
    f.player().Stop_Player();
    f.player().setCurrentPosition(0);
    f.feedback.OSD(QStringLiteral("STOP ") + f.feedback.positionText(), false);
}

void TransportKeys::skipForward(const QString &KeyStep)
{
    Guard(f.er, QStringLiteral("Form_KeyDown Avanti - ") + KeyStep, [&] {
        if (f.player().IsPlaying()) {
            // A file still opening reads a length of 0, which would count as
            // "past the end": its length is awaited first, then the position.
            const double duration = f.audio.loadedDuration();
            const double target = skipLength() + f.player().CurrentPosition();
            if (duration < target) {
                // Past the end: the page's next audio, or near the end of this one.
                if (!f.audio.Playaudio(QString(), true, false)) {
                    f.player().setCurrentPosition(duration - 3);
                    f.player().Play_Player();
                }
            } else {
                f.player().setCurrentPosition(target);
            }
        }
        f.feedback.OSD(QStringLiteral("AVANTI ") + f.feedback.positionText(), false);
    });
}

// After the page's last audio has ended, the reading stands past it (and one
// further at each end or skip past it that follows): the audio element
// reached is the page's "next page" one, at the same number. Then the number
// of the page's audio files, else -1.
qint32 TransportKeys::audioCountAfterEnd() const
{
    const qint32 at = f.audio.audioIndex();
    if (f.audio.element() != QStringLiteral("QYRPLAYER_AUDIO_NEXTHTML_") + QString::number(at))
        return -1;
    auto named = [&](qint32 n) {
        QString name;
        IgnoreFailure([&] {
            name = f.ports.browser
                       .element(n == 0 ? QStringLiteral("QYRPLAYER_AUDIO") : QStringLiteral("QYRPLAYER_AUDIO_%1").arg(n))
                       .content;
        });
        return !name.isEmpty();
    };
    qint32 count = 0;
    while (count < at && named(count))
        ++count;
    return count;
}

void TransportKeys::skipBack(const QString &KeyStep)
{
    Guard(f.er, QStringLiteral("Form_KeyDown Indietro - ") + KeyStep, [&] {
        const qint32 count = audioCountAfterEnd();
        const bool playing = f.player().IsPlaying();
        if (count >= 0) {
            // Played again after the end (Ctrl+3), the last audio is the one
            // heard; stopped, the reading stands just past it.
            f.audio.setAudioIndex(std::max(0, playing ? count - 1 : count));
        }
        if (count >= 0 && !playing) {
            // Past the end is the start of nothing: back into the last audio.
            intoPrevious();
        } else if (playing) {
            // The test uses a fixed 10 seconds whatever the skip length, so a
            // long skip may ask for a position before the start.
            if (f.player().CurrentPosition() - 10 > 0)
                f.player().setCurrentPosition(f.player().CurrentPosition() - skipLength());
            else
                intoPrevious();
        }
        f.feedback.OSD(QStringLiteral("INDIETRO ") + f.feedback.positionText(), false);
    });
}

// The page's previous audio near its end, once its length is known; on the
// first audio, this one from its start.
void TransportKeys::intoPrevious()
{
    if (f.audio.Playaudio(QString(), false, true)) {
        f.player().setCurrentPosition(f.audio.loadedDuration() - skipLength());
    } else {
        f.player().setCurrentPosition(0);
        f.player().Play_Player();
    }
}

void TransportKeys::volume(bool up)
{
    const double now = keyhelp::number(f.player().Volume());
    nVolumeNew = conv::toInt16(up ? now + nVolumeStep : now - nVolumeStep);
    qint16 v = nVolumeNew;
    if (up && nVolumeNew > nVolumeMax)
        v = nVolumeMax;
    else if (!up && nVolumeNew < nVolumeMin)
        v = nVolumeMin;
    f.player().setVolume(QVariant(int(v)));

    const QVariant set = f.player().Volume();
    const QString text = set.typeId() == QMetaType::Double ? conv::fromDouble(set.toDouble()) : set.toString();
    f.feedback.OSD(QStringLiteral("Volume - ") + text, false);
    // The box's change handler stores the new volume.
    f.TextVolume.setText(text);
}

void TransportKeys::setVolumeRange(int version)
{
    const volume::Scale scale = volume::of(version);
    nVolumeMax = qint16(scale.max);
    nVolumeMin = qint16(scale.min);
    nVolumeStep = qint16(scale.step);
    nVolumeNew = 0;
}

} // namespace qyr
