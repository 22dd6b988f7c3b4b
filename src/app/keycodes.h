#pragma once
// Windows virtual-key codes, the codes the key map is written in, to and
// from Qt's keys. The same codes on every system and keyboard layout.
#include <Qt>

class QKeyEvent;

namespace qyr::keycodes {

// The virtual-key code of a key press, or 0 for a key the program does not use.
int fromQt(const QKeyEvent &e);
// 1 Shift, 2 Ctrl, 4 Alt.
int maskFromQt(Qt::KeyboardModifiers m);
// The mask of a key press, the pressed modifier key included.
int maskFromQt(const QKeyEvent &e);
// The Qt key and modifiers that give code and mask; Qt::Key_unknown for a code
// without a key of its own here.
Qt::Key toQt(int code);
Qt::KeyboardModifiers modifiersFromMask(int mask);

} // namespace qyr::keycodes
