#pragma once
// What happens when a page has loaded: bookmark lists, caption, style sheet,
// the page's audio, a waiting bookmark recall, the book's own messages.
#include <QString>

namespace qyr {

class frmBrowser;
struct StepLabel;

class PageLoad {
public:
    explicit PageLoad(frmBrowser &f) : f(f) {}

    // Subscribes the handler to the browser's document-complete. Calling it
    // again changes nothing.
    void connect();

    void objWB_DocumentComplete(const QString &URL);

    // A completed address that names a table of contents (INDEX.HTM within
    // its last 20 characters, SUBINDEX.HTM included).
    static bool isIndexPage(const QString &url);
    // The style sheet of number n in the book's INCLUDE folder.
    QString styleSheetUrl(qint16 n) const;

private:
    bool listBookmarks(bool index, StepLabel &step);
    void showTitle();
    void applyStyleSheet();
    void takeMessages();

    frmBrowser &f;
    QString strLastPage; // the page of the last document complete
    bool connected_ = false;
};

} // namespace qyr
