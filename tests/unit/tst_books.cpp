// Books kept apart in one settings store: bookmarks and resume point per book, preferences shared, old settings
// adopted by the first book, and export and import still in the layout of one tree.
#include "books/books.h"
#include "books/bookview.h"
#include "doubles/doubles.h"
#include "doubles/rig.h"
#include "doubles/treefiles.h"
#include "exchange/registryexchange.h"
#include "platform/files/diskfiles.h"
#include "services/settings.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace qyr;
using namespace qyr::test;

namespace {

const QString kPage = "LIBRO\\CAP1.HTM";
const QString kPlayer = "Player";

QString get(IRegistry &view, const QString &section, const QString &key)
{
    return Settings(view).Get("QYR MediaPlayer", section, key);
}

void save(IRegistry &view, const QString &section, const QString &key, const QString &value)
{
    Settings(view).Save("QYR MediaPlayer", section, key, value);
}

} // namespace

class TstBooks : public QObject {
    Q_OBJECT
private slots:
    // Each book its bookmarks and resume point, the preferences shared; a book's export is one tree, as a Windows
    // program reads it, with that book only, and importing it into another book touches only that book.
    void booksKeepTheirOwnMarksAndShareThePreferences()
    {
        MemoryRegistry store;
        DiskFiles files;
        BookView uno(store), due(store);
        uno.openBook("/libri/uno");
        due.openBook("/libri/due/");
        QCOMPARE(BookView::bookKey("/libri/due/"), BookView::bookKey("/libri/due"));
        save(uno, kPage, "1", "754");
        save(uno, kPlayer, "Brano", "a.htm");
        save(due, kPlayer, "Brano", "b.htm");
        save(due, kPlayer, "Rate", "1,5");
        save(due, "LIBRO\\CAP9.HTM", "1", "5");
        QCOMPARE(get(due, kPage, "1"), QString());
        QCOMPARE(get(uno, kPlayer, "Brano"), "a.htm");
        QCOMPARE(get(uno, kPlayer, "Rate"), "1,5");
        const QString program = programKey();
        QCOMPARE(uno.subKeys(program), QStringList({kPlayer, "LIBRO"}));
        QCOMPARE(uno.subKeys(program + "\\LIBRO"), QStringList({"CAP1.HTM"}));

        QTemporaryDir dir;
        const QString file = dir.filePath("uno.reg");
        QVERIFY(RegistryExchange(uno, files).exportKey(hkey::CurrentUser, program, file, true, false).written);
        const QByteArray text = readFile(file);
        const QByteArray key = "[HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\QYR MediaPlayer\\";
        QVERIFY(text.contains(key + "LIBRO\\CAP1.HTM]\r\n\"1\"=\"754\""));
        QVERIFY(text.contains(key + "Player]\r\n\"Rate\"=\"1,5\"\r\n\"Brano\"=\"a.htm\""));
        QVERIFY(!text.contains("CAP9") && !text.contains("b.htm") && !text.contains("qyrplayer"));
        // A key whose name only begins with the program's is another program's: the import neither writes nor
        // deletes it, and the view, written to directly, leaves it where it is, outside every book.
        const QString sibling = program + "2";
        store.setValue(sibling + "\\Vecchia", RegValue::fromText("x", "y"));
        due.setValue(sibling + "\\Diretta", RegValue::fromText("x", "y"));
        QVERIFY(store.keyExists(sibling + "\\Diretta"));
        const QByteArray head = "\r\n[HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\QYR MediaPlayer2";
        writeFile(file, text + head + "\\LIBRO]\r\n\"1\"=\"9\"\r\n" + "\r\n[-" + head.mid(3) + "\\Vecchia]\r\n");
        const ImportResult r = RegistryExchange(due, files).importTextFile(file);
        QVERIFY(r.applied);
        QCOMPARE(r.ignoredKeys, 2);
        QCOMPARE(r.ignoredValues, 1);
        QVERIFY(!store.keyExists(sibling + "\\LIBRO") && store.keyExists(sibling + "\\Vecchia"));
        QCOMPARE(get(due, kPage, "1"), "754");
        QCOMPARE(get(due, kPlayer, "Brano"), "a.htm");
        QCOMPARE(uno.subKeys(program + "\\LIBRO"), QStringList({"CAP1.HTM"}));

        // Deleting the whole tree as one book sees it leaves the other book's marks.
        due.deleteKey(program);
        QCOMPARE(get(uno, kPlayer, "Rate"), QString());
        QCOMPARE(get(uno, kPage, "1"), "754");
        QCOMPARE(get(due, kPlayer, "Brano"), QString());
    }

