#include "feedback.h"
#include "../platform/bookpath.h"
#include "../platform/convert.h"
#include "../platform/errorreport.h"
#include "../platform/errors.h"
#include "playersettings.h"
#include "playerslot.h"
#include "spokentime.h"

#include <cmath>

namespace qyr {

void Feedback::OSD(const QString &text, bool bKeepVisible)
{
    Guard(u.er, QStringLiteral("OSD"), [&] {
        if (u.lblOSD.caption() == text)
            u.lblOSD.notifyChanged(Prop::Caption);
        else
            u.lblOSD.setCaption(text);
        u.frmOSD.setVisible(true);
        // Every normal message gets its full time on screen: the countdown
        // starts again rather than running on from the message before.
        u.TimerOSD.setEnabled(false);
        u.TimerOSD.setEnabled(!bKeepVisible);
    });
}

// Rounded to the whole second (halves to even) and said as any time is: no
// position the player gives fails to be said.
QString Feedback::positionText()
{
    if (bookTime)
        if (const std::optional<double> at = bookTime())
            return spokenTime(*at);
    return spokenTime(conv::roundHalfEven(u.player.get().CurrentPosition()));
}

void Feedback::TimerOSD_Timer()
{
    Guard(u.er, QStringLiteral("TimerOSD_Timer"), [&] {
        u.TimerOSD.setEnabled(false);
        u.frmOSD.setVisible(false);
    });
}

QString Feedback::strtempo(qint32 seconds) { return spokenTime(seconds); }

QVariant Feedback::RateChange(double rate, bool up)
{
    return GuardValue<QVariant>(u.er, QStringLiteral("RateChange"), QVariant(), [&](QVariant &r) {
        // Counted in tenths, so that steps land on 0.6, 0.7 ... and never
        // drift with the player's single precision (0.6999999).
        const double tenths = std::round(rate * 10.0);
        if (up)
            r = tenths < 20 ? (tenths + 1) / 10.0 : 0.5;
        else
            r = tenths > 6 ? (tenths - 1) / 10.0 : 2.0;
    });
}

float Feedback::PlayerRate()
{
    return GuardValue<float>(u.er, QStringLiteral("PlayerRate"), 0.0f, [&](float &r) {
        r = conv::toSingle(u.prefs.read(QStringLiteral("Rate"), QStringLiteral("PlayerRate")));
    });
}

void Feedback::setPlayerRate(float value)
{
    Guard(u.er, QStringLiteral("let PlayerRate"),
          [&] { u.prefs.save(QStringLiteral("Rate"), conv::fromSingle(value)); });
}

void Feedback::SetAudioOff(bool off)
{
    Guard(u.er, QStringLiteral("SetAudioOff"), [&] {
        bAudioOff = off;
        u.player.get().setAudioOff(off);
        u.chkAudioOff.setValue(off ? 1 : 0);
    });
}

void Feedback::sayPlaying() { OSD(QStringLiteral("PLAY ") + positionText(), false); }
void Feedback::sayPaused() { OSD(QStringLiteral("PAUSA ") + positionText() + QStringLiteral(" premere ctrl+3"), true); }
void Feedback::sayStopped() { OSD(QStringLiteral("STOP ") + positionText(), false); }

} // namespace qyr
