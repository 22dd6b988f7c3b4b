// The settings tree in its SQLite file (the logic's tests use the same store in
// memory): typed values and letter case, nesting, transactions, reopening,
// two writers on one file, and which unusable files are set aside.
#include "doubles/treefiles.h"
#include "platform/errors.h"
#include "platform/store/sqlite/sqliteregistry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>
#include <sqlite3.h>

using namespace qyr;

namespace {
const QString kPlayer = "Software\\VB and VBA Program Settings\\QYR MediaPlayer\\Player";

QStringList entries(const QString &dir)
{
    return QDir(dir).entryList(QDir::Files, QDir::Name);
}

// Every kind of value the tree holds.
const QList<RegValue> &typedValues()
{
    static const QList<RegValue> vals{
        RegValue::fromText("Rate", "1,5"), RegValue::fromText("Nome", "Capitolo è più bello"),
        RegValue::fromText("Percorso", "%APPDATA%\\x", regtype::ExpandString),
        RegValue::fromDWord("Conta", 4000000000u), RegValue::fromMulti("Righe", {"a", ""}),
        RegValue{"Dati", regtype::Binary, QByteArray("\x00\x01\xff", 3)}, RegValue{"Strano", 0x100, QByteArray("xyz")},
        RegValue::fromText(QString(), "predefinito"),
    };
    return vals;
}
} // namespace

class TstSqliteStore : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;

    // A fresh, empty tree in a file of its own.
    static std::unique_ptr<SqliteRegistry> fresh(const QTemporaryDir &dir)
    {
        static int n = 0;
        return SqliteRegistry::open(dir.filePath(QStringLiteral("s%1.sqlite").arg(++n))).store;
    }

