#pragma once
// Reading a DAISY book: the phrases in reading order through the player, a
// run of touching clips of one audio file straight through without a seek;
// the phrase being read followed as the audio plays; moving by heading (at a
// chosen level), print page and phrase, every move said. A move always
// starts the reading at its place, also from a pause. What is shown of the
// book is the view's (daisytext.h), which follows the signals below: the
// reading never calls it.
#include "../platform/controls.h"
#include "../platform/result.h"
#include "../platform/signal.h"

#include <QHash>
#include <QString>
#include <utility>

namespace qyr {

class ErrorReporter;
class IEventPump;
class IDialogs;
class PlayerSlot;
class Feedback;
class Books;
class ISpeech;
class IDaisyReader;
namespace daisy {
class Book;
}

class DaisyReading {
public:
    // What it works with.
    struct Uses {
        ErrorReporter &er;
        IEventPump &pump; // lets the player take a new file before the seek
        IDialogs &dialogs;
        PlayerSlot &player;
        Feedback &feedback;
        Books &books;
        TimerModel &TimerDaisy;      // follows the audio while it plays
        TextBox &TextAvantiIndietro; // the skip length, in seconds
        // Reads aloud the phrases that have text and no audio; none: their
        // text is shown and marked, and the keys move the mark.
        ISpeech *speech = nullptr;
        IDaisyReader *texts = nullptr; // the words of a text file's phrases, for the voice
    };

    explicit DaisyReading(Uses uses);

    // The open book is a DAISY book.
    bool active() const;
    // The book has been opened: its view shown (Moved), its problems said once,
    // the reading started at the place saved (a phrase's name as phraseName()
    // gives it, and the book's time) or, without one, at its first phrase.
    void start(const QString &place = QString(), double at = 0);

    // The keys.
    void nextHeading();
    void previousHeading();
    void cycleLevel();
    void nextPage();
    void previousPage();
    void nextPhrase();
    void previousPhrase();
    void whereAmI();
    // Ctrl+1 / Ctrl+2: the skip length back or forward in the book's time,
    // across phrases and files as if the book were one recording.
    Result<Done> skip(bool forward); // refused when the skip length is not a number
    // Ctrl+G: a print page, asked for, exactly at its marker.
    void goToPage();
    // Ctrl+T: a time of the whole book, asked for.
    void goToTime();
    // A phrase the reader chose (a link of the book's text), said as Ctrl+Shift+2 says it.
    void goToPhrase(int phrase);
    // Ctrl+I: the contents, and F1: the program's help page, asked of the
    // view; each stays on show while the reading goes on, until the reader's next move.
    void contents();
    void help();
    void goToHeading(int heading);
    // A bookmark's place: the phrase (as phraseName() names it) and the
    // book's time; a phrase the book no longer has is found by the time.
    void recall(const QString &phrase, double at);
    // The audio file of the phrase being read, as on disk ("" before any).
    QString audioName() const;

    // The phrase being read has no audio: it is the voice's, and the
    // player's keys act on the voice.
    bool voiceReading() const;
    // Ctrl+3 on such a phrase: the voice paused, or resumed (from the
    // phrase's start); standing still (the reading off), it reads on.
    void pauseVoice();
    // Ctrl+4 on such a phrase: the voice stops, the mark stays.
    void stopVoice();
    // The reading was switched off or on (Ctrl+0): the voice stops, or
    // reads on from the phrase marked.
    void readingSwitched();

    // The player's state changed (8: the media ended).
    void playerState(qint32 mode);
    // The timer's beat: the phrase being read follows the audio.
    void follow();

    // Where the reading is, as the automation channel reports it.
    int phrase() const { return phrase_; }
    int level() const { return level_; }
    QString headingText() const;
    QString pageLabel() const;
    QString phraseName() const;
    double bookTime();
    QString formatName() const;

    // Times as the reader hears them, as spokenTime says them.
    static QString clock(double seconds);
    // A time as the reader types it: hh:mm:ss, mm:ss, or minutes (a comma
    // or a point before decimals). Negative when it is none of these.
    static double typedTime(const QString &text);
    // The address of a heading's link on the contents page, and back.
    static QString headingLink(int heading);
    static int headingOfLink(const QString &url);

    // For the view of the book: Moved when the reader moves the reading or
    // the book opens (the text follows the reading again); PageAsked when
    // the reader asks for "contents" or "help" (it stays until the next move).
    Signal<> Moved;
    Signal<const QString &> PageAsked;
    // A phrase handed to the voice: its words and its name.
    Signal<const QString &, const QString &> Voiced;

private:
    void reachedEnd(const daisy::Book &b);
    // The open DAISY book, none when the book open is another kind: each
    // command then does nothing.
    const daisy::Book *book() const;
    // voiceOn: the voice reads a phrase without audio even with the reading off
    // (it was already reading, or Ctrl+3 asked for it).
    void play(const daisy::Book &b, int phrase, double into = 0, bool voiceOn = false);
    int placeOf(const daisy::Book &b, const QString &name, double at, double &into) const;
    void go(int phrase, const QString &said, double into = 0);
    void goToPageMark(int page, const QString &none);
    QString audioPath(const daisy::Book &b, int phrase) const;
    // The voice reads the phrase (or stands on it: the reading off, no voice);
    // phrases without words are passed over.
    void speak(const daisy::Book &b, int phrase, bool evenIfOff = false);
    void voiceFinished();
    void silence();
    QString phraseText(const daisy::Book &b, int phrase);
    bool canSpeak() const;
    QString phraseCount(const daisy::Book &b) const;
    Uses u;
    enum class Voice { Silent, Speaking, Paused };
    Voice voice_ = Voice::Silent;
    bool noVoiceSaid_ = false;
    QString textsPath_;              // the text file whose words are below
    QHash<QString, QString> texts_;  // by element id
    int phrase_ = -1; // the phrase being read
    int runEnd_ = -1; // the last phrase of the run playing straight through
    int level_ = 0;   // 0: all levels
    bool ended_ = false;
    QString title_; // the book's title, still to be said
    // Since a seek, until the player reports a position near it: a position
    // read before then may still be the old one.
    bool settling_ = false;
    int settleTicks_ = 0;
    double target_ = 0;
};

} // namespace qyr
