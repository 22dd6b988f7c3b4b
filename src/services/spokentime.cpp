#include "spokentime.h"

#include <algorithm>

namespace qyr {

QString spokenTime(double seconds)
{
    // Beyond any book's length, and NaN, are kept from the conversion's undefined cases.
    const qint64 s = seconds > 0 ? qint64(std::min(seconds, 1e12)) : 0;
    auto two = [](qint64 n) { return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')); };
    const QString mmss = two((s / 60) % 60) + QLatin1Char(':') + two(s % 60);
    return s >= 3600 ? two(s / 3600) + QLatin1Char(':') + mmss : mmss;
}

} // namespace qyr
