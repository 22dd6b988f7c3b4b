#include "transportkeys.h"
#include "../navigation/pageaudio.h"
#include "../platform/bookpath.h"
#include "../platform/browser.h"
#include "../platform/convert.h"
#include "../platform/errorreport.h"
#include "../platform/errors.h"
#include "../player/volumescale.h"
#include "../services/feedback.h"
#include "../services/messages.h"
#include "../services/playerslot.h"
#include "keyhelpers.h"

#include <algorithm>

namespace qyr {

// With no file loaded a transport key has nothing to act on: the reader is
// told instead of hearing nothing.
bool TransportKeys::loaded()
{
    QString name;
    IgnoreFailure([&] { name = u.player.get().FileName(); });
    if (!name.isEmpty())
        return true;
    u.feedback.OSD(notice::noAudio(), false);
    return false;
}

// Read at every press: the reader may have changed it in the options panel.
Result<double> TransportKeys::skipLength() const { return conv::tryDouble(u.TextAvantiIndietro.text()); }

void TransportKeys::playPause()
{
    u.player.get().StopPlay();
    if (u.player.get().IsPlaying())
        u.feedback.sayPlaying();
    else // stays on screen while paused, so the reader knows how to go on
        u.feedback.sayPaused();
}

void TransportKeys::stop()
{
    u.player.get().Stop_Player();
    u.player.get().setCurrentPosition(0);
    u.feedback.sayStopped();
}

void TransportKeys::skipForward(const QString &KeyStep)
{
    Guard(u.er, QStringLiteral("Form_KeyDown Avanti - ") + KeyStep, [&] {
        if (u.player.get().IsPlaying()) {
            // A file still opening reads a length of 0, which would count as
            // "past the end": its length is awaited first, then the position.
            const double duration = u.audio.loadedDuration();
            const double target = skipLength().value() + u.player.get().CurrentPosition();
            if (duration < target) {
                // Past the end: the page's next audio, or near the end of this one.
                if (!u.audio.Playaudio(QString(), AudioChoice::Next)) {
                    u.player.get().setCurrentPosition(duration - 3);
                    u.player.get().Play_Player();
                }
            } else {
                u.player.get().setCurrentPosition(target);
            }
        }
        u.feedback.OSD(QStringLiteral("AVANTI ") + u.feedback.positionText(), false);
    });
}

// After the page's last audio has ended, the reading stands past it (and one
// further at each end or skip past it that follows): the audio element
// reached is the page's "next page" one, at the same number. Then the number
// of the page's audio files, else -1.
qint32 TransportKeys::audioCountAfterEnd() const
{
    const qint32 at = u.audio.audioIndex();
    if (u.audio.element() != QStringLiteral("QYRPLAYER_AUDIO_NEXTHTML_") + QString::number(at))
        return -1;
    auto named = [&](qint32 n) {
        QString name;
        IgnoreFailure([&] {
            name =
                u.browser
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
    Guard(u.er, QStringLiteral("Form_KeyDown Indietro - ") + KeyStep, [&] {
        const qint32 count = audioCountAfterEnd();
        const bool playing = u.player.get().IsPlaying();
        if (count >= 0) {
            // Played again after the end (Ctrl+3), the last audio is the one
            // heard; stopped, the reading stands just past it.
            u.audio.setAudioIndex(std::max(0, playing ? count - 1 : count));
        }
        if (count >= 0 && !playing) {
            // Past the end is the start of nothing: back into the last audio.
            intoPrevious().value();
        } else if (playing) {
            // The test uses a fixed 10 seconds whatever the skip length, so a
            // long skip may ask for a position before the start.
            if (u.player.get().CurrentPosition() - 10 > 0)
                u.player.get().setCurrentPosition(u.player.get().CurrentPosition() - skipLength().value());
            else
                intoPrevious().value();
        }
        u.feedback.OSD(QStringLiteral("INDIETRO ") + u.feedback.positionText(), false);
    });
}

// The page's previous audio near its end, once its length is known; on the
// first audio, this one from its start.
Result<Done> TransportKeys::intoPrevious()
{
    if (!u.audio.Playaudio(QString(), AudioChoice::Previous)) {
        u.player.get().setCurrentPosition(0);
        u.player.get().Play_Player();
        return Done{};
    }
    const double duration = u.audio.loadedDuration();
    const Result<double> back = skipLength();
    if (!back)
        return back.failure();
    u.player.get().setCurrentPosition(duration - *back);
    return Done{};
}

Result<Done> TransportKeys::volume(bool up)
{
    const Result<double> now = keyhelp::number(u.player.get().Volume());
    if (!now)
        return now.failure();
    const Result<qint16> wanted = conv::tryInt16(up ? *now + u.range.step : *now - u.range.step);
    if (!wanted)
        return wanted.failure();
    qint16 v = *wanted;
    if (up && *wanted > u.range.max)
        v = u.range.max;
    else if (!up && *wanted < u.range.min)
        v = u.range.min;
    u.player.get().setVolume(QVariant(int(v)));

    const QVariant set = u.player.get().Volume();
    const QString text = set.typeId() == QMetaType::Double ? conv::fromDouble(set.toDouble()) : set.toString();
    u.feedback.OSD(QStringLiteral("Volume - ") + text, false);
    // The box's change handler stores the new volume.
    u.TextVolume.setText(text);
    return Done{};
}

} // namespace qyr
