#pragma once
// The bookmark keys: previous and next bookmark, add one through the input
// box, delete all, show or hide the list (Escape closes it too). Playback
// paused for the list or the entry resumes when they close.
#include <QtGlobal>

#include "../platform/result.h"
#include "../services/panels.h"
#include <functional>
#include <utility>

namespace qyr {

class IDialogs;
class IBrowser;
class IEventPump;
class PlayerSlot;
class Messages;
class Feedback;
class BookmarkStore;
class BookmarkRecall;

class BookmarkKeys {
public:
    // What it works with.
    struct Uses {
        IDialogs &dialogs;
        IBrowser &browser;
        IEventPump &pump;
        PlayerSlot &player;
        Messages &msg;
        Feedback &feedback;
        BookmarkStore &marks;
        BookmarkRecall &recall;
        BookmarkControls bookmarks;
        Control &objwb;
        // A dated copy of the settings tree: its name, or why none was made.
        std::function<Result<QString>()> safetyCopy;
    };

    explicit BookmarkKeys(Uses uses) : u(std::move(uses)) {}
    bool resumeAfterList() const { return bResumeAfterList; }
    float savedRate() const { return sngSavedRate; }
    void deleteAll();
    // Refused (an overflow) when the position is past 16 bits of seconds.
    Result<Done> add();
    void showHideList();
    // Another page is on its way while the list is open (a key that changes
    // the page, a link): the list closes first, and the reading it paused is
    // not resumed over the new page, which has its own.
    void pageLeaving();
    void next();
    void previous();
    // Escape while the list is showing.
    void escape();
    // Pauses the reading for the bookmark list, noting that closing the
    // list must resume it, at the speed it had.
    void pauseForList();
    // The list has closed: the reading its opening paused goes on.
    void listClosed();

private:
    void recallCurrent();
    void deleteWholeBook();
    void resumeWithReload();
    Uses u;
    bool bResumeAfterList = false; // the reading was paused by opening the list
    float sngSavedRate = 0;        // the speed before that pause
};

} // namespace qyr
