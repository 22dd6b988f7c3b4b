// Page keys, link-to-file conversion and the browser's housekeeping handlers,
// on doubles.
#include "navigation/urlhelpers.h"
#include "doubles/rig.h"

#include <QtTest>

using namespace qyr;
using namespace qyr::test;

class TstUrlHelpers : public QObject {
    Q_OBJECT
private slots:
    void pageKey_data()
    {
        QTest::addColumn<QString>("appFolder");
        QTest::addColumn<QString>("location");
        QTest::addColumn<QString>("key");
        const QString book = "/home/anna/libro";
        QTest::addRow("page with anchor") << book << "file:///home/anna/libro/Libro/cap1.htm#x" << "LIBRO\\CAP1.HTM";
        QTest::addRow("html as htm") << book << "file:///home/anna/libro/Libro/Cap1.html#LumoIndex_2"
                                     << "LIBRO\\CAP1.HTM";
        QTest::addRow("folder in another letter case")
            << book << "file:///home/anna/LIBRO/Libro/cap1.htm" << "LIBRO\\CAP1.HTM";
        QTest::addRow("query and anchor") << book << "file:///home/anna/libro/Libro/pagina.asp?x=1#y"
                                          << "LIBRO\\PAGINA.ASP";
        QTest::addRow("page named in the query")
            << book << "http://server/libro/p.php?pagina=cap1.htm" << "SERVER\\LIBRO\\P.PHP";
        QTest::addRow("accents, spaces, percent and hash")
            << "/libri/Città del libro #1/cento %25" << "file:///libri/Citt%C3%A0%20del%20libro%20%231/cento%20%2525/"
                                                     "Parte%20%C3%A8%20due/perch%C3%A9.htm"
            << "PARTE È DUE\\PERCHÉ.HTM";
        QTest::addRow("folder with a final slash") << "/home/anna/libro/" << "file:///home/anna/libro/Libro/cap1.htm"
                                                   << "LIBRO\\CAP1.HTM";
        QTest::addRow("outside the book") << book << "file:///media/usb/Altro/p.htm" << "MEDIA\\USB\\ALTRO\\P.HTM";
        QTest::addRow("book at the root") << "/" << "file:///Libro/cap1.htm" << "LIBRO\\CAP1.HTM";
        QTest::addRow("table of contents as navigated") << "/libri/demo" << "/libri/demo/Index.htm" << "INDEX.HTM";
    }
    void pageKey()
    {
        QFETCH(QString, appFolder);
        QFETCH(QString, location);
        QFETCH(QString, key);
        Rig r(appFolder);
        r.browser.location = location;
        QCOMPARE(r.f->urls.Section(), key);
        QVERIFY(r.dialogs.shown.isEmpty());
    }

    void linkToFile_data()
    {
        QTest::addColumn<QString>("location");
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("file");
        const QString page = "file:///home/anna/libro/Libro/cap1.htm";
        QTest::addRow("name after the page address") << page << page + "#video.wmv"
                                                     << "/home/anna/libro/Libro/video.wmv";
        QTest::addRow("page shown at an anchor")
            << page + "#LumoIndex_3" << page + "#video.wmv" << "/home/anna/libro/Libro/video.wmv";
        QTest::addRow("anchor then query") << page << page + "#sezione?film.wmv" << "/home/anna/libro/Libro/film.wmv";
        QTest::addRow("at signs removed") << page << page + "#mio@film.wmv" << "/home/anna/libro/Libro/miofilm.wmv";
        QTest::addRow("encoded name") << page << page + "#il%20film%20%C3%A8.wmv"
                                      << "/home/anna/libro/Libro/il film è.wmv";
        QTest::addRow("other page of the book")
            << page << "file:///home/anna/libro/Libro/cap2.htm#film.wmv" << "/home/anna/libro/Libro/film.wmv";
        // A direct link (href="clip.avi") arrives resolved by the browser.
        QTest::addRow("direct link") << page << "file:///home/anna/libro/Libro/clip.avi"
                                     << "/home/anna/libro/Libro/clip.avi";
        QTest::addRow("direct link in a folder with a hash")
            << "file:///libri/Libro%20%231/cap1.htm" << "file:///libri/Libro%20%231/Video/clip%C3%A8.avi"
            << "/libri/Libro #1/Video/clipè.avi";
        QTest::addRow("path") << page << "/home/anna/libro/Video/film.wmv" << "/home/anna/libro/Video/film.wmv";
    }
    void linkToFile()
    {
        QFETCH(QString, location);
        QFETCH(QString, url);
        QFETCH(QString, file);
        Rig r("/home/anna/libro");
        r.browser.location = location;
        QCOMPARE(r.f->urls.PulisciUrl(url), file);
        QVERIFY(r.dialogs.shown.isEmpty());
    }

    void titleChange_data()
    {
        QTest::addColumn<QString>("appFolder");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("target"); // empty: no navigation
        const QString demo = "/libri/demo";
        const QString index = "/libri/demo/Index.htm";
        QTest::addRow("not found") << demo << "impossibile trovare il server" << index;
        QTest::addRow("not found, book at the root") << "/" << "Impossibile trovare il server" << "/Index.htm";
        QTest::addRow("failed load") << demo << "Errore di caricamento: net::ERR_FILE_NOT_FOUND" << index;
        QTest::addRow("failed load in lower case") << demo << "errore di caricamento" << index;
        QTest::addRow("page title") << demo << "Capitolo 1" << QString();
        QTest::addRow("not found within a title") << demo << "Impossibile trovare il server - Libro" << QString();
        QTest::addRow("failed load within a title") << demo << "Pagina: Errore di caricamento" << QString();
        QTest::addRow("empty") << demo << QString() << QString();
    }
    void titleChange()
    {
        QFETCH(QString, appFolder);
        QFETCH(QString, title);
        QFETCH(QString, target);
        Rig r(appFolder); // not started: the index address is rebuilt, not read
        r.f->urls.connect();
        r.browser.TitleChange(title);
        QCOMPARE(r.browser.navigations, target.isEmpty() ? QStringList() : QStringList{target});
        QVERIFY(r.dialogs.shown.isEmpty());
    }

    void returnToIndexDoesNotLoop()
    {
        Rig r;
        r.f->urls.connect();
        r.f->urls.connect(); // a second call adds no handler
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
    }
};

QTEST_GUILESS_MAIN(TstUrlHelpers)
#include "tst_urlhelpers.moc"
