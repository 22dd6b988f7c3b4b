#include "bookmarkrecall.h"
#include "../navigation/daisyreading.h"
#include "../navigation/pageaudio.h"
#include "../navigation/urlhelpers.h"
#include "../platform/bookpath.h"
#include "../platform/browser.h"
#include "../platform/convert.h"
#include "../platform/errorreport.h"
#include "../platform/errors.h"
#include "../platform/files.h"
#include "../platform/openbook.h"
#include "../platform/pump.h"
#include "../platform/registry.h"
#include "../services/feedback.h"
#include "../services/playerslot.h"
#include "../services/settings.h"
#include "bookmarkstore.h"

#include <algorithm>

namespace qyr {

namespace {

const QChar kBackslash = QLatin1Char('\\');

QString value(Settings &settings, const QString &section, const QString &name, const QString &def)
{
    return settings.Get(programName(), section, name, def);
}

} // namespace

// The old file's end-of-media events must not chain to other audio while the
// bookmark's file takes its place.
void BookmarkRecall::holdChaining()
{
    u.places.audio.holdChaining(true);
    u.controls.TimerDisableState.setEnabled(true);
}

QString BookmarkRecall::pageFolder(const QString &address) { return folderOf(pathFromAddress(address)); }

void BookmarkRecall::MarcatoriRichiama(qint16 n)
{
    const QString name = QStringLiteral("MarcatoriRichiama");
    Guard(u.er, name, [&] {
        IBrowser &wb = u.browser;
        const QString address = wb.locationURL();
        const bool index = u.marks.wholeBookShown();
        const QString loaded = u.player.oPlayer ? u.player.oPlayer->FileName() : QString();
        // A DAISY book's bookmark is a phrase, which a book without audio has too.
        if ((loaded.isEmpty() && !index && !u.places.daisy.active()) || u.controls.ListMarkers.listCount() < 1)
            return;

        qint16 slot = n;
        QString entry = u.controls.ListMarkers.itemText(u.controls.ListMarkers.listIndex());
        if (slot == 0 && index) {
            // Whole-book listing: the entry's page is opened first. Without a
            // current entry there is nothing to recall.
            const int current = u.marks.current();
            if (const QString *listed = u.marks.oMarkersIndex.item(current)) {
                QString page = *listed;
                slot = u.marks.MarcatoreCerca(entry, page);
                if (slot > 0) {
                    nPendingMarker = slot;
                    // The page renumbers its records as it opens: the
                    // bookmark is found again there by what the reader chose.
                    pendingDescription_ = entry;
                    wb.navigate(joinPath(u.book.folder(), page));
                    u.controls.fraMarcatori.setVisible(false);
                    u.controls.objwb.setVisible(true);
                    return;
                }
            }
            nPendingMarker = 0;
            pendingDescription_.clear();
        } else if (slot == 0) {
            QString page;
            slot = u.marks.MarcatoreCerca(entry, page);
        }
        if (slot > 0) {
            if (const Result<Done> played = play(slot, address); !played)
                return u.er.report(name, played.failure());
        }
        u.controls.fraMarcatori.setVisible(false);
        u.controls.objwb.setVisible(true);
    });
}

void BookmarkRecall::completePending()
{
    const qint16 slot = std::exchange(nPendingMarker, qint16(0));
    QString description = std::exchange(pendingDescription_, QString());
    if (slot == 0)
        return;
    QString page;
    const qint16 now = u.marks.MarcatoreCerca(description, page);
    if (now > 0)
        MarcatoriRichiama(now);
    else // deleted meanwhile (by another copy of the program)
        u.feedback.OSD(QStringLiteral("Segnalibro non trovato: ") + description, false);
}

Result<Done> BookmarkRecall::play(qint16 slot, const QString &address)
{
    const QString section = u.marks.section();
    const auto said = [&] {
        return value(u.settings, section, BookmarkStore::descriptionName(slot),
                     QStringLiteral("Marcatore non identificato"));
    };
    if (u.places.daisy.active()) {
        // The reading moves to the phrase and time; the DAISY reading plays it.
        recallPhrase(section, slot);
        u.feedback.OSD(said(), false);
        return Done{};
    }
    oEkoPlayer &p = u.player.get();
    p.Stop_Player();
    u.pump.processEvents();
    const QString audio = value(u.settings, section, BookmarkStore::audioName(slot), BookmarkStore::absent());
    const auto position = [&] {
        return conv::tryDouble(value(u.settings, section, BookmarkStore::positionName(slot), QStringLiteral("0")));
    };
    if (audio == BookmarkStore::absent()) {
        // A record without audio: positioned, not played.
        const Result<double> at = position();
        if (!at)
            return at.failure();
        p.setCurrentPosition(*at);
        return Done{};
    }

    p.setAutoStart(true);
    // From the search on, a failure is skipped and the recall goes on.
    const bool searching = loadAudio(p, audio, address);
    auto run = [&](auto &&statement) {
        if (searching)
            IgnoreFailure(statement);
        else
            statement();
    };
    run([&] { p.setRate(u.feedback.PlayerRate()); });
    Result<double> at = 0.0;
    run([&] { at = position(); });
    if (!at && !searching)
        return at.failure();
    if (at)
        run([&] { p.setCurrentPosition(*at); });
    run([&] { u.feedback.OSD(said(), false); });
    run([&] { u.pump.processEvents(); });
    run([&] { p.Play_Player(); });
    run([&] { holdChaining(); });
    return Done{};
}

void BookmarkRecall::recallPhrase(const QString &section, qint16 slot)
{
    double at = 0;
    BookmarkStore::readPosition(value(u.settings, section, BookmarkStore::positionName(slot), QStringLiteral("0")),
                                &at);
    u.places.daisy.recall(value(u.settings, section, BookmarkStore::phraseName(slot), QString()), at);
}

bool BookmarkRecall::loadAudio(oEkoPlayer &p, const QString &audio, const QString &address)
{
    // Found where the page finds its own audio.
    const QString candidate = audio.isEmpty() ? QString() : u.places.audio.locate(audio, pageFolder(address));
    if (candidate.isEmpty()) {
        // Nothing found anywhere: the player keeps its file.
        QString found;
        IgnoreFailure([&] { found = searchMoved(audio); });
        if (!found.isEmpty()) {
            IgnoreFailure([&] { p.setFileName(found); });
            u.places.audio.followFile(audio);
        }
        return true;
    }
    p.setFileName(candidate);
    u.pump.processEvents();
    holdChaining();
    // The page's next audio follows the one recalled, not the one that
    // was playing before.
    u.places.audio.followFile(audio);
    return false;
}

QString BookmarkRecall::searchMoved(const QString &audio)
{
    if (audio.isEmpty())
        return QString();
    // The page's folder within the book: LIBRO for LIBRO\CAPITOLO1.HTM.
    QString pg = u.places.urls.Section();
    const int cut = pg.lastIndexOf(kBackslash);
    if (cut >= 0)
        pg.truncate(cut);

    // The drive the page's own audio element names is tried first.
    QString content;
    IgnoreFailure([&] { content = u.browser.element(QStringLiteral("QYRPLAYER_AUDIO")).content; });
    QStringList roots;
    if (!content.isEmpty() && content.trimmed().size() > 3 && content.mid(1, 2) == QLatin1String(":\\"))
        roots << content.left(1) + QLatin1Char(':');
    roots << u.files.volumes();

    for (const QString &root : roots) {
        for (const QString &candidate :
             {root + kBackslash + pg + kBackslash + audio, root + QStringLiteral("\\Libro\\") + audio}) {
            bool found = false;
            IgnoreFailure([&] { found = u.files.fileExists(candidate); });
            if (found)
                return candidate;
        }
    }
    return QString();
}

void BookmarkRecall::TimerDisableState_Timer()
{
    Guard(u.er, QStringLiteral("TimerDisableState_Timer"), [&] {
        u.controls.TimerDisableState.setEnabled(false);
        u.places.audio.holdChaining(false);
    });
}

} // namespace qyr
