#include "urlhelpers.h"
#include "../shell/frmbrowser.h"

#include <algorithm>

namespace qyr {

namespace {

const QChar kBackslash = QLatin1Char('\\');

// The book folder as it appears in an address that has been upper-cased and
// had its "/" turned into "\": C:\APP on Windows, \HOME\ANNA\LIBRO on Linux.
// A file-system root ("/") would otherwise remove every separator of the key.
QString folderInKey(const QString &appFolder)
{
    QString folder = appFolder.toUpper();
    folder.replace(QLatin1Char('/'), kBackslash);
    for (const QChar c : folder)
        if (c != kBackslash)
            return folder;
    return QString();
}

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

// The address of the folder that holds the page at url, with its final
// separator. The classic rule removed the browser's location name from the
// address, which gives the folder only when that name is the page's file
// name; our browser names a page by its title, so the folder is taken from
// the address itself.
QString folderOfPage(QString url)
{
    cutBefore(url, QLatin1Char('#'));
    cutBefore(url, QLatin1Char('?'));
    const int slash = std::max(url.lastIndexOf(QLatin1Char('/')), url.lastIndexOf(kBackslash));
    return slash >= 0 ? url.left(slash + 1) : QString();
}

} // namespace

void UrlHelpers::connect()
{
    if (connected_)
        return;
    connected_ = true;
    f.ports.browser.TitleChange.connect([this](const QString &title) { objWB_TitleChange(title); });
    // The port reports only the main window's browser closing.
    f.ports.browser.WindowClosing.connect([this](bool &cancel) { objWB_WindowClosing(false, cancel); });
    // A failed navigation has no handler of its own: the browser adapter
    // reports it as a title change, handled below.
    // Only a page that really loaded ends a return to the table of contents;
    // titles seen while a load is under way do not.
    f.ports.browser.DocumentComplete.connect([this](const QString &) { returningToIndex_ = false; });
}

// The key is built the Windows way on every system, so bookmarks move
// between systems with the settings. On Linux, with the book in
// /home/anna/libro, file:///home/anna/libro/Libro/cap1.htm gives
// LIBRO\CAP1.HTM, the key file:///C:/App/Libro/cap1.htm gives on Windows with
// the book in C:\App; a page outside the book folder keeps its whole path
// without the leading "\" (file:///media/usb/Altro/p.htm gives
// MEDIA\USB\ALTRO\P.HTM), as a Windows one loses its drive.
QString UrlHelpers::Section()
{
    // On failure the text as far as it was processed is returned.
    return GuardValue<QString>(f.er, QStringLiteral("Section"), QString(), [&](QString &r) {
        r = f.ports.browser.locationURL();
        r.replace(QLatin1String("%20"), QLatin1String(" "));
        r = r.toUpper();
        r.replace(QLatin1Char('/'), kBackslash);
        const QString folder = folderInKey(f.appFolder);
        if (!folder.isEmpty())
            r.remove(folder);
        r.remove(QLatin1String("FILE:\\\\"));
        r.remove(QLatin1String("HTTP:\\\\"));
        while (r.startsWith(kBackslash))
            r.remove(0, 1);
        if (r.mid(1, 2) == QLatin1String(":\\"))
            r.remove(0, 3);
        // ".html" and ".htm" pages share one key.
        cutAfter(r, QStringLiteral(".HTML"));
        cutAfter(r, QStringLiteral(".HTM"));
        cutBefore(r, QLatin1Char('?'));
        cutBefore(r, QLatin1Char('#'));
    });
}

QString UrlHelpers::PulisciUrl(const QString &url)
{
    // On failure the text as far as it was processed is returned.
    return GuardValue<QString>(f.er, QStringLiteral("PulisciUrl"), QString(), [&](QString &r) {
        const QString location = f.ports.browser.locationURL();
        r = url;
        // A link into the current page keeps only what follows its address.
        if (!location.isEmpty())
            r.remove(location);
        // Noted before the anchor is taken. The folder is looked for in its
        // Windows form, with "\", on every system: a browser address (always
        // with "/") then gets the page's folder on Linux as on Windows, even
        // when it names the book folder.
        QString folder = f.appFolder;
        folder.replace(QLatin1Char('/'), kBackslash);
        const bool inBookFolder = r.contains(folder);
        keepAfter(r, QLatin1Char('#'));
        keepAfter(r, QLatin1Char('?'));
        if (!inBookFolder)
            r = folderOfPage(f.ports.browser.locationURL()) + r;
        r.replace(QLatin1Char('/'), kBackslash);
        for (int i = 0; i < 3; ++i)
            r.replace(QLatin1String("\\\\"), QLatin1String("\\"));
        r.remove(QLatin1String("file:\\"));
        r.replace(QLatin1String("%20"), QLatin1String(" "));
        r.remove(QLatin1Char('@'));
    });
}

void UrlHelpers::objWB_TitleChange(const QString &Text)
{
    Guard(
        f.er, QStringLiteral("objWB_TitleChange"),
        [&] {
            const QString title = Text.toLower();
            // The classic browser's page for an unreachable address, and our
            // browser's title for a page that failed to load.
            const bool failed = title == QLatin1String("impossibile trovare il server") ||
                                title.startsWith(QLatin1String("errore di caricamento"));
            if (!failed || returningToIndex_)
                return;
            QString index = f.appFolder + QStringLiteral("\\Index.htm");
            index.replace(QLatin1String("\\\\"), QLatin1String("\\"));
            returningToIndex_ = true;
            f.ports.browser.navigate(index);
        },
        [this] { returningToIndex_ = false; });
}

void UrlHelpers::objWB_WindowClosing(bool IsChildWindow, bool &Cancel)
{
    Q_UNUSED(IsChildWindow);
    Guard(f.er, QStringLiteral("objWB_WindowClosing"), [&] {
        // The close request asks the exit question and, on Yes, shuts down.
        bool keepOpen = false;
        f.startup.Form_QueryUnload(keepOpen);
        Cancel = true;
    });
}

} // namespace qyr
