#pragma once
// The open book: which folder it is, opening another one (from the command
// line at start, or chosen with Ctrl+O while reading), and the book the next
// start opens. Each book's bookmarks and resume point are its own (BookView).
#include "../platform/openbook.h"
#include "../platform/signal.h"

#include <QString>

#include <functional>
#include <utility>

namespace qyr {

class ErrorReporter;
class IDialogs;
class BookView;
class IFiles;
class IDaisyReader;
class IBookArchives;

// The folder of a book given as its folder or its "Index.htm" (any letter
// case); empty when there is no "Index.htm" there. With a DAISY reader, a
// DAISY book's folder (or its ncc.html or package) counts too; with archives,
// a zip holding a book, opened for reading in place (its path is the folder).
QString bookFolderOf(IFiles &files, const QString &folderOrIndex, IDaisyReader *daisy = nullptr,
                     IBookArchives *archives = nullptr);
// The book's own title: the first heading of its table of contents ("Il faro
// di Punta Lunga"), else that page's title, else its folder's name.
QString bookTitleOf(IFiles &files, const QString &folder);
// Why a folder is not a book (the text the reader is shown), or empty when it is one.
QString notABook(IFiles &files, const QString &folderOrIndex, IDaisyReader *daisy = nullptr,
                 IBookArchives *archives = nullptr);

class Books : public OpenBook {
public:
    // What it works with.
    struct Uses {
        ErrorReporter &er;
        IFiles &files;
        IDialogs &dialogs;
        BookView &view;
        // The player in use stops before another book is entered.
        std::function<void()> stopPlayer;
        IDaisyReader *daisy; // none: DAISY books cannot be read
        QString appFolder;   // the book opened first
        std::function<void(const QString &)> say;
        // The new book is entered (after Leaving has been raised).
        std::function<void()> entered;
        IBookArchives *archives = nullptr; // none: zipped books are not read
    };

    explicit Books(Uses uses);
    // Raised before another book is entered, so the place in the one being
    // left is kept.
    Signal<> Leaving;

    // The book given at start becomes the open one in the settings.
    void openAtStart();
    // Ctrl+O: asks for a folder and opens the book in it. The chooser refuses
    // a folder without a book and stays open on it, so the reader goes on looking.
    void chooseAndOpen();
    // Opens the book in the folder (or whose "Index.htm" is given) while
    // reading: the place in the book being left is saved first. A folder
    // with no book in it is refused with a message; false then.
    bool open(const QString &folderOrIndex);
    // The folder beside the open DAISY book that holds its next volume (the
    // same title or identifier, the next number of the same set), or empty.
    QString nextVolume() const;

private:
    void enter(const QString &folder);
    Uses u;
};

} // namespace qyr
