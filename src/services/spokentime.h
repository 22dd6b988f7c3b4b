#pragma once
// The one way a time is said to the reader: mm:ss, and hh:mm:ss from an hour
// up, in whole seconds (a part of a second is dropped; below zero is 00:00).
#include <QString>

namespace qyr {

QString spokenTime(double seconds);

} // namespace qyr
