#pragma once
// Page keys and link-to-file conversion, and the browser's housekeeping
// handlers (title change, window closing).
#include <QString>
#include <optional>

#include "../platform/signal.h"
#include <functional>
#include <utility>

namespace qyr {

class ErrorReporter;
class IBrowser;
class IFiles;
class Feedback;
class OpenBook;

class UrlHelpers {
public:
    // What it works with.
    struct Uses {
        ErrorReporter &er;
        IBrowser &browser;
        IFiles &files;
        Feedback &feedback;
        const OpenBook &book;
    };

    explicit UrlHelpers(Uses uses) : u(std::move(uses)) {}
    // Asks whether the program may close, as closing the window does.
    Signal<bool &> QueryUnload;

    // The key the bookmarks of the page on show are filed under: its path
    // relative to the book folder, upper case, with backslashes, ending at the
    // first ".HTM" (LIBRO\CAP1.HTM), the same on every system.
    QString Section();
    // Only a page that really loaded ends a return to the table of contents;
    // titles seen while a load is under way do not.
    void pageLoaded() { returningToIndex_ = false; }
    // The key of a page given by its path relative to the book folder (as
    // the contents page lists them): "Libro/p2.html" gives LIBRO\P2.HTM.
    static QString pageKey(const QString &page);
    // An address that names a table of contents: INDEX.HTM within its last
    // 20 characters, whatever the letter case (SUBINDEX.HTM included).
    static bool isIndexPage(const QString &url);
    // The page shown is the table of contents.
    bool onIndexPage();

    // A link address turned into the path of the file it names, for the player.
    QString PulisciUrl(const QString &url);
    // A link to a video: its address, or the name after its anchor or query,
    // ends with .wmv, .m1v or .avi ("@NOFULL@" aside). An address that only
    // holds those letters (www.aviazione.it) is an ordinary link.
    static bool namesVideo(const QString &url);

    // Back to the table of contents when the browser shows its page for an
    // address it could not load; a book folder that is gone is said instead.
    void objWB_TitleChange(const QString &Text);

    // After a page has loaded: on the contents page a return from a page
    // that could not be loaded says "Pagina non trovata: " and its name;
    // elsewhere the name is forgotten.
    void sayPageNotFound(bool onIndex);

    // A page closed its own window: the close request of the main window runs
    // instead, and the browser control itself is never destroyed.
    void objWB_WindowClosing(bool IsChildWindow, bool &Cancel);

private:
    QString failedPageNotice();

    Uses u;
    // Set by a return to the table of contents, cleared when a page has
    // loaded: a table of contents that cannot be loaded either must not start
    // an endless chain of returns.
    bool returningToIndex_ = false;
    // The page whose failed load sent the reader back, until the contents
    // page has loaded.
    std::optional<QString> notFound_;
};

} // namespace qyr
