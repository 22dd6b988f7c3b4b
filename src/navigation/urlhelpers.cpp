#include "urlhelpers.h"
#include "../platform/bookpath.h"
#include "../platform/browser.h"
#include "../platform/convert.h"
#include "../platform/errorreport.h"
#include "../platform/errors.h"
#include "../platform/files.h"
#include "../platform/openbook.h"
#include "../services/feedback.h"
#include "../services/messages.h"

#include <QDir>
#include <QRegularExpression>
#include <QUrl>

#include <algorithm>
#include <utility>

namespace qyr {

namespace {

const QChar kBackslash = QLatin1Char('\\');

void cutAfter(QString &text, const QString &marker)
{
    const int i = text.indexOf(marker);
    if (i >= 0)
        text.truncate(i + marker.size());
}

void cutBefore(QString &text, QChar marker)
{
    const int i = text.indexOf(marker);
    if (i >= 0)
        text.truncate(i);
}

void keepAfter(QString &text, QChar marker)
{
    const int i = text.indexOf(marker);
    if (i >= 0)
        text.remove(0, i + 1);
}

// "@" marks commands in a link; a file name never keeps it. The folders of
// the path are real ones and keep theirs.
QString withoutAtSigns(const QString &path)
{
    const int slash = std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(kBackslash));
    return path.left(slash + 1) + path.mid(slash + 1).remove(QLatin1Char('@'));
}

} // namespace

QString UrlHelpers::pageKey(const QString &page)
{
    QString r = page.toUpper();
    r.replace(QLatin1Char('/'), kBackslash);
    while (r.startsWith(kBackslash))
        r.remove(0, 1);
    if (r.mid(1, 2) == QLatin1String(":\\"))
        r.remove(0, 3);
    // ".html" and ".htm" pages share one key.
    cutAfter(r, QStringLiteral(".HTML"));
    cutAfter(r, QStringLiteral(".HTM"));
    return r;
}

// The key is built the Windows way on every system, so bookmarks move
// between systems with the settings: with the book in /home/anna/libro (or
// C:\App), the page Libro/cap1.htm gives LIBRO\CAP1.HTM; a page outside the
// book folder keeps its whole path without the leading separator or drive
// (/media/usb/Altro/p.htm gives MEDIA\USB\ALTRO\P.HTM).
QString UrlHelpers::Section()
{
    // On failure the text as far as it was processed is returned.
    return GuardValue<QString>(u.er, QStringLiteral("Section"), QString(), [&](QString &r) {
        r = u.browser.locationURL();
        if (hasUrlScheme(r) && !isFileAddress(r)) {
            // A page from a server: its address without the scheme, query
            // and anchor.
            keepAfter(r, QLatin1Char(':'));
            cutBefore(r, QLatin1Char('?'));
            cutBefore(r, QLatin1Char('#'));
            r = pageKey(r);
            return;
        }
        const QString path = pathFromAddress(r);
        const QString inBook = pathBelow(u.book.folder(), path);
        r = pageKey(inBook.isEmpty() ? path : inBook);
    });
}

// A link names a file in one of two ways: the whole address of the file
// (href="clip.avi", resolved by the browser), or a name after the anchor or
// query of a page address (href="#clip.avi"), which lies in the folder of
// the page on show.
QString UrlHelpers::PulisciUrl(const QString &url)
{
    // On failure the text as far as it was processed is returned.
    return GuardValue<QString>(u.er, QStringLiteral("PulisciUrl"), QString(), [&](QString &r) {
        r = url;
        QString location = u.browser.locationURL();
        // After a jump inside the page its address carries the anchor, which
        // a link resolved against the page does not.
        if (hasUrlScheme(location))
            cutBefore(location, QLatin1Char('#'));
        // A link into the current page keeps only what follows its address.
        if (!location.isEmpty())
            r.remove(location);
        const bool whole = (isFileAddress(r) || QDir::isAbsolutePath(pathFromAddress(r))) &&
                           !r.contains(QLatin1Char('#')) && !r.contains(QLatin1Char('?'));
        if (whole) {
            r = withoutAtSigns(pathFromAddress(r));
            return;
        }
        keepAfter(r, QLatin1Char('#'));
        keepAfter(r, QLatin1Char('?'));
        // The browser writes the name percent-encoded, as in any address.
        r = QUrl::fromPercentEncoding(r.toUtf8());
        r = withoutAtSigns(joinPath(folderOf(pathFromAddress(location)), r));
    });
}

