#pragma once
// frmWMP9: the version 9 player host. It drives one media control and turns
// the control's media-ended state into its own PlayStateChange(8), raised
// from a one-shot timer after the control's event handler has returned.
// Every member reports its own failure ("oWMP9 - ...") and never throws.
#include "../platform/controls.h"
#include "iplayer.h"

#include <memory>

namespace qyr {

class ErrorReporter;
class IEventPump;
class IMediaControl;
class IVideoWindow;
struct MediaHostParts;
class ITimerService;

class frmWMP9 : public IPlayer {
public:
    frmWMP9(ErrorReporter &er, IEventPump &pump, ITimerService &timers, MediaHostParts parts);
    ~frmWMP9() override;

    void Load() override;
    void Unload() override;
    float Rate() override;
    void setRate(float v) override;
    bool AutoStart() override;
    void setAutoStart(bool v) override;
    bool FullScreen() override;
    void setFullScreen(bool v) override;
    bool AudioOff() override;
    void setAudioOff(bool v) override;
    QString FileName() override;
    void setFileName(const QString &v) override;
    void Stop_Player() override;
    void Play_Player() override;
    double CurrentPosition() override;
    void setCurrentPosition(double v) override;
    QVariant Duration() override;
    void StopPlay() override;
    QVariant Volume() override;
    void setVolume(const QVariant &v) override;
    bool IsPlaying() override;
    void Pause_Player() override;
    QString WMPVersionInfo() override;

    // A file counts as a video when its name contains .WMV, .M1V or .AVI.
    static bool isVideoName(const QString &url);
    // Pixels to twips at the screen's scale, halves to the even neighbour.
    static qint32 PixelsToTwipsX(qint32 pixels, double twipsPerPixel);
    static qint32 PixelsToTwipsY(qint32 pixels, double twipsPerPixel);
    IMediaControl &WMP() { return *wmp_; }
    TimerModel TimerNextAction;

protected:
    // A host of another player version: the same rules under its own name text.
    frmWMP9(ErrorReporter &er, IEventPump &pump, ITimerService &timers, MediaHostParts parts, QString prefix);
    // The name text of a member's error report: the prefix and the member.
    QString name(const char *member) const;
    ErrorReporter &er_;

private:
    bool isVideo();
    bool isPlayingRaw();
    void WMP_PlayStateChange(int newState);
    void TimerNextAction_Timer();
    void Form_KeyDown(int keyCode);

    QString prefix_;
    IEventPump &pump_;
    // The window goes last: the control draws into it until it is destroyed.
    std::unique_ptr<IVideoWindow> window_; // none in tests that need no video
    std::unique_ptr<IMediaControl> wmp_;
    bool mAudioOff = false;
    bool mFullScreen = false;
    bool mAutoStart = false;
    QString timerTag_;
    std::shared_ptr<bool> alive_;
};

} // namespace qyr
