#pragma once
// The page as text a screen reader can read with its own keys.
//
// A web view embedded through Qt gives screen readers no text caret: Orca
// and NVDA can read its links with Tab and nothing else. So every page is
// also laid out, from its own text and links, in a read-only text view with
// a keyboard caret that takes the keyboard whenever the page has it. The
// sighted reader keeps seeing the web page: the text view lies under it, and
// the page scrolls to and marks the part the caret is in.
#include <QHash>
#include <QTextBrowser>
#include <QVariant>
#include <QKeyEvent>
#include <functional>
#include <memory>
#include <vector>

namespace qyr {

// One line of the page as the walker in the page reports it: its kind, the
// page element it came from, and runs of text, each maybe part of a link.
struct PageTextRun {
    QString text;
    int link = -1; // index of the page's link, or -1
};
struct PageTextBlock {
    enum Kind { Paragraph, Heading, ListItem, Preformatted } kind = Paragraph;
    int level = 0;  // heading level, or list depth
    int place = -1; // the page element to scroll to
    QString marker; // "1. " or "• " before a list item
    QVector<PageTextRun> runs;
};
struct PageTextContent {
    QVector<PageTextBlock> blocks;
    QHash<QString, int> anchors; // anchor name -> index in blocks
};

// Reads the walker's answer (a JSON-like map) into content.
PageTextContent pageTextFromVariant(const QVariant &v);

// The script that walks the page in the program's own world and answers
// with what pageTextFromVariant reads; it keeps the page's elements and
// links for scrolling to them and activating them.
const char *pageTextScript();

class PageTextView : public QTextBrowser {
    Q_OBJECT
public:
    explicit PageTextView(QWidget *parent);

    // Replaces the text with a new page's; the caret goes to its start when
    // fresh, else stays as near as it can to where it was. A line of the page
    // of more than 10,000 characters goes on in a further text block at a
    // blank, and a word of more than 500 gets a zero-width space every 50
    // letters, so that the text is laid out in time linear in the page.
    void show(const PageTextContent &content, const QString &title, bool fresh);
    // Puts the caret at the start of the line holding the anchor.
    bool goToAnchor(const QString &name);
    // The caret at the start of the page.
    void toStart();
    // Another page is on its way: until its text is shown, the old page's
    // links are not followed and the keys that move the caret wait for it.
    void awaitNewPage();
    // The wait is over without a new text (the load failed or stopped): the
    // keys held go to the text shown.
    void stopAwaiting();
    bool awaitingNewPage() const { return awaiting_; }
    // Another view takes over the wait and the keys held for it.
    void handOverTo(PageTextView &other);
    // A page left behind: no links, no anchors, no marking of the page.
    void leavePage();
    // The line the caret is in, as the screen reader reads it.
    QString currentLine() const;

    // The links as laid out in the text: where each lies and what it says.
    struct LinkSpan {
        int start = 0, end = 0;
        QString text;
        int link = -1; // the page's link
    };
    const QVector<LinkSpan> &links() const { return spans_; }
    // The link Tab has brought the caret to (the caret at its start), or -1.
    int highlightedLink() const { return highlighted_; }

    std::function<void(int /*link*/)> onLinkActivated;
    std::function<void(int /*place*/)> onPlaceChanged;

protected:
    bool focusNextPrevChild(bool next) override;
    void keyPressEvent(QKeyEvent *e) override;

private:
    void caretMoved();
    void setHighlighted(int link);
    void activateLinkAtCaret();
    int linkForEnter() const;

    QHash<QString, int> anchors_; // anchor name -> text block number
    int place_ = -1;
    QVector<LinkSpan> spans_;
    int highlighted_ = -1;
    bool awaiting_ = false;
    std::vector<std::unique_ptr<QKeyEvent>> heldKeys_;
};

// Gives the text view the accessible role and name of a document; once,
// before any window is shown.
void installPageTextAccessibility();

} // namespace qyr
