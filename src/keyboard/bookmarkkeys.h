#pragma once
// The bookmark keys: previous and next bookmark, add one through the input
// box, delete all, show or hide the list (Escape closes it too). Playback
// paused for the list or the entry resumes when they close.
#include <QtGlobal>

namespace qyr {

class frmBrowser;

class BookmarkKeys {
public:
    explicit BookmarkKeys(frmBrowser &f) : f(f) {}
    bool resumeAfterList() const { return bResumeAfterList; }
    float savedRate() const { return sngSavedRate; }
    // The Alt group, compared against AltKeyCodes.
    void dispatch(qint16 KeyCode);
    void deleteAll();
    void add();
    void showHideList();
    void next();
    void previous();
    // Escape while the list is showing.
    void escape();
    // Pauses the reading for the bookmark list, noting that closing the
    // list must resume it, at the speed it had.
    void pauseForList();

private:
    void recallCurrent();
    void deleteWholeBook();
    frmBrowser &f;
    bool bResumeAfterList = false; // the reading was paused by opening the list
    float sngSavedRate = 0;        // the speed before that pause
};

} // namespace qyr
