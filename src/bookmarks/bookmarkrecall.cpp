#include "bookmarkrecall.h"
#include "../platform/bookpath.h"
#include "../platform/convert.h"
#include "../shell/frmbrowser.h"

#include <algorithm>

namespace qyr {

namespace {

const QChar kBackslash = QLatin1Char('\\');

QString value(frmBrowser &f, const QString &section, const QString &name, const QString &def)
{
    return f.settings.Get(f.strAppName, section, name, def);
}

} // namespace

// The old file's end-of-media events must not chain to other audio while the
// bookmark's file takes its place.
void BookmarkRecall::holdChaining()
{
    f.audio.holdChaining(true);
    f.TimerDisableState.setEnabled(true);
}

QString BookmarkRecall::pageFolder(const QString &address) { return folderOf(pathFromAddress(address)); }

void BookmarkRecall::MarcatoriRichiama(qint16 n)
{
    Guard(f.er, QStringLiteral("MarcatoriRichiama"), [&] {
        IBrowser &wb = f.ports.browser;
        const QString address = wb.locationURL();
        const bool index = address.toUpper().right(20).contains(QLatin1String("INDEX.HTM"));
        const QString loaded = f.oPlayer ? f.oPlayer->FileName() : QString();
        if ((loaded.isEmpty() && !index) || f.ListMarkers.listCount() < 1)
            return;

        qint16 slot = n;
        QString entry = f.ListMarkers.itemText(f.ListMarkers.listIndex());
        if (slot == 0 && index) {
            // Whole-book listing: the entry's page is opened first. Without a
            // current entry there is nothing to recall.
            const int current = f.marks.current();
            if (current >= 1 && current <= f.marks.oMarkersIndex.count()) {
                QString page = f.marks.oMarkersIndex.item(current);
                slot = f.marks.MarcatoreCerca(entry, page);
                if (slot > 0) {
                    nPendingMarker = slot;
                    // The page renumbers its records as it opens: the
                    // bookmark is found again there by what the reader chose.
                    pendingDescription_ = entry;
                    wb.navigate(joinPath(f.books.folder(), page));
                    f.fraMarcatori.setVisible(false);
                    f.objwb.setVisible(true);
                    return;
                }
            }
            nPendingMarker = 0;
            pendingDescription_.clear();
        } else if (slot == 0) {
            QString page;
            slot = f.marks.MarcatoreCerca(entry, page);
        }
        if (slot > 0)
            play(slot, address);
        f.fraMarcatori.setVisible(false);
        f.objwb.setVisible(true);
    });
}

void BookmarkRecall::completePending()
{
    const qint16 slot = std::exchange(nPendingMarker, qint16(0));
    QString description = std::exchange(pendingDescription_, QString());
    if (slot == 0)
        return;
    QString page;
    const qint16 now = f.marks.MarcatoreCerca(description, page);
    if (now > 0)
        MarcatoriRichiama(now);
    else // deleted meanwhile (by another copy of the program)
        f.feedback.OSD(QStringLiteral("Segnalibro non trovato: ") + description, false);
}

void BookmarkRecall::play(qint16 slot, const QString &address)
{
    oEkoPlayer &p = f.player();
    p.Stop_Player();
    f.ports.pump.processEvents();
    const QString section = f.urls.Section();
    const QString audio = value(f, section, BookmarkStore::audioName(slot), BookmarkStore::absent());
    const auto position = [&] { return conv::toDouble(value(f, section, BookmarkStore::positionName(slot), QStringLiteral("0"))); };
    if (audio == BookmarkStore::absent()) {
        // A record without audio: positioned, not played.
        p.setCurrentPosition(position());
        return;
    }

    p.setAutoStart(true);
    // Found where the page finds its own audio.
    const QString candidate = audio.isEmpty() ? QString() : f.audio.locate(audio, pageFolder(address));

    // From the search on, a failure is skipped and the recall goes on.
    bool searching = false;
    auto run = [&](auto &&statement) {
        if (searching)
            IgnoreFailure(statement);
        else
            statement();
    };
    if (candidate.isEmpty()) {
        searching = true;
        // Nothing found anywhere: the player keeps its file.
        QString found;
        IgnoreFailure([&] { found = searchMoved(audio); });
        if (!found.isEmpty()) {
            run([&] { p.setFileName(found); });
            f.audio.followFile(audio);
        }
    } else {
        p.setFileName(candidate);
        f.ports.pump.processEvents();
        holdChaining();
        // The page's next audio follows the one recalled, not the one that
        // was playing before.
        f.audio.followFile(audio);
    }
    run([&] { p.setRate(f.feedback.PlayerRate()); });
    run([&] { p.setCurrentPosition(position()); });
    run([&] {
        f.feedback.OSD(value(f, section, BookmarkStore::descriptionName(slot), QStringLiteral("Marcatore non identificato")),
                       false);
    });
    run([&] { f.ports.pump.processEvents(); });
    run([&] { p.Play_Player(); });
    run([&] { holdChaining(); });
}

QString BookmarkRecall::searchMoved(const QString &audio)
{
    if (audio.isEmpty())
        return QString();
    // The page's folder within the book: LIBRO for LIBRO\CAPITOLO1.HTM.
    QString pg = f.urls.Section();
    const int cut = pg.lastIndexOf(kBackslash);
    if (cut >= 0)
        pg.truncate(cut);

    // The drive the page's own audio element names is tried first.
    QString content;
    IgnoreFailure([&] { content = f.ports.browser.element(QStringLiteral("QYRPLAYER_AUDIO")).content; });
    QStringList roots;
    if (!content.isEmpty() && content.trimmed().size() > 3 && content.mid(1, 2) == QLatin1String(":\\"))
        roots << content.left(1) + QLatin1Char(':');
    roots << f.ports.files.volumes();

    for (const QString &root : roots) {
        for (const QString &candidate :
             {root + kBackslash + pg + kBackslash + audio, root + QStringLiteral("\\Libro\\") + audio}) {
            bool found = false;
            IgnoreFailure([&] { found = f.ports.files.fileExists(candidate); });
            if (found)
                return candidate;
        }
    }
    return QString();
}

} // namespace qyr
