#include "feedback.h"
#include "../platform/convert.h"
#include "../shell/frmbrowser.h"

namespace qyr {

void Feedback::OSD(const QString &text, bool bKeepVisible)
{
    Guard(f.er, QStringLiteral("OSD"), [&] {
        if (f.lblOSD.caption() == text)
            f.lblOSD.notifyChanged("caption");
        else
            f.lblOSD.setCaption(text);
        f.frmOSD.setVisible(true);
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
        if (up)
            r = rate < 2.0 ? rate + 0.1 : 0.5;
        else
            r = rate > 0.6 ? rate - 0.1 : 2.0;
    });
}

float Feedback::PlayerRate()
{
    return GuardValue<float>(f.er, QStringLiteral("PlayerRate"), 0.0f, [&](float &r) {
        r = conv::toSingle(f.settings.Get(f.strAppName, QStringLiteral("Player"), QStringLiteral("Rate"),
                                          conv::fromSingle(1.0f)));
    });
}

void Feedback::setPlayerRate(float value)
{
    Guard(f.er, QStringLiteral("let PlayerRate"), [&] {
        f.settings.Save(f.strAppName, QStringLiteral("Player"), QStringLiteral("Rate"), conv::fromSingle(value));
    });
}

void Feedback::SetAudioOff(bool off)
{
    Guard(f.er, QStringLiteral("SetAudioOff"), [&] {
        f.bAudioOff = off;
        f.player().setAudioOff(off);
        f.chkAudioOff.setValue(off ? 1 : 0);
    });
}

} // namespace qyr
