// Page keys, link-to-file conversion and the browser's housekeeping handlers, on doubles.
#include "navigation/urlhelpers.h"
#include "doubles/rig.h"
#include "platform/bookpath.h"

#include <QtTest>

using namespace qyr;
using namespace qyr::test;

struct Case { QString folder, location, given, expected; };

class TstUrlHelpers : public QObject {
    Q_OBJECT
private slots:
    // A page's key in the settings (no link given), and the file a link names.
    void pageKeysAndLinksToFiles()
    {
        const QString book = "/home/anna/libro", page = "file:///home/anna/libro/Libro/cap1.htm", folder = book + "/Libro/";
        const Case cases[] = {
            {book, "file:///home/anna/libro/Libro/Cap1.html#LumoIndex_2", {}, "LIBRO\\CAP1.HTM"},
            {book, "file:///home/anna/LIBRO/Libro/cap1.htm", {}, "LIBRO\\CAP1.HTM"},
            {book, "http://server/libro/p.php?pagina=cap1.htm", {}, "SERVER\\LIBRO\\P.PHP"},
            {"/libri/Città del libro #1/cento %25",
             "file:///libri/Citt%C3%A0%20del%20libro%20%231/cento%20%2525/Parte%20%C3%A8%20due/perch%C3%A9.htm", {},
             "PARTE È DUE\\PERCHÉ.HTM"},
            {book + '/', "file:///home/anna/libro/Libro/cap1.htm", {}, "LIBRO\\CAP1.HTM"},
            {book, "file:///media/usb/Altro/p.htm", {}, "MEDIA\\USB\\ALTRO\\P.HTM"},
            {"/", "file:///Libro/cap1.htm", {}, "LIBRO\\CAP1.HTM"},
            {"/libri/demo", "/libri/demo/Index.htm", {}, "INDEX.HTM"}, // the contents as navigated, a plain path
            // A name after the page's address, percent-encoded, its "@" command marks dropped.
            {book, page, page + "#il%20mio@film%20%C3%A8.wmv", folder + "il miofilm è.wmv"},
            {book, page + "#LumoIndex_3", page + "#video.wmv", folder + "video.wmv"},
            // What a personal video's link leaves after a jump inside the page: the page's address and the name.
            {book, page + "#LumoIndex_3", page + "clip.avi", folder + "clip.avi"},
            {book, page, page + "#sezione?film.wmv", folder + "film.wmv"},
            // A direct link (href="clip.avi") arrives resolved by the browser; the folders keep their "@".
            {book, "file:///libri/Libro%20%231/cap1.htm", "file:///libri/Libro%20%231@/Video/clip%C3%A8@.avi",
             "/libri/Libro #1@/Video/clipè.avi"},
            {book, page, "/home/anna/libro/Video/film.wmv", "/home/anna/libro/Video/film.wmv"},
        };
        for (const Case &c : cases) {
            Rig r(c.folder);
            r.browser.location = c.location;
            const QString got = c.given.isEmpty() ? r.f->urls.Section() : r.f->urls.PulisciUrl(c.given);
            QVERIFY2(got == c.expected && r.dialogs.shown.isEmpty(), qPrintable(c.location + " " + c.given + " gave " + got));
        }
    }

    // A book, page or audio on a network share keeps the share's leading pair of separators through every conversion,
    // and a name on a share is a whole path: a share is never taken for a folder of the root.
    void networkShares()
    {
        const std::pair<QString, QString> paths[] = {
            {pathFromAddress("file://server/libri/Libro/cap1.htm#LumoIndex_2"), "//server/libri/Libro/cap1.htm"},
            {pathFromAddress("file:////server/libri/cap1.htm"), "//server/libri/cap1.htm"},
            {pathFromAddress("\\\\server\\libri\\Libro\\..\\cap1.htm"), "//server/libri/cap1.htm"},
            {joinPath("/libri/demo/Libro", "\\\\server\\audio\\a.mp3"), "//server/audio/a.mp3"},
            {joinPath("//server/libri/Libro/", "../b.mp3"), "//server/libri/b.mp3"},
            {folderOf("\\\\server\\libri\\Index.htm"), "//server/libri"},
            {addressFromPath("\\\\server\\libri\\Index.htm"), "file://server/libri/Index.htm"},
            {pathBelow("\\\\server\\libri", "//server/libri/Libro/cap1.htm"), "Libro/cap1.htm"},
            {pathBelow("/server/libri", "//server/libri/cap1.htm"), QString()}, // a local folder of the same name
        };
        for (const auto &[converted, expected] : paths)
            QCOMPARE(converted, expected);

        // A book opened on a share, its page's audio and a link's video; an audio a local page names on a share.
        Rig r;
        r.files.add("//server/libri/due/Index.htm");
        r.files.add("//server/libri/due/Libro/cap1.mp3");
        r.files.add("//nas/audio/cap2.mp3");
        r.startAt("file:///libri/demo/Libro/cap1.htm");
        QVERIFY(r.f->books.open("\\\\server\\libri\\due"));
        QCOMPARE(r.f->books.folder(), "//server/libri/due");
        QCOMPARE(r.browser.navigations.last(), "//server/libri/due/Index.htm");
        r.browser.location = "file://server/libri/due/Libro/cap1.htm";
        QCOMPARE(r.f->urls.Section(), "LIBRO\\CAP1.HTM");
        QCOMPARE(r.f->urls.PulisciUrl(r.browser.location + "#film.wmv"), "//server/libri/due/Libro/film.wmv");
        r.meta("QYRPLAYER_AUDIO", "cap1");
        r.mediaLog.clear();
        QVERIFY(r.f->audio.Playaudio(r.browser.location, AudioChoice::OfPage));
        QCOMPARE(r.played(), "//server/libri/due/Libro/cap1.mp3");
        r.browser.location = "file:///libri/demo/Libro/cap1.htm";
        r.meta("QYRPLAYER_AUDIO", "\\\\nas\\audio\\cap2.mp3");
        r.mediaLog.clear();
        QVERIFY(r.f->audio.Playaudio(r.browser.location, AudioChoice::OfPage));
        QCOMPARE(r.played(), "//nas/audio/cap2.mp3");
        QVERIFY(r.dialogs.shown.isEmpty());
    }

