#pragma once
// The playback keys: play/pause, stop, skip forward and back, volume.
#include <QString>

#include "../platform/controls.h"
#include "../platform/result.h"
#include "../services/volumerange.h"
#include <utility>

namespace qyr {

class ErrorReporter;
class IBrowser;
class PlayerSlot;
class Feedback;
class PageAudio;

class TransportKeys {
public:
    // What it works with.
    struct Uses {
        ErrorReporter &er;
        IBrowser &browser;
        PlayerSlot &player;
        Feedback &feedback;
        PageAudio &audio;
        TextBox &TextAvantiIndietro;
        TextBox &TextVolume;
        VolumeRange &range;
    };

    explicit TransportKeys(Uses uses) : u(std::move(uses)) {}
    void playPause();
    void stop();
    // The skips report their own failures under their own names (with the
    // key map's step label) and let the key handling go on.
    void skipForward(const QString &KeyStep);
    void skipBack(const QString &KeyStep);
    // Refused when the player's volume is no number or the next one is past 16 bits.
    Result<Done> volume(bool up);
    // True when a file is loaded; otherwise the reader is told there is none.
    bool loaded();

    // The volume range of the player version: 0 to 100 in steps of 10 for
    // version 9, -4000 to 0 hundredths of a decibel in steps of 100 otherwise.
    void setVolumeRange(int version) { u.range.setVersion(version); }

private:
    Result<double> skipLength() const;
    qint32 audioCountAfterEnd() const;
    Result<Done> intoPrevious();

    Uses u;
};

} // namespace qyr
