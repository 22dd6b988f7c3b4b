#pragma once
// Clip times as books write them: "npt=12.345s", "0:00:12.345", "01:02.5",
// "12.345", "12345ms", "1.5min", "1h", and the frame counts of "smpte=".
#include <QStringView>
#include <optional>

namespace qyr::daisy {

// Seconds, or nothing when the text is not a clock value or is beyond any
// real book (negative, or past 10,000 hours).
std::optional<double> parseClock(QStringView text);

} // namespace qyr::daisy
