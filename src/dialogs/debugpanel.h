#pragma once
// The diagnostic panel: the last address asked of the browser, the player's
// file, and buttons to open an address and to play.
#include <QtGlobal>

namespace qyr {

class frmBrowser;

class DebugPanel {
public:
    explicit DebugPanel(frmBrowser &f) : f(f) {}

    // Subscribes the handlers to the panel's controls. Calling it again
    // changes nothing.
    void connect();

private:
    frmBrowser &f;
    bool connected_ = false;
};

} // namespace qyr
