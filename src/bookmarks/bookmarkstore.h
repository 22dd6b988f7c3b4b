#pragma once
// The bookmark store: the records in the settings tree, one section per page,
// and the in-memory lists that mirror the bookmarks on show.
//
// A record in slot n of a page is three values of the page's section: n (the
// position in whole seconds), nNOME (the description) and nNOMEAUDIO (the
// audio file name). A section named after the page with "#" appended holds
// records waiting to be moved into the page.
//
// A DAISY book has no pages of its own: its bookmarks live in one section,
// "DAISY", at the exact place: n is the book's time in seconds to a tenth,
// written with a point, nNOMEAUDIO the audio file and nFRASE the phrase
// ("s1.smil#par2"), found again by name and, failing that, by the time.
#include "../platform/errorreport.h"
#include "../platform/errors.h"
#include "../platform/result.h"

#include <QSet>
#include <QString>
#include <vector>

#include "../platform/controls.h"
#include <utility>

namespace qyr {

class ErrorReporter;
class Settings;
class IFiles;
class IDialogs;
class PlayerSlot;
class Messages;
class Feedback;
class OpenBook;
class UrlHelpers;
class DaisyReading;

// The number of the failure "this key is already in the collection".
constexpr qint32 kKeyInCollection = 457;

// A keyed collection: items in the order added, reached by 1-based position;
// keys compare without regard to case. An item may also be added without a
// key, which keeps positions in step with a list when its key is already
// taken. A position outside the collection reaches nothing.
template <typename T>
class MarkerCollection {
public:
    int count() const { return int(entries_.size()); }
    bool contains(const QString &key) const { return keys_.contains(key.toCaseFolded()); }
    // Refused, and nothing added, when the key is taken.
    Result<Done> add(const T &item, const QString &key)
    {
        if (contains(key))
            return Failure{kKeyInCollection, QStringLiteral("La chiave \"%1\" è già presente nell'elenco").arg(key)};
        keys_.insert(key.toCaseFolded());
        entries_.push_back(Entry{key, true, item});
        return Done{};
    }
    void addUnkeyed(const T &item) { entries_.push_back(Entry{QString(), false, item}); }
    // The item at index, or null.
    const T *item(int index) const { return has(index) ? &at(index).item : nullptr; }
    // The key at index, or empty.
    QString key(int index) const { return has(index) ? at(index).key : QString(); }
    void remove(int index)
    {
        if (!has(index))
            return;
        const Entry &e = at(index);
        if (e.keyed)
            keys_.remove(e.key.toCaseFolded());
        entries_.erase(entries_.begin() + (index - 1));
    }
    void clear()
    {
        entries_.clear();
        keys_.clear();
    }

private:
    struct Entry {
        QString key;
        bool keyed;
        T item;
    };
    bool has(int index) const { return index >= 1 && index <= count(); }
    const Entry &at(int index) const { return entries_[size_t(index - 1)]; }
    std::vector<Entry> entries_;
    QSet<QString> keys_;
};

class BookmarkStore {
public:
    // What it works with.
    struct Uses {
        ErrorReporter &er;
        Settings &settings;
        IFiles &files;
        IDialogs &dialogs;
        PlayerSlot &player;
        Messages &msg;
        Feedback &feedback;
        const OpenBook &book;
        UrlHelpers &urls;
        DaisyReading &daisy;
        ListBox &ListMarkers;
        ListBox &lstapp;
    };

    explicit BookmarkStore(Uses uses) : u(std::move(uses)) {}

    // The bookmark last recalled or chosen, 1-based (0: none).
    qint16 current() const { return nCurrentMarker; }
    void setCurrent(qint16 n) { nCurrentMarker = n; }
    // One bookmark on or back, stopping at either end.
    void stepCurrent(bool next);

    // Where the bookmarks of the place being read are kept: the page on show,
    // or a DAISY book's own section.
    QString section();
    // The contents page of a book of pages is on show: its list is the whole
    // book's. Never in a DAISY book, whose text may be named "index.html".
    bool wholeBookShown();
    // The title of the DAISY book being read, whose list is the whole book's
    // bookmarks; empty for any other book.
    QString daisyTitle() const;
    // The place being read as the input box shows it.
    QString placeText();

