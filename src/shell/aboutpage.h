#pragma once
// The about page written into the blank document at start, and the splash
// timer that then opens the page saved at exit or the table of contents.
#include <QString>

#include "../platform/controls.h"
#include <functional>
#include <utility>

namespace qyr {

class ErrorReporter;
class IBrowser;
class IFiles;
class PlayerSettings;
class OpenBook;
class PageAudio;
class DaisyReading;

class AboutPage {
public:
    // What it works with.
    struct Uses {
        ErrorReporter &er;
        IBrowser &browser;
        IFiles &files;
        PlayerSettings &prefs;
        const OpenBook &book;
        PageAudio &audio;
        DaisyReading &daisy;
        TimerModel &TimerSpalsh;
        CheckBox &chkSavePos;
        // A DAISY book's bookmarks are listed when its reading opens, whatever it shows.
        std::function<void()> listBookmarks;
    };

    explicit AboutPage(Uses uses) : u(std::move(uses)) {}
    void ShowAbout();
    void TimerSpalsh_Timer();
    // Goes to the saved place of the open book when it is to be resumed and
    // still exists, else to the book's index.
    void openReadingPlace();
    QString buildHtml() const;
    QString logoAddress() const;

    // A page the reader asked for ends the splash.
    void readerMoved(const QString &url, bool cancelled);

private:
    Uses u;
    QString strAboutHtml;
};

} // namespace qyr
