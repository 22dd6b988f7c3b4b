#pragma once
// The two players' volume scales: version 9 (libmpv) in percent, 0 to 100;
// the player of other versions in hundredths of a decibel, -4000 to 0. A
// volume keeps its loudness when the reader changes player.
#include <QtGlobal>

namespace qyr::volume {

struct Scale {
    qint32 min, max, step, standard; // standard: the volume when none is stored
};

// The scale of a player version (1: version 9; anything else: the other player).
Scale of(int version);

// The volume on `to`'s scale that sounds as loud as v on `from`'s, within `to`'s range.
qint32 convert(double v, int from, int to);

} // namespace qyr::volume
