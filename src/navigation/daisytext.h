#pragma once
// The views of a DAISY book while it is read, drawn here alone: the book's
// own text with the phrase being read marked and kept in view, the next
// content file shown as the reading passes into it; a book without text
// shows its contents with the heading being read marked. The contents and
// the program's help, which the reader asks for, stay on show whatever the
// reading does, until the next move. The mark never takes the keyboard or
// the screen reader's caret. The view follows the reading (its signals, its
// place); the reading knows nothing of it.
#include <QString>
#include <optional>
#include <utility>

namespace qyr {

class Control;
class IBrowser;
class IDaisyReader;
class IFiles;
class Books;
class DaisyReading;
class Feedback;

class DaisyText {
public:
    // What it works with.
    struct Uses {
        IBrowser &browser;
        IDaisyReader *daisy; // turns a DAISY 3 book's text into HTML; none: such a book shows its contents
        Books &books;
        DaisyReading &reading;
        IFiles &files;
        Feedback &feedback;
        Control &form;    // the window, named by the book's title while it is read
        QString helpPage; // the program's help page (a DAISY book has none of its own)
    };

    explicit DaisyText(Uses uses) : u(std::move(uses)) {}

    // The reader moved the reading, or the book opened: the text follows again.
    void moved();
    // The reader asked for "contents" or "help", shown now.
    void asked(const QString &page);
    // The timer's beat: the view follows the phrase being read.
    void follow();
    // A link of the book's text into its SMIL files (books often link their
    // headings and sentences so) moves the reading there instead of showing
    // the SMIL file: to the phrase it names, else to the file's first one.
    void beforeNavigate(const QString &url, bool &cancel);
    // A page has loaded. True when it is the book's text or a page of the
    // program's shown in the book, which the handling of the program's own
    // books (a page's audio, bookmarks, the reader's style sheet) leaves alone.
    bool pageLoaded(const QString &url);

    // What is on show: the content file (as on disk), "contents", "help",
    // or nothing of the book's.
    QString shown() const;
    // The id of a heading's line on the contents.
    static QString headingId(int heading);

private:
    enum class View { None, Text, Contents, Help };
    void showText(const QString &file);
    void showContents();
    void showHelp();
    // A body of the program's own, written over a blank page once it has
    // loaded; the blank page already shown is written over as it is.
    void show(const QString &bodyHtml, bool focus = false);
    void writeBody();
    void mark(const QString &id);
    void reset();
    Uses u;
    View view_ = View::None;
    bool asked_ = false;                // the contents or the help, asked for, stay
    bool hasText_ = false;              // some phrase of the book has text
    bool loading_ = false;              // a content file asked of the browser, not yet loaded
    bool started_ = false;              // the book's reading has begun
    QString file_;                      // the content file on show, as on disk
    QString path_;                      // and its path
    std::optional<QString> marked_;     // the id last marked; none: to be marked anew
    QString convertedPath_, converted_; // the last DAISY 3 text made into HTML
    // A body waiting for the blank page asked of the browser, and whether the
    // keyboard goes to it once written (a text, read from its start).
    std::optional<QString> pending_;
    bool focusPending_ = false;
};

} // namespace qyr