    // The values kept per book (its place: the page or phrase, the time, the page's audio) are each book's own:
    // another book opens without them, and the first finds its own again.
    void eachBookKeepsItsPlace()
    {
        Parts p("/libri/uno");
        p.files.add("/libri/uno/Index.htm");
        p.files.add("/libri/due/Index.htm");
        const QStringList own{"Brano", "BranoPos", "BranoAudio"};
        auto place = [&] {
            QStringList v;
            for (const QString &name : own)
                v << p.prefs.stored(name);
            return v;
        };
        auto put = [&](const QString &book) {
            for (const QString &name : own)
                p.prefs.save(name, book + " " + name);
            return place();
        };
        const QStringList uno = put("uno");
        QVERIFY(p.books.open("/libri/due"));
        QCOMPARE(place(), QStringList(own.size(), QString()));
        const QStringList due = put("due");
        QVERIFY(p.books.open("/libri/uno"));
        QCOMPARE(place(), uno);
        QVERIFY(p.books.open("/libri/due"));
        QCOMPARE(place(), due);
    }

    // Settings from before books were kept apart go to the first book opened, once; preferences stay shared.
    void oldSettingsBecomeTheFirstBooks()
    {
        MemoryRegistry store;
        const QString program = programKey();
        store.setValue(program + "\\" + kPage, RegValue::fromText("1NOME", "faro"));
        store.setValue(program + "\\Player", RegValue::fromText("BranoPos", "12"));
        store.setValue(program + "\\Player", RegValue::fromText("Volume", "80"));
        BookView first(store);
        first.openBook("/libri/uno");
        QCOMPARE(get(first, kPage, "1NOME"), "faro");
        QCOMPARE(get(first, kPlayer, "BranoPos"), "12");
        QVERIFY(!store.keyExists(program + "\\LIBRO"));
        BookView second(store);
        second.openBook("/libri/due");
        QCOMPARE(get(second, kPage, "1NOME"), QString());
        QCOMPARE(get(second, kPlayer, "BranoPos"), QString());
        QCOMPARE(get(second, kPlayer, "Volume"), "80");
    }

    // A book is named by its contents page's first heading, else by that page's title, in UTF-8 or in the Western code
    // page of Windows, with its character references; a page with neither, or no page, leaves the folder's name. The
    // index is found whatever its letter case; a folder without one is no book.
    void aBookIsNamedByItsContentsPage()
    {
        QTemporaryDir dir;
        DiskFiles files;
        const QString libro = dir.filePath("libro");
        QVERIFY(QDir(libro).mkpath("Libro"));
        writeFile(libro + "/INDEX.HTM", "");
        QCOMPARE(bookFolderOf(files, libro), libro);
        QCOMPARE(bookFolderOf(files, libro + "/Index.htm"), libro);
        QCOMPARE(bookFolderOf(files, libro + "/Libro"), QString());
        struct Case { const char *name; QByteArray index; QString title; };
        const Case cases[] = {
            {"utf-8", "<html><head><meta charset=\"utf-8\">\n<TITLE lang=\"it\">Sommario -\n  Citt\xc3\xa0 del faro</TITLE>",
             "Sommario - Città del faro"},
            {"windows-1252", "<title>Perch\xe9 il faro &egrave; &quot;spento&quot; \x96 &#8212;&#x41;&amp;&zzz;</title>",
             "Perché il faro è \"spento\" – —A&&zzz;"},
            {"heading", "<title>Sommario - Il faro</title></head><body>\n<H1 class=\"t\"><b>Il faro</b>\n di <i>Punta</i></h1>"
                        "<h1>Altro</h1>", "Il faro di Punta"},
            {"empty heading", "<title>Sommario</title><h1><img src=\"logo.jpg\"></h1>", "Sommario"},
            {"neither", "<html><body><p>Il faro</p></body></html>", "libro uno"},
        };
        const QString book = dir.filePath("libro uno");
        QVERIFY(QDir().mkpath(book));
        for (const Case &c : cases) {
            const auto named = naming(c.name);
            writeFile(book + "/INDEX.HTM", c.index);
            QCOMPARE(bookTitleOf(files, book + "/"), c.title);
        }
        QCOMPARE(bookTitleOf(files, dir.filePath("altrove")), "altrove");
    }

