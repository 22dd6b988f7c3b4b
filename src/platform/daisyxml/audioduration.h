#pragma once
// How long an audio file plays, for a clip that runs to its file's end (a
// SMIL <audio> without clip-end): read by libavformat from the file's
// header (or its stream, for files without one), never by playing it.
#include <QString>
#include <optional>

namespace qyr {
class IReadStream;
}

namespace qyr::daisy {

// Seconds, or nothing when the file cannot be read as audio.
std::optional<double> audioDuration(const QString &path);
// The same for a file read from inside a zip.
std::optional<double> audioDuration(IReadStream &stream);

} // namespace qyr::daisy
