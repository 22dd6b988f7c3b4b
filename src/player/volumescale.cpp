#include "volumescale.h"

#include <algorithm>
#include <cmath>

namespace qyr::volume {

Scale of(int version)
{
    if (version == 1)
        return Scale{0, 100, 10, 100};
    return Scale{-4000, 0, 100, 0};
}

// libmpv scales its percentage cubically (gain = (v / 100)^3); the other
// player takes hundredths of a decibel (gain = 10^(v / 2000)). So a
// percentage p is 6000 * log10(p / 100) hundredths of a decibel.
qint32 convert(double v, int from, int to)
{
    const Scale s = of(to);
    const bool fromNine = from == 1, toNine = to == 1;
    double out = v;
    if (fromNine && !toNine)
        out = v <= 0 ? s.min : 6000.0 * std::log10(v / 100.0);
    else if (!fromNine && toNine)
        out = 100.0 * std::pow(10.0, v / 6000.0);
    if (!std::isfinite(out))
        return s.standard;
    return qint32(std::clamp(std::lround(out), long(s.min), long(s.max)));
}

} // namespace qyr::volume
