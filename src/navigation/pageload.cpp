#include "pageload.h"
#include "../platform/bookpath.h"
#include "../platform/browser.h"
#include "../platform/convert.h"
#include "../platform/errorreport.h"
#include "../platform/errors.h"
#include "../platform/openbook.h"
#include "../platform/pump.h"
#include "../services/messages.h"
#include "pageaudio.h"
#include "urlhelpers.h"

namespace qyr {

QString PageLoad::styleSheetUrl(qint16 n) const
{
    return addressFromPath(joinPath(u.book.folder(), QStringLiteral("INCLUDE/Style%1.CSS").arg(n)));
}

void PageLoad::objWB_DocumentComplete(const QString &URL)
{
    const bool index = UrlHelpers::isIndexPage(URL);
    IgnoreFailure([&] { u.ListMarkers.setToolTip(QStringLiteral("Elenco segnalibri")); });
    // The audio of a page whose bookmarks cannot be read is not started
    // behind the reader.
    if (!listBookmarks(index))
        return;
    showTitle();
    applyStyleSheet();
    IgnoreFailure([&] { u.pump.processEvents(); });
    // After the pending events, among them the new title's announcement.
    IgnoreFailure([&] { u.urls.sayPageNotFound(index); });
    IgnoreFailure([&] {
        if (!URL.isEmpty() && URL != QLatin1String("http:///"))
            u.audio.Playaudio(URL, AudioChoice::OfPage);
    });
    IgnoreFailure([&] { u.reactions.completeRecall(); });
    if (index)
        takeMessages();
}

// The bookmark lists rebuilt for the page: on the table of contents every
// page of the book, with or without bookmarks, numbered in the order listed.
// A failure ends the page's handling (false).
bool PageLoad::listBookmarks(bool index)
{
    return Guard(u.er, QStringLiteral("Documentcompleted - Dopo Timer"), [&] { u.reactions.listBookmarks(index); });
}

void PageLoad::showTitle()
{
    IBrowser &wb = u.browser;
    IgnoreFailure([&] {
        if (wb.title() != u.form.caption()) {
            u.form.setCaption(wb.title());
            // The reader lands at the start of the new page, where a screen
            // reader announces it and starts reading.
            wb.focusDocument();
        }
    });
    IgnoreFailure([&] {
        // The whole address: pages of two folders may share a file name, and
        // each has its own index entries.
        QString name = wb.locationURL();
        const int hash = name.indexOf(QLatin1Char('#'));
        if (hash >= 0)
            name = name.left(hash);
        if (name != strLastPage) {
            strLastPage = name;
            u.nIndexAnchor = 0;
        }
    });
    IgnoreFailure([&] { u.form.setCaption(wb.title()); });
}

void PageLoad::applyStyleSheet()
{
    IgnoreFailure([&] {
        IBrowser &wb = u.browser;
        const QString sheet = styleSheetUrl(u.reactions.styleSheet());
        if (wb.styleSheetCount() > 0)
            wb.createStyleSheet(sheet, 1);
        wb.createStyleSheet(sheet, 0);
    });
}

// The table of contents may word the reader messages its own way.
void PageLoad::takeMessages()
{
    const std::pair<const char *, QString Messages::*> overrides[] = {
        {"QYRPLAYER_MSG_DELMARK", &Messages::strMsgDelMark},
        {"QYRPLAYER_MSG_MARKNONE", &Messages::strMsgMarkNone},
        {"QYRPLAYER_MSG_ERRORE", &Messages::strMsgErrore},
        {"QYRPLAYER_MSG_EXPORTOK", &Messages::strMsgExportOk},
        {"QYRPLAYER_MSG_EXPORTKO", &Messages::strMsgExportKo},
        {"QYRPLAYER_MSG_MARKEXIST", &Messages::strMsgMarkExist},
        {"QYRPLAYER_MSG_RIPRISTINOOK", &Messages::strMsgRipristinoOk},
        {"QYRPLAYER_MSG_SOSTFILE", &Messages::strMsgSostFile},
        {"QYRPLAYER_MSG_USCITA", &Messages::strMsgUscita},
    };
    for (const auto &o : overrides) {
        IgnoreFailure([&] {
            // Only an element that has a content (a meta element) counts, and
            // only with words in it: an empty message would show an empty box.
            const PageElement e = u.browser.element(QString::fromLatin1(o.first));
            if (e.found && e.hasContent && !e.content.trimmed().isEmpty())
                u.msg.*(o.second) = e.content;
        });
    }
}

} // namespace qyr
