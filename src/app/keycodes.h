#pragma once
// Windows virtual-key codes, the codes the key map is written in, to and
// from Qt's keys. The same codes on every system and keyboard layout.
#include <Qt>
#include <QtGlobal>

class QKeyEvent;

namespace qyr::keycodes {

// Whose native key codes a key press carries. Everything that is not Windows
// reads the X11 key codes (Wayland passes the same ones).
enum class Platform { X11, Windows };
#ifdef Q_OS_WIN
constexpr Platform kThisPlatform = Platform::Windows;
#else
constexpr Platform kThisPlatform = Platform::X11;
#endif

// A key press as plain values: what a QKeyEvent carries that the codes depend on.
struct KeyPress {
    int qtKey = 0;
    Qt::KeyboardModifiers mods;
    quint32 nativeScanCode = 0;
    quint32 nativeVirtualKey = 0;
};

// The virtual-key code of a key press, or 0 for a key the program does not use.
int virtualKey(const KeyPress &k, Platform p);
// 1 Shift, 2 Ctrl, 4 Alt; the pressed modifier key included.
int mask(const KeyPress &k, Platform p);

// The same for a key event of this system.
KeyPress keyPress(const QKeyEvent &e);
int fromQt(const QKeyEvent &e);
// The mask of a key press, the pressed modifier key included.
int maskFromQt(const QKeyEvent &e);
// 1 Shift, 2 Ctrl, 4 Alt.
int maskFromQt(Qt::KeyboardModifiers m);
// The Qt key and modifiers that give code and mask; Qt::Key_unknown for a code
// without a key of its own here.
Qt::Key toQt(int code);
Qt::KeyboardModifiers modifiersFromMask(int mask);

} // namespace qyr::keycodes
