#pragma once
// The components the logic runs on: the real ones in the program, doubles
// in the tests.
#include "../platform/browser.h"
#include "../platform/dialogs.h"
#include "../platform/files.h"
#include "../platform/hive.h"
#include "../platform/media.h"
#include "../platform/pump.h"
#include "../platform/registry.h"
#include "../platform/videowindow.h"

#include <QString>
#include <functional>

namespace qyr {

class IDaisyReader;
class ISpeech;

// The real or test components the logic runs on.
struct Ports {
    IRegistry &registry;
    IFiles &files;
    IDialogs &dialogs;
    IEventPump &pump;
    ITimerService &timers;
    IBrowser &browser;
    // Creates the media control and video window of a new version 9 host;
    // throws QyrError when it cannot.
    std::function<MediaHostParts()> createMedia = nullptr; // set once the players are known
    QString appFolder;            // the book opened first
    IHiveReader *hives = nullptr; // reads hive files for an import; none: hives cannot be imported
    // Creates the media control and video window of the player of other
    // versions ("Altre"); none: that version has no player.
    std::function<MediaHostParts()> createOtherMedia = nullptr;
    IDaisyReader *daisy = nullptr; // reads DAISY books; none: only the program's own books open
    IBookArchives *archives = nullptr; // opens books packed in a zip; none: a zip is not a book
    ISpeech *speech = nullptr; // reads a book's text that has no audio; none: that text is shown, not read
    QString helpPage = QString();  // the program's own help page, shown in a book that has none
};

} // namespace qyr
