#include "bookmarklist.h"
#include "../services/feedback.h"
#include "../navigation/urlhelpers.h"
#include "../platform/bookpath.h"
#include "../platform/convert.h"
#include "../platform/errorreport.h"
#include "../platform/errors.h"
#include "bookmarkrecall.h"
#include "bookmarkstore.h"

namespace qyr {

namespace {
constexpr qint16 kEnter = 13;
constexpr qint16 kDelete = 46;
} // namespace

void BookmarkList::connect()
{
    if (connected_)
        return;
    connected_ = true;
    u.ListMarkers.Click.connect([this] { ListMarkers_Click(); });
    u.ListMarkers.DblClick.connect([this] { ListMarkers_DblClick(); });
    u.ListMarkers.KeyDown.connect([this](qint16 code, qint16 shift) { ListMarkers_KeyDown(code, shift); });
}

void BookmarkList::ListMarkers_Click()
{
    Guard(u.er, QStringLiteral("ListMarkers_Click"),
          [&] { u.ListMarkers.setToolTip(u.ListMarkers.itemText(u.ListMarkers.listIndex())); });
}

void BookmarkList::ListMarkers_DblClick()
{
    Guard(u.er, QStringLiteral("ListMarkers_DblClick"), [&] { recallSelected(); });
}

void BookmarkList::ListMarkers_KeyDown(qint16 KeyCode, qint16 Shift)
{
    Guard(u.er, QStringLiteral("ListMarkers_KeyDown"), [&] {
        // The entry selected when the key goes down, before an arrow moves on.
        u.ListMarkers.setToolTip(u.ListMarkers.itemText(u.ListMarkers.listIndex()));
        if (KeyCode == kEnter && Shift == 0)
            recallSelected();
        else if (KeyCode == kDelete && u.ListMarkers.listCount() > 0)
            deleteSelected();
    });
}

void BookmarkList::recallSelected()
{
    u.marks.setCurrent(qint16(u.ListMarkers.listIndex() + 1));
    u.recall.MarcatoriRichiama(0);
}

// An entry reads "mm:ss - description" (a tab before the dash on a page's
// list); the description may hold " - " itself.
QString BookmarkList::describedEntry(const QString &entry)
{
    const int dash = entry.indexOf(QLatin1String(" - "));
    return dash < 0 ? entry : entry.mid(dash + 3);
}

void BookmarkList::deleteSelected()
{
    const int index = u.ListMarkers.listIndex();
    const QString description = describedEntry(u.ListMarkers.itemText(index));
    const bool wholeBook = u.marks.wholeBookShown();
    // Said only once the record is gone: a store that refused keeps the entry.
    BookmarkStore::Removal removal = BookmarkStore::Removal::None;
    if (!Guard(u.er, StepLabel{QStringLiteral("Marcatori Mode = 2 --> "), QString()},
               [&] { removal = u.marks.removeChosen(index); }))
        return;
    if (wholeBook && removal == BookmarkStore::Removal::None)
        return; // no entry chosen
    if (wholeBook) {
        // The page's other entries keep their place until it opens.
        u.marks.removeListed(index);
    } else {
        // One page's bookmarks: the rest listed renumbered (nothing chosen: the list as it is).
        u.marks.ClearMarcatori();
        u.marks.Marcatori(BookmarkStore::MarkerMode::List, QString(), 0);
    }
    if (removal == BookmarkStore::Removal::Deleted)
        u.feedback.OSD(QStringLiteral("Segnalibro cancellato: ") + description, false);
    else if (removal == BookmarkStore::Removal::Gone)
        u.feedback.OSD(QStringLiteral("Segnalibro già cancellato da un'altra copia del programma: ") + description,
                       false);
}

} // namespace qyr
