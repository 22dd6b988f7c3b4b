#include "feedback.h"
#include "../platform/convert.h"
#include "../shell/frmbrowser.h"

#include <cmath>

namespace qyr {

void Feedback::OSD(const QString &text, bool bKeepVisible)
{
    Guard(f.er, QStringLiteral("OSD"), [&] {
        if (f.lblOSD.caption() == text)
            f.lblOSD.notifyChanged("caption");
        else
            f.lblOSD.setCaption(text);
        f.frmOSD.setVisible(true);
        // Every normal message gets its full time on screen: the countdown
        // starts again rather than running on from the message before.
        f.TimerOSD.setEnabled(false);
        f.TimerOSD.setEnabled(!bKeepVisible);
    });
}

QString Feedback::positionText() { return strtempo(conv::toInt32(f.player().CurrentPosition())); }

void Feedback::TimerOSD_Timer()
{
    Guard(f.er, QStringLiteral("TimerOSD_Timer"), [&] {
        f.TimerOSD.setEnabled(false);
        f.frmOSD.setVisible(false);
    });
}

QString Feedback::strtempo(qint32 seconds)
{
    return GuardValue<QString>(f.er, QStringLiteral("strtempo"), QString(), [&](QString &r) {
        const qint32 rest = seconds % 3600;
        const qint32 m = rest / 60;
        const qint32 c = rest % 60;
        r = QStringLiteral("%1:%2").arg(m, 2, 10, QLatin1Char('0')).arg(c, 2, 10, QLatin1Char('0'));
    });
}

QVariant Feedback::RateChange(double rate, bool up)
{
    return GuardValue<QVariant>(f.er, QStringLiteral("RateChange"), QVariant(), [&](QVariant &r) {
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
    return GuardValue<float>(f.er, QStringLiteral("PlayerRate"), 0.0f, [&](float &r) {
        r = conv::toSingle(f.prefs.read(QStringLiteral("Rate"), QStringLiteral("PlayerRate")));
    });
}

void Feedback::setPlayerRate(float value)
{
    Guard(f.er, QStringLiteral("let PlayerRate"), [&] {
        f.prefs.save(QStringLiteral("Rate"), conv::fromSingle(value));
    });
}

void Feedback::SetAudioOff(bool off)
{
    Guard(f.er, QStringLiteral("SetAudioOff"), [&] {
        bAudioOff = off;
        f.player().setAudioOff(off);
        f.chkAudioOff.setValue(off ? 1 : 0);
    });
}

} // namespace qyr
