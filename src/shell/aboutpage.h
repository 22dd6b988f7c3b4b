#pragma once
// The about page written into the blank document at start, and the splash
// timer that then opens the page saved at exit or the table of contents.
#include <QString>

namespace qyr {

class frmBrowser;

class AboutPage {
public:
    explicit AboutPage(frmBrowser &f) : f(f) {}
    void ShowAbout();
    void TimerSpalsh_Timer();
    // Goes to the saved place of the open book when it is to be resumed and
    // still exists, else to the book's index.
    void openReadingPlace();
    QString buildHtml() const;

private:
    frmBrowser &f;
    QString strAboutHtml;
};

} // namespace qyr
