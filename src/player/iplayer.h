#pragma once
// The members the player facade calls on the player it holds. The version 9
// host implements them; a host reports its own failures and never throws.
#include "../platform/signal.h"

#include <QString>
#include <QVariant>

namespace qyr {

class IPlayer {
public:
    virtual ~IPlayer() = default;
    virtual void Load() = 0;
    virtual void Unload() = 0;
    virtual float Rate() = 0;
    virtual void setRate(float v) = 0;
    virtual bool AutoStart() = 0;
    virtual void setAutoStart(bool v) = 0;
    virtual bool FullScreen() = 0;
    virtual void setFullScreen(bool v) = 0;
    virtual bool AudioOff() = 0;
    virtual void setAudioOff(bool v) = 0;
    virtual QString FileName() = 0;
    virtual void setFileName(const QString &v) = 0;
    virtual void Stop_Player() = 0;
    virtual void Play_Player() = 0;
    virtual double CurrentPosition() = 0;
    virtual void setCurrentPosition(double v) = 0;
    virtual QVariant Duration() = 0;
    virtual void StopPlay() = 0;
    virtual QVariant Volume() = 0;
    virtual void setVolume(const QVariant &v) = 0;
    virtual bool IsPlaying() = 0;
    virtual void Pause_Player() = 0;
    // The media control's version text; throws when the control is missing.
    virtual QString WMPVersionInfo() = 0;

    Signal<qint32> PlayStateChange;
};

} // namespace qyr
