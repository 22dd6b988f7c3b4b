#pragma once
// The main window's key map: every key the reader presses, and every key a
// page replays through a key-command link. The actions live in four groups:
// playback, navigation, reading settings and bookmarks.
#include "bookmarkkeys.h"
#include "navigationkeys.h"
#include "readingkeys.h"
#include "transportkeys.h"

#include <QString>

namespace qyr {

class frmBrowser;

// Windows virtual-key codes the map names by themselves; digits and letters
// are their characters' codes.
namespace vk {
constexpr qint16 Escape = 27;
constexpr qint16 F1 = 112;
constexpr qint16 Plus = 187;  // "+" of the main block; the keypad's 107 is not used
constexpr qint16 Minus = 189; // "-" of the main block; the keypad's 109 is not used
} // namespace vk

// Modifier masks, compared as a whole: Ctrl+Shift is neither Ctrl nor Shift.
namespace mask {
constexpr qint16 None = 0;
constexpr qint16 Ctrl = 2;
constexpr qint16 Alt = 4;
constexpr qint16 ShiftCtrlAlt = 7;
} // namespace mask

class KeyMap {
public:
    explicit KeyMap(frmBrowser &f);

    // KeyCode: the Windows virtual-key code; Shift: 1 Shift, 2 Ctrl, 4 Alt.
    // A failure is reported as "Form_KeyDown - " and the step reached, and
    // ends the key; the filled error message is shown on the display too.
    void Form_KeyDown(qint16 KeyCode, qint16 Shift);

    // The error message of the last failed key, as filled from strMsgErrore.
    QString lastFilledError;

    // The virtual-key codes of the Ctrl keys (1, 2, 6, 3, 4, "+", "-") and of
    // the Alt bookmark keys (4, 3, 6, 2, 1).
    const std::array<int, 7> CtrlKeyCodes{49, 50, 54, 51, 52, 187, 189};
    const std::array<int, 5> AltKeyCodes{52, 51, 54, 50, 49};

    TransportKeys transport;
    NavigationKeys navigation;
    ReadingKeys reading;
    BookmarkKeys bookmarks;

private:
    void dispatch(qint16 KeyCode, qint16 Shift, QString &KeyStep);
    bool ctrlKey(qint16 KeyCode, QString &KeyStep);
    bool altKey(qint16 KeyCode, QString &KeyStep);
    void playbackKey(qint16 KeyCode, const QString &KeyStep);
    frmBrowser &f;
};

} // namespace qyr
