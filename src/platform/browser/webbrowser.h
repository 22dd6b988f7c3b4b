#pragma once
#include <memory>
// The browser port on Qt WebEngine, the one authority over navigation.
// A script injected into every document catches link activations (mouse or
// keyboard, same-document and javascript: links included) and hands them
// here; the page's own navigations arrive through acceptNavigationRequest.
// Either way BeforeNavigate2 is raised exactly once, and a navigation that
// goes ahead ends in DocumentComplete, even when it stays in the document.
// Frames raise BeforeNavigate2 too (links to other documents through the
// engine's request, jumps inside their document through the page above),
// but no DocumentComplete: the page on show is still the same page.
#include "../bookscope.h"
#include "../browser.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QUrl>
#include <QVariant>
#include <functional>

class QWebEngineView;
class QWebEngineLoadingInfo;
class QWidget;

namespace qyr {

class IFiles;
class IDialogs;
class BookPage;
class LinkBridge;
class BookFileInterceptor;
class PageTextView;

class WebBrowser : public QObject, public IBrowser {
public:
    WebBrowser(IFiles &files, QWidget *parent);
    ~WebBrowser() override;

    void navigate(const QString &url) override;
    QString locationURL() override;
    QString locationName() override;
    int readyState() override { return readyState_; }
    QString title() override;
    bool hasDocument() override { return hasDocument_; }
    void setBodyHtml(const QString &html) override;
    PageElement element(const QString &name) override;
    void setFocus() override;
    void focusDocument() override;
    int styleSheetCount() override { return styleSheets_; }
    void createStyleSheet(const QString &url, int index) override;
    void setBookFolder(const QString &folder) override;
    void highlight(const QString &elementId) override;
    QString highlighted() override { return highlighted_; }

    QWebEngineView *view() const { return view_; }
    // Where a page's alert and confirm dialogs are asked; none: refused.
    void setDialogs(IDialogs *dialogs) { dialogs_ = dialogs; }
    // A page's alert or question, shown once the engine has gone on.
    void showPageMessage(const QString &text);
    // The widget to place in the window: the view inside its holder.
    QWidget *widget() const { return holder_; }
    // The page's text as the screen reader reads it; it has the keyboard
    // whenever the page has it.
    QWidget *textView() const;
    // Reads the page's text: a new page's (the caret at its start), or anew
    // when the page changed its own words (the caret kept).
    void readText(bool fresh);

    // Activates a link of the page as a reader would: the first link whose
    // name or id is name, or else whose href (as written or resolved) is
    // href. False when the page has no such link.
    bool follow(const QString &name, const QString &href);
    std::function<void()> onFollowMissed; // the page had no such link

    // Called by the page for navigations it starts itself; false cancels.
    bool pageWantsNavigation(const QUrl &url, bool redirect);
    // The same for a frame of the page, once the page has loaded.
    bool frameWantsNavigation(const QUrl &url, bool redirect);
    // Called by the injected script when a frame jumped to an anchor.
    void frameAnchorSet(const QString &to);
    // The form fields as they are at a link's activation: named elements
    // read their value as the page's scripts have left it.
    void takeFields(const QVariantMap &fields);
    // Called by the injected script for a link the reader activated.
    void linkActivated(const QString &href);
    // Called by the injected script when a page script set an anchor.
    void anchorSetByPage(const QString &to, const QString &from);
    // Whether a page may read the file at path (as asked, any letter case);
    // document: the request is for the page itself.
    bool mayRead(const QString &path, BookFileKind kind, bool document);

    // The address the engine loads a book's file by: file://, or the
    // program's own scheme for a file inside a zip.
    static QUrl fileUrl(IFiles &files, const QString &path);
    static bool isBookFile(const QUrl &url);
    // The program's scheme for packed books, known to the engine before the
    // application starts.
    static void registerPackedScheme();

protected:
    bool eventFilter(QObject *obj, QEvent *e) override;

private:
    PageTextView *newTextView();
    void installScripts();
    void showText(const QVariant &walked, bool fresh);
    void loadingChanged(const QWebEngineLoadingInfo &info);
    void takeSnapshot();
    void goAhead(const QString &url);
    void load(const QUrl &target);
    void watchLoad(const QUrl &target);
    QUrl toLoadableUrl(const QString &url);
    // False, and the reader told, when a page's navigation would leave the book.
    bool keptInside(const QUrl &target, const QString &asked);
    static bool sameDocument(const QUrl &from, const QUrl &to);
    // The same page, whatever its anchor.
    static bool samePage(const QUrl &a, const QUrl &b);
    void showPageMessages();
    void applyHighlight();

    IFiles &files_;
    IDialogs *dialogs_ = nullptr;
    QPointer<QWidget> holder_;
    QWebEngineView *view_;
    BookPage *page_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true); // false once this is being destroyed
    LinkBridge *bridge_;
    BookFileInterceptor *interceptor_;
    int readyState_ = 0;
    int loads_ = 0; // loads begun, so that an answer about an older page is known
    bool hasDocument_ = false;
    bool programNavigation_ = false;
    bool failedLoad_ = false;
    int styleSheets_ = 0;
    QUrl location_; // the document's address with the anchor last applied
    int loadGeneration_ = 0;
    QUrl retry_;              // a load to make again once a page that stopped answering is gone
    QString bookFolder_;      // the open book's folder, as the disk names it
    QString programDocument_; // the file the program itself last opened, wherever it is
    QHash<QString, PageElement> snapshot_;
    PageTextView *text_ = nullptr;  // the page's text, shown
    PageTextView *spare_ = nullptr; // the one the next page's text goes into
    QString textSignature_;
    // A page's messages, shown one after another, never one inside another.
    QStringList pageMessages_;
    bool showingPageMessages_ = false;
    QList<qint64> pageMessageTimes_; // when the last ones of countedPage_ were shown
    QUrl countedPage_;
    QUrl silencedPage_;   // the page whose messages the reader stopped, until another has opened
    QString highlight_;   // the id to mark, on this page and the next ones
    QString highlighted_; // the id marked in the document on show
};

} // namespace qyr
