// Restore from registry hive files through hivex: a hive written by the test's
// own regf writer comes back whole; a damaged or hostile one changes nothing.
#include "doubles/doubles.h"
#include "doubles/treefiles.h"
#include "doubles/regf_writer.h"
#include "exchange/registryexchange.h"
#include "platform/hive/hivexreader.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace qyr;
using namespace qyr::test;
using qyr::test::MemoryRegistry;
using qyr::test::RegfWriter;

namespace {

const QString kOwn = "Software\\VB and VBA Program Settings\\QYR MediaPlayer";

void put(IRegistry &reg, const QString &path, const HiveKey &key)
{
    reg.setValue(path, RegValue::fromText("segnaposto", QString()));
    reg.deleteValue(path, "segnaposto");
    for (const RegValue &v : key.values)
        reg.setValue(path, v);
    for (const HiveKey &sub : key.subKeys)
        put(reg, path + QLatin1Char('\\') + sub.name, sub);
}

// The program's settings as a hive saved from its own key would hold them.
HiveKey settingsTree()
{
    HiveKey player{"Player", {RegValue::fromText(QString(), "predefinito"),
                    RegValue::fromText("Volume", "80"), RegValue::fromText("Descrizione", "Città è più bella €"),
                    RegValue::fromText("Percorso", "%APPDATA%\\x", regtype::ExpandString),
                    RegValue::fromMulti("Righe", {"uno", "due"}), RegValue::fromDWord("Numero", 0xDEADBEEF),
                    RegValue{"Corto", regtype::Binary, QByteArray("\x01\x02\x03")},
                    RegValue{"Lungo", regtype::Binary, QByteArray(300, '\x5a')},
                    RegValue{"Vuoto", regtype::Binary, QByteArray()},
                    RegValue{"Quadrupla", regtype::QWord, QByteArray("\x01\x02\x03\x04\x05\x06\x07\x08")}}, {}};
    HiveKey page{"CAPITOLO1.HTM", {RegValue::fromText("1", "754"), RegValue::fromText("1NOME", "àèéìòù €")}, {}};
    HiveKey greek{"Ελληνικά", {RegValue::fromText("Ωmega", "ω")}, {}};
    return HiveKey{"QYR MediaPlayer", {}, {player, HiveKey{"LIBRO", {}, {page}}, HiveKey{"Città", {}, {}}, greek}};
}

QString writeHive(const QTemporaryDir &dir, const QByteArray &bytes, const QString &name = "copia.qyr")
{
    const QString file = dir.filePath(name);
    QFile f(file);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        qFatal("cannot write the test hive");
    return file;
}

struct Hostile {
    int depth;      // a chain of keys this deep below the root
    int width;      // keys directly below the root
    int valueBytes; // one binary value of this size in each of those
    HivexReader::Limits limits;
    QString refusal; // empty: read
};

} // namespace

Q_DECLARE_METATYPE(Hostile)

class TstHive : public QObject {
    Q_OBJECT
private slots:
    void restoresTheSavedTree()
    {
        MemoryRegistry reg;
        reg.put("Player", "Volume", "20");
        reg.put("VECCHIO\\PAGINA.HTM", "1", "5");
        reg.setValue("Software\\Altro", RegValue::fromText("a", "resta"));
        QTemporaryDir dir;
        const HiveKey tree = settingsTree();
        const QString file = writeHive(dir, RegfWriter(tree).bytes());

        HivexReader reader;
        const HiveContent content = reader.read(file, kOwn);
        QCOMPARE(content.path, QString()); // the saved key is the hive's root

        const ImportResult r = RegistryExchange(reg, &reader).restoreHive(kOwn, file, hkey::CurrentUser);
        QVERIFY(r.applied);
        QCOMPARE(r.keys, 6);
        QCOMPARE(r.values, 13);
        MemoryRegistry expected;
        put(expected, kOwn, tree);
        QCOMPARE(dump(reg, kOwn), dump(expected, kOwn));
        QCOMPARE(reg.value("Software\\Altro", "a")->text(), "resta");
    }

    void wholeProfileGivesOnlyTheProgramKey()
    {
        HiveKey own = settingsTree();
        HiveKey other{"Microsoft", {RegValue::fromText("x", "y")}, {}};
        HiveKey vb{"VB and VBA Program Settings", {}, {HiveKey{"Altro", {}, {}}, own}};
        HiveKey profile{"ROOT", {}, {HiveKey{"Software", {}, {other, vb}}}};
        QTemporaryDir dir;
        const QString file = writeHive(dir, RegfWriter(profile).bytes(), "NTUSER.DAT");

        HivexReader reader;
        const HiveContent content = reader.read(file, kOwn.toUpper());
        QCOMPARE(content.path, kOwn.toUpper());
        QCOMPARE(content.key.subKeys.size(), own.subKeys.size());

        MemoryRegistry reg;
        RegistryExchange(reg, &reader).restoreHive(kOwn, file, hkey::CurrentUser);
        MemoryRegistry expected;
        put(expected, kOwn, own);
        QCOMPARE(dump(reg, "Software"), dump(expected, "Software"));

        // A profile without the program's key is refused: its root would replace the whole tree.
        vb.subKeys.removeLast();
        profile.subKeys[0].subKeys[1] = vb;
        const QString foreign = writeHive(dir, RegfWriter(profile).bytes(), "ALTRO.DAT");
        QVERIFY_THROWS_EXCEPTION(QyrError, RegistryExchange(reg, &reader).restoreHive(kOwn, foreign, hkey::CurrentUser));
        QCOMPARE(dump(reg, "Software"), dump(expected, "Software"));
    }

