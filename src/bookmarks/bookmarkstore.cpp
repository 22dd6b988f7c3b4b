#include "bookmarkstore.h"
#include "../dialogs/inputbox.h"
#include "../navigation/daisyreading.h"
#include "../navigation/urlhelpers.h"
#include "../platform/bookpath.h"
#include "../platform/convert.h"
#include "../platform/dialogs.h"
#include "../platform/errorreport.h"
#include "../platform/errors.h"
#include "../platform/files.h"
#include "../platform/openbook.h"
#include "../platform/registry.h"
#include "../services/feedback.h"
#include "../services/messages.h"
#include "../services/playerslot.h"
#include "../services/settings.h"
#include "../services/spokentime.h"

#include <QLocale>
#include <algorithm>
#include <cmath>
#include <limits>

namespace qyr {

namespace {

const QString kTitle = QStringLiteral("Segnalibri");

// A position the lists and the player can use: a number, not negative, that
// fits the 32-bit time text.
bool usablePosition(const QString &pos)
{
    double v = 0;
    return BookmarkStore::readPosition(pos, &v) && v >= 0 && v <= double(std::numeric_limits<qint32>::max());
}

// The file name alone, whichever separator the player's path uses.
QString fileNameOnly(const QString &path)
{
    const int cut = std::max(path.lastIndexOf(QLatin1Char('\\')), path.lastIndexOf(QLatin1Char('/')));
    return path.mid(cut + 1);
}

// Adds under key; when the key is taken the item is still added, without a
// key, so the collection stays in step with the list, and the refusal comes
// back for the caller to report.
template <typename T>
Result<Done> addInStep(MarkerCollection<T> &c, const T &item, const QString &key, const QString &description)
{
    if (c.add(item, key))
        return Done{};
    c.addUnkeyed(item);
    return Failure{kKeyInCollection,
                   QStringLiteral("Nella stessa pagina c'è più di un segnalibro \"%1\" (maiuscole e minuscole non "
                                  "contano): sono conservati tutti, ma conviene cambiarne la descrizione.")
                       .arg(description)};
}

// Reports under step a refusal handed back; the pass goes on.
void reportRefusal(ErrorReporter &er, const StepLabel &step, const Result<Done> &r)
{
    if (!r)
        er.report(step.text(), r.failure());
}

} // namespace

QString BookmarkStore::get(const QString &section, const QString &name, const QString &def)
{
    return u.settings.Get(programName(), section, name, def);
}

void BookmarkStore::save(const QString &section, const QString &name, const QString &value)
{
    u.settings.Save(programName(), section, name, value);
}

// A point is read as the decimal point whatever the locale: an exported file
// carries a DAISY place from one computer to another.
bool BookmarkStore::readPosition(const QString &text, double *seconds)
{
    bool ok = false;
    const double v = QLocale::c().toDouble(text.trimmed(), &ok);
    if (ok && std::isfinite(v)) {
        *seconds = v;
        return true;
    }
    const Result<double> local = conv::tryDouble(text);
    if (!local)
        return false;
    *seconds = *local;
    return true;
}

QString BookmarkStore::section() { return u.daisy.active() ? daisySection() : u.urls.Section(); }

bool BookmarkStore::wholeBookShown() { return !u.daisy.active() && u.urls.onIndexPage(); }

QString BookmarkStore::daisyTitle() const { return u.daisy.active() ? u.book.title() : QString(); }

QString BookmarkStore::placeText()
{
    return u.daisy.active() ? spokenTime(u.daisy.bookTime()) : u.feedback.positionText();
}

// A page's time in whole seconds (halves to even), a DAISY book's as it is.
QString BookmarkStore::timeText(double seconds)
{
    return spokenTime(u.daisy.active() ? seconds : conv::roundHalfEven(seconds));
}

void BookmarkStore::AddMarcatore(QString &description, qint16 position)
{
    const QString name = QStringLiteral("AddMarcatore - ") + u.msg.strMsgMarkExist;
    Guard(u.er, name, [&] {
        if (const Result<Done> added = addRecord(description, position); !added)
            u.er.report(name, added.failure());
    });
}

// Refused when the description is already on the page or in the list.
Result<Done> BookmarkStore::addRecord(QString &description, qint16 position)
{
    const QString section = this->section();
    Record r{section, 0, QString(), QString::number(position), QString(), QString()};
    if (u.daisy.active()) {
        u.daisy.follow(); // the phrase where the audio is now
        // To a tenth of a second, so the recall lands where the reader was.
        r.pos = QString::number(std::round(u.daisy.bookTime() * 10) / 10, 'f', 1);
        r.audio = u.daisy.audioName();
        r.phrase = u.daisy.phraseName();
    } else if (u.player.oPlayer) {
        r.audio = fileNameOnly(u.player.oPlayer->FileName());
    }
    description = description.trimmed();
    if (description.isEmpty() || section.isEmpty())
        return Done{};
    const Result<bool> unique = uniqueDescription(section, description);
    if (!unique)
        return unique.failure();
    if (!*unique)
        return Done{};
    if (oMarkers.contains(description))
        return Failure{kKeyInCollection, QStringLiteral("Nell'elenco c'è già un segnalibro che differisce da \"%1\" "
                                                        "solo per maiuscole o minuscole.")
                                             .arg(description)};
    r.name = description;
    const Result<int> slot = storeInFreeSlot(section, r);
    if (!slot)
        return slot.failure();
    if (*slot == 0)
        return Done{}; // the page is full
    double at = 0;
    readPosition(r.pos, &at);
    if (const Result<Done> listed = oMarkers.add(at, description); !listed)
        return listed;
    u.ListMarkers.addItem(timeText(at) + QStringLiteral("\t - ") + description);
    listed_.push_back(Listed{section, *slot, description});
    return Done{};
}

// A description already on the page is retyped by the reader first. False
// when the reader gave up (or the description cannot be used); refused when
// the reader typed the same description again.
Result<bool> BookmarkStore::uniqueDescription(const QString &section, QString &description)
{
    for (int n = 1; n <= kSlots; ++n) {
        if (n == 1 && description == absent()) {
            // Stored, it would read as an empty slot and vanish at the next load.
            u.dialogs.message(kTitle,
                              QStringLiteral("La descrizione \"vuoto\" non si può usare per un "
                                             "segnalibro: il segnalibro non è stato aggiunto."),
                              Buttons::Ok, Icon::Warning);
            return false;
        }
        const QString v = get(section, descriptionName(n), absent());
        if (v != description)
            continue;
        frmInputBox box(u.dialogs);
        box.setTitle(QStringLiteral("Attenzione! Segnalibro già esistente, cambia il testo della descrizione"));
        box.Label1.setCaption(QStringLiteral("Il segnalibro inserito esiste già, modifica la descrizione:"));
        box.txtInput.setText(description);
        box.Display();
        const QString typed = box.txtInput.text().trimmed();
        if (typed.isEmpty())
            return false;
        if (typed == v)
            return Failure{kKeyInCollection, QStringLiteral("Nella pagina c'è già un segnalibro \"%1\".").arg(typed)};
        description = typed;
        n = 0; // scan again from slot 1
    }
    return true;
}

// The slot is chosen inside the write: another copy of the program on the
// same settings may have filled one since the scan. The slot used, or 0 when
// the page is full (the reader is told); refused when the description is
// there by then.
Result<int> BookmarkStore::storeInFreeSlot(const QString &section, const Record &r)
{
    const QString &description = r.name;
    int slot = 0;
    bool taken = false;
    u.settings.transaction([&] {
        int used = 0;
        for (int n = 1; n <= kSlots && !taken; ++n) {
            const QString v = get(section, descriptionName(n), absent());
            if (v != absent())
                used = n;
            taken = v == description;
        }
        slot = used + 1;
        if (taken || slot > kSlots)
            return;
        // The values land together or not at all.
        save(section, positionName(slot), r.pos);
        save(section, descriptionName(slot), description);
        save(section, audioName(slot), r.audio.trimmed());
        if (!r.phrase.isEmpty())
            save(section, phraseName(slot), r.phrase);
    });
    if (taken)
        return Failure{kKeyInCollection, QStringLiteral("Nella pagina c'è già un segnalibro \"%1\".").arg(description)};
    if (slot <= kSlots)
        return slot;
    u.dialogs.message(kTitle,
                      QStringLiteral("Questa pagina ha già %1 segnalibri, il numero massimo: il nuovo "
                                     "segnalibro non è stato aggiunto. Cancellane uno per poterne "
                                     "aggiungere un altro.")
                          .arg(kSlots),
                      Buttons::Ok, Icon::Warning);
    return 0;
}

qint16 BookmarkStore::MarcatoreCerca(QString &entry, QString &pageKey)
{
    return GuardValue<qint16>(u.er, QStringLiteral("MarcatoreCerca"), 0, [&](qint16 &slot) {
        // A list entry is the time, " - " and the description: the time text
        // holds no "-", so what follows the first one is the description.
        const int dash = entry.indexOf(QLatin1Char('-'));
        entry = (dash >= 0 ? entry.mid(dash + 1) : entry).trimmed();
        if (pageKey.isEmpty())
            pageKey = section();
        if (pageKey.isEmpty())
            return;
        const QString section = UrlHelpers::pageKey(pageKey);
        for (int n = 1; n <= kSlots; ++n) {
            if (get(section, descriptionName(n), absent()) == entry) {
                slot = qint16(n);
                return;
            }
        }
    });
}

void BookmarkStore::Marcatori(MarkerMode Mode, const QString &pageKey, qint32 N)
{
    // A page listed by the contents page is named by its path ("Libro/p2.html"):
    // its records are filed under its key, and the list keeps the path to go to.
    const QString page = pageKey.isEmpty() ? section() : UrlHelpers::pageKey(pageKey);
    if (page.isEmpty())
        return;
    switch (Mode) {
    case MarkerMode::List: load(page, pageKey.isEmpty() ? page : pageKey, N); break;
    case MarkerMode::DeletePage: deletePage(page); break;
    case MarkerMode::DeleteChosen: deleteSelected(); break;
    }
}

QList<BookmarkStore::Record> BookmarkStore::readRecords(const QString &section)
{
    // The section is read once and its slots looked up in what came back:
    // the same answers as one read per value with its default, but the table
    // of contents reads every page of the book this way.
    QHash<QString, QString> stored;
    for (const RegValue &v : u.settings.registry().values(Settings::keyPath(programName(), section)))
        stored.insert(v.name.toUpper(), v.text());
    auto read = [&](const QString &name, const QString &def) { return stored.value(name.toUpper(), def); };
    QList<Record> out;
    for (int n = 1; n <= kSlots; ++n) {
        const QString name = read(descriptionName(n), absent());
        if (name == absent())
            continue;
        out.append(Record{section, n, name, read(positionName(n), absent()), read(audioName(n), QString()),
                          read(phraseName(n), QString())});
    }
    return out;
}

// A record whose position is missing or unusable (damaged or hand-edited
// data) is kept, with position 0, and the reader is told, under the step
// the repair names; nothing else of it changes.
Result<Done> BookmarkStore::checkPosition(Record &r, StepLabel &step)
{
    if (r.pos == absent()) {
        step.label = QStringLiteral("Inizio Caricamento");
        r.pos = QStringLiteral("0");
        r.repaired = true;
        return Failure{err::InvalidPropertyValue,
                       QStringLiteral("Il segnalibro \"%1\" non ha una posizione: è conservato con la posizione 00:00.")
                           .arg(r.name)};
    }
    if (!usablePosition(r.pos)) {
        step.label = QStringLiteral("Caricamento nelle liste oMarkers");
        const QString bad = r.pos;
        r.pos = QStringLiteral("0");
        r.repaired = true;
        return Failure{err::TypeMismatch, QStringLiteral("La posizione \"%1\" del segnalibro \"%2\" non è valida: il "
                                                         "segnalibro è conservato con la posizione 00:00.")
                                              .arg(bad, r.name)};
    }
    return Done{};
}

void BookmarkStore::load(const QString &page, const QString &listedPage, qint32 N)
{
    StepLabel step{QStringLiteral("Marcatori Mode = 0 --> "), QString()};
    const QString staging = page + QLatin1Char('#');

    // Everything is read before anything is written: a store that cannot be
    // read moves and lists nothing.
    QList<Record> records;
    const bool read = Guard(u.er, step, [&] {
        records = readRecords(page) + readRecords(staging);
        std::stable_sort(records.begin(), records.end(),
                         [](const Record &a, const Record &b) { return a.slot < b.slot; });
    });
    if (!read)
        return;
    const bool stagedLeft = fitInSlots(records, page);
    for (Record &r : records)
        reportRefusal(u.er, step, checkPosition(r, step));

    const bool renumbered = renumber(page, records, stagedLeft, step);

    const QString key =
        N > 0 ? QStringLiteral("-%NUMERO%-").replace(QStringLiteral("%NUMERO%"), QString::number(N)) : QString();
    for (int i = 0; i < records.size(); ++i) {
        const Record &r = records[i];
        const QString section = renumbered ? page : r.section;
        const int slot = renumbered ? i + 1 : r.slot;
        double pos = 0;
        readPosition(r.pos, &pos);
        step.label = QStringLiteral("Caricamento nelle liste oMarkers");
        reportRefusal(u.er, step, addInStep(oMarkers, pos, key + r.name, r.name));
        step.label = QStringLiteral("Caricamento nelle liste oMarkersIndex");
        reportRefusal(u.er, step, addInStep(oMarkersIndex, listedPage, key + r.name, r.name));
        step.label = QStringLiteral("Caricamento nelle liste ListMarkers");
        Guard(u.er, step, [&] {
            const QString time = timeText(pos);
            if (N > 0) {
                u.ListMarkers.addItem(time + QStringLiteral(" - ") + r.name);
                u.lstapp.addItem(section + QLatin1Char('*') + QString::number(slot));
            } else {
                u.ListMarkers.addItem(time + QStringLiteral("\t - ") + r.name);
            }
            listed_.push_back(Listed{section, slot, r.name});
        });
    }
}

// The page keeps every record of its own; staged records take the slots left,
// and those that find none wait in their section. True when some wait.
bool BookmarkStore::fitInSlots(QList<Record> &records, const QString &page)
{
    qsizetype room =
        kSlots - std::count_if(records.begin(), records.end(), [&](const Record &r) { return r.section == page; });
    QList<Record> kept;
    for (const Record &r : std::as_const(records))
        if (r.section == page || room-- > 0)
            kept.append(r);
    const bool left = kept.size() < records.size();
    records = kept;
    return left;
}

// Moves the records to slots 1 to k of the page, in their order, as one
// unit: either every record is in its new place, or none has moved. No record
// is ever written over another. False when the store refused the rewrite.
bool BookmarkStore::renumber(const QString &page, const QList<Record> &records, bool stagedLeft, StepLabel &step)
{
    auto moves = [&](int i) {
        const Record &r = records[i];
        return r.section != page || r.slot != i + 1 || r.repaired;
    };
    bool needed = false;
    bool staged = false;
    for (int i = 0; i < records.size(); ++i) {
        needed = needed || moves(i);
        staged = staged || records[i].section != page;
    }
    if (!needed)
        return true;
    return Guard(u.er, step, [&] {
        u.settings.transaction([&] {
            step.label = QStringLiteral("Cancellazione Markers per riordino");
            for (int i = 0; i < records.size(); ++i)
                if (moves(i))
                    deleteRecord(records[i].section, records[i].slot);
            for (int i = 0; i < records.size(); ++i) {
                if (!moves(i))
                    continue;
                const Record &r = records[i];
                step.label = QStringLiteral("Salvataggio Markers per riordino");
                save(page, positionName(i + 1), r.pos);
                step.label = QStringLiteral("Salvataggio Markers2 per riordino");
                save(page, descriptionName(i + 1), r.name);
                step.label = QStringLiteral("Salvataggio Markers3 per riordino");
                save(page, audioName(i + 1), r.audio);
                if (!r.phrase.isEmpty())
                    save(page, phraseName(i + 1), r.phrase);
            }
            if (staged && !stagedLeft)
                removeSection(page + QLatin1Char('#'));
        });
    });
}

void BookmarkStore::deleteRecord(const QString &section, int slot)
{
    u.settings.Delete(programName(), section, positionName(slot));
    u.settings.Delete(programName(), section, descriptionName(slot));
    // Older records may have no audio value; only a DAISY book's have a phrase.
    IgnoreFailure([&] { u.settings.Delete(programName(), section, audioName(slot)); });
    IgnoreFailure([&] { u.settings.Delete(programName(), section, phraseName(slot)); });
}

// The section and its values; a section that other sections sit below (a
// page key that is also a folder's name) only loses its own values.
void BookmarkStore::removeSection(const QString &section)
{
    IRegistry &reg = u.settings.registry();
    const QString key = Settings::keyPath(programName(), section);
    if (!reg.keyExists(key))
        return;
    if (reg.subKeys(key).isEmpty()) {
        reg.deleteKey(key);
        return;
    }
    for (const RegValue &v : reg.values(key))
        reg.deleteValue(key, v.name);
}

void BookmarkStore::deletePage(const QString &page)
{
    StepLabel step{QStringLiteral("Marcatori Mode = 1 --> "), QString()};
    Guard(u.er, step, [&] { u.settings.transaction([&] { deletePageRecords(page); }); });
}

// The page's own records and those waiting to move into it.
void BookmarkStore::deletePageRecords(const QString &page)
{
    for (const QString &section : {page, page + QLatin1Char('#')}) {
        for (int n = 1; n <= kSlots; ++n)
            if (get(section, descriptionName(n), absent()) != absent())
                deleteRecord(section, n);
        removeSection(section);
    }
}

int BookmarkStore::deleteListedPages()
{
    QStringList pages;
    for (const Listed &l : listed_) {
        QString page = l.section;
        if (page.endsWith(QLatin1Char('#')))
            page.chop(1);
        if (!pages.contains(page, Qt::CaseInsensitive))
            pages << page;
    }
    const int listed = int(listed_.size());
    // All or nothing: a failure leaves every bookmark where it was.
    u.settings.transaction([&] {
        for (const QString &page : std::as_const(pages))
            deletePageRecords(page);
    });
    return listed;
}

void BookmarkStore::deleteSelected()
{
    StepLabel step{QStringLiteral("Marcatori Mode = 2 --> "), QString()};
    Removal removal = Removal::None;
    const bool done = Guard(u.er, step, [&] { removal = removeChosen(u.ListMarkers.listIndex()); });
    if (!done || removal == Removal::None)
        return;
    ClearMarcatori();
    Marcatori(BookmarkStore::MarkerMode::List, QString(), 0);
}

BookmarkStore::Removal BookmarkStore::removeChosen(int index)
{
    if (index < 0 || size_t(index) >= listed_.size())
        return Removal::None;
    const Listed chosen = listed_[size_t(index)];
    Removal removal = Removal::Gone;
    u.settings.transaction([&] {
        int slot = get(chosen.section, descriptionName(chosen.slot), absent()) == chosen.name ? chosen.slot : 0;
        for (int n = 1; slot == 0 && n <= kSlots; ++n)
            if (get(chosen.section, descriptionName(n), absent()) == chosen.name)
                slot = n;
        if (slot > 0) {
            deleteRecord(chosen.section, slot);
            removal = Removal::Deleted;
        }
    });
    return removal;
}

void BookmarkStore::listAsOpened(bool wholeBook)
{
    ClearMarcatori();
    if (!wholeBook) {
        Marcatori(BookmarkStore::MarkerMode::List, QString(), 0);
        return;
    }
    qint32 n = 1;
    for (const QString &folder : u.files.folders(u.book.folder())) {
        if (folder.toUpper() == QLatin1String("INCLUDE"))
            continue;
        for (const QString &file : u.files.files(joinPath(u.book.folder(), folder))) {
            Marcatori(BookmarkStore::MarkerMode::List, folder + QLatin1Char('/') + file, n);
            ++n;
        }
    }
}

void BookmarkStore::ClearMarcatori()
{
    Guard(u.er, QStringLiteral("ClearMarcatori"), [&] {
        oMarkers.clear();
        oMarkersIndex.clear();
        nCurrentMarker = 0;
        u.ListMarkers.clear();
        u.lstapp.clear();
        listed_.clear();
    });
}

void BookmarkStore::removeListed(int index)
{
    u.lstapp.removeItem(index);
    u.ListMarkers.removeItem(index);
    if (index + 1 <= oMarkers.count())
        oMarkers.remove(index + 1);
    if (index + 1 <= oMarkersIndex.count())
        oMarkersIndex.remove(index + 1);
    if (index >= 0 && size_t(index) < listed_.size())
        listed_.erase(listed_.begin() + index);
    // The current bookmark keeps pointing at the same entry.
    if (nCurrentMarker > index + 1)
        --nCurrentMarker;
    nCurrentMarker = qint16(std::min<int>(nCurrentMarker, oMarkers.count()));
}

void BookmarkStore::stepCurrent(bool next)
{
    // No wrap-around: at either end the same bookmark is recalled again.
    if (next && nCurrentMarker < oMarkers.count())
        ++nCurrentMarker;
    if (!next && nCurrentMarker > 1)
        --nCurrentMarker;
    if (nCurrentMarker == 0)
        nCurrentMarker = 1;
}

} // namespace qyr
