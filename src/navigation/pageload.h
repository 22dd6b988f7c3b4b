#pragma once
// What happens when a page has loaded: bookmark lists, caption, style sheet,
// the page's audio, a waiting bookmark recall, the book's own messages.
#include <QString>

#include "../platform/controls.h"
#include <functional>
#include <utility>

namespace qyr {

class ErrorReporter;
class IBrowser;
class IEventPump;
class Messages;
class OpenBook;
class UrlHelpers;
class PageAudio;

class PageLoad {
public:
    // The reactions of other parts, in the order the page load runs them.
    struct Reactions {
        std::function<void(bool contents)> listBookmarks; // may fail: then the page goes no further
        std::function<void()> completeRecall;
        std::function<qint16()> styleSheet;
    };
    // What it works with.
    struct Uses {
        ErrorReporter &er;
        IBrowser &browser;
        IEventPump &pump;
        Messages &msg;
        const OpenBook &book;
        UrlHelpers &urls;
        PageAudio &audio;
        Control &form;
        ListBox &ListMarkers;
        qint16 &nIndexAnchor;
        Reactions reactions;
    };

    explicit PageLoad(Uses uses) : u(std::move(uses)) {}

    void objWB_DocumentComplete(const QString &URL);

    // The style sheet of number n in the book's INCLUDE folder.
    QString styleSheetUrl(qint16 n) const;

private:
    bool listBookmarks(bool index);
    void showTitle();
    void applyStyleSheet();
    void takeMessages();

    Uses u;
    QString strLastPage; // the page of the last document complete
};

} // namespace qyr
