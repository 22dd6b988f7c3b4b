// Books kept apart in one settings store: bookmarks and resume point per
// book, preferences shared, old settings adopted by the first book, and
// export and import still in the layout of one tree.
#include "books/books.h"
#include "books/bookview.h"
#include "doubles/doubles.h"
#include "exchange/registryexchange.h"
#include "platform/files/diskfiles.h"
#include "shell/settings.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace qyr;
using qyr::test::MemoryRegistry;

namespace {

const QString kApp = QStringLiteral("QYR MediaPlayer");
const QString kPage = QStringLiteral("LIBRO\\CAP1.HTM");
const QString kPlayer = QStringLiteral("Player");

QString get(IRegistry &view, const QString &section, const QString &key)
{
    return Settings(view).Get(kApp, section, key);
}

void save(IRegistry &view, const QString &section, const QString &key, const QString &value)
{
    Settings(view).Save(kApp, section, key, value);
}

} // namespace

class TstBooks : public QObject {
    Q_OBJECT
private slots:
    void booksKeepTheirOwnMarksAndShareThePreferences()
    {
        MemoryRegistry store;
        BookView uno(store), due(store);
        uno.openBook(QStringLiteral("/libri/uno"));
        due.openBook(QStringLiteral("/libri/due/"));
        QCOMPARE(BookView::bookKey(QStringLiteral("/libri/due/")), BookView::bookKey(QStringLiteral("/libri/due")));
        QVERIFY(BookView::bookKey(QStringLiteral("/libri/uno")) != BookView::bookKey(QStringLiteral("/libri/due")));

        save(uno, kPage, QStringLiteral("1"), QStringLiteral("754"));
        save(uno, kPlayer, QStringLiteral("Brano"), QStringLiteral("file:///libri/uno/Libro/cap1.htm"));
        save(due, kPlayer, QStringLiteral("Brano"), QStringLiteral("file:///libri/due/Libro/cap1.htm"));
        save(due, kPlayer, QStringLiteral("Rate"), QStringLiteral("1,5"));

        QCOMPARE(get(due, kPage, QStringLiteral("1")), QString());
        QCOMPARE(get(uno, kPage, QStringLiteral("1")), QStringLiteral("754"));
        QCOMPARE(get(uno, kPlayer, QStringLiteral("Brano")), QStringLiteral("file:///libri/uno/Libro/cap1.htm"));
        QCOMPARE(get(due, kPlayer, QStringLiteral("Brano")), QStringLiteral("file:///libri/due/Libro/cap1.htm"));
        QCOMPARE(get(uno, kPlayer, QStringLiteral("Rate")), QStringLiteral("1,5"));

        // Listing the tree shows one book: what the bookmark list and the export walk.
        const QString program = programKey();
        QCOMPARE(uno.subKeys(program), QStringList({kPlayer, QStringLiteral("LIBRO")}));
        QCOMPARE(due.subKeys(program), QStringList({kPlayer}));
        QStringList names;
        for (const RegValue &v : uno.values(program + QStringLiteral("\\Player")))
            names << v.name;
        QCOMPARE(names, QStringList({QStringLiteral("Rate"), QStringLiteral("Brano")}));

        // Deleting the whole tree as one book sees it leaves the other book's marks.
        due.deleteKey(program);
        QCOMPARE(get(uno, kPlayer, QStringLiteral("Rate")), QString());
        QCOMPARE(get(uno, kPage, QStringLiteral("1")), QStringLiteral("754"));
        QCOMPARE(get(due, kPlayer, QStringLiteral("Brano")), QString());
    }

