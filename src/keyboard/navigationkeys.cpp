#include "navigationkeys.h"
#include "../platform/bookpath.h"
#include "../platform/browser.h"
#include "../platform/convert.h"
#include "../platform/errorreport.h"
#include "../platform/errors.h"
#include "../platform/files.h"
#include "../platform/openbook.h"
#include "../services/feedback.h"
#include "../services/messages.h"
#include "../services/playerslot.h"
#include "keyhelpers.h"

#include <limits>
#include <optional>

namespace qyr {

namespace {

const QString kEntryPosition = QStringLiteral("QYRPLAYER_AUDIO_POS=");

// The entry number one on; false at the largest a 16-bit number holds.
bool moveOn(qint16 &n)
{
    if (n == std::numeric_limits<qint16>::max())
        return false;
    ++n;
    return true;
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
    IgnoreFailure([&] { href = u.browser.element(QStringLiteral("LumoIndex_") + QString::number(n)).href; });
    return href;
}

// A book on a removed drive: the reader hears why the key does nothing.
bool NavigationKeys::bookReachable()
{
    bool there = false;
    IgnoreFailure([&] { there = u.files.folderExists(u.book.folder()); });
    if (!there)
        u.feedback.OSD(notice::bookGone(), false);
    return there;
}

void NavigationKeys::help()
{
    if (bookReachable())
        u.browser.navigate(joinPath(u.book.folder(), QStringLiteral("include/help.htm")));
}

void NavigationKeys::tableOfContents()
{
    if (bookReachable())
        u.browser.navigate(u.book.indexPage());
}

// Whether an entry starting at start (seconds) starts before the current
// position, which is read once, and only when an entry needs it.
Result<bool> NavigationKeys::startsBefore(const QString &start, std::optional<qint16> &position)
{
    if (!position) {
        const Result<qint16> now = conv::tryInt16(u.player.get().CurrentPosition());
        if (!now)
            return now.failure();
        position = *now;
    }
    const Result<qint16> at = conv::tryInt16(start);
    if (!at)
        return at.failure();
    return *at < *position;
}

Result<Done> NavigationKeys::nextIndexEntry()
{
    std::optional<qint16> position;
    if (!moveOn(u.nIndexAnchor))
        return Failure::of(err::Overflow);
    QString address = entryAddress(u.nIndexAnchor);
    QString p = QStringLiteral("0");
    takePosition(address, p);
    // Counting on from the entry after the one last reached, the first that
    // starts at or after the current position.
    while (!address.isEmpty()) {
        const Result<bool> before = startsBefore(p, position);
        if (!before)
            return before.failure();
        if (!*before)
            break;
        if (!moveOn(u.nIndexAnchor))
            return Failure::of(err::Overflow);
        address = entryAddress(u.nIndexAnchor);
        takePosition(address, p);
    }
    if (!address.isEmpty()) {
        u.feedback.OSD(QStringLiteral("Indice avanti - Indice ") + QString::number(u.nIndexAnchor), false);
        u.browser.navigate(address);
        return Done{};
    }
    u.feedback.OSD(QStringLiteral("Indice avanti - Raggiunta la fine "), false);
    u.nIndexAnchor = qint16(u.nIndexAnchor - 1);
    return Done{};
}

Result<Done> NavigationKeys::previousIndexEntry()
{
    const QString atStart = QStringLiteral("Indice indietro - Raggiunto l'inizio ");
    std::optional<qint16> position;
    QString address = entryAddress(1);
    if (address.isEmpty()) {
        u.feedback.OSD(atStart, false);
        return Done{};
    }
    QString p = QStringLiteral("0");
    u.nIndexAnchor = 1;
    takePosition(address, p);
    // Always from entry 1: the first entry that starts at or after the
    // current position is k; the reader goes to k - 2, the start of the
    // section before the one being heard.
    while (!address.isEmpty()) {
        const Result<bool> before = startsBefore(p, position);
        if (!before)
            return before.failure();
        if (!*before)
            break;
        if (!moveOn(u.nIndexAnchor))
            return Failure::of(err::Overflow);
        address = entryAddress(u.nIndexAnchor);
        if (address.isEmpty()) {
            u.nIndexAnchor = 1;
            break;
        }
        if (!address.contains(kEntryPosition))
            break;
        takePosition(address, p);
    }
    if (u.nIndexAnchor < 3) {
        u.feedback.OSD(atStart, false);
        return Done{};
    }
    u.nIndexAnchor = qint16(u.nIndexAnchor - 2);
    address = entryAddress(u.nIndexAnchor);
    if (address.isEmpty())
        return Done{};
    u.feedback.OSD(QStringLiteral("Indice indietro - Indice ") + QString::number(u.nIndexAnchor), false);
    u.browser.navigate(address);
    return Done{};
}

void NavigationKeys::pageFile(bool next)
{
    IBrowser &wb = u.browser;
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
    u.feedback.OSD(next ? QStringLiteral("File successivo") : QStringLiteral("File precedente"), false);
    wb.navigate(base + e.content);
}

} // namespace qyr
