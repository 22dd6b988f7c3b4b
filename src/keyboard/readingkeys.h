#pragma once
// The keys that change how the book is read and shown: reading speed in
// steps or in a three-value cycle, reading off and on, the style sheet, and
// the options and debug panels.
#include <QString>

#include "../platform/controls.h"
#include "../platform/result.h"
#include <utility>

namespace qyr {

class IBrowser;
class IFiles;
class IEventPump;
class PlayerSlot;
class PlayerSettings;
class Feedback;
class OpenBook;
class PageAudio;

class ReadingKeys {
public:
    // What it works with.
    struct Uses {
        IBrowser &browser;
        IFiles &files;
        IEventPump &pump;
        PlayerSlot &player;
        PlayerSettings &prefs;
        Feedback &feedback;
        const OpenBook &book;
        PageAudio &audio;
        TextBox &TextRate;
        Panel &frmconfigurazione;
        Panel &fraDebug;
    };

    explicit ReadingKeys(Uses uses) : u(std::move(uses)) {}
    qint16 styleSheet() const { return nStyleSheet; }
    void setStyleSheet(qint16 n) { nStyleSheet = n; }
    // Refused (a type mismatch) when no next speed comes back.
    Result<Done> speedStep(bool up);
    void speedCycle();
    void readingOnOff();
    // Moves to the next style sheet file (or back to the first) and reloads
    // the page, keeping its anchor for the reload. Refused (an overflow) past
    // the largest 16-bit sheet number.
    Result<Done> nextStyleSheet();
    void optionsPanel();
    void debugPanel();

private:
    QString rateText();
    Uses u;
    qint16 nStyleSheet = 0; // the book's style sheet in use (include/styleN.css)
};

} // namespace qyr
