#pragma once
// The program's own voice: speaks each on-screen message through the
// system's speech (speech-dispatcher on Linux, the system voice on Windows),
// in Italian, a new message cutting the one being spoken. Whether it speaks
// is the reader's choice: always, never, or only when no screen reader is
// running (the screen reader already speaks the messages).
#include <QElapsedTimer>
#include <QString>

namespace qyr {

class ISpeech;

enum class VoiceMode { Automatic = 0, Always = 1, Never = 2 };

class ProgramVoice {
public:
    explicit ProgramVoice(ISpeech &speech) : speech_(speech) {}
    // Speaks text when mode asks for it; true when it was handed to speech.
    bool say(const QString &text, VoiceMode mode);
    // A screen reader is running (AT-SPI's ScreenReaderEnabled, or the
    // system's screen-reader flag on Windows).
    static bool screenReaderRunning();

private:
    ISpeech &speech_;
    QElapsedTimer checked_;
    bool readerRunning_ = false;
};

} // namespace qyr
