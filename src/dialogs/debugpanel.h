#pragma once
// The diagnostic panel: the last address asked of the browser, the player's
// file, and buttons to open an address and to play. The key map shows and
// hides it (any key with Shift, Ctrl and Alt held).
#include <QtGlobal>

#include "../services/panels.h"
#include <array>
#include <utility>

namespace qyr {

class ErrorReporter;
class IBrowser;
class PlayerSlot;

class DebugPanel {
public:
    // What it works with.
    struct Uses {
        ErrorReporter &er;
        IBrowser &browser;
        PlayerSlot &player;
        DebugControls controls;
    };

    explicit DebugPanel(Uses uses) : u(std::move(uses)) {}

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
    Uses u;
    bool connected_ = false;
};

} // namespace qyr
