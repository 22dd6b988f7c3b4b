#include "frmwmp9.h"
#include "../platform/convert.h"
#include "../platform/errorreport.h"
#include "../platform/errors.h"
#include "../platform/media.h"
#include "../platform/pump.h"
#include "../platform/videowindow.h"

namespace qyr {

frmWMP9::frmWMP9(ErrorReporter &er, IEventPump &pump, ITimerService &timers, MediaHostParts parts)
    : frmWMP9(er, pump, timers, std::move(parts), QStringLiteral("oWMP9 - "))
{
}

frmWMP9::frmWMP9(ErrorReporter &er, IEventPump &pump, ITimerService &timers, MediaHostParts parts, QString prefix)
    : TimerNextAction(QStringLiteral("TimerNextAction"), 1, &timers), er_(er), prefix_(std::move(prefix)), pump_(pump),
      window_(std::move(parts.window)), wmp_(std::move(parts.control)), alive_(std::make_shared<bool>(true))
{
    if (!wmp_)
        throw QyrError(err::CannotCreateObject);
    const auto alive = alive_;
    if (window_)
        window_->KeyDown.connect([this, alive](int key) {
            if (*alive)
                Form_KeyDown(key);
        });
    wmp_->PlayStateChange.connect([this, alive](int s) {
        if (*alive)
            WMP_PlayStateChange(s);
    });
    wmp_->Error.connect([this, alive](const QString &message) {
        if (!*alive)
            return;
        // A file the control cannot play is told to the reader, once.
        er_.setCurrent(err::MediaHost, message);
        er_.ShowError(name("WMP_MediaError"), QString());
        er_.clearCurrent();
        // The reading goes on with what follows, as at the end of a file;
        // a video the reader chose is not followed by anything.
        if (*alive && !isVideo()) {
            timerTag_ = QStringLiteral("8");
            TimerNextAction.setEnabled(true);
        }
    });
    TimerNextAction.Timer.connect([this, alive] {
        if (*alive)
            TimerNextAction_Timer();
    });
}

frmWMP9::~frmWMP9()
{
    *alive_ = false;
    TimerNextAction.setEnabled(false);
}

QString frmWMP9::name(const char *member) const { return prefix_ + QLatin1String(member); }

void frmWMP9::Load()
{
    Guard(er_, name("Form_Load"), [&] {
        if (window_)
            window_->setGeometryTwips(0, 0, window_->screenWidthTwips(), window_->screenHeightTwips());
        wmp_->setUiMode(QStringLiteral("mini"));
    });
}

void frmWMP9::Unload()
{
    if (window_)
        IgnoreFailure([&] { window_->setVisible(false); });
    TimerNextAction.setEnabled(false);
    IgnoreFailure([&] { wmp_->clearPlaylist(); });
}

bool frmWMP9::isVideoName(const QString &url)
{
    const QString u = url.toUpper();
    return u.contains(QLatin1String(".WMV")) || u.contains(QLatin1String(".M1V")) || u.contains(QLatin1String(".AVI"));
}

bool frmWMP9::isVideo() { return isVideoName(wmp_->url()); }
bool frmWMP9::isPlayingRaw() { return wmp_->playState() == playstate::Playing; }

float frmWMP9::Rate()
{
    return GuardValue<float>(er_, name("Get Rate"), 0.0f, [&](float &r) { r = wmp_->rate(); });
}

void frmWMP9::setRate(float v)
{
    Guard(er_, name("Let Rate"), [&] { wmp_->setRate(v); });
}

bool frmWMP9::AutoStart()
{
    return GuardValue<bool>(er_, name("Get AutoStart"), false, [&](bool &r) { r = mAutoStart; });
}

void frmWMP9::setAutoStart(bool v)
{
    Guard(er_, name("Let AutoStart"), [&] {
        mAutoStart = v;
        wmp_->setAutoStart(mAutoStart);
    });
}

void frmWMP9::setFullScreen(bool v)
{
    Guard(er_, name("Let FullScreen"), [&] {
        mFullScreen = v;
        wmp_->setUiMode(v ? QStringLiteral("none") : QStringLiteral("mini"));
    });
}

bool frmWMP9::FullScreen()
{
    return GuardValue<bool>(er_, name("Get FullScreen"), false, [&](bool &r) { r = mFullScreen; });
}

bool frmWMP9::AudioOff()
{
    return GuardValue<bool>(er_, name("Get AudioOff"), false, [&](bool &r) { r = mAudioOff; });
}

void frmWMP9::setAudioOff(bool v)
{
    Guard(er_, name("Let AudioOff"), [&] {
        mAudioOff = v;
        if (v)
            Stop_Player();
    });
}

QString frmWMP9::FileName()
{
    return GuardValue<QString>(er_, name("Get FileName"), QString(), [&](QString &r) { r = wmp_->url(); });
}

void frmWMP9::setFileName(const QString &v)
{
    Guard(er_, name("Let FileName"), [&] {
        wmp_->clearPlaylist();
        pump_.processEvents();
        wmp_->setUrl(v);
        if (!isVideo() && mAudioOff)
            Stop_Player();
    });
}

void frmWMP9::Stop_Player()
{
    Guard(er_, name("Stop_Player"), [&] {
        if (isPlayingRaw())
            wmp_->stop();
        pump_.processEvents();
        TimerNextAction.setEnabled(false);
    });
}

void frmWMP9::Play_Player()
{
    StepLabel step{name("Play_Player - Posizione: "), QString()};
    Guard(er_, step, [&] {
        if (isVideo() || !mAudioOff) {
            if (!IsPlaying()) { // reports its own failure
                step.label = QStringLiteral(" FileName ");
                if (!FileName().isEmpty()) {
                    pump_.processEvents();
                    step.label = QStringLiteral(" WMP.Controls.play ");
                    wmp_->play();
                }
            }
        }
    });
}

double frmWMP9::CurrentPosition()
{
    return GuardValue<double>(er_, name("Get CurrentPosition"), 0.0, [&](double &r) { r = wmp_->currentPosition(); });
}

void frmWMP9::setCurrentPosition(double v)
{
    Guard(er_, name("Let CurrentPosition"), [&] { wmp_->setCurrentPosition(v); });
}

QVariant frmWMP9::Duration()
{
    return GuardValue<QVariant>(er_, name("Get Duration"), QVariant(), [&](QVariant &r) { r = wmp_->duration(); });
}

void frmWMP9::StopPlay()
{
    Guard(er_, name("StopPlay"), [&] {
        if (isPlayingRaw())
            wmp_->pause();
        else
            wmp_->play();
    });
}

QVariant frmWMP9::Volume()
{
    return GuardValue<QVariant>(er_, name("Get Volume"), QVariant(), [&](QVariant &r) { r = qint32(wmp_->volume()); });
}

void frmWMP9::setVolume(const QVariant &v)
{
    Guard(er_, name("Let Volume"), [&] { wmp_->setVolume(conv::tryInt32(v).value()); });
}

bool frmWMP9::IsPlaying()
{
    return GuardValue<bool>(er_, name("IsPlaying"), false, [&](bool &r) { r = isPlayingRaw(); });
}

void frmWMP9::Pause_Player()
{
    Guard(er_, name("Pause_Player"), [&] { wmp_->pause(); });
}

QString frmWMP9::WMPVersionInfo() { return wmp_->versionInfo(); }

void frmWMP9::WMP_PlayStateChange(int newState)
{
    Guard(er_, name("WMP_PlayStateChange"), [&] {
        if (newState == playstate::Stopped) {
            if (window_ && window_->visible()) {
                window_->setMaximized(false);
                window_->setVisible(false);
            }
        } else if (newState == playstate::Playing && isVideo() && window_) {
            if (mFullScreen) {
                window_->setMaximized(true);
                wmp_->setEnabled(false);
            } else {
                window_->setMaximized(false);
                const double tx = window_->twipsPerPixelX();
                const double ty = window_->twipsPerPixelY();
                const float h = float(PixelsToTwipsY(wmp_->imageSourceHeight(), ty));
                const float w = float(PixelsToTwipsX(wmp_->imageSourceWidth(), tx));
                const float top = window_->screenHeightTwips() - (h + float(PixelsToTwipsY(50, ty)));
                const float left = window_->screenWidthTwips() - (w + float(PixelsToTwipsX(20, tx)));
                window_->setGeometryTwips(left, top, w, h);
                wmp_->setEnabled(true);
            }
            window_->setVisible(true);
        } else if (newState == playstate::MediaEnded) {
            timerTag_ = QStringLiteral("8");
            pump_.processEvents();
            TimerNextAction.setEnabled(true);
        }
    });
}

qint32 frmWMP9::PixelsToTwipsX(qint32 pixels, double twipsPerPixel)
{
    return conv::toInt32(double(pixels) * twipsPerPixel);
}

qint32 frmWMP9::PixelsToTwipsY(qint32 pixels, double twipsPerPixel)
{
    return conv::toInt32(double(pixels) * twipsPerPixel);
}

// Escape in the video window stops; every other key is ignored. The stop is
// told as a play state (1), so that the reading the video interrupted can
// go on.
void frmWMP9::Form_KeyDown(int keyCode)
{
    Guard(er_, name("Form_KeyDown"), [&] {
        if (keyCode != 27)
            return;
        wmp_->stop();
        PlayStateChange(playstate::Stopped);
    });
}

void frmWMP9::TimerNextAction_Timer()
{
    Guard(er_, name("TimerNextAction_Timer"), [&] {
        TimerNextAction.setEnabled(false);
        if (timerTag_ == QLatin1String("8"))
            PlayStateChange(playstate::MediaEnded);
    });
}

} // namespace qyr
