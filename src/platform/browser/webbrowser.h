#pragma once
// The browser port on Qt WebEngine. Navigations the program asks for raise
// BeforeNavigate2 once before they start; a finished load takes a snapshot
// of the page's named elements (read synchronously by the logic) and then
// raises DocumentComplete.
#include "../browser.h"

#include <QHash>
#include <QObject>

class QWebEngineView;
class QWidget;

namespace qyr {

class IFiles;
class BookPage;

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

    QWebEngineView *view() const { return view_; }
    // Called by the page for navigations it starts itself; false cancels.
    bool pageWantsNavigation(const QString &url);

private:
    void loadFinished(bool ok);
    QString inlineLocalImages(const QString &html);
    QString toLoadableUrl(const QString &url);

    IFiles &files_;
    QWebEngineView *view_;
    BookPage *page_;
    int readyState_ = 0;
    bool hasDocument_ = false;
    bool programNavigation_ = false;
    QHash<QString, PageElement> snapshot_;
};

} // namespace qyr
