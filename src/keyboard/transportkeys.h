#pragma once
// The playback keys: play/pause, stop, skip forward and back, volume.
#include <QString>

namespace qyr {

class frmBrowser;

class TransportKeys {
public:
    explicit TransportKeys(frmBrowser &f) : f(f) {}
    void playPause();
    void stop();
    // The skips report their own failures under their own names (with the
    // key map's step label) and let the key handling go on.
    void skipForward(const QString &KeyStep);
    void skipBack(const QString &KeyStep);
    void volume(bool up);
    // True when a file is loaded; otherwise the reader is told there is none.
    bool loaded();

private:
    double skipLength() const;

    frmBrowser &f;
};

} // namespace qyr
