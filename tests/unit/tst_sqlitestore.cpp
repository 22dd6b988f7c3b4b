// The settings tree's contract, checked on the in-memory double the logic's
// tests use and on the SQLite store the program uses; then what only the
// file can do: survive reopening, two writers on one file, and which
// unusable files are set aside.
#include "doubles/doubles.h"
#include "platform/errors.h"
#include "platform/store/sqlite/sqliteregistry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>
#include <sqlite3.h>

using namespace qyr;

namespace {
const QString kPlayer = QStringLiteral("Software\\VB and VBA Program Settings\\QYR MediaPlayer\\Player");

QStringList entries(const QString &dir)
{
    return QDir(dir).entryList(QDir::Files, QDir::Name);
}

// Every kind of value the tree holds, the first one replaced later.
const QList<RegValue> &typedValues()
{
    static const QList<RegValue> vals{
        RegValue::fromText(QStringLiteral("Rate"), QStringLiteral("1,5")),
        RegValue::fromText(QStringLiteral("Nome"), QStringLiteral("Capitolo è più bello")),
        RegValue::fromText(QStringLiteral("Percorso"), QStringLiteral("%APPDATA%\\x"), regtype::ExpandString),
        RegValue::fromDWord(QStringLiteral("Conta"), 4000000000u),
        RegValue::fromMulti(QStringLiteral("Righe"), {QStringLiteral("a"), QStringLiteral("")}),
        RegValue{QStringLiteral("Dati"), regtype::Binary, QByteArray("\x00\x01\xff", 3)},
        RegValue{QStringLiteral("Strano"), 0x100, QByteArray("xyz")},
        RegValue::fromText(QString(), QStringLiteral("predefinito")),
    };
    return vals;
}
} // namespace

class TstSqliteStore : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    std::unique_ptr<IRegistry> store_;

    // A fresh, empty tree of the kind named by the current data row.
    IRegistry &fresh()
    {
        QFETCH(QString, store);
        if (store == QLatin1String("memory")) {
            store_ = std::make_unique<test::MemoryRegistry>();
        } else {
            static int n = 0;
            store_ = SqliteRegistry::open(dir_.filePath(QStringLiteral("s%1.sqlite").arg(++n))).store;
        }
        return *store_;
    }
    static void bothStores()
    {
        QTest::addColumn<QString>("store");
        QTest::newRow("memory double") << QStringLiteral("memory");
        QTest::newRow("sqlite") << QStringLiteral("sqlite");
    }

