#include "pageload.h"
#include "../platform/bookpath.h"
#include "../shell/frmbrowser.h"

namespace qyr {

void PageLoad::connect()
{
    if (connected_)
        return;
    connected_ = true;
    f.ports.browser.DocumentComplete.connect([this](const QString &url) { objWB_DocumentComplete(url); });
}

bool PageLoad::isIndexPage(const QString &url)
{
    return url.right(20).toUpper().contains(QLatin1String("INDEX.HTM"));
}

QString PageLoad::styleSheetUrl(qint16 n) const
{
    return addressFromPath(joinPath(f.appFolder, QStringLiteral("INCLUDE/Style%1.CSS").arg(n)));
}

void PageLoad::objWB_DocumentComplete(const QString &URL)
{
    IBrowser &wb = f.ports.browser;
    const bool index = isIndexPage(URL);
    IgnoreFailure([&] { f.ListMarkers.setToolTip(QStringLiteral("Elenco segnalibri")); });

    // A failure while the lists are rebuilt ends the handler: the audio of a
    // page whose bookmarks cannot be read is not started behind the reader.
    StepLabel step{QStringLiteral("Documentcompleted - "), QStringLiteral("Dopo Timer")};
    const bool listed = Guard(f.er, step, [&] {
        f.marks.ClearMarcatori();
        if (index) {
            // Every page of the book, with or without bookmarks, numbered in
            // the order listed.
            f.oFso = true;
            qint32 n = 1;
            for (const QString &folder : f.ports.files.folders(f.appFolder)) {
                if (folder.toUpper() == QLatin1String("INCLUDE"))
                    continue;
                const QString path = joinPath(f.appFolder, folder);
                for (const QString &file : f.ports.files.files(path)) {
                    f.marks.Marcatori(0, folder + QLatin1Char('/') + file, n);
                    ++n;
                }
            }
            f.oFso = false;
        } else {
            f.marks.Marcatori(0, QString(), 0);
        }
    });
    f.oFso = false;
    if (!listed)
        return;

    step.label = QStringLiteral("Click e caption");
    IgnoreFailure([&] {
        if (wb.title() != f.caption()) {
            f.setCaption(wb.title());
            // The reader lands at the start of the new page, where a screen
            // reader announces it and starts reading.
            wb.focusDocument();
        }
    });
    IgnoreFailure([&] {
        QString name = wb.locationName();
        const int hash = name.indexOf(QLatin1Char('#'));
        if (hash >= 0)
            name = name.left(hash);
        if (name != f.strLastPage) {
            f.strLastPage = name;
            f.nIndexAnchor = 0;
        }
    });
    IgnoreFailure([&] { f.setCaption(wb.title()); });

    step.label = QStringLiteral("Stilesheet");
    IgnoreFailure([&] {
        const QString sheet = styleSheetUrl(f.nStyleSheet);
        if (wb.styleSheetCount() > 0)
            wb.createStyleSheet(sheet, 1);
        wb.createStyleSheet(sheet, 0);
    });

    IgnoreFailure([&] { f.ports.pump.processEvents(); });
    IgnoreFailure([&] {
        if (!URL.isEmpty() && URL != QLatin1String("http:///"))
            f.audio.Playaudio(URL, false, false);
    });

    step.label = QStringLiteral("Marcatori");
    IgnoreFailure([&] {
        if (f.nPendingMarker > 0) {
            f.recall.MarcatoriRichiama(f.nPendingMarker);
            f.nPendingMarker = 0;
        }
    });

    step.label = QStringLiteral("Messaggi multilingua");
    if (!index)
        return;
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
            // Only an element that has a content (a meta element) counts; an
            // empty content empties the message.
            const PageElement e = wb.element(QString::fromLatin1(o.first));
            if (e.found && e.hasContent)
                f.msg.*(o.second) = e.content;
        });
    }
}

} // namespace qyr
