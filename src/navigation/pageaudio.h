#pragma once
// The page's audio: resolves the file an element names, hands it to the
// player and chains to the next audio and the next page.
#include <QString>
#include <optional>

#include "../platform/controls.h"
#include <utility>

namespace qyr {

class ErrorReporter;
class IBrowser;
class IFiles;
class IEventPump;
class PlayerSlot;
class PlayerSettings;
class Feedback;
class OpenBook;
class oEkoPlayer;
struct StepLabel;

enum class AudioChoice { OfPage, Next, Previous };

class PageAudio {
public:
    // What it works with.
    struct Uses {
        ErrorReporter &er;
        IBrowser &browser;
        IFiles &files;
        IEventPump &pump;
        PlayerSlot &player;
        PlayerSettings &prefs;
        Feedback &feedback;
        const OpenBook &book;
        TextBox &TxtDebFilename;
    };

    explicit PageAudio(Uses uses) : u(std::move(uses)) {}

    // The address a link gives to reload the page and read on from the same
    // place (the style sheet key does the same).
    static const QString &reloadAddress();
    // The setting that keeps which audio of the saved page was being read
    // (its number among the page's audio elements).
    static const QString &resumeAudioKey();

    const QString &element() const { return oAudioElem; }
    qint32 audioIndex() const { return nAudioIndex; }
    // Where the page's reading stands: the next and previous audio go on from it.
    void setAudioIndex(qint32 index) { nAudioIndex = index; }
    bool resumePending() const { return bResumePending; }
    // The reading goes on from the page's audio element that names this file
    // (a recalled bookmark's audio), so that the page's next audio follows
    // it. False, and nothing changed, when no element of the page names it.
    bool followFile(const QString &fileName);
    // The page about to open resumes the place of the last session.
    void expectResume(bool resume) { bResumePending = resume; }
    // While held, the end of a file does not start the next one (a bookmark
    // recall is loading its own).
    void holdChaining(bool hold) { bDisableState = hold; }
    bool chainingHeld() const { return bDisableState; }

    // Plays the audio of the page at address (OfPage: its first, or the one
    // a resume names), or the next or previous audio of the page shown (the
    // address is then empty); true when a file was found and handed to the
    // player. oAudioElem keeps the name of the element chosen.
    bool Playaudio(const QString &address, AudioChoice which);

    // Where the page's audio name is found (beside the page, in the book
    // folder, in its Libro folder, extension completed); empty if nowhere.
    QString locate(const QString &name, const QString &pageFolder);

    // Notes the file, position and audio element of the page on show, so that
    // the reload that follows (a new style sheet) goes on from there.
    void keepPlaceForReload();
    // The length of the file just handed to the player, once it has opened.
    double loadedDuration();

    // The facade's events.
    void oPlayer_PlayStateChange(qint32 NewMode);
    void oPlayer_PlayFileChange(const QString &NewFile);

private:
    QString content(const QString &elementName);
    QString nextPageBase();
    QString findAudio(const QString &name, const QString &pageFolder, bool &video, StepLabel &step);
    bool stepElement(bool next, StepLabel &step);
    bool chooseElement(bool next, bool previous, StepLabel &step);
    QString startPosition(const QString &address);
    static QString elementName(qint32 index);
    qint32 resumedIndex();
    bool resumeAfterReload(const QString &address);
    void resumeLastSession(bool quiet, StepLabel &step);
    void hand(const QString &path, bool video, const QString &positionText, StepLabel &step);

    struct Place {
        QString page, file, element;
        qint32 index = 0;
        double position = 0;
        bool playing = false;
    };
    std::optional<Place> reloadPlace_;

    Uses u;
    QString oAudioElem;          // the element of the audio being read
    qint32 nAudioIndex = 0;      // its number among the page's audio elements
    bool bResumePending = false; // the next page opened resumes the last session
    bool bDisableState = false;  // the end of a file does not chain for now

public:
    // Plays the video a link names. The page's audio it interrupts goes on
    // from where it was (same file, position and audio of the page) when the
    // video ends or the reader stops it.
    void playLinkVideo(const QString &file);

private:
    QString pageOnShow();
    bool resumeAfterVideo();

    struct Interrupted {
        QString page, video;        // the page shown and the video playing over it
        std::optional<Place> audio; // none: nothing was loaded before the video
    };
    std::optional<Interrupted> interrupted_;
};

} // namespace qyr
