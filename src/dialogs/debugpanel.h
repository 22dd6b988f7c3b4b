#pragma once
// The diagnostic panel: the last address asked of the browser, the player's
// file, and buttons to open an address and to play. The key map shows and
// hides it (any key with Shift, Ctrl and Alt held).
#include <QtGlobal>

namespace qyr {

class frmBrowser;

class DebugPanel {
public:
    explicit DebugPanel(frmBrowser &f) : f(f) {}

    // Subscribes the handlers to the panel's controls and writes the key
    // reminder into Text1. Calling it again changes nothing.
    void connect();

    // index 0 "refresh": shows the player's file; index 1 "play": plays first.
    void cmdDebug_Click(int index);
    void cmdFileAudio_Click();
    // Opens the address typed in TextURL, as a followed link would.
    void cmdGO_Click();
    // The window layer calls these while the panel is dragged (pointer
    // position in twips) and when it is dropped.
    void fraDebug_DragOver(float X, float Y, int State);
    void fraDebug_DragDrop(float X, float Y);

private:
    frmBrowser &f;
    bool connected_ = false;
};

} // namespace qyr
