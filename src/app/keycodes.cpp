#include "keycodes.h"

#include <QKeyEvent>

namespace qyr::keycodes {

namespace {
struct Pair {
    int vk;
    Qt::Key key;
};
// Keys with codes of their own; digits, letters and function keys follow below.
const Pair kNamed[] = {
    {8, Qt::Key_Backspace}, {9, Qt::Key_Tab},       {13, Qt::Key_Return}, {27, Qt::Key_Escape},  {32, Qt::Key_Space},
    {33, Qt::Key_PageUp},   {34, Qt::Key_PageDown}, {35, Qt::Key_End},    {36, Qt::Key_Home},    {37, Qt::Key_Left},
    {38, Qt::Key_Up},       {39, Qt::Key_Right},    {40, Qt::Key_Down},   {45, Qt::Key_Insert},  {46, Qt::Key_Delete},
    {187, Qt::Key_Plus},    {189, Qt::Key_Minus},   {16, Qt::Key_Shift},  {17, Qt::Key_Control}, {18, Qt::Key_Alt},
};

// The digit keys of the main block, found by position whatever symbol the
// layout and Shift put on them (Shift+3 is '#' in the US layout, '£' in the
// Italian one, and still key 51).
int digitByPosition(const KeyPress &k, Platform p)
{
    if (p == Platform::Windows) {
        const quint32 vk = k.nativeVirtualKey;
        return (vk >= '0' && vk <= '9') ? int(vk) : 0;
    }
    // X11 key codes 10 to 19 are the row 1 ... 9, 0.
    const quint32 sc = k.nativeScanCode;
    if (sc >= 10 && sc <= 18)
        return int('1' + (sc - 10));
    return sc == 19 ? '0' : 0;
}
} // namespace

int virtualKey(const KeyPress &k, Platform p)
{
    const int key = k.qtKey;
    const bool keypad = k.mods & Qt::KeypadModifier;
    if (keypad) {
        if (key == Qt::Key_Plus)
            return 107;
        if (key == Qt::Key_Minus)
            return 109;
        if (key >= Qt::Key_0 && key <= Qt::Key_9)
            return 96 + (key - Qt::Key_0);
    }
    if (const int digit = digitByPosition(k, p))
        return digit;
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return key;
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return key;
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24)
        return 112 + (key - Qt::Key_F1);
    if (key == Qt::Key_Enter)
        return 13;
    for (const Pair &p : kNamed)
        if (p.key == key)
            return p.vk;
    // The US "=" key carries "+": the same key code as the Italian "+".
    if (key == Qt::Key_Equal)
        return 187;
    // Under X11, Alt pressed while Shift is held arrives as Meta; on Windows
    // Meta is the Windows key, which the program leaves alone.
    if (key == Qt::Key_Meta && p == Platform::X11)
        return 18;
    if (key == Qt::Key_Underscore)
        return 189;
    return 0;
}

int maskFromQt(Qt::KeyboardModifiers m)
{
    return (m & Qt::ShiftModifier ? 1 : 0) | (m & Qt::ControlModifier ? 2 : 0) | (m & Qt::AltModifier ? 4 : 0);
}

int mask(const KeyPress &k, Platform p)
{
    const int m = maskFromQt(k.mods);
    // A modifier key counts in its own press, as on Windows: the last of
    // Shift, Ctrl and Alt pressed makes the three whichever order they come.
    switch (virtualKey(k, p)) {
    case 16: return m | 1;
    case 17: return m | 2;
    case 18: return m | 4;
    default: return m;
    }
}

KeyPress keyPress(const QKeyEvent &e) { return {e.key(), e.modifiers(), e.nativeScanCode(), e.nativeVirtualKey()}; }

int fromQt(const QKeyEvent &e) { return virtualKey(keyPress(e), kThisPlatform); }

int maskFromQt(const QKeyEvent &e) { return mask(keyPress(e), kThisPlatform); }

Qt::Key toQt(int code)
{
    if ((code >= '0' && code <= '9') || (code >= 'A' && code <= 'Z'))
        return Qt::Key(code);
    if (code >= 112 && code <= 135)
        return Qt::Key(Qt::Key_F1 + (code - 112));
    for (const Pair &p : kNamed)
        if (p.vk == code)
            return p.key;
    return Qt::Key_unknown;
}

Qt::KeyboardModifiers modifiersFromMask(int mask)
{
    Qt::KeyboardModifiers m;
    if (mask & 1)
        m |= Qt::ShiftModifier;
    if (mask & 2)
        m |= Qt::ControlModifier;
    if (mask & 4)
        m |= Qt::AltModifier;
    return m;
}

} // namespace qyr::keycodes
