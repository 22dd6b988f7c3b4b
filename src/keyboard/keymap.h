#pragma once
// The main window's key map: every key the reader presses, and every key a
// page replays through a key-command link.
#include <QtGlobal>

namespace qyr {

class frmBrowser;

class KeyMap {
public:
    explicit KeyMap(frmBrowser &f) : f(f) {}

    // KeyCode: the Windows virtual-key code; Shift: 1 Shift, 2 Ctrl, 4 Alt.
    void Form_KeyDown(qint16 KeyCode, qint16 Shift);

private:
    frmBrowser &f;
};

} // namespace qyr