    void oldSettingsBecomeTheFirstBooks()
    {
        MemoryRegistry store;
        const QString program = programKey();
        store.setValue(program + QStringLiteral("\\") + kPage, RegValue::fromText(QStringLiteral("1NOME"), QStringLiteral("faro")));
        store.setValue(program + QStringLiteral("\\Player"), RegValue::fromText(QStringLiteral("BranoPos"), QStringLiteral("12")));
        store.setValue(program + QStringLiteral("\\Player"), RegValue::fromText(QStringLiteral("Volume"), QStringLiteral("80")));

        BookView first(store);
        first.openBook(QStringLiteral("/libri/uno"));
        QCOMPARE(get(first, kPage, QStringLiteral("1NOME")), QStringLiteral("faro"));
        QCOMPARE(get(first, kPlayer, QStringLiteral("BranoPos")), QStringLiteral("12"));
        QVERIFY(!store.keyExists(program + QStringLiteral("\\LIBRO")));

        BookView second(store);
        second.openBook(QStringLiteral("/libri/due"));
        QCOMPARE(get(second, kPage, QStringLiteral("1NOME")), QString());
        QCOMPARE(get(second, kPlayer, QStringLiteral("BranoPos")), QString());
        QCOMPARE(get(second, kPlayer, QStringLiteral("Volume")), QStringLiteral("80"));

        // Opened again later, the first book still has them: adopted once only.
        BookView again(store);
        again.openBook(QStringLiteral("/libri/uno"));
        QCOMPARE(get(again, kPage, QStringLiteral("1NOME")), QStringLiteral("faro"));
        again.setLastBook(QStringLiteral("/libri/uno"));
        QCOMPARE(BookView(store).lastBook(), QStringLiteral("/libri/uno"));
    }

    // A file exported from one book is one tree a Windows program reads;
    // importing it into another book touches only that book and the preferences.
    void exportAndImportKeepTheLayoutOfOneTree()
    {
        MemoryRegistry store;
        DiskFiles files;
        BookView uno(store), due(store);
        uno.openBook(QStringLiteral("/libri/uno"));
        due.openBook(QStringLiteral("/libri/due"));
        save(uno, kPage, QStringLiteral("1"), QStringLiteral("754"));
        save(uno, kPlayer, QStringLiteral("Brano"), QStringLiteral("a.htm"));
        save(due, QStringLiteral("LIBRO\\CAP9.HTM"), QStringLiteral("1"), QStringLiteral("5"));

        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("uno.reg"));
        QVERIFY(RegistryExchange(uno, files).exportKey(hkey::CurrentUser, programKey(), file, true, false).written);
        QFile in(file);
        QVERIFY(in.open(QIODevice::ReadOnly));
        const QByteArray text = in.readAll();
        QVERIFY(text.contains("[HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\QYR MediaPlayer\\LIBRO\\CAP1.HTM]\r\n\"1\"=\"754\""));
        QVERIFY(text.contains("[HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\QYR MediaPlayer\\Player]\r\n\"Brano\"=\"a.htm\""));
        QVERIFY(!text.contains("CAP9") && !text.contains("qyrplayer"));

        QVERIFY(RegistryExchange(due, files).importTextFile(file).applied);
        QCOMPARE(get(due, kPage, QStringLiteral("1")), QStringLiteral("754"));
        QCOMPARE(get(due, kPlayer, QStringLiteral("Brano")), QStringLiteral("a.htm"));
        QCOMPARE(uno.subKeys(programKey() + QStringLiteral("\\LIBRO")), QStringList({QStringLiteral("CAP1.HTM")}));
    }

    void aBookIsAFolderWithItsIndex()
    {
        QTemporaryDir dir;
        DiskFiles files;
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("libro/Libro")));
        QFile index(dir.filePath(QStringLiteral("libro/INDEX.HTM")));
        QVERIFY(index.open(QIODevice::WriteOnly));
        index.close();
        const QString book = dir.filePath(QStringLiteral("libro"));
        QCOMPARE(bookFolderOf(files, book), book);
        QCOMPARE(bookFolderOf(files, book + QStringLiteral("/Index.htm")), book);
        QCOMPARE(bookFolderOf(files, dir.path()), QString());
        QCOMPARE(bookFolderOf(files, book + QStringLiteral("/Libro")), QString());
        QCOMPARE(bookFolderOf(files, dir.filePath(QStringLiteral("manca"))), QString());
    }
};

QTEST_GUILESS_MAIN(TstBooks)
#include "tst_books.moc"
