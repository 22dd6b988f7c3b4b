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
    // Said only once the record is gone: a store that refused keeps the entry.
    const int count = f.ListMarkers.listCount();
    const QString said = QStringLiteral("Segnalibro cancellato: ") +
                         describedEntry(f.ListMarkers.itemText(f.ListMarkers.listIndex()));
    auto tell = [&] {
        if (f.ListMarkers.listCount() < count)
            f.feedback.OSD(said, false);
    };
    if (f.urls.Section().left(5).toLower() != QLatin1String("index")) {
        // One page's bookmarks: delete, then list the rest renumbered.
        f.marks.Marcatori(2, QString(), 0);
        f.marks.ClearMarcatori();
        f.marks.Marcatori(0, QString(), 0);
        tell();
        return;
    }
    // The whole book: the hidden list names the entry's page and slot.
    const int index = f.ListMarkers.listIndex();
    const QString e = f.lstapp.itemText(index);
    // The slot follows the last "*": a page's file name may hold one itself.
    const int star = e.lastIndexOf(QLatin1Char('*'));
    bool ok = false;
    const int slot = star > 0 ? e.mid(star + 1).toInt(&ok) : 0;
    if (!ok || slot < 1)
        return; // no entry selected
    const QString section = e.left(star);
    const QString app = f.strAppName;
    f.settings.transaction([&] {
        f.settings.Delete(app, section, BookmarkStore::positionName(slot));
        f.settings.Delete(app, section, BookmarkStore::descriptionName(slot));
        f.settings.Delete(app, section, BookmarkStore::audioName(slot));
    });
    f.marks.removeListed(index);
    tell();
}

} // namespace qyr
