#include "navigationkeys.h"
#include "keyhelpers.h"
#include "../platform/bookpath.h"
#include "../platform/convert.h"
#include "../shell/frmbrowser.h"

#include <limits>
#include <optional>

namespace qyr {

namespace {

const QString kEntryPosition = QStringLiteral("QYRPLAYER_AUDIO_POS=");

qint16 plusOne(qint16 n)
{
    if (n == std::numeric_limits<qint16>::max())
        throw QyrError(err::Overflow);
    return qint16(n + 1);
}

// The entry's start in seconds as the text after the marker; keeps p when the
// address has no marker.
void takePosition(const QString &address, QString &p)
{
    const int at = address.indexOf(kEntryPosition);
    if (at >= 0)
        p = address.mid(at + kEntryPosition.size());
}

} // namespace

QString NavigationKeys::entryAddress(qint16 n)
{
    // A missing entry is no failure: its address is empty.
    QString href;
    IgnoreFailure([&] { href = f.ports.browser.element(QStringLiteral("LumoIndex_") + QString::number(n)).href; });
    return href;
}

// A book on a removed drive: the reader hears why the key does nothing.
bool NavigationKeys::bookReachable()
{
    bool there = false;
    IgnoreFailure([&] { there = f.ports.files.folderExists(f.books.folder()); });
    if (!there)
        f.feedback.OSD(notice::bookGone(), false);
    return there;
}

void NavigationKeys::help()
{
    if (bookReachable())
        f.ports.browser.navigate(joinPath(f.books.folder(), QStringLiteral("include/help.htm")));
}

void NavigationKeys::tableOfContents()
{
    if (bookReachable())
        f.ports.browser.navigate(f.books.indexPage());
}

bool NavigationKeys::nextIndexEntry()
{
    std::optional<qint16> position; // read once, and only when an entry needs it
    auto before = [&](const QString &p) {
        if (!position)
            position = conv::toInt16(f.player().CurrentPosition());
        return conv::toInt16(p) < *position;
    };

    f.nIndexAnchor = plusOne(f.nIndexAnchor);
    QString address = entryAddress(f.nIndexAnchor);
    QString p = QStringLiteral("0");
    takePosition(address, p);
    // Counting on from the entry after the one last reached, the first that
    // starts at or after the current position.
    while (!address.isEmpty() && before(p)) {
        f.nIndexAnchor = plusOne(f.nIndexAnchor);
        address = entryAddress(f.nIndexAnchor);
        takePosition(address, p);
    }
    if (!address.isEmpty()) {
        f.feedback.OSD(QStringLiteral("Indice avanti - Indice ") + QString::number(f.nIndexAnchor), false);
        f.ports.browser.navigate(address);
        return true;
    }
    f.feedback.OSD(QStringLiteral("Indice avanti - Raggiunta la fine "), false);
    f.nIndexAnchor = qint16(f.nIndexAnchor - 1);
    return false;
}

bool NavigationKeys::previousIndexEntry()
{
    const QString atStart = QStringLiteral("Indice indietro - Raggiunto l'inizio ");
    std::optional<qint16> position;
    auto before = [&](const QString &p) {
        if (!position)
            position = conv::toInt16(f.player().CurrentPosition());
        return conv::toInt16(p) < *position;
    };

    QString address = entryAddress(1);
    if (address.isEmpty()) {
        f.feedback.OSD(atStart, false);
        return false;
    }
    QString p = QStringLiteral("0");
    f.nIndexAnchor = 1;
    takePosition(address, p);
    // Always from entry 1: the first entry that starts at or after the
    // current position is k; the reader goes to k - 2, the start of the
    // section before the one being heard.
    while (!address.isEmpty() && before(p)) {
        f.nIndexAnchor = plusOne(f.nIndexAnchor);
        address = entryAddress(f.nIndexAnchor);
        if (address.isEmpty()) {
            f.nIndexAnchor = 1;
            break;
        }
        if (!address.contains(kEntryPosition))
            break;
        takePosition(address, p);
    }
    if (f.nIndexAnchor < 3) {
        f.feedback.OSD(atStart, false);
        return false;
    }
    f.nIndexAnchor = qint16(f.nIndexAnchor - 2);
    address = entryAddress(f.nIndexAnchor);
    if (address.isEmpty())
        return false;
    f.feedback.OSD(QStringLiteral("Indice indietro - Indice ") + QString::number(f.nIndexAnchor), false);
    f.ports.browser.navigate(address);
    return true;
}

void NavigationKeys::pageFile(bool next)
{
    IBrowser &wb = f.ports.browser;
    const PageElement e =
        wb.element(next ? QStringLiteral("QYRPLAYER_AUDIO_NEXTHTML_1") : QStringLiteral("QYRPLAYER_AUDIO_PREVHTML"));
    if (!e.found || e.content.isEmpty() || !bookReachable())
        return;

    // The page's folder: the address without the page's own name. A page
    // whose location name is not its file name keeps its whole address.
    QString base = wb.locationURL();
    const QString name = wb.locationName();
    base.remove(name + QStringLiteral(".html"));
    base.remove(name + QStringLiteral(".htm"));
    if (!name.isEmpty())
        base.remove(name);
    const int hash = base.indexOf(QLatin1Char('#'));
    if (hash >= 0)
        base.truncate(hash);
    f.feedback.OSD(next ? QStringLiteral("File successivo") : QStringLiteral("File precedente"), false);
    wb.navigate(base + e.content);
}

} // namespace qyr
