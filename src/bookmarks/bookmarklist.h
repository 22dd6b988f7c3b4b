#pragma once
// The bookmark list box: click, double click, Enter and Delete.
#include <QString>

#include "../platform/controls.h"
#include <utility>

namespace qyr {

class ErrorReporter;
class Feedback;
class UrlHelpers;
class BookmarkStore;
class BookmarkRecall;

class BookmarkList {
public:
    // What it works with.
    struct Uses {
        ErrorReporter &er;
        Feedback &feedback;
        UrlHelpers &urls;
        BookmarkStore &marks;
        BookmarkRecall &recall;
        ListBox &ListMarkers;
    };

    explicit BookmarkList(Uses uses) : u(std::move(uses)) {}

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

    Uses u;
    bool connected_ = false;
};

} // namespace qyr