    void damagedHiveChangesNothing_data()
    {
        QTest::addColumn<int>("damage");
        QTest::newRow("not a hive") << 0;
        QTest::newRow("truncated") << 1;
        QTest::newRow("only the base block") << 2;
        QTest::newRow("bad checksum") << 3;
        QTest::newRow("value data outside the file") << 4;
        QTest::newRow("subkey list is a value") << 5;
        QTest::newRow("key that contains itself") << 6;
        QTest::newRow("subkey listed twice") << 7;
        QTest::newRow("more values than listed") << 8;
    }

    void damagedHiveChangesNothing()
    {
        QFETCH(int, damage);
        RegfWriter w(settingsTree());
        const RegfWriter::Node root = w.nodes[0];
        const RegfWriter::Node player = w.nodes[1];
        switch (damage) {
        case 4: w.patch(player.vk[7], 8, 0x7FFFFFF0); break; // "Lungo", held in its own cell
        case 5: w.patch(root.nk, 0x1C, player.vk[0]); break;
        case 6:
            w.patch(player.nk, 0x14, 4); // Player's subkeys are now the root's, Player among them
            w.patch(player.nk, 0x1C, root.lf);
            break;
        case 7: w.patch(root.lf, 4 + 8, player.nk); break;
        case 8: w.patch(player.nk, 0x24, 5000); break;
        default: break;
        }
        QByteArray bytes = w.bytes();
        switch (damage) {
        case 0: bytes = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software]\r\n"; break;
        case 1: bytes.chop(1024); break;
        case 2: bytes.truncate(0x1000); break;
        case 3: bytes[0x40] = char(bytes[0x40] ^ 1); break;
        default: break;
        }
        QTemporaryDir dir;
        const QString file = writeHive(dir, bytes);
        MemoryRegistry reg;
        reg.put("Player", "Volume", "20");
        const QStringList before = dump(reg, kOwn);
        HivexReader reader;
        try {
            RegistryExchange(reg, &reader).restoreHive(kOwn, file, hkey::CurrentUser);
            QFAIL("a damaged hive was accepted");
        } catch (const QyrError &e) {
            QCOMPARE(e.number(), err::InvalidFileFormat);
            QVERIFY2(e.description().contains(file), qPrintable(e.description()));
            QVERIFY(e.description().endsWith("Le impostazioni non sono state modificate."));
        }
        QCOMPARE(dump(reg, kOwn), before);
    }

    void limitsHoldOnHostileHives_data()
    {
        QTest::addColumn<Hostile>("c");
        auto limits = [](int keys, qint64 value, qint64 total) {
            HivexReader::Limits l;
            l.maxKeys = keys > 0 ? keys : l.maxKeys;
            l.maxValueBytes = value > 0 ? value : l.maxValueBytes;
            l.maxTotalBytes = total > 0 ? total : l.maxTotalBytes;
            return l;
        };
        QTest::newRow("nesting past the limit") << Hostile{100, 0, 0, limits(0, 0, 0), "più di 64 livelli"};
        QTest::newRow("nesting at the limit") << Hostile{64, 0, 0, limits(0, 0, 0), QString()};
        QTest::newRow("too many keys") << Hostile{0, 11, 0, limits(11, 0, 0), "più di 11 chiavi"};
        QTest::newRow("keys at the limit") << Hostile{0, 10, 0, limits(11, 0, 0), QString()};
        QTest::newRow("value too large") << Hostile{0, 1, 101, limits(0, 100, 0), "101 byte, oltre il limite di 100"};
        QTest::newRow("values too large together") << Hostile{0, 3, 60, limits(0, 0, 150), "in tutto 150 byte"};
    }

    void limitsHoldOnHostileHives()
    {
        QFETCH(Hostile, c);
        HiveKey root{"QYR MediaPlayer", {}, {}};
        HiveKey chain{"K", {}, {}};
        for (int i = 1; i < c.depth; ++i)
            chain = HiveKey{"K", {}, {chain}};
        if (c.depth > 0)
            root.subKeys.append(chain);
        for (int i = 0; i < c.width; ++i) {
            HiveKey k{QString("W%1").arg(i), {}, {}};
            if (c.valueBytes > 0)
                k.values.append(RegValue{"v", regtype::Binary, QByteArray(c.valueBytes, 'x')});
            root.subKeys.append(k);
        }
        QTemporaryDir dir;
        const QString file = writeHive(dir, RegfWriter(root).bytes());
        HivexReader reader(c.limits);
        if (c.refusal.isEmpty()) {
            QCOMPARE(reader.read(file, kOwn).key.subKeys.size(), root.subKeys.size());
            return;
        }
        try {
            reader.read(file, kOwn);
            QFAIL("a hive past the limits was read");
        } catch (const QyrError &e) {
            QCOMPARE(e.number(), err::InvalidFileFormat);
            QVERIFY2(e.description().contains(c.refusal), qPrintable(e.description()));
        }
    }
};

QTEST_GUILESS_MAIN(TstHive)
#include "tst_hive.moc"
