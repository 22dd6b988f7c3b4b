// Page keys, link-to-file conversion and the browser's housekeeping handlers,
// on doubles.
#include "navigation/urlhelpers.h"
#include "shell/frmbrowser.h"
#include "doubles/rig.h"

#include <QtTest>

using namespace qyr;
using namespace qyr::test;

namespace {

// A browser whose location or navigation fails on demand.
class FailingBrowser : public FakeBrowser {
public:
    QString locationURL() override
    {
        if (urlCallsBeforeFailure >= 0 && urlCallsBeforeFailure-- == 0)
            throw QyrError(err::Browser, QStringLiteral("indirizzo non disponibile"));
        return FakeBrowser::locationURL();
    }
    void navigate(const QString &url) override
    {
        if (failNavigation)
            throw QyrError(err::Browser, QStringLiteral("navigazione non riuscita"));
        FakeBrowser::navigate(url);
    }
    int urlCallsBeforeFailure = -1; // -1: never fails
    bool failNavigation = false;
};

// The main window's logic on a failing browser; no player is ever created.
struct FailingRig {
    MemoryRegistry reg;
    FakeFiles files;
    ScriptedDialogs dialogs;
    ManualClock clock;
    FailingBrowser browser;
    frmBrowser f{Ports{reg, files, dialogs, clock, clock, browser, nullptr, QStringLiteral("C:\\App")}};
};

} // namespace

class TstUrlHelpers : public QObject {
    Q_OBJECT
private slots:
    void pageKey_data()
    {
        QTest::addColumn<QString>("appFolder");
        QTest::addColumn<QString>("location");
        QTest::addColumn<QString>("key");
        const QString win = QStringLiteral("C:\\App");
        const QString linux = QStringLiteral("/home/anna/libro");
        QTest::addRow("page with anchor") << win << "file:///C:/App/Libro/cap1.htm#x" << "LIBRO\\CAP1.HTM";
        QTest::addRow("html as htm") << win << "file:///C:/App/Libro/Cap1.html" << "LIBRO\\CAP1.HTM";
        QTest::addRow("lower-case address") << win << "file:///c:/app/libro/cap1.htm" << "LIBRO\\CAP1.HTM";
        QTest::addRow("outside the book") << win << "file:///D:/Altro/p.htm" << "ALTRO\\P.HTM";
        QTest::addRow("query and anchor")
            << win << "file:///C:/App/Libro/pagina.asp?x=1#y" << "LIBRO\\PAGINA.ASP";
        QTest::addRow("page named in the query")
            << win << "http://server/libro/p.php?pagina=cap1.htm" << "SERVER\\LIBRO\\P.PHP";
        QTest::addRow("spaces") << "C:\\Miei libri" << "file:///C:/Miei%20libri/Il%20libro/cap%201.htm"
                                << "IL LIBRO\\CAP 1.HTM";
        QTest::addRow("book at a drive root") << "C:\\" << "file:///C:/Libro/cap1.htm" << "LIBRO\\CAP1.HTM";
        QTest::addRow("linux page") << linux << "file:///home/anna/libro/Libro/cap1.htm" << "LIBRO\\CAP1.HTM";
        QTest::addRow("linux html and anchor")
            << linux << "file:///home/anna/libro/Libro/cap1.html#LumoIndex_2" << "LIBRO\\CAP1.HTM";
        QTest::addRow("linux folder with a final slash")
            << "/home/anna/libro/" << "file:///home/anna/libro/Libro/cap1.htm" << "LIBRO\\CAP1.HTM";
        QTest::addRow("linux outside the book") << linux << "file:///media/usb/Altro/p.htm" << "MEDIA\\USB\\ALTRO\\P.HTM";
        QTest::addRow("linux book at the root") << "/" << "file:///Libro/cap1.htm" << "LIBRO\\CAP1.HTM";
        QTest::addRow("table of contents as navigated") << "/libri/demo" << "/libri/demo\\Index.htm" << "INDEX.HTM";
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
        QTest::addColumn<QString>("appFolder");
        QTest::addColumn<QString>("location");
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("file");
        const QString win = QStringLiteral("C:\\App");
        const QString page = QStringLiteral("file:///C:/App/Libro/cap1.htm");
        const QString linux = QStringLiteral("/home/anna/libro");
        const QString linuxPage = QStringLiteral("file:///home/anna/libro/Libro/cap1.htm");
        QTest::addRow("name after the page address") << win << page << page + "#video.wmv" << "C:\\App\\Libro\\video.wmv";
        QTest::addRow("page shown at an anchor")
            << win << page + "#LumoIndex_3" << page + "#video.wmv" << "C:\\App\\Libro\\video.wmv";
        QTest::addRow("anchor then query") << win << page << page + "#sezione?film.wmv" << "C:\\App\\Libro\\film.wmv";
        QTest::addRow("at signs removed") << win << page << page + "#mio@film.wmv" << "C:\\App\\Libro\\miofilm.wmv";
        QTest::addRow("spaces") << win << page << page + "#il%20film.wmv" << "C:\\App\\Libro\\il film.wmv";
        // A browser address gets the page's folder even when it names the
        // book folder, as on Windows, where the folder is written with "\".
        QTest::addRow("other page of the book")
            << win << page << "file:///C:/App/Libro/cap2.htm#film.wmv" << "C:\\App\\Libro\\film.wmv";
        QTest::addRow("linux name after the page address")
            << linux << linuxPage << linuxPage + "#video.wmv" << "home\\anna\\libro\\Libro\\video.wmv";
        QTest::addRow("linux page shown at an anchor")
            << linux << linuxPage + "#LumoIndex_1" << linuxPage + "#video.wmv"
            << "home\\anna\\libro\\Libro\\video.wmv";
        QTest::addRow("linux other page of the book")
            << linux << linuxPage << "file:///home/anna/libro/Libro/cap2.htm#film.wmv"
            << "home\\anna\\libro\\Libro\\film.wmv";
        // A path naming the book folder is kept as it is; the folder is looked
        // for before the anchor is taken, so a name after it stays bare.
        QTest::addRow("path in the book") << win << page << "C:\\App\\Video\\film.wmv"
                                          << "C:\\App\\Video\\film.wmv";
        QTest::addRow("path in the book with an anchor")
            << win << page << "C:\\App\\Libro\\cap2.htm#film.wmv" << "film.wmv";
    }
    void linkToFile()
    {
        QFETCH(QString, appFolder);
        QFETCH(QString, location);
        QFETCH(QString, url);
        QFETCH(QString, file);
        Rig r(appFolder);
        r.browser.location = location;
        QCOMPARE(r.f->urls.PulisciUrl(url), file);
        QVERIFY(r.dialogs.shown.isEmpty());
    }

