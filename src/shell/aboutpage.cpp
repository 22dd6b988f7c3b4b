#include "aboutpage.h"
#include "../navigation/daisyreading.h"

#include "../navigation/pageaudio.h"
#include "../platform/bookpath.h"
#include "../platform/browser.h"
#include "../platform/convert.h"
#include "../platform/errorreport.h"
#include "../platform/errors.h"
#include "../platform/files.h"
#include "../platform/openbook.h"
#include "../services/playersettings.h"

namespace qyr {

// The page is written over a blank one, which may not read local files: the
// book's logo goes in as data, when the book holds it as the rule for its
// files allows.
QString AboutPage::logoAddress() const
{
    const QString logo = joinPath(u.book.folder(), QStringLiteral("include/avvio.jpg"));
    const Result<QString> real = u.files.admit(u.book.folder(), logo, BookFileKind::Image);
    if (!real)
        return logo;
    const Result<QByteArray> bytes = u.files.readFile(*real, bookFileLimit(BookFileKind::Image));
    return bytes ? dataAddress(*bytes, *real) : logo;
}

QString AboutPage::buildHtml() const
{
    QString h;
    h += QStringLiteral("<BODY>");
    h += QStringLiteral("<p align='center'><img border='0' src=\"") + logoAddress().toHtmlEscaped() +
         QStringLiteral("\" alt='Logo di LumoPlayer'></p>");
    h += QStringLiteral("<h1 align='center'><b><font size='7'>LumoPlayer 4.1</font></b></h1>");
    h += QStringLiteral("<h2 Align='CENTER'><i>Software di navigazione accessibile per l'ascolto degli ") +
         QStringLiteral("audiolibri digitali.</i></h2>");
    h += QStringLiteral("<h2 align='center'>Laboratorio QYR - Libri da ascoltare</h2>");
    h += QStringLiteral("<p align='center' class='testo'>Via dei Lettori 12, 00100 Roma - "
                        "Telefono 06 0000000 - Fax 06 0000001</p>");
    h += QStringLiteral("<p align='center' class='testo'><a href='https://qyrplayer.invalid/'>"
                        "Sito web del laboratorio QYR</a></p>");
    h += QStringLiteral("<p align='center' class='testo'><a href='mailto:lettori@qyrplayer.invalid'>"
                        "Scrivi al laboratorio QYR</a></p>");
    h += QStringLiteral("<p align='center' class='testo'><b>Questo programma è libero: "
                        "usatelo, copiatelo e fatelo conoscere a chi legge con le orecchie.</b></p>");
    h += QStringLiteral("<hr>");
    h += QStringLiteral("<p align='center' class='testo'><b>Un ringraziamento agli autori del primo motore "
                        "di navigazione, che hanno aperto la strada a questo lettore.</b></p>");
    h += QStringLiteral("<hr>");
    h += QStringLiteral("</Body>");
    return h;
}

// A page the reader asked for while the about page shows (the table of
// contents, a chapter, another book) is where they want to be: the splash,
// still counting, would take them away from it and stop its audio. The
// splash's own navigation comes after its timer has stopped.
void AboutPage::readerMoved(const QString &url, bool cancelled)
{
    if (cancelled || !u.TimerSpalsh.enabled() || url.startsWith(QLatin1String("about:")))
        return;
    IgnoreFailure([&] { u.TimerSpalsh.setEnabled(false); });
}

void AboutPage::ShowAbout()
{
    // Failures are skipped one statement at a time: the about page is never
    // worth a dialog.
    IgnoreFailure([&] { strAboutHtml = buildHtml(); });
    IgnoreFailure([&] {
        const qint32 ms = conv::toInt32(u.prefs.stored(QStringLiteral("TempoSp"), QStringLiteral("5000")));
        u.TimerSpalsh.setInterval(ms < 1501 ? 1500 : ms);
    });
    IgnoreFailure([&] {
        if (u.browser.hasDocument())
            u.browser.setBodyHtml(strAboutHtml);
    });
}

void AboutPage::TimerSpalsh_Timer()
{
    Guard(u.er, QStringLiteral("TimerSpalsh_Timer"), [&] {
        u.TimerSpalsh.setEnabled(false);
        openReadingPlace();
    });
}

void AboutPage::openReadingPlace()
{
    // A DAISY book opens at its contents, reading from the place saved in it
    // (a phrase and the book's time) or from its first phrase.
    if (u.daisy.active()) {
        QString place;
        double at = 0;
        if (u.chkSavePos.value() == 1)
            IgnoreFailure([&] {
                place = u.prefs.stored(QStringLiteral("Brano"));
                at = conv::toDouble(u.prefs.stored(QStringLiteral("BranoPos"), QStringLiteral("0")));
            });
        u.daisy.start(place, at);
        u.listBookmarks();
        return;
    }
    const QString brano = u.prefs.stored(QStringLiteral("Brano"));
    const QString path = pathFromAddress(brano);
    const bool resume = u.chkSavePos.value() == 1 && brano != QLatin1String("about:blank") && !path.isEmpty() &&
                        u.files.fileExists(path);
    u.browser.navigate(resume ? brano : u.book.indexPage());
    u.audio.expectResume(resume);
}

} // namespace qyr
