#pragma once
// A media control that keeps its state like the real one (file name, rate,
// volume, play state) but makes no sound. It stands in for the player until
// the libmpv control is built, so that start-up, the facade and the host run
// for real in the program.
#include "../media.h"

namespace qyr {

class SilentMediaControl : public IMediaControl {
public:
    QString url() override { return url_; }
    void setUrl(const QString &url) override
    {
        url_ = url;
        position_ = 0;
        setState(autoStart_ && !url.isEmpty() ? playstate::Playing : playstate::Ready);
    }
    void clearPlaylist() override {}
    void play() override
    {
        if (!url_.isEmpty())
            setState(playstate::Playing);
    }
    void pause() override { setState(playstate::Paused); }
    void stop() override
    {
        position_ = 0;
        setState(playstate::Stopped);
    }
    int playState() override { return state_; }
    double currentPosition() override { return position_; }
    void setCurrentPosition(double s) override { position_ = s; }
    double duration() override { return 0; }
    float rate() override { return rate_; }
    void setRate(float r) override { rate_ = r; }
    int volume() override { return volume_; }
    void setVolume(int v) override { volume_ = v < 0 ? 0 : (v > 100 ? 100 : v); }
    void setAutoStart(bool on) override { autoStart_ = on; }
    void setUiMode(const QString &) override {}
    void setEnabled(bool) override {}
    int imageSourceWidth() override { return 0; }
    int imageSourceHeight() override { return 0; }
    QString versionInfo() override { return QStringLiteral("silenzioso"); }

private:
    void setState(int s)
    {
        if (s == state_)
            return;
        state_ = s;
        PlayStateChange(s);
    }
    QString url_;
    int state_ = playstate::Undefined;
    double position_ = 0;
    float rate_ = 1;
    int volume_ = 100;
    bool autoStart_ = false;
};

} // namespace qyr