private slots:
    // A full disk is said in Italian, tried on a tiny file system of its own where this machine lets one be mounted.
    void aFullDiskIsSaidInItalian()
    {
        QTemporaryDir dir;
        const QString small = dir.filePath(QStringLiteral("piccolo"));
        QVERIFY(QDir().mkpath(small));
        if (QProcess::execute(QStringLiteral("mount"), {"-t", "tmpfs", "-o", "size=512k", "tmpfs", small}) != 0)
            QSKIP("no small file system can be mounted here");
        const auto unmount = qScopeGuard([&] { QProcess::execute(QStringLiteral("umount"), {small}); });
        QString said;
        try {
            auto store = SqliteRegistry::open(small + QStringLiteral("/s.sqlite")).store;
            QVERIFY(store);
            for (int i = 0; i < 10000; ++i)
                store->setValue(QStringLiteral("Software\\X"), RegValue::fromText(QString::number(i), QString(200, 'x')));
        } catch (const QyrError &e) {
            said = e.description();
        }
        QVERIFY2(said.contains(QStringLiteral("il disco è pieno")), qPrintable(said));
    }

    // Every kind of value, saved again under another letter case, survives reopening the file.
    void typedValuesAndLetterCase()
    {
        const QString file = dir_.filePath("sub/settings.sqlite");
        {
            auto o = SqliteRegistry::open(file);
            QVERIFY(o.store && o.movedAside.isEmpty());
            for (const RegValue &v : typedValues())
                o.store->setValue(kPlayer, v);
            // Saving again replaces, never duplicates.
            o.store->setValue(kPlayer, RegValue::fromText("RATE", "2"));
            o.store->setValue(kPlayer + "\\Città", RegValue::fromText("x", "1"));
        }
        auto r = SqliteRegistry::open(file).store;
        QVERIFY(r);
        QList<RegValue> expected = typedValues();
        expected.first() = RegValue::fromText("Rate", "2");
        QCOMPARE(r->values(kPlayer), expected);
        // Keys and values are found whatever the letter case, accented letters included.
        QCOMPARE(r->value(kPlayer.toUpper(), "nome")->text(), "Capitolo è più bello");
        QVERIFY(r->keyExists(kPlayer + "\\CITTÀ"));
        QVERIFY(!r->value(kPlayer, "assente"));
        QVERIFY(!r->value(kPlayer + "\\nessuna", "x"));
    }

    void twoWritersOnOneFile()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath("s.sqlite");
        auto a = SqliteRegistry::open(file);
        auto b = SqliteRegistry::open(file);
        QVERIFY(!a.store->value(kPlayer, "Volume"));
        a.store->setValue(kPlayer, RegValue::fromText("Volume", "80"));
        QCOMPARE(a.store->value(kPlayer, "volume")->text(), "80");
        QCOMPARE(b.store->value(kPlayer, "Volume")->text(), "80");
        // Inside a transaction the file is read as it is now, even within the
        // 50 ms the cache is trusted: two copies of the program adding a
        // bookmark to one page must not both take the same free slot.
        const QString page = "Software\\VB and VBA Program Settings\\QYR MediaPlayer\\LIBRO\\CAP1.HTM";
        QVERIFY(!a.store->value(page, "1NOME")); // remembered as absent
        b.store->setValue(page, RegValue::fromText("1NOME", "di b"));
        QString seen;
        a.store->transaction([&] {
            seen = a.store->value(page, "1NOME").value_or(RegValue{}).text();
            a.store->setValue(page, RegValue::fromText("2NOME", "di a"));
        });
        QCOMPARE(seen, "di b");
        QCOMPARE(b.store->values(page).size(), 2);
    }

    void sectionsNestAndAFailedTransactionChangesNothing()
    {
        const auto store = fresh(dir_);
        IRegistry &r = *store;
        const QString app = "Software\\VB and VBA Program Settings\\QYR MediaPlayer";
        r.setValue(app + "\\C:\\LIBRO\\CAP1.HTM", RegValue::fromText("1", "12"));
        r.setValue(app + "\\C:\\LIBRO\\CAP2.HTM", RegValue::fromText("1", "30"));
        r.setValue(app + "\\Player", RegValue::fromText("Volume", "80"));
        QCOMPARE(r.subKeys(app), QStringList({"C:", "Player"}));
        QCOMPARE(r.subKeys(app + "\\c:\\libro"), QStringList({"CAP1.HTM", "CAP2.HTM"}));
        QVERIFY(r.keyExists(app + "\\C:\\LIBRO"));
        r.deleteKey(app + "\\c:\\Libro");
        QVERIFY(!r.keyExists(app + "\\C:\\LIBRO\\CAP1.HTM"));
        QVERIFY(r.keyExists(app + "\\C:"));
        QCOMPARE(r.value(app + "\\Player", "volume")->text(), "80");
        // A key deleted and made again starts empty.
        r.setValue(app + "\\C:\\LIBRO\\CAP1.HTM", RegValue::fromText("2", "5"));
        QCOMPARE(r.values(app + "\\C:\\LIBRO\\CAP1.HTM").size(), 1);
        r.deleteValue(app + "\\Player", "VOLUME");
        QVERIFY(!r.value(app + "\\Player", "Volume"));

        // A failed transaction changes nothing.
        r.setValue(kPlayer, RegValue::fromText("a", "1"));
        QVERIFY_THROWS_EXCEPTION(QyrError, r.transaction([&] {
            r.setValue(kPlayer, RegValue::fromText("a", "2"));
            r.setValue(kPlayer + "\\Nuova", RegValue::fromText("b", "3"));
            throw QyrError(err::InvalidCall);
        }));
        QCOMPARE(r.value(kPlayer, "a")->text(), "1");
        QVERIFY(!r.keyExists(kPlayer + "\\Nuova"));
        // The key cache must not remember the rolled-back key.
        r.setValue(kPlayer + "\\Nuova", RegValue::fromText("b", "4"));
        QCOMPARE(r.value(kPlayer + "\\Nuova", "b")->text(), "4");
    }

    // A text file and a folder in its place are followed end to end; here
    // the other kinds.
    void onlyDamagedFilesAreKeptAside_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addRow("truncated header: damaged") << "header";
        QTest::addRow("another program's database") << "other";
        QTest::addRow("a folder that cannot be made") << "nofolder";
    }
    void onlyDamagedFilesAreKeptAside()
    {
        QFETCH(QString, kind);
        QTemporaryDir dir;
        QString file = dir.filePath("settings.sqlite");
        if (kind == QLatin1String("other")) {
            sqlite3 *db = nullptr;
            QCOMPARE(sqlite3_open(QFile::encodeName(file).constData(), &db), SQLITE_OK);
            QCOMPARE(sqlite3_exec(db, "CREATE TABLE rubrica(nome TEXT); INSERT INTO rubrica VALUES('Anna');",
                                  nullptr, nullptr, nullptr), SQLITE_OK);
            sqlite3_close(db);
        } else {
            test::writeFile(file, QByteArray("SQLite format 3\0\x10\x00", 19));
            if (kind == QLatin1String("nofolder"))
                file += "/sotto/settings.sqlite"; // below a plain file
        }
        const QByteArray content = test::readFile(QFileInfo(file).isFile() ? file : dir.filePath("settings.sqlite"));
        const QStringList before = entries(dir.path());

        auto o = SqliteRegistry::open(file);
        QVERIFY(!o.problem.isEmpty());
        if (kind != QLatin1String("header")) {
            // Told why, and nothing on the disk changed.
            QVERIFY(!o.store && o.movedAside.isEmpty());
            QVERIFY2(!o.problem.contains("danneggiato"), qPrintable(o.problem));
            QCOMPARE(entries(dir.path()), before);
            QCOMPARE(test::readFile(dir.filePath("settings.sqlite")), content);
            return;
        }
        QVERIFY(o.store);
        QVERIFY(o.movedAside.startsWith(file + ".danneggiato-"));
        QCOMPARE(test::readFile(o.movedAside), content);
        // The new store works and is durable.
        o.store->setValue(kPlayer, RegValue::fromText("Versione", "1"));
        o.store.reset();
        auto again = SqliteRegistry::open(file);
        QVERIFY(again.movedAside.isEmpty());
        QCOMPARE(again.store->value(kPlayer, "Versione")->text(), "1");
    }
};

QTEST_GUILESS_MAIN(TstSqliteStore)
#include "tst_sqlitestore.moc"
