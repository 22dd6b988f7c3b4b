#include "keymap.h"
#include "keyhelpers.h"
#include "../platform/convert.h"
#include "../shell/frmbrowser.h"

#include <algorithm>

namespace qyr {

namespace keyhelp {

double number(const QVariant &v)
{
    if (!v.isValid() || v.isNull())
        return 0;
    if (v.typeId() == QMetaType::QString)
        return conv::toDouble(v.toString());
    bool ok = false;
    const double d = v.toDouble(&ok);
    if (!ok)
        throw QyrError(err::TypeMismatch);
    return d;
}

void tell(frmBrowser &f, const QString &title, const QString &text)
{
    f.ports.dialogs.message(title, text, Buttons::Ok, Icon::Information);
}

} // namespace keyhelp

KeyMap::KeyMap(frmBrowser &f) : transport(f), navigation(f), reading(f), bookmarks(f), f(f) {}

void KeyMap::Form_KeyDown(qint16 KeyCode, qint16 Shift)
{
    // Local to this press: a press handled while another waits (a page
    // reload lets events run) has its own.
    StepLabel KeyStep{QStringLiteral("Form_KeyDown - "), QStringLiteral("Form KeyDown: inizializzazione")};
    const bool done = Guard(f.er, KeyStep, [&] { dispatch(KeyCode, Shift, KeyStep.label); }, [&] {
        lastFilledError = f.msg.errore(KeyStep.label, f.er.currentNumber(), f.er.currentDescription());
    });
    // The filled message stays on the display, where a screen reader
    // announces it once the error dialog has gone.
    if (!done)
        f.feedback.OSD(lastFilledError, false);
}

void KeyMap::dispatch(qint16 KeyCode, qint16 Shift, QString &KeyStep)
{
    if (KeyCode == vk::F1) { // with any modifiers
        navigation.help();
        return;
    }
    switch (Shift) {
    case mask::None:
        if (KeyCode == vk::Escape && f.fraMarcatori.visible())
            bookmarks.escape();
        break;
    case mask::ShiftCtrlAlt:
        // Whatever the key, even the modifier that completes the combination.
        reading.debugPanel();
        break;
    case mask::Ctrl:
        if (ctrlKey(KeyCode, KeyStep))
            return;
        break;
    case mask::Alt:
        if (altKey(KeyCode, KeyStep))
            return;
        break;
    default:
        break;
    }
    if (Shift == mask::Ctrl)
        playbackKey(KeyCode, KeyStep);
    if (Shift == mask::Alt)
        bookmarks.dispatch(KeyCode);
}

// True when the key ends the handling (the page-file keys).
bool KeyMap::ctrlKey(qint16 KeyCode, QString &KeyStep)
{
    if (KeyCode == 'I') {
        navigation.tableOfContents();
    } else if (KeyCode == '9') {
        reading.speedCycle(KeyStep);
    } else if (KeyCode == '8') {
        reading.optionsPanel(KeyStep);
    } else if (KeyCode == '0') {
        reading.readingOnOff(KeyStep);
    } else if (KeyCode == 'O') {
        f.books.chooseAndOpen();
        return true;
    } else if (KeyCode == '6' || KeyCode == '7') {
        navigation.pageFile(KeyCode == '7');
        return true;
    }
    return false;
}

// True when the key ends the handling (an index entry that navigated).
bool KeyMap::altKey(qint16 KeyCode, QString &KeyStep)
{
    if (KeyCode == '9')
        reading.nextStyleSheet(KeyStep);
    else if (KeyCode == '8')
        return navigation.nextIndexEntry();
    else if (KeyCode == '7')
        return navigation.previousIndexEntry();
    else if (KeyCode == vk::Minus || KeyCode == vk::Plus)
        reading.speedStep(KeyCode == vk::Plus);
    return false;
}

// Playback keys need a loaded file; without one the reader is told so. Only
// a key of the group asks the player anything.
void KeyMap::playbackKey(qint16 KeyCode, const QString &KeyStep)
{
    const auto &codes = CtrlKeyCodes;
    // "6" belongs to the group, but the page-file key has taken it.
    if (KeyCode == codes[2] || std::find(codes.begin(), codes.end(), KeyCode) == codes.end() || !transport.loaded())
        return;
    if (KeyCode == codes[0])
        transport.skipBack(KeyStep);
    else if (KeyCode == codes[1])
        transport.skipForward(KeyStep);
    else if (KeyCode == codes[4])
        transport.stop();
    else if (KeyCode == codes[3])
        transport.playPause();
    else if (KeyCode == codes[5] || KeyCode == codes[6])
        transport.volume(KeyCode == codes[5]);
}

} // namespace qyr
