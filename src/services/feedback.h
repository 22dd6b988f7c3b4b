#pragma once
// The small helpers every command shares: the on-screen display and its hide
// timer, the time text (the one clock of spokentime.h), the reading-speed
// step, the persisted reading speed, and reading switched off or on.
#include <QString>
#include <QVariant>

#include "../platform/controls.h"
#include <functional>
#include <optional>
#include <utility>

namespace qyr {

class ErrorReporter;
class PlayerSlot;
class PlayerSettings;

class Feedback {
public:
    // What it works with.
    struct Uses {
        ErrorReporter &er;
        PlayerSlot &player;
        PlayerSettings &prefs;
        TimerModel &TimerOSD;
        Panel &frmOSD;
        Label &lblOSD;
        CheckBox &chkAudioOff;
    };

    explicit Feedback(Uses uses) : u(std::move(uses)) {}
    void OSD(const QString &text, bool bKeepVisible);
    // Whether the pages are read aloud (the reader can turn it off).
    bool audioOff() const { return bAudioOff; }
    void TimerOSD_Timer();
    QString strtempo(qint32 seconds); // as spokenTime says it
    // The player's position in whole seconds (halves to even) as spokenTime
    // says it; throws when there is no player.
    QString positionText();
    // The time of the book being read when it has one of its own (a DAISY
    // book's, not the position in one of its audio files); none otherwise.
    std::function<std::optional<double>()> bookTime;
    // The answers of play, pause and stop, from a key or from a page's link.
    // The pause stays on screen, so the reader knows how to go on.
    void sayPlaying();
    void sayPaused();
    void sayStopped();
    // An empty variant when it fails; the caller applies the result.
    QVariant RateChange(double rate, bool up);
    float PlayerRate();
    void setPlayerRate(float value);
    void SetAudioOff(bool off);

private:
    Uses u;
    bool bAudioOff = false;
};

} // namespace qyr
