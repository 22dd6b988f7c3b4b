#pragma once
// The about page written into the blank document at start, and the splash
// timer that then opens the page saved at exit or the table of contents.
#include <QString>

namespace qyr {

class frmBrowser;

class AboutPage {
public:
    explicit AboutPage(frmBrowser &f) : f(f) {}
    // Watches the browser: once the reader goes somewhere during the
    // splash, the splash no longer takes them to the book. Calling it again
    // changes nothing.
    void connect();
    void ShowAbout();
    void TimerSpalsh_Timer();
    // Goes to the saved place of the open book when it is to be resumed and
    // still exists, else to the book's index.
    void openReadingPlace();
    QString buildHtml() const;

private:
    void readerMoved(const QString &url, bool cancelled);
    frmBrowser &f;
    QString strAboutHtml;
    bool connected_ = false;
};

} // namespace qyr
