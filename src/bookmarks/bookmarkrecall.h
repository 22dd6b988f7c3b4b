#pragma once
// Going to a bookmark: its page, its audio and its position.
#include "../platform/result.h"

#include <QString>

#include "../platform/controls.h"
#include <utility>

namespace qyr {

class ErrorReporter;
class Settings;
class IFiles;
class IBrowser;
class IEventPump;
class PlayerSlot;
class Feedback;
class OpenBook;
class UrlHelpers;
class DaisyReading;
class PageAudio;
class BookmarkStore;
class oEkoPlayer;

class BookmarkRecall {
public:
    // Where a recalled bookmark leads: its page, the page's audio, or a
    // place of the DAISY book being read.
    struct Places {
        UrlHelpers &urls;
        PageAudio &audio;
        DaisyReading &daisy;
    };
    // The list it recalls from, the page it shows, and the timer that ends
    // the suppression of end-of-play chaining.
    struct Controls {
        ListBox &ListMarkers;
        Panel &fraMarcatori;
        Control &objwb;
        TimerModel &TimerDisableState;
    };
    // What it works with.
    struct Uses {
        ErrorReporter &er;
        Settings &settings;
        IFiles &files;
        IBrowser &browser;
        IEventPump &pump;
        PlayerSlot &player;
        Feedback &feedback;
        const OpenBook &book;
        Places places;
        BookmarkStore &marks;
        Controls controls;
    };

    explicit BookmarkRecall(Uses uses) : u(std::move(uses)) {}
    // Completes a recall that opened its bookmark's page, once that page has
    // loaded and listed its bookmarks: the one the reader chose is recalled,
    // found again by its description. Nothing when no recall waits.
    void completePending();
    // The recalled file has settled: the end of media chains again.
    void TimerDisableState_Timer();

    // Recalls the bookmark in slot n of the page on show, or the one selected
    // in ListMarkers when n is 0. On the table of contents the bookmark's page
    // is opened first and the slot left in f.nPendingMarker: page-load
    // processing completes the recall by calling this again with that slot.
    void MarcatoriRichiama(qint16 n);

    // The folder of the page at address, in the Windows form the audio path
    // is built in, with its final separator.
    static QString pageFolder(const QString &address);

private:
    // Loads the slot's audio at its position, announces it and plays it.
    // A stored position that is no number ends the recall, refused, unless
    // the audio had to be searched for.
    Result<Done> play(qint16 slot, const QString &address);
    // A DAISY book's bookmark: the reading moves to its phrase and time.
    void recallPhrase(const QString &section, qint16 slot);
    // Puts the bookmark's audio in the player: the file the page would play,
    // else one searched for on the drives. True when it had to be searched
    // for: from then on a failure is skipped.
    bool loadAudio(oEkoPlayer &p, const QString &audio, const QString &address);
    // The audio moved since the bookmark was set: the book's folder on the
    // drive the page names, then on every other drive or volume.
    QString searchMoved(const QString &audio);
    void holdChaining();

    Uses u;
    qint16 nPendingMarker = 0;
    QString pendingDescription_; // of the bookmark nPendingMarker names
};

} // namespace qyr
