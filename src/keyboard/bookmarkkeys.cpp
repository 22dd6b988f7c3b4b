#include "bookmarkkeys.h"
#include "keyhelpers.h"
#include "../dialogs/inputbox.h"
#include "../navigation/pageload.h"
#include "../platform/convert.h"
#include "../shell/frmbrowser.h"

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

void BookmarkKeys::dispatch(qint16 KeyCode)
{
    const auto &codes = f.keys.AltKeyCodes;
    if (KeyCode == codes[0])
        deleteAll();
    else if (KeyCode == codes[1])
        add();
    else if (KeyCode == codes[2])
        showHideList();
    else if (KeyCode == codes[3])
        next();
    else if (KeyCode == codes[4])
        previous();
}

void BookmarkKeys::pauseForList()
{
    bResumeAfterList = false;
    sngSavedRate = f.player().Rate();
    if (f.player().IsPlaying()) {
        bResumeAfterList = true;
        f.player().Pause_Player();
    }
}

// The file is opened again at the paused position, at the speed it had.
void BookmarkKeys::recallCurrent()
{
    if (f.marks.oMarkers.count() >= f.marks.current()) {
        f.ListMarkers.setListIndex(f.marks.current() - 1);
        f.recall.MarcatoriRichiama(0);
    }
}

void BookmarkKeys::previous()
{
    if (f.ListMarkers.listCount() == 0) {
        keyhelp::tell(f, QStringLiteral("Marcatore Precedente"), f.msg.strMsgMarkNone);
        return;
    }
    // No wrap-around: the first bookmark is recalled again.
    f.marks.stepCurrent(false);
    recallCurrent();
}

void BookmarkKeys::next()
{
    if (f.ListMarkers.listCount() == 0) {
        keyhelp::tell(f, QStringLiteral("Marcatore Successivo"), f.msg.strMsgMarkNone);
        return;
    }
    // No wrap-around: the last bookmark is recalled again.
    f.marks.stepCurrent(true);
    recallCurrent();
}

void BookmarkKeys::add()
{
    pauseForList();
    QString description;
    if (!PageLoad::isIndexPage(f.ports.browser.locationURL())) {
        const QString t = f.feedback.positionText();
        frmInputBox box(f.ports.dialogs);
        box.setTitle(QStringLiteral("Scrivi il segnalibro ") + t + QStringLiteral(" (mm:ss)"));
        box.Display();
        description = trimSpaces(box.txtInput.text());
    } else {
        keyhelp::tell(f, f.strAppName,
                      QStringLiteral("Non è possibile inserire segnalibri nella pagina del sommario."));
    }
    // The position after the entry, which may have taken a while.
    if (!description.isEmpty())
        f.marks.AddMarcatore(description, conv::toInt16(f.player().CurrentPosition()));
    f.ports.pump.processEvents();
    if (bResumeAfterList)
        f.resumeWithReload();
}

void BookmarkKeys::deleteAll()
{
    if (f.ListMarkers.listCount() == 0) {
        keyhelp::tell(f, QStringLiteral("Cancellazione Marcatori"), f.msg.strMsgMarkNone);
        return;
    }
    if (PageLoad::isIndexPage(f.ports.browser.locationURL())) {
        deleteWholeBook();
        return;
    }
    if (f.ports.dialogs.message(QStringLiteral("MediaPlayer"), f.msg.strMsgDelMark, Buttons::YesNo, Icon::Question) !=
        Answer::Yes)
        return;
    const int count = f.ListMarkers.listCount();
    f.marks.Marcatori(1, QString(), 0);
    f.marks.ClearMarcatori();
    f.marks.Marcatori(0, QString(), 0);
    // Said only when they are really gone: a store that refused keeps them listed.
    if (f.ListMarkers.listCount() == 0)
        f.feedback.OSD(QStringLiteral("Segnalibri della pagina cancellati: %1").arg(count), false);
}

// On the table of contents the list is the whole book's: all of them go, after
// the reader has heard how many, and after a safety copy that can bring them
// back (restored like any other from the import panel).
void BookmarkKeys::deleteWholeBook()
{
    const QString title = QStringLiteral("Cancellazione Marcatori");
    const int count = f.ListMarkers.listCount();
    const QString question = f.msg.strMsgDelMark + QStringLiteral("\r\nSegnalibri del libro da cancellare: %1.").arg(count);
    if (f.ports.dialogs.message(QStringLiteral("MediaPlayer"), question, Buttons::YesNo, Icon::Question) != Answer::Yes)
        return;
    QString copy;
    try {
        copy = f.impExp.safetyCopy();
    } catch (const QyrError &e) {
        keyhelp::tell(f, title,
                      QStringLiteral("Nessun segnalibro cancellato: copia di sicurezza delle impostazioni non riuscita.\r\n") +
                          e.description());
        return;
    }
    f.marks.deleteListedPages();
    f.marks.ClearMarcatori();
    keyhelp::tell(f, title,
                  QStringLiteral("Cancellati tutti i segnalibri del libro: %1.\r\nLa copia di sicurezza %2 li contiene ancora.")
                      .arg(count)
                      .arg(copy));
}

void BookmarkKeys::showHideList()
{
    if (!f.objwb.visible()) {
        // The list is showing: back to the page, playing again if it was.
        if (bResumeAfterList) {
            bResumeAfterList = false;
            f.player().Play_Player();
        }
        f.objwb.setVisible(true);
        f.fraMarcatori.setVisible(false);
        return;
    }
    pauseForList();
    // With no bookmarks the panel opens all the same, after saying so: its
    // import is how a reader brings them to a new computer.
    if (f.ListMarkers.listCount() == 0)
        keyhelp::tell(f, QStringLiteral("Elenco Marcatori"), f.msg.strMsgMarkNone);
    f.objwb.setVisible(false);
    f.fraMarcatori.setVisible(true);
}

void BookmarkKeys::escape()
{
    if (bResumeAfterList)
        f.resumeWithReload();
    f.objwb.setVisible(true);
    f.fraMarcatori.setVisible(false);
}

} // namespace qyr