    // Stores a bookmark of the page on show at position (whole seconds), with
    // the player's file name, after the highest slot in use, and lists it; in
    // a DAISY book, at the exact place being read.
    // A description already on the page is asked again through the input
    // box; description receives the text finally used.
    void AddMarcatore(QString &description, qint16 position);

    // The slot of the page (empty: the page on show) whose description is the
    // text after the first "-" of entry, or 0. Both arguments receive what
    // was used: the description looked for and the page key.
    qint16 MarcatoreCerca(QString &entry, QString &pageKey);

    // List loads the page's records into the lists and renumbers them from
    // slot 1; DeletePage deletes every record of the page; DeleteChosen
    // deletes the record selected in ListMarkers and reloads. pageKey empty:
    // the page on show. N > 0 numbers the page in the whole-book listing.
    enum class MarkerMode { List = 0, DeletePage = 1, DeleteChosen = 2 };
    void Marcatori(MarkerMode Mode, const QString &pageKey, qint32 N);

    // Deletes every record of every page in the list on show (the whole book
    // on the table of contents), in one write; how many were listed.
    int deleteListedPages();

    // The list afresh, as the page on show lists it when it opens: its own
    // bookmarks, or (wholeBook, the table of contents) every page of the
    // book, with or without bookmarks, numbered in the order listed.
    void listAsOpened(bool wholeBook);

    // Empties the collections and both list boxes; the store is untouched.
    void ClearMarcatori();

    // Deletes the bookmark of list entry index (0-based), found afresh inside
    // the write: another copy of the program may have deleted and renumbered
    // since the list was filled, and the slot may now hold another one.
    enum class Removal { None, Deleted, Gone };
    Removal removeChosen(int index);

    // Drops entry index (0-based) of the whole-book listing from the
    // collections and the list boxes, so that later entries keep their page.
    void removeListed(int index);

    // Bookmark key to position in seconds, and to the section of the record;
    // item p belongs to list entry p - 1.
    MarkerCollection<double> oMarkers;
    MarkerCollection<QString> oMarkersIndex;

    // Value names of slot n.
    static QString positionName(int n) { return QString::number(n); }
    static QString descriptionName(int n) { return QString::number(n) + QStringLiteral("NOME"); }
    static QString audioName(int n) { return QString::number(n) + QStringLiteral("NOMEAUDIO"); }
    static QString phraseName(int n) { return QString::number(n) + QStringLiteral("FRASE"); }
    static QString daisySection() { return QStringLiteral("DAISY"); }
    // A stored position: the locale's number or one written with a point.
    static bool readPosition(const QString &text, double *seconds);
    // What a read returns for an absent value.
    static QString absent() { return QStringLiteral("vuoto"); }
    static constexpr int kSlots = 100;

private:
    Result<Done> addRecord(QString &description, qint16 position);
    Result<bool> uniqueDescription(const QString &section, QString &description);
    struct Record {
        QString section; // where it is now
        int slot;
        QString name, pos, audio;
        QString phrase;        // a DAISY book's
        bool repaired = false; // its position was missing or unusable
    };
    // Where the record behind each list entry lives: a deletion by list
    // position always reaches the record shown, even when a renumbering could
    // not be written.
    Result<int> storeInFreeSlot(const QString &section, const Record &r);
    QString timeText(double seconds);
    struct Listed {
        QString section;
        int slot;
        QString name; // the description the list shows
    };

    void load(const QString &page, const QString &listedPage, qint32 N);
    void deletePage(const QString &page);
    void deletePageRecords(const QString &page);
    void deleteSelected();
    QList<Record> readRecords(const QString &section);
    static Result<Done> checkPosition(Record &r, StepLabel &step);
    static bool fitInSlots(QList<Record> &records, const QString &page);
    bool renumber(const QString &page, const QList<Record> &records, bool stagedLeft, StepLabel &step);
    void deleteRecord(const QString &section, int slot);
    void removeSection(const QString &section);
    QString get(const QString &section, const QString &name, const QString &def);
    void save(const QString &section, const QString &name, const QString &value);

    Uses u;
    qint16 nCurrentMarker = 0;
    std::vector<Listed> listed_;
};

} // namespace qyr
