#include "bookmarkkeys.h"
#include "../bookmarks/bookmarkrecall.h"
#include "../bookmarks/bookmarkstore.h"
#include "../dialogs/inputbox.h"
#include "../platform/bookpath.h"
#include "../platform/browser.h"
#include "../platform/convert.h"
#include "../platform/dialogs.h"
#include "../platform/errors.h"
#include "../platform/pump.h"
#include "../platform/registry.h"
#include "../services/feedback.h"
#include "../services/messages.h"
#include "../services/playerslot.h"
#include "keyhelpers.h"

namespace qyr {

namespace {

// Spaces only, as the description is typed.
QString trimSpaces(const QString &s)
{
    int from = 0, to = int(s.size());
    while (from < to && s.at(from) == QLatin1Char(' '))
        ++from;
    while (to > from && s.at(to - 1) == QLatin1Char(' '))
        --to;
    return s.mid(from, to - from);
}

} // namespace

void BookmarkKeys::pauseForList()
{
    bResumeAfterList = false;
    sngSavedRate = u.player.get().Rate();
    if (u.player.get().IsPlaying()) {
        bResumeAfterList = true;
        u.player.get().Pause_Player();
    }
}

// The file is opened again at the paused position, at the speed it had.
void BookmarkKeys::recallCurrent()
{
    if (u.marks.oMarkers.count() >= u.marks.current()) {
        u.bookmarks.ListMarkers.setListIndex(u.marks.current() - 1);
        u.recall.MarcatoriRichiama(0);
    }
}

void BookmarkKeys::previous()
{
    if (u.bookmarks.ListMarkers.listCount() == 0) {
        keyhelp::tell(u.dialogs, QStringLiteral("Marcatore Precedente"), u.msg.strMsgMarkNone);
        return;
    }
    // No wrap-around: the first bookmark is recalled again.
    u.marks.stepCurrent(false);
    recallCurrent();
}

void BookmarkKeys::next()
{
    if (u.bookmarks.ListMarkers.listCount() == 0) {
        keyhelp::tell(u.dialogs, QStringLiteral("Marcatore Successivo"), u.msg.strMsgMarkNone);
        return;
    }
    // No wrap-around: the last bookmark is recalled again.
    u.marks.stepCurrent(true);
    recallCurrent();
}

Result<Done> BookmarkKeys::add()
{
    pauseForList();
    QString description;
    if (!u.marks.wholeBookShown()) {
        const QString t = u.marks.placeText();
        frmInputBox box(u.dialogs);
        box.setTitle(QStringLiteral("Scrivi il segnalibro ") + t + QStringLiteral(" (mm:ss)"));
        box.Display();
        description = trimSpaces(box.txtInput.text());
    } else {
        keyhelp::tell(u.dialogs, programName(),
                      QStringLiteral("Non è possibile inserire segnalibri nella pagina del sommario."));
    }
    // The position after the entry, which may have taken a while.
    if (!description.isEmpty()) {
        const Result<qint16> at = conv::tryInt16(u.player.get().CurrentPosition());
        if (!at)
            return at.failure();
        u.marks.AddMarcatore(description, *at);
    }
    u.pump.processEvents();
    listClosed();
    return Done{};
}

void BookmarkKeys::deleteAll()
{
    if (u.bookmarks.ListMarkers.listCount() == 0) {
        keyhelp::tell(u.dialogs, QStringLiteral("Cancellazione Marcatori"), u.msg.strMsgMarkNone);
        return;
    }
    // A DAISY book's list is the whole book's, as the table of contents' is.
    if (u.marks.wholeBookShown() || !u.marks.daisyTitle().isEmpty()) {
        deleteWholeBook();
        return;
    }
    if (u.dialogs.message(QStringLiteral("MediaPlayer"), u.msg.strMsgDelMark, Buttons::YesNo, Icon::Question) !=
        Answer::Yes)
        return;
    const int count = u.bookmarks.ListMarkers.listCount();
    u.marks.Marcatori(BookmarkStore::MarkerMode::DeletePage, QString(), 0);
    u.marks.ClearMarcatori();
    u.marks.Marcatori(BookmarkStore::MarkerMode::List, QString(), 0);
    // Said only when they are really gone: a store that refused keeps them listed.
    if (u.bookmarks.ListMarkers.listCount() == 0)
        u.feedback.OSD(QStringLiteral("Segnalibri della pagina cancellati: %1").arg(count), false);
}

// On the table of contents the list is the whole book's: all of them go, after
// the reader has heard how many, and after a safety copy that can bring them
// back (restored like any other from the import panel).
void BookmarkKeys::deleteWholeBook()
{
    const QString title = QStringLiteral("Cancellazione Marcatori");
    const int count = u.bookmarks.ListMarkers.listCount();
    const QString question =
        u.msg.strMsgDelMark + QStringLiteral("\r\nSegnalibri del libro da cancellare: %1.").arg(count);
    if (u.dialogs.message(QStringLiteral("MediaPlayer"), question, Buttons::YesNo, Icon::Question) != Answer::Yes)
        return;
    const Result<QString> copy = u.safetyCopy();
    if (!copy) {
        keyhelp::tell(
            u.dialogs, title,
            QStringLiteral("Nessun segnalibro cancellato: copia di sicurezza delle impostazioni non riuscita.\r\n") +
                copy.failure().description);
        return;
    }
    const QString daisy = u.marks.daisyTitle();
    if (daisy.isEmpty()) {
        u.marks.deleteListedPages();
    } else {
        u.marks.Marcatori(BookmarkStore::MarkerMode::DeletePage, QString(), 0);
        u.marks.ClearMarcatori();
        u.marks.Marcatori(BookmarkStore::MarkerMode::List, QString(), 0);
    }
    u.marks.ClearMarcatori();
    const QString which = daisy.isEmpty() ? QString() : QStringLiteral(" \"%1\"").arg(daisy);
    keyhelp::tell(u.dialogs, title,
                  QStringLiteral("Cancellati tutti i segnalibri del libro%1: %2.\r\nLa copia di sicurezza %3 li contiene "
                                 "ancora.")
                      .arg(which)
                      .arg(count)
                      .arg(*copy));
}

void BookmarkKeys::pageLeaving()
{
    if (u.objwb.visible())
        return;
    bResumeAfterList = false;
    u.objwb.setVisible(true);
    u.bookmarks.fraMarcatori.setVisible(false);
}

void BookmarkKeys::showHideList()
{
    if (!u.objwb.visible()) {
        // The list is showing: back to the page, playing again if it was.
        if (bResumeAfterList) {
            bResumeAfterList = false;
            u.player.get().Play_Player();
        }
        u.objwb.setVisible(true);
        u.bookmarks.fraMarcatori.setVisible(false);
        return;
    }
    pauseForList();
    // With no bookmarks the panel opens all the same, after saying so: its
    // import is how a reader brings them to a new computer.
    if (u.bookmarks.ListMarkers.listCount() == 0)
        keyhelp::tell(u.dialogs, QStringLiteral("Elenco Marcatori"), u.msg.strMsgMarkNone);
    u.objwb.setVisible(false);
    u.bookmarks.fraMarcatori.setVisible(true);
}

void BookmarkKeys::listClosed()
{
    if (bResumeAfterList)
        resumeWithReload();
}

// The file is loaded again and plays on from where it was, at the speed it
// had before the list paused it.
void BookmarkKeys::resumeWithReload()
{
    oEkoPlayer &p = u.player.get();
    const QString file = p.FileName();
    const double position = p.CurrentPosition();
    p.setFileName(file);
    u.pump.processEvents();
    p.setCurrentPosition(position);
    u.pump.processEvents();
    p.Play_Player();
    p.setRate(sngSavedRate);
}

void BookmarkKeys::escape()
{
    listClosed();
    u.objwb.setVisible(true);
    u.bookmarks.fraMarcatori.setVisible(false);
}

} // namespace qyr