bool UrlHelpers::isIndexPage(const QString &url)
{
    return url.right(20).toUpper().contains(QLatin1String("INDEX.HTM"));
}

bool UrlHelpers::onIndexPage() { return isIndexPage(u.browser.locationURL()); }

bool UrlHelpers::namesVideo(const QString &url)
{
    QString u = url;
    u.remove(QStringLiteral("@NOFULL@"));
    // The address itself, or a name after its anchor or query.
    static const QRegularExpression parts(QStringLiteral("[#?]"));
    for (const QString &part : u.split(parts)) {
        const QString p = part.toUpper();
        if (p.endsWith(QLatin1String(".WMV")) || p.endsWith(QLatin1String(".M1V")) || p.endsWith(QLatin1String(".AVI")))
            return true;
    }
    return false;
}

// The name of the page that could not be loaded, as the reader knows it.
// The page on show that could not be loaded, named with why: a folder, a
// page that is there but cannot be read, or a page that is not there.
QString UrlHelpers::failedPageNotice()
{
    QString address = u.browser.locationURL();
    cutBefore(address, QLatin1Char('#'));
    cutBefore(address, QLatin1Char('?'));
    QString path = pathFromAddress(address);
    while (path.size() > 1 && (path.endsWith(QLatin1Char('/')) || path.endsWith(kBackslash)))
        path.chop(1);
    const int slash = std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(kBackslash));
    const QString name = path.mid(slash + 1);
    bool folder = false, file = false;
    IgnoreFailure([&] {
        folder = u.files.folders(path.left(std::max(slash, 1))).contains(name, Qt::CaseInsensitive);
        file = !folder && u.files.fileExists(path);
    });
    if (folder)
        return QStringLiteral("Il collegamento porta a una cartella, non a una pagina: ") + name;
    if (file)
        return QStringLiteral("Pagina non leggibile (permesso negato): ") + name;
    return QStringLiteral("Pagina non trovata: ") + name;
}

void UrlHelpers::objWB_TitleChange(const QString &Text)
{
    Guard(
        u.er, QStringLiteral("objWB_TitleChange"),
        [&] {
            const QString title = Text.toLower();
            // The classic browser's page for an unreachable address, and our
            // browser's title for a page that failed to load.
            const bool failed = title == QLatin1String("impossibile trovare il server") ||
                                title.startsWith(QLatin1String("errore di caricamento"));
            if (!failed || returningToIndex_)
                return;
            returningToIndex_ = true;
            // A book on a removed drive cannot show its contents either.
            if (!u.files.folderExists(u.book.folder())) {
                u.feedback.OSD(notice::bookGone(), false);
                return;
            }
            notFound_ = failedPageNotice();
            u.browser.navigate(joinPath(u.book.folder(), QStringLiteral("Index.htm")));
        },
        [this] { returningToIndex_ = false; });
}

// Said once the contents page is on show, after its title: a screen reader
// cuts a message short with the next one, and the title comes with the page.
void UrlHelpers::sayPageNotFound(bool onIndex)
{
    const std::optional<QString> notice = std::exchange(notFound_, std::nullopt);
    if (notice && onIndex)
        u.feedback.OSD(*notice, false);
}

void UrlHelpers::objWB_WindowClosing(bool IsChildWindow, bool &Cancel)
{
    Q_UNUSED(IsChildWindow);
    Guard(u.er, QStringLiteral("objWB_WindowClosing"), [&] {
        // The close request asks the exit question and, on Yes, shuts down.
        bool keepOpen = false;
        QueryUnload(keepOpen);
        Cancel = true;
    });
}

} // namespace qyr
