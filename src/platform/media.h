#pragma once
// Media control port: what the media host window asks of the control it
// carries. Play states follow the classic media control numbering, which the
// host's rules are written for.
#include "signal.h"

#include <QString>

namespace qyr {

namespace playstate {
constexpr int Undefined = 0;
constexpr int Stopped = 1;
constexpr int Paused = 2;
constexpr int Playing = 3;
constexpr int MediaEnded = 8;
constexpr int Ready = 10;
} // namespace playstate

class IMediaControl {
public:
    virtual ~IMediaControl() = default;
    virtual QString url() = 0;
    virtual void setUrl(const QString &url) = 0; // loads; plays when auto-start is on
    virtual void clearPlaylist() = 0;
    virtual void play() = 0;
    virtual void pause() = 0;
    virtual void stop() = 0; // paused at 0 with the file still loaded
    virtual int playState() = 0;
    virtual double currentPosition() = 0;
    virtual void setCurrentPosition(double seconds) = 0;
    virtual double duration() = 0;
    virtual float rate() = 0;
    virtual void setRate(float rate) = 0;
    virtual int volume() = 0; // 0..100
    virtual void setVolume(int volume) = 0;
    // Linear gain, 0 silent to 1 full: for players whose volume is in
    // decibels, which 0..100 steps are too coarse to carry at the quiet end.
    virtual void setGain(double gain) { setVolume(int(gain * 100 + 0.5)); }
    virtual void setAutoStart(bool on) = 0;
    virtual void setUiMode(const QString &mode) = 0;
    virtual void setEnabled(bool on) = 0;
    virtual int imageSourceWidth() = 0;
    virtual int imageSourceHeight() = 0;
    virtual QString versionInfo() = 0;

    Signal<int /*newState*/> PlayStateChange;
    // A file that cannot be played: an Italian message naming it. The state
    // becomes stopped (1) as well.
    Signal<const QString &> Error;
};

} // namespace qyr