    // Until the first book page the window says the program and the book it opens, never the blank page's address;
    // then the page's own title. Each book's contents page words the messages for that book only; an empty wording
    // keeps the default one.
    void eachBookItsTitleAndMessages()
    {
        Rig r("/libri/uno");
        r.files.add("/libri/uno/Index.htm");
        r.files.add("/libri/due/Index.htm");
        r.files.contents.insert(FakeFiles::norm("/libri/uno/Index.htm"), "<title>Sommario - Il primo</title><h1>Il primo</h1>");
        r.browser.autoComplete = true;
        r.browser.pages.insert("about:blank", {"about:blank", {}, {}});
        auto meta = [](const QString &name, const QString &content) { return std::pair{name.toLower(), FakeBrowser::meta(name, content)}; };
        r.browser.pages.insert("/libri/uno/Index.htm", {"Sommario - Il primo", {meta("QYRPLAYER_MSG_MARKNONE", ""),
                                                                                meta("QYRPLAYER_MSG_USCITA", "Lasciare il primo libro?")}, {}});
        r.browser.pages.insert("/libri/due/Index.htm", {"Il secondo", {meta("QYRPLAYER_MSG_MARKNONE", "Il secondo libro non ha segni.")}, {}});
        r.start();
        QCOMPARE(r.f->caption(), "QYR Player: apertura del libro Il primo");
        r.clock.advance(5000);
        QCOMPARE(r.browser.navigations.last(), "/libri/uno/Index.htm");
        QCOMPARE(r.f->caption(), "Sommario - Il primo");
        auto previousMark = [&] {
            r.dialogs.shown.clear();
            r.f->keys.Form_KeyDown('1', 4); // Alt+1 with no bookmarks
            return r.dialogs.shown.size() == 1 ? r.dialogs.shown[0].title + ": " + r.dialogs.shown[0].text : QString();
        };
        QCOMPARE(previousMark(), "Marcatore Precedente: Non ci sono marcatori presenti.");
        QCOMPARE(r.f->msg.strMsgUscita, "Lasciare il primo libro?");

        QVERIFY(r.f->books.open("/libri/due"));
        QCOMPARE(r.browser.location, "/libri/due/Index.htm");
        QCOMPARE(previousMark(), "Marcatore Precedente: Il secondo libro non ha segni.");
        QCOMPARE(r.f->msg.strMsgUscita, "Sei sicuro di voler uscire?");
    }

    // The audio of the book being left stops when another book is opened, once its place is kept; a folder without
    // a book leaves it playing, and Ctrl+O closed without a choice keeps the book being read, and says so (a refusal
    // is in the end-to-end tests).
    void openingAnotherBookOrNone()
    {
        Rig r("/libri/uno");
        r.files.add("/libri/uno/Index.htm");
        r.files.add("/libri/due/Index.htm");
        r.start();
        r.f->oPlayer->setFileName("/libri/uno/Libro/cap1.mp3");
        r.f->oPlayer->Play_Player();
        QVERIFY(r.media());
        r.clear();
        r.f->books.chooseAndOpen();
        QCOMPARE(r.osd(), "Nessun libro aperto: si continua con quello di prima.");
        QCOMPARE(r.f->books.folder(), "/libri/uno");
        QVERIFY(r.browser.navigations.isEmpty());
        QVERIFY(!r.f->books.open("/libri/nessuno"));
        QVERIFY(!r.mediaLog.contains("stop"));
        QVERIFY(r.f->books.open("/libri/due"));
        QCOMPARE(r.mediaLog.count("stop"), 1);
        QCOMPARE(r.f->books.folder(), "/libri/due");
        QCOMPARE(r.f->books.indexPage(), "/libri/due/Index.htm");
    }
};

QTEST_GUILESS_MAIN(TstBooks)
#include "tst_books.moc"
