// Books kept apart in one settings store: bookmarks and resume point per book, preferences shared, old settings
// adopted by the first book, and export and import still in the layout of one tree.
#include "books/books.h"
#include "books/bookview.h"
#include "doubles/doubles.h"
#include "doubles/treefiles.h"
#include "exchange/registryexchange.h"
#include "platform/files/diskfiles.h"
#include "shell/settings.h"

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
        QVERIFY(RegistryExchange(due, files).importTextFile(file).applied);
        QCOMPARE(get(due, kPage, "1"), "754");
        QCOMPARE(get(due, kPlayer, "Brano"), "a.htm");
        QCOMPARE(uno.subKeys(program + "\\LIBRO"), QStringList({"CAP1.HTM"}));

        // Deleting the whole tree as one book sees it leaves the other book's marks.
        due.deleteKey(program);
        QCOMPARE(get(uno, kPlayer, "Rate"), QString());
        QCOMPARE(get(uno, kPage, "1"), "754");
        QCOMPARE(get(due, kPlayer, "Brano"), QString());
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

    // The index is found whatever its letter case; a folder without one is no book.
    void aBookIsAFolderWithItsIndex()
    {
        QTemporaryDir dir;
        DiskFiles files;
        const QString book = dir.filePath("libro");
        QVERIFY(QDir(book).mkpath("Libro"));
        writeFile(book + "/INDEX.HTM", "");
        QCOMPARE(bookFolderOf(files, book), book);
        QCOMPARE(bookFolderOf(files, book + "/Index.htm"), book);
        QCOMPARE(bookFolderOf(files, book + "/Libro"), QString());
    }
};

QTEST_GUILESS_MAIN(TstBooks)
#include "tst_books.moc"
