#include "bookmarklist.h"
#include "../shell/frmbrowser.h"

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
    f.ListMarkers.Click.connect([this] { ListMarkers_Click(); });
    f.ListMarkers.DblClick.connect([this] { ListMarkers_DblClick(); });
    f.ListMarkers.KeyDown.connect([this](qint16 code, qint16 shift) { ListMarkers_KeyDown(code, shift); });
}

void BookmarkList::ListMarkers_Click()
{
    Guard(f.er, QStringLiteral("ListMarkers_Click"),
          [&] { f.ListMarkers.setToolTip(f.ListMarkers.itemText(f.ListMarkers.listIndex())); });
}

void BookmarkList::ListMarkers_DblClick()
{
    Guard(f.er, QStringLiteral("ListMarkers_DblClick"), [&] { recallSelected(); });
}

void BookmarkList::ListMarkers_KeyDown(qint16 KeyCode, qint16 Shift)
{
    Guard(f.er, QStringLiteral("ListMarkers_KeyDown"), [&] {
        // The entry selected when the key goes down, before an arrow moves on.
        f.ListMarkers.setToolTip(f.ListMarkers.itemText(f.ListMarkers.listIndex()));
        if (KeyCode == kEnter && Shift == 0)
            recallSelected();
        else if (KeyCode == kDelete && f.ListMarkers.listCount() > 0)
            deleteSelected();
    });
}

void BookmarkList::recallSelected()
{
    f.marks.setCurrent(qint16(f.ListMarkers.listIndex() + 1));
    f.recall.MarcatoriRichiama(0);
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
    const int index = f.ListMarkers.listIndex();
    const QString description = describedEntry(f.ListMarkers.itemText(index));
    const bool wholeBook = f.urls.Section().left(5).toLower() == QLatin1String("index");
    // Said only once the record is gone: a store that refused keeps the entry.
    BookmarkStore::Removal removal = BookmarkStore::Removal::None;
    if (!Guard(f.er, StepLabel{QStringLiteral("Marcatori Mode = 2 --> "), QString()},
               [&] { removal = f.marks.removeChosen(index); }))
        return;
    if (wholeBook && removal == BookmarkStore::Removal::None)
        return; // no entry chosen
    if (wholeBook) {
        // The page's other entries keep their place until it opens.
        f.marks.removeListed(index);
    } else {
        // One page's bookmarks: the rest listed renumbered (nothing chosen: the list as it is).
        f.marks.ClearMarcatori();
        f.marks.Marcatori(0, QString(), 0);
    }
    if (removal == BookmarkStore::Removal::Deleted)
        f.feedback.OSD(QStringLiteral("Segnalibro cancellato: ") + description, false);
    else if (removal == BookmarkStore::Removal::Gone)
        f.feedback.OSD(QStringLiteral("Segnalibro già cancellato da un'altra copia del programma: ") + description, false);
}

} // namespace qyr