    void titleChange_data()
    {
        QTest::addColumn<QString>("appFolder");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("target"); // empty: no navigation
        const QString demo = QStringLiteral("/libri/demo");
        const QString index = QStringLiteral("/libri/demo\\Index.htm");
        QTest::addRow("not found") << demo << "impossibile trovare il server" << index;
        QTest::addRow("not found in capitals") << demo << "IMPOSSIBILE TROVARE IL SERVER" << index;
        QTest::addRow("not found, drive root") << "C:\\" << "Impossibile trovare il server" << "C:\\Index.htm";
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
        const QString index = QStringLiteral("/libri/demo\\Index.htm");
        r.browser.TitleChange(QStringLiteral("Errore di caricamento: cap9.htm"));
        QCOMPARE(r.browser.navigations, QStringList{index});
        // The table of contents fails too: no second return.
        r.browser.TitleChange(QStringLiteral("Errore di caricamento: Index.htm"));
        QCOMPARE(r.browser.navigations.size(), 1);
        // Once a page has loaded, a later failure returns again.
        r.browser.TitleChange(QStringLiteral("Indice"));
        r.browser.TitleChange(QStringLiteral("Errore di caricamento: Index.htm"));
        QCOMPARE(r.browser.navigations.size(), 1);
        r.browser.DocumentComplete(index);
        r.browser.TitleChange(QStringLiteral("Errore di caricamento: cap9.htm"));
        QCOMPARE(r.browser.navigations, QStringList({index, index}));
    }

    void windowClosing_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("closing");
        QTest::addColumn<QString>("brano");
        QTest::addRow("yes") << int(Answer::Yes) << true << QString();
        QTest::addRow("no") << int(Answer::No) << false << QStringLiteral("<assente>");
    }
    void windowClosing()
    {
        QFETCH(int, answer);
        QFETCH(bool, closing);
        QFETCH(QString, brano);
        Rig r;
        r.start();
        r.f->urls.connect();
        r.browser.location = QStringLiteral("file:///libri/demo/Libro/cap1.htm");
        r.dialogs.shown.clear();
        r.dialogs.answers.enqueue(Answer(answer));
        bool cancel = false;
        r.browser.WindowClosing(cancel);
        QVERIFY(cancel); // the page never destroys the browser control
        QCOMPARE(r.f->closing, closing);
        QCOMPARE(r.dialogs.count(QStringLiteral("message")), 1);
        QCOMPARE(r.dialogs.shown.first().text, r.f->msg.strMsgUscita);
        QCOMPARE(r.reg.get(QStringLiteral("Player"), QStringLiteral("Brano")), brano);
        QCOMPARE(r.dialogs.count(QStringLiteral("error")), 0);
    }

    void failuresAreReportedUnderTheirOwnName()
    {
        {
            FailingRig r;
            r.browser.urlCallsBeforeFailure = 0;
            QCOMPARE(r.f.urls.Section(), QString());
            QCOMPARE(r.dialogs.errorNames(), QStringList{QStringLiteral("Section")});
            QVERIFY(r.dialogs.shown.first().text.contains(QStringLiteral("indirizzo non disponibile")));
        }
        {
            // The page's folder cannot be read: the text as far as processed.
            FailingRig r;
            r.browser.location = QStringLiteral("file:///C:/App/Libro/cap1.htm");
            r.browser.urlCallsBeforeFailure = 1;
            QCOMPARE(r.f.urls.PulisciUrl(QStringLiteral("file:///C:/App/Libro/cap1.htm#a@b.wmv")),
                     QStringLiteral("a@b.wmv"));
            QCOMPARE(r.dialogs.errorNames(), QStringList{QStringLiteral("PulisciUrl")});
        }
        {
            FailingRig r;
            r.f.urls.connect();
            r.browser.failNavigation = true;
            r.browser.TitleChange(QStringLiteral("Errore di caricamento: cap9.htm"));
            QCOMPARE(r.dialogs.errorNames(), QStringList{QStringLiteral("objWB_TitleChange")});
            // A return that failed does not block the next one.
            r.browser.failNavigation = false;
            r.browser.TitleChange(QStringLiteral("Errore di caricamento: cap8.htm"));
            QCOMPARE(r.browser.navigations, QStringList{QStringLiteral("C:\\App\\Index.htm")});
        }
    }
};

QTEST_GUILESS_MAIN(TstUrlHelpers)
#include "tst_urlhelpers.moc"
