#include "frmother.h"
#include "../platform/convert.h"
#include "../platform/errorreport.h"
#include "../platform/errors.h"
#include "../platform/media.h"
#include "../platform/videowindow.h"

#include <cmath>

namespace qyr {

namespace {
constexpr qint32 Silence = -10000;
} // namespace

frmOther::frmOther(ErrorReporter &er, IEventPump &pump, ITimerService &timers, MediaHostParts parts)
    : frmWMP9(er, pump, timers, std::move(parts), QStringLiteral("oOther - "))
{
}

double frmOther::gainOf(qint32 level)
{
    if (level <= Silence)
        return 0.0;
    if (level >= 0)
        return 1.0;
    return std::pow(10.0, double(level) / 2000.0); // 20 dB per factor of ten
}

QVariant frmOther::Volume()
{
    return GuardValue<QVariant>(er_, name("Get Volume"), QVariant(), [&](QVariant &r) { r = mVolume; });
}

void frmOther::setVolume(const QVariant &v)
{
    Guard(er_, name("Let Volume"), [&] {
        const qint32 n = qBound(Silence, conv::tryInt32(v).value(), 0);
        WMP().setGain(gainOf(n));
        mVolume = n;
    });
}

} // namespace qyr
