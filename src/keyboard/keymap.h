#pragma once
// The main window's key map: every key the reader presses, and every key a
// page replays through a key-command link. The actions live in four groups:
// playback, navigation, reading settings and bookmarks; one table says which
// key does what, in the order the keys are tried.
#include "bookmarkkeys.h"
#include "navigationkeys.h"
#include "readingkeys.h"
#include "transportkeys.h"

#include "../platform/result.h"

#include <QString>
#include <concepts>
#include <functional>
#include <type_traits>
#include <vector>

namespace qyr {

class ErrorReporter;
class IDialogs;
class Messages;
class Feedback;
class DaisyReading;

// Windows virtual-key codes the map names by themselves; digits and letters
// are their characters' codes.
namespace vk {
constexpr qint16 Escape = 27;
constexpr qint16 F1 = 112;
constexpr qint16 Plus = 187;  // "+" of the main block; the keypad's 107 is not used
constexpr qint16 Minus = 189; // "-" of the main block; the keypad's 109 is not used
constexpr qint16 AnyKey = 0;
} // namespace vk

// Modifier masks, compared as a whole: Ctrl+Shift is neither Ctrl nor Shift.
namespace mask {
constexpr qint16 None = 0;
constexpr qint16 Ctrl = 2;
constexpr qint16 ShiftCtrl = 3;
constexpr qint16 Alt = 4;
constexpr qint16 ShiftCtrlAlt = 7;
constexpr qint16 Any = -1;
} // namespace mask

// When a key of the table acts; otherwise it does nothing at all.
enum class KeyCondition {
    Always,
    BookmarkListShown,
    FileLoaded, // without a file the reader is told there is none
    DaisyBook,  // the open book is a DAISY book
    DaisyVoice, // a DAISY book's phrase without audio is being read, by the voice
};

class KeyAction;

// An action that reports under its own name takes the step the key has
// reached; the others take nothing.
template <typename F>
concept StepOrPlain = std::invocable<F &, const QString &> || std::invocable<F &>;
template <typename F>
concept KeyCallable = StepOrPlain<F> && !std::same_as<std::remove_cvref_t<F>, KeyAction>;

// What a key does. An action that makes checks of its own hands back their
// refusal; one that makes none returns nothing.
class KeyAction {
public:
    template <KeyCallable F>
    KeyAction(F f) : run_(adapt(std::move(f)))
    {
    }
    Result<Done> operator()(const QString &step) const { return run_(step); }

private:
    template <typename F>
    static std::function<Result<Done>(const QString &)> adapt(F f)
    {
        return [f](const QString &step) mutable -> Result<Done> {
            auto call = [&] {
                if constexpr (std::invocable<F &, const QString &>)
                    return f(step);
                else
                    return f();
            };
            if constexpr (std::is_void_v<decltype(call())>) {
                call();
                return Done{};
            } else {
                return call();
            }
        };
    }
    std::function<Result<Done>(const QString &)> run_;
};

struct KeyBinding {
    const char *keys; // as the help page writes it
    qint16 code;      // virtual-key code, or vk::AnyKey
    qint16 modifiers; // a mask, or mask::Any
    KeyCondition condition;
    const char *step; // the step an error report names
    KeyAction action;
};

class KeyMap {
public:
    // What it works with.
    struct Uses {
        ErrorReporter &er;
        IDialogs &dialogs;
        Messages &msg;
        Feedback &feedback;
        Panel &fraMarcatori;
        DaisyReading &daisy;
        std::function<void()> chooseBook;
    };

    KeyMap(Uses uses, TransportKeys::Uses transportUses, NavigationKeys::Uses navigationUses,
           ReadingKeys::Uses readingUses, BookmarkKeys::Uses bookmarkUses);

    // KeyCode: the Windows virtual-key code; Shift: 1 Shift, 2 Ctrl, 4 Alt.
    // A failure is reported as "Form_KeyDown - " and the step reached, and
    // ends the key; the filled error message is shown on the display too.
    void Form_KeyDown(qint16 KeyCode, qint16 Shift);

    // The error message of the last failed key, as filled from strMsgErrore.
    QString lastFilledError;

    const std::vector<KeyBinding> &table() const { return table_; }

    TransportKeys transport;
    NavigationKeys navigation;
    ReadingKeys reading;
    BookmarkKeys bookmarks;

private:
    std::vector<KeyBinding> makeTable();
    const KeyBinding *find(qint16 KeyCode, qint16 Shift);
    bool holds(KeyCondition c);
    Uses u;
    std::vector<KeyBinding> table_;
};

} // namespace qyr