private slots:
    void typedValuesAndLetterCase_data() { bothStores(); }
    void typedValuesAndLetterCase()
    {
        IRegistry &r = fresh();
        QVERIFY(store_);
        for (const RegValue &v : typedValues())
            r.setValue(kPlayer, v);
        // Saving again replaces, never duplicates.
        r.setValue(kPlayer, RegValue::fromText(QStringLiteral("RATE"), QStringLiteral("2")));
        const QList<RegValue> back = r.values(kPlayer);
        QCOMPARE(back.size(), typedValues().size());
        QCOMPARE(back.first().text(), QStringLiteral("2"));
        for (int i = 1; i < typedValues().size(); ++i)
            QCOMPARE(back[i], typedValues()[i]);
        // Keys and values are found whatever the letter case, accented letters included.
        QCOMPARE(r.value(kPlayer.toUpper(), QStringLiteral("nome"))->text(), QStringLiteral("Capitolo è più bello"));
        r.setValue(kPlayer + QStringLiteral("\\Città"), RegValue::fromText(QStringLiteral("x"), QStringLiteral("1")));
        QVERIFY(r.keyExists(kPlayer + QStringLiteral("\\CITTÀ")));
        QVERIFY(!r.value(kPlayer, QStringLiteral("assente")));
        QVERIFY(!r.value(kPlayer + QStringLiteral("\\nessuna"), QStringLiteral("x")));
    }

    void valuesSurviveReopening()
    {
        const QString file = dir_.filePath(QStringLiteral("sub/settings.sqlite"));
        {
            auto o = SqliteRegistry::open(file);
            QVERIFY(o.store);
            QVERIFY(o.movedAside.isEmpty());
            for (const RegValue &v : typedValues())
                o.store->setValue(kPlayer, v);
        }
        auto o = SqliteRegistry::open(file);
        QVERIFY(o.store);
        QCOMPARE(o.store->values(kPlayer), typedValues());
    }

    void readsSeeEveryWriteFromAnyProcess()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("s.sqlite"));
        auto a = SqliteRegistry::open(file);
        auto b = SqliteRegistry::open(file);
        QVERIFY(!a.store->value(kPlayer, QStringLiteral("Volume")));
        a.store->setValue(kPlayer, RegValue::fromText(QStringLiteral("Volume"), QStringLiteral("80")));
        QCOMPARE(a.store->value(kPlayer, QStringLiteral("volume"))->text(), QStringLiteral("80"));
        QCOMPARE(b.store->value(kPlayer, QStringLiteral("Volume"))->text(), QStringLiteral("80"));
        // Another connection's write is seen although the value was read
        // before (the cache looks for outside writes every 50 ms).
        b.store->setValue(kPlayer, RegValue::fromText(QStringLiteral("Volume"), QStringLiteral("30")));
        QTest::qSleep(60);
        QCOMPARE(a.store->value(kPlayer, QStringLiteral("Volume"))->text(), QStringLiteral("30"));
        b.store->deleteKey(kPlayer);
        QTest::qSleep(60);
        QVERIFY(!a.store->value(kPlayer, QStringLiteral("Volume")));
        QVERIFY(!a.store->keyExists(kPlayer));
        a.store->setValue(kPlayer, RegValue::fromText(QStringLiteral("Volume"), QStringLiteral("55")));
        QTest::qSleep(60);
        QCOMPARE(b.store->value(kPlayer, QStringLiteral("Volume"))->text(), QStringLiteral("55"));

        // Inside a transaction the file is read as it is now, even within the
        // 50 ms the cache is trusted: two copies of the program adding a
        // bookmark to one page must not both take the same free slot.
        const QString page = QStringLiteral("Software\\VB and VBA Program Settings\\QYR MediaPlayer\\LIBRO\\CAP1.HTM");
        QVERIFY(!a.store->value(page, QStringLiteral("1NOME"))); // remembered as absent
        b.store->setValue(page, RegValue::fromText(QStringLiteral("1NOME"), QStringLiteral("di b")));
        QString seen;
        a.store->transaction([&] {
            seen = a.store->value(page, QStringLiteral("1NOME")).value_or(RegValue{}).text();
            a.store->setValue(page, RegValue::fromText(QStringLiteral("2NOME"), QStringLiteral("di a")));
        });
        QCOMPARE(seen, QStringLiteral("di b"));
        QCOMPARE(b.store->values(page).size(), 2);
    }

    void sectionsNestAtEachBackslash_data() { bothStores(); }
    void sectionsNestAtEachBackslash()
    {
        IRegistry &r = fresh();
        const QString app = QStringLiteral("Software\\VB and VBA Program Settings\\QYR MediaPlayer");
        r.setValue(app + QStringLiteral("\\C:\\LIBRO\\CAP1.HTM"), RegValue::fromText(QStringLiteral("1"), QStringLiteral("12")));
        r.setValue(app + QStringLiteral("\\C:\\LIBRO\\CAP2.HTM"), RegValue::fromText(QStringLiteral("1"), QStringLiteral("30")));
        r.setValue(app + QStringLiteral("\\Player"), RegValue::fromText(QStringLiteral("Volume"), QStringLiteral("80")));
        QCOMPARE(r.subKeys(app), QStringList({QStringLiteral("C:"), QStringLiteral("Player")}));
        QCOMPARE(r.subKeys(app + QStringLiteral("\\c:\\libro")),
                 QStringList({QStringLiteral("CAP1.HTM"), QStringLiteral("CAP2.HTM")}));
        QVERIFY(r.keyExists(app + QStringLiteral("\\C:\\LIBRO")));
        r.deleteKey(app + QStringLiteral("\\c:\\Libro"));
        QVERIFY(!r.keyExists(app + QStringLiteral("\\C:\\LIBRO\\CAP1.HTM")));
        QVERIFY(r.keyExists(app + QStringLiteral("\\C:")));
        QCOMPARE(r.value(app + QStringLiteral("\\Player"), QStringLiteral("volume"))->text(), QStringLiteral("80"));
        // A key deleted and made again starts empty.
        r.setValue(app + QStringLiteral("\\C:\\LIBRO\\CAP1.HTM"), RegValue::fromText(QStringLiteral("2"), QStringLiteral("5")));
        QCOMPARE(r.values(app + QStringLiteral("\\C:\\LIBRO\\CAP1.HTM")).size(), 1);
        r.deleteValue(app + QStringLiteral("\\Player"), QStringLiteral("VOLUME"));
        QVERIFY(!r.value(app + QStringLiteral("\\Player"), QStringLiteral("Volume")));
    }

    void aFailedTransactionChangesNothing_data() { bothStores(); }
    void aFailedTransactionChangesNothing()
    {
        IRegistry &r = fresh();
        r.setValue(kPlayer, RegValue::fromText(QStringLiteral("a"), QStringLiteral("1")));
        bool threw = false;
        try {
            r.transaction([&] {
                r.setValue(kPlayer, RegValue::fromText(QStringLiteral("a"), QStringLiteral("2")));
                r.setValue(kPlayer + QStringLiteral("\\Nuova"), RegValue::fromText(QStringLiteral("b"), QStringLiteral("3")));
                throw QyrError(err::InvalidCall);
            });
        } catch (const QyrError &) {
            threw = true;
        }
        QVERIFY(threw);
        QCOMPARE(r.value(kPlayer, QStringLiteral("a"))->text(), QStringLiteral("1"));
        QVERIFY(!r.keyExists(kPlayer + QStringLiteral("\\Nuova")));
        // The key cache must not remember the rolled-back key.
        r.setValue(kPlayer + QStringLiteral("\\Nuova"), RegValue::fromText(QStringLiteral("b"), QStringLiteral("4")));
        QCOMPARE(r.value(kPlayer + QStringLiteral("\\Nuova"), QStringLiteral("b"))->text(), QStringLiteral("4"));
    }

    void onlyDamagedFilesAreKeptAside_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("damaged");
        QTest::addRow("text") << "text" << true;
        QTest::addRow("truncated header") << "header" << true;
        QTest::addRow("another program's database") << "other" << false;
        QTest::addRow("a folder") << "folder" << false;
        QTest::addRow("a folder that cannot be made") << "nofolder" << false;
    }
    void onlyDamagedFilesAreKeptAside()
    {
        QFETCH(QString, kind);
        QFETCH(bool, damaged);
        QTemporaryDir dir;
        QString file = dir.filePath(QStringLiteral("settings.sqlite"));
        QByteArray content;
        if (kind == QLatin1String("other")) {
            sqlite3 *db = nullptr;
            QCOMPARE(sqlite3_open(QFile::encodeName(file).constData(), &db), SQLITE_OK);
            QCOMPARE(sqlite3_exec(db, "CREATE TABLE rubrica(nome TEXT); INSERT INTO rubrica VALUES('Anna');",
                                  nullptr, nullptr, nullptr), SQLITE_OK);
            sqlite3_close(db);
        } else if (kind == QLatin1String("folder")) {
            QVERIFY(QDir().mkpath(file + QStringLiteral("/dentro")));
        } else {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(kind == QLatin1String("text") ? QByteArray("questo non è un database\n")
                                                  : QByteArray("SQLite format 3\0\x10\x00", 19));
            if (kind == QLatin1String("nofolder"))
                file += QStringLiteral("/sotto/settings.sqlite"); // below a plain file
        }
        QFile f(QFileInfo(file).isFile() ? file : QString());
        if (QFileInfo(file).isFile() && f.open(QIODevice::ReadOnly))
            content = f.readAll();
        const QStringList before = entries(dir.path());

        auto o = SqliteRegistry::open(file);
        QVERIFY(!o.problem.isEmpty());
        if (!damaged) {
            // Told why, and nothing on the disk changed.
            QVERIFY(!o.store);
            QVERIFY(o.movedAside.isEmpty());
            QVERIFY2(!o.problem.contains(QStringLiteral("danneggiato")), qPrintable(o.problem));
            QCOMPARE(entries(dir.path()), before);
            QCOMPARE(QFileInfo(file).isDir(), kind == QLatin1String("folder"));
            if (!content.isEmpty()) {
                QFile same(file);
                QVERIFY(same.open(QIODevice::ReadOnly));
                QCOMPARE(same.readAll(), content);
            }
            return;
        }
        QVERIFY(o.store);
        QVERIFY(o.movedAside.startsWith(file + QStringLiteral(".danneggiato-")));
        QFile kept(o.movedAside);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), content);
        // The new store works and is durable.
        o.store->setValue(kPlayer, RegValue::fromText(QStringLiteral("Versione"), QStringLiteral("1")));
        o.store.reset();
        auto again = SqliteRegistry::open(file);
        QVERIFY(again.movedAside.isEmpty());
        QCOMPARE(again.store->value(kPlayer, QStringLiteral("Versione"))->text(), QStringLiteral("1"));
    }
};

QTEST_GUILESS_MAIN(TstSqliteStore)
#include "tst_sqlitestore.moc"
