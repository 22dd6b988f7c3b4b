#pragma once
// The bookmark list box: click, double click, Enter and Delete.
#include <QString>

namespace qyr {

class frmBrowser;

class BookmarkList {
public:
    explicit BookmarkList(frmBrowser &f) : f(f) {}

    // Subscribes the handlers to the list box's events. Calling it again
    // changes nothing.
    void connect();

    // The selection moved: the tooltip reads the selected entry.
    void ListMarkers_Click();
    // Recalls the selected bookmark.
    void ListMarkers_DblClick();
    // Enter (13, no modifier) recalls the selected bookmark; Delete (46, any
    // modifier) deletes it, without a question.
    void ListMarkers_KeyDown(qint16 KeyCode, qint16 Shift);
    // The description of a list entry, without its time.
    static QString describedEntry(const QString &entry);

private:
    void recallSelected();
    void deleteSelected();

    frmBrowser &f;
    bool connected_ = false;
};

} // namespace qyr
