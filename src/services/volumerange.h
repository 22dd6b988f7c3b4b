#pragma once
// The volume range of the player in use: the volume keys step within it and
// the options panel checks a typed volume against it. Set when the player
// starts or the reader changes player.
#include "../player/volumescale.h"

namespace qyr {

struct VolumeRange {
    qint16 min = -4000;
    qint16 max = 0;
    qint16 step = 100;

    void setVersion(int version)
    {
        const volume::Scale scale = volume::of(version);
        max = qint16(scale.max);
        min = qint16(scale.min);
        step = qint16(scale.step);
    }
};

} // namespace qyr