    // Only the titles of a page that failed to load go back to the table of contents, after saying which page it was.
    void failedPagesReturnToTheIndex()
    {
        const Case cases[] = {
            {"/libri/demo", {}, "impossibile trovare il server", "/libri/demo/Index.htm"},
            {"/", {}, "Impossibile trovare il server", "/Index.htm"},
            {"/libri/demo", {}, "Errore di caricamento: net::ERR_FILE_NOT_FOUND", "/libri/demo/Index.htm"},
            {"/libri/demo", {}, "Impossibile trovare il server - Libro", {}},
            {"/libri/demo", {}, "Pagina: Errore di caricamento", {}},
        };
        for (const Case &c : cases) {
            Rig r(c.folder); // not started: the index address is rebuilt, not read
            r.browser.location = "file:///libri/demo/Libro/capitolo%209.htm#QYRPLAYER_AUDIO_POS=3";
            r.browser.TitleChange(c.given);
            const QStringList expected = c.expected.isEmpty() ? QStringList() : QStringList{c.expected};
            QVERIFY2(r.browser.navigations == expected && r.dialogs.shown.isEmpty(), qPrintable(c.given));
            // Said once the contents page has loaded, and only then.
            QCOMPARE(r.osd(), QString());
            r.browser.load(c.expected.isEmpty() ? "file:///libri/demo/Libro/cap2.htm" : "file://" + c.expected);
            QCOMPARE(r.osd(), c.expected.isEmpty() ? QString() : "Pagina non trovata: capitolo 9.htm");
        }
        // A page that is there but cannot be read, and a link to a folder, say why.
        for (const auto &[location, said] :
             {std::pair{QString("file:///libri/demo/Libro/chiuso.htm"), QString("Pagina non leggibile (permesso negato): chiuso.htm")},
              {QString("file:///libri/demo/Libro/Parte/"), QString("Il collegamento porta a una cartella, non a una pagina: Parte")}}) {
            Rig r;
            r.files.add("/libri/demo/Libro/chiuso.htm");
            r.files.add("/libri/demo/Libro/parte/dentro.htm");
            r.browser.location = location;
            r.browser.TitleChange("Errore di caricamento: net::ERR_ACCESS_DENIED");
            r.browser.load("file:///libri/demo/Index.htm");
            QCOMPARE(r.osd(), said);
        }
    }

    void returnToIndexDoesNotLoop()
    {
        Rig r;
        const QString index = "/libri/demo/Index.htm";
        // A return that failed does not block the next one.
        r.browser.failNavigation = true;
        r.browser.TitleChange("Errore di caricamento: cap8.htm");
        QCOMPARE(r.dialogs.errorNames(), QStringList{"objWB_TitleChange"});
        r.browser.failNavigation = false;
        r.browser.TitleChange("Errore di caricamento: cap9.htm");
        QCOMPARE(r.browser.navigations, QStringList{index});
        // The table of contents fails too: no second return, even once its title came.
        r.browser.TitleChange("Errore di caricamento: Index.htm");
        r.browser.TitleChange("Indice");
        r.browser.TitleChange("Errore di caricamento: Index.htm");
        QCOMPARE(r.browser.navigations.size(), 1);
        // Once a page has loaded, a later failure returns again.
        r.browser.DocumentComplete(index);
        r.browser.TitleChange("Errore di caricamento: cap9.htm");
        QCOMPARE(r.browser.navigations, QStringList({index, index}));
        // When the contents page fails in its turn, the name is not said later on another page.
        r.clear();
        r.browser.TitleChange("Errore di caricamento: Index.htm");
        r.browser.load("file:///libri/demo/Libro/cap1.htm");
        r.browser.load("file://" + index);
        QCOMPARE(r.osd(), QString());
    }
};

QTEST_GUILESS_MAIN(TstUrlHelpers)
#include "tst_urlhelpers.moc"
