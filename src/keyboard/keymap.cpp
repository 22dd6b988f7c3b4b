#include "keymap.h"
#include "../platform/bookpath.h"
#include "../platform/errors.h"

#include "../navigation/daisyreading.h"
#include "../platform/convert.h"
#include "../platform/dialogs.h"
#include "../platform/errorreport.h"
#include "../services/feedback.h"
#include "../services/messages.h"
#include "keyhelpers.h"

namespace qyr {

namespace keyhelp {

Result<double> number(const QVariant &v)
{
    if (!v.isValid() || v.isNull())
        return 0.0;
    if (v.typeId() == QMetaType::QString)
        return conv::tryDouble(v.toString());
    bool ok = false;
    const double d = v.toDouble(&ok);
    if (!ok)
        return Failure::of(err::TypeMismatch);
    return d;
}

void tell(IDialogs &dialogs, const QString &title, const QString &text)
{
    dialogs.message(title, text, Buttons::Ok, Icon::Information);
}

} // namespace keyhelp

namespace {
// The step of a key whose action names none of its own.
constexpr const char *kStart = "Form KeyDown: inizializzazione";
} // namespace

KeyMap::KeyMap(Uses uses, TransportKeys::Uses transportUses, NavigationKeys::Uses navigationUses,
               ReadingKeys::Uses readingUses, BookmarkKeys::Uses bookmarkUses)
    : transport(std::move(transportUses)), navigation(std::move(navigationUses)), reading(std::move(readingUses)),
      bookmarks(std::move(bookmarkUses)), u(std::move(uses)), table_(makeTable())
{
}

// Every key, in the order they are tried: the first row whose key,
// modifiers and condition hold is the key's only action. F1 comes first
// because it acts whatever the modifiers; Shift+Ctrl+Alt with any key opens
// the debug panel. In a DAISY book its own rows come before the same keys'
// rows for the pages; elsewhere they do nothing. The playback keys act only
// on a loaded file, Ctrl+3 and Ctrl+4 first on the voice reading a DAISY
// phrase without audio; Escape only closes the bookmark list.
std::vector<KeyBinding> KeyMap::makeTable()
{
    using C = KeyCondition;
    return {
        {"F1", vk::F1, mask::Any, C::DaisyBook, kStart, [this] { u.daisy.help(); }},
        {"F1", vk::F1, mask::Any, C::Always, kStart, [this] { navigation.help(); }},
        {"Esc", vk::Escape, mask::None, C::BookmarkListShown, kStart, [this] { bookmarks.escape(); }},
        {"Maiusc+Ctrl+Alt", vk::AnyKey, mask::ShiftCtrlAlt, C::Always, kStart, [this] { reading.debugPanel(); }},

        {"Ctrl+I", 'I', mask::Ctrl, C::DaisyBook, kStart, [this] { u.daisy.contents(); }},
        {"Alt+8", '8', mask::Alt, C::DaisyBook, kStart, [this] { u.daisy.nextHeading(); }},
        {"Alt+7", '7', mask::Alt, C::DaisyBook, kStart, [this] { u.daisy.previousHeading(); }},
        {"Ctrl+5", '5', mask::Ctrl, C::DaisyBook, kStart, [this] { u.daisy.cycleLevel(); }},
        {"Ctrl+7", '7', mask::Ctrl, C::DaisyBook, kStart, [this] { u.daisy.nextPage(); }},
        {"Ctrl+6", '6', mask::Ctrl, C::DaisyBook, kStart, [this] { u.daisy.previousPage(); }},
        {"Ctrl+Maiusc+2", '2', mask::ShiftCtrl, C::DaisyBook, kStart, [this] { u.daisy.nextPhrase(); }},
        {"Ctrl+Maiusc+1", '1', mask::ShiftCtrl, C::DaisyBook, kStart, [this] { u.daisy.previousPhrase(); }},
        {"Ctrl+D", 'D', mask::Ctrl, C::DaisyBook, kStart, [this] { u.daisy.whereAmI(); }},
        {"Ctrl+G", 'G', mask::Ctrl, C::DaisyBook, kStart, [this] { u.daisy.goToPage(); }},
        {"Ctrl+T", 'T', mask::Ctrl, C::DaisyBook, kStart, [this] { u.daisy.goToTime(); }},
        {"Ctrl+1", '1', mask::Ctrl, C::DaisyBook, kStart, [this] { return u.daisy.skip(false); }},
        {"Ctrl+2", '2', mask::Ctrl, C::DaisyBook, kStart, [this] { return u.daisy.skip(true); }},

        {"Ctrl+I", 'I', mask::Ctrl, C::Always, kStart, [this] { navigation.tableOfContents(); }},
        {"Ctrl+9", '9', mask::Ctrl, C::Always, "Form KeyDown: Ctrl+9", [this] { reading.speedCycle(); }},
        {"Ctrl+8", '8', mask::Ctrl, C::Always, "Form KeyDown: Ctrl+8", [this] { reading.optionsPanel(); }},
        {"Ctrl+0", '0', mask::Ctrl, C::Always, "Form KeyDown: Ctrl+0", [this] {
             reading.readingOnOff();
             u.daisy.readingSwitched();
         }},
        {"Ctrl+O", 'O', mask::Ctrl, C::Always, kStart, [this] { u.chooseBook(); }},
        {"Ctrl+7", '7', mask::Ctrl, C::Always, kStart, [this] { navigation.pageFile(true); }},
        {"Ctrl+6", '6', mask::Ctrl, C::Always, kStart, [this] { navigation.pageFile(false); }},

        {"Alt+9", '9', mask::Alt, C::Always, "Form KeyDown: Ctrl+Shift+9", [this] { return reading.nextStyleSheet(); }},
        {"Alt+8", '8', mask::Alt, C::Always, kStart, [this] { return navigation.nextIndexEntry(); }},
        {"Alt+7", '7', mask::Alt, C::Always, kStart, [this] { return navigation.previousIndexEntry(); }},
        {"Alt+-", vk::Minus, mask::Alt, C::Always, kStart, [this] { return reading.speedStep(false); }},
        {"Alt++", vk::Plus, mask::Alt, C::Always, kStart, [this] { return reading.speedStep(true); }},

        {"Ctrl+4", '4', mask::Ctrl, C::DaisyVoice, kStart, [this] { u.daisy.stopVoice(); }},
        {"Ctrl+3", '3', mask::Ctrl, C::DaisyVoice, kStart, [this] { u.daisy.pauseVoice(); }},
        {"Ctrl+1", '1', mask::Ctrl, C::FileLoaded, kStart, [this](const QString &s) { transport.skipBack(s); }},
        {"Ctrl+2", '2', mask::Ctrl, C::FileLoaded, kStart, [this](const QString &s) { transport.skipForward(s); }},
        {"Ctrl+4", '4', mask::Ctrl, C::FileLoaded, kStart, [this] { transport.stop(); }},
        {"Ctrl+3", '3', mask::Ctrl, C::FileLoaded, kStart, [this] { transport.playPause(); }},
        {"Ctrl++", vk::Plus, mask::Ctrl, C::FileLoaded, kStart, [this] { return transport.volume(true); }},
        {"Ctrl+-", vk::Minus, mask::Ctrl, C::FileLoaded, kStart, [this] { return transport.volume(false); }},

        {"Alt+4", '4', mask::Alt, C::Always, kStart, [this] { bookmarks.deleteAll(); }},
        {"Alt+3", '3', mask::Alt, C::Always, kStart, [this] { return bookmarks.add(); }},
        {"Alt+6", '6', mask::Alt, C::Always, kStart, [this] { bookmarks.showHideList(); }},
        {"Alt+2", '2', mask::Alt, C::Always, kStart, [this] { bookmarks.next(); }},
        {"Alt+1", '1', mask::Alt, C::Always, kStart, [this] { bookmarks.previous(); }},
    };
}

// The condition is asked only of a row whose key matches: asking whether a
// file is loaded tells the reader when none is.
const KeyBinding *KeyMap::find(qint16 KeyCode, qint16 Shift)
{
    for (const KeyBinding &b : table_) {
        const bool key = b.code == vk::AnyKey || b.code == KeyCode;
        const bool modifiers = b.modifiers == mask::Any || b.modifiers == Shift;
        if (key && modifiers && holds(b.condition))
            return &b;
    }
    return nullptr;
}

bool KeyMap::holds(KeyCondition c)
{
    switch (c) {
    case KeyCondition::BookmarkListShown: return u.fraMarcatori.visible();
    case KeyCondition::FileLoaded: return transport.loaded();
    case KeyCondition::DaisyBook: return u.daisy.active();
    case KeyCondition::DaisyVoice: return u.daisy.voiceReading();
    case KeyCondition::Always: break;
    }
    return true;
}

void KeyMap::Form_KeyDown(qint16 KeyCode, qint16 Shift)
{
    // Local to this press: a press handled while another waits (a page
    // reload lets events run) has its own.
    StepLabel KeyStep{QStringLiteral("Form_KeyDown - "), QString::fromUtf8(kStart)};
    const bool done = Guard(
        u.er, KeyStep,
        [&] {
            const KeyBinding *b = find(KeyCode, Shift);
            if (!b)
                return;
            KeyStep.label = QString::fromUtf8(b->step);
            // A refusal of the key's own checks (a number out of range, an
            // entry position that is no number) ends the key as any failure does.
            b->action(KeyStep.label).value();
        },
        [&] { lastFilledError = u.msg.errore(KeyStep.label, u.er.currentNumber(), u.er.currentDescription()); });
    // The filled message stays on the display, where a screen reader
    // announces it once the error dialog has gone.
    if (!done)
        u.feedback.OSD(lastFilledError, false);
}

} // namespace qyr
