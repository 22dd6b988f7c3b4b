// Export to REGEDIT4, import of registry text files, restore of hives through hivex; damaged files change nothing.
#include "doubles/doubles.h"
#include "doubles/regf_writer.h"
#include "doubles/treefiles.h"
#include "exchange/registryexchange.h"
#include "platform/files/diskfiles.h"
#include "platform/hive/hivexreader.h"

#include <QDir>
#include <QProcess>
#include <QScopeGuard>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>

#include <sys/stat.h>

using namespace qyr;
using namespace qyr::test;

namespace {

DiskFiles disk;

const QString kOwn = "Software\\VB and VBA Program Settings\\QYR MediaPlayer";

QByteArray utf16(const QString &s) { return QStringEncoder(QStringEncoder::Utf16LE).encode(s); }

void put(IRegistry &reg, const QString &path, const HiveKey &key)
{
    reg.setValue(path, RegValue::fromText("segnaposto", QString()));
    reg.deleteValue(path, "segnaposto");
    for (const RegValue &v : key.values)
        reg.setValue(path, v);
    for (const HiveKey &sub : key.subKeys)
        put(reg, path + QLatin1Char('\\') + sub.name, sub);
}

// Runs an import that must be refused: the file-format error, naming the file and saying nothing was changed, and the
// program's tree as it was. Returns the reason given; `what` names the case when a check fails.
QString refused(IRegistry &reg, const QString &file, const QString &what, const std::function<void()> &import)
{
    const QStringList before = dump(reg, kOwn);
    QString said;
    try {
        import();
        QTest::qFail(qPrintable(what + ": accepted"), __FILE__, __LINE__);
    } catch (const QyrError &e) {
        said = e.description();
        if (e.number() != err::InvalidFileFormat || !said.contains(file) || !said.endsWith("Le impostazioni non sono state modificate."))
            QTest::qFail(qPrintable(what + ": " + said), __FILE__, __LINE__);
    }
    if (dump(reg, kOwn) != before)
        QTest::qFail(qPrintable(what + ": the settings changed"), __FILE__, __LINE__);
    return said;
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

} // namespace

class TstExchange : public QObject {
    Q_OBJECT
private slots:
    // The exact REGEDIT4 layout, then the tree read back whole from REGEDIT4 and from version 5.
    void exportLayoutAndRoundTrip()
    {
        MemoryRegistry reg;
        const QString page = kOwn + "\\LIBRO\\CAPITOLO1.HTM", player = kOwn + "\\Player";
        put(reg, page, {"", {RegValue::fromText("1", "754"), RegValue::fromText("1NOME", "Città è più bella €")}, {}});
        put(reg, player, {"", {RegValue::fromText(QString(), "predefinito"), RegValue::fromText("Brano", "C:\\Libri\\a.htm"),
                               RegValue::fromText("Nota", "\\Libro\\x.htm"), RegValue::fromText("Virgola", ",:\\x"),
                               RegValue::fromText("Espanso", "%APPDATA%", regtype::ExpandString),
                               RegValue::fromDWord("Conta", 0x1A2B),
                               RegValue{"Dati", regtype::Binary, QByteArray("\x00\x0f\xab", 3)},
                               RegValue{"Vuoto", regtype::Binary, QByteArray()},
                               RegValue{"Grande", regtype::QWord, QByteArray(8, '\1')}}, {}});

        QTemporaryDir dir;
        const QString file = dir.filePath("nota.REG");
        writeFile(file, "vecchio contenuto che deve sparire");
        RegistryExchange ex(reg, disk);
        const ExportResult r = ex.exportKey(hkey::CurrentUser, kOwn, file, true, false);
        QVERIFY(r.written);
        QCOMPARE(r.keys, 4);
        QCOMPARE(r.values, 11);
        const QByteArray head = "[HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\QYR MediaPlayer";
        const QByteArray expected = "REGEDIT4\r\n\r\n" + head + "]\r\n\r\n\r\n" + head + "\\LIBRO]\r\n\r\n\r\n" +
                                    head + "\\LIBRO\\CAPITOLO1.HTM]\r\n"
                                           "\"1\"=\"754\"\r\n"
                                           "\"1NOME\"=\"Citt\xe0 \xe8 pi\xf9 bella \x80\"\r\n"
                                           "\r\n\r\n" + head + "\\Player]\r\n"
                                           "@=\"predefinito\"\r\n"
                                           "\"Brano\"=\"C:\\\\Libri\\\\a.htm\"\r\n"
                                           "\"Nota\"=\"\\Libro\\x.htm\"\r\n"
                                           "\"Virgola\"=\",:\\\\x\"\r\n"
                                           "\"Espanso\"=\"%APPDATA%\"\r\n"
                                           "\"Conta\"=dword:00001A2B\r\n"
                                           "\"Dati\"=hex:00,0F,AB\r\n"
                                           "\"Vuoto\"=hex:\r\n"
                                           "\"Grande\"=\r\n"
                                           "\r\n\r\n";
        QCOMPARE(readFile(file), expected);
        // Appending to a file that has the header adds blocks but no second header.
        QVERIFY(ex.exportKey(hkey::CurrentUser, kOwn + "\\LIBRO", file, false, true).written);
        QCOMPARE(readFile(file), expected + head + "\\LIBRO]\r\n\r\n\r\n");
        // Another root has nothing this program can read: a key line and two empty lines.
        const QString other = dir.filePath("altro.reg");
        QVERIFY(ex.exportKey(hkey::LocalMachine, "Software", other, true, false).written);
        QCOMPARE(readFile(other), QByteArray("REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software]\r\n\r\n\r\n"));

        // Escaped texts, a line break, an empty key with an accent read back whole (minus the kinds REGEDIT4 flattens).
        reg.deleteValue(player, "Espanso");
        reg.deleteValue(player, "Grande");
        const QStringList texts{"C:\\Libri\\\"strano\".htm", "\\\\server\\libri\\", "disse \"ciao\\\" e uscì",
                                "due\r\nrighe", QString()};
        for (int i = 0; i < texts.size(); ++i)
            reg.setValue(player, RegValue::fromText(QStringLiteral("Testo%1").arg(i), texts[i]));
        reg.setValue(player, RegValue::fromText("nome con \"virgolette\" e \\", "x"));
        put(reg, kOwn + "\\Città è", {});
        for (const bool five : {false, true}) {
            if (five) // characters the ANSI code page lacks, a line break among them, call for version 5
                reg.setValue(page, RegValue::fromText("2NOME", "Καλημέρα 😀\r\nŁódź"));
            const QStringList before = dump(reg, kOwn);
            QCOMPARE(ex.exportKey(hkey::CurrentUser, kOwn, file, true, false).unrepresentable, 0);
            QVERIFY(readFile(file).startsWith(five ? QByteArray("\xff\xfeW\0i\0n\0", 8) : QByteArray("REGEDIT4\r\n")));
            reg.deleteKey(kOwn);
            QCOMPARE(ex.importTextFile(file).notice(), QString());
            QCOMPARE(dump(reg, kOwn), before);
        }

        // An export that cannot be written says where; a missing file is refused (a folder: below).
        const QString missing = dir.filePath("manca/nota.REG");
        const ExportResult failed = ex.exportKey(hkey::CurrentUser, kOwn, missing, true, false);
        QVERIFY(!failed.written);
        QVERIFY(failed.problem.contains(missing));
        const QStringList after = dump(reg, kOwn);
        QVERIFY_THROWS_EXCEPTION(QyrError, ex.importTextFile(dir.filePath("assente.reg")));
        QCOMPARE(dump(reg, kOwn), after);
    }

    void version5FileWithEveryKind()
    {
        MemoryRegistry reg;
        const QString player = kOwn + "\\Player";
        reg.setValue(player, RegValue::fromText("DaTogliere", "x"));
        reg.setValue(kOwn + "\\Vecchia\\Sotto", RegValue::fromText("a", "b"));

        const QString own = QStringLiteral("HKEY_CURRENT_USER\\") + kOwn;
        const QString text = QStringLiteral("Windows Registry Editor Version 5.00\r\n\r\n; un commento\r\n[") + own +
            QStringLiteral("\\Player]\r\n"
                           "@=\"predefinito àèéìòù € Καλημέρα 😀\"\r\n"
                           "\"Testo\" = \"virgolette \\\"qui\\\" e barra \\\\ fine\"\r\n"
                           "\"Numero\"=dword:0000ffff\r\n"
                           "\"Binario\"=hex:01,02,03,\\\r\n"
                           "  04,05\r\n"
                           "\"Espanso\"=hex(2):25,00,41,00,25,00,00,00\r\n"
                           "\"Multi\"=hex(7):61,00,00,00,62,00,00,00,00,00\r\n"
                           "\"Quadrupla\"=hex(b):01,00,00,00,00,00,00,00\r\n"
                           "\"Altro\"=hex(100):aa,bb\r\n"
                           "\"DaTogliere\"=-\r\n"
                           "\"SenzaDati\"=\r\n"
                           "[-") + own + QStringLiteral("\\Vecchia]\r\n"
                           "\"ignorato\"=\"x\"\r\n"
                           "[") + own + QStringLiteral("\\Città]\r\n"
                           "[HKEY_LOCAL_MACHINE\\Software\\Altro]\r\n"
                           "\"x\"=\"y\"\r\n"
                           "[-HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings]\r\n");
        QTemporaryDir dir;
        const QString file = dir.filePath("unicode.reg");
        const QByteArray le = utf16(text);
        writeFile(file, QByteArray("\xff\xfe") + le);
        // Without its byte order mark, or big-endian, the file reads the same.
        auto values = [](const QByteArray &bytes) {
            QList<RegValue> v;
            for (const regfile::Entry &e : regfile::parse(bytes).entries)
                v << e.value;
            return v;
        };
        QCOMPARE(values(le), values("\xff\xfe" + le));
        QCOMPARE(values("\xfe\xff" + QStringEncoder(QStringEncoder::Utf16BE).encode(text)), values(le));

        const ImportResult r = RegistryExchange(reg, disk).importTextFile(file);
        QCOMPARE(r.keys, 3);
        QCOMPARE(r.values, 9);
        QCOMPARE(r.notice(), QStringLiteral("Chiavi ignorate perché esterne alle impostazioni del lettore: 2 (con 1 valore). "
                                            "Valori ignorati perché senza dati o in una chiave cancellata: 2."));
        const QList<RegValue> expected{
            RegValue::fromText(QString(), "predefinito àèéìòù € Καλημέρα 😀"),
            RegValue::fromText("Testo", "virgolette \"qui\" e barra \\ fine"), RegValue::fromDWord("Numero", 0xffff),
            RegValue{"Binario", regtype::Binary, QByteArray("\x01\x02\x03\x04\x05")},
            RegValue::fromText("Espanso", "%A%", regtype::ExpandString), RegValue::fromMulti("Multi", {"a", "b"}),
            RegValue{"Quadrupla", regtype::QWord, QByteArray("\x01\0\0\0\0\0\0\0", 8)},
            RegValue{"Altro", 0x100, QByteArray("\xaa\xbb")},
        };
        QCOMPARE(reg.values(player), expected);
        QVERIFY(!reg.keyExists(kOwn + "\\Vecchia"));
        QVERIFY(!reg.keyExists("Software\\Altro"));
    }

    // Each line reaches its own branch of the REGEDIT4 value reader.
    void regedit4ValueLines()
    {
        auto text = [](const char *name, const QString &t, quint32 type = regtype::String) {
            return RegValue::fromText(QString::fromUtf8(name), t, type);
        };
        const QList<std::pair<QByteArray, RegValue>> rows{
            {"\"S\"=\"C:\\\\Dati\\\\x\"", text("S", "C:\\Dati\\x")},
            {"\"S\"=\"\\Libro\\n.htm\"", text("S", "\\Libro\\n.htm")}, // single backslashes stay
            {"\"S\"=\"a\\\\\\\"b\"", text("S", "a\\\"b")},
            {"\"S\"=\"Citt\xe0 \x80\x93\"", text("S", "Città €“")},
            {"  \"S\" =  \"x\"  ; nota", text("S", "x")},
            {"\"D\"=DWORD:FFFFFFFF", RegValue::fromDWord("D", 0xFFFFFFFF)},
            {"\"E\"=hex(2):25,41,e0,25,00", text("E", "%Aà%", regtype::ExpandString)}, // text kinds in ANSI
            // The old exporter doubled a drive path's backslashes but escaped no quote.
            {"\"S\"=\"C:\\\\a\"b\\\\c\"", text("S", "C:\\a\"b\\c")},
            {"\"B\"=hex:01,\\\n 02,\\\r\n\t03", RegValue{"B", regtype::Binary, QByteArray("\x01\x02\x03")}},
        };
        for (const auto &[line, expected] : rows) {
            const regfile::Parsed p = regfile::parse("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\X]\r\n" + line + "\r\n");
            QVERIFY2(p.entries.size() == 2 && p.entries[1].kind == regfile::Entry::SetValue, line.constData());
            QVERIFY2(p.entries[1].path == "Software\\X" && p.entries[1].value == expected, line.constData());
        }
    }

    // One row for each way the reader refuses a file.
    void malformedFileChangesNothing_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("line");
        const QByteArray key = "[HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\QYR MediaPlayer\\Player]\r\n";
        const QByteArray good = "REGEDIT4\r\n\r\n" + key + "\"Volume\"=\"1\"\r\n"; // lines 1 to 4, all valid
        QTest::newRow("empty file") << QByteArray() << 1;
        QTest::newRow("bad hex on a continued line") << QByteArray(good + "\"a\"=hex:01,\\\r\n  02,345\r\n") << 6;
        QTest::newRow("continued past the end") << QByteArray(good + "\"a\"=hex:01,\\") << 5;
        QTest::newRow("unterminated string") << QByteArray(good + "\"a\"=\"aperta\r\n\"b\"=\"c\"\r\n") << 5;
        QTest::newRow("unterminated name") << QByteArray(good + "\"a=x\r\n") << 5;
        QTest::newRow("key not HKEY_") << QByteArray(good + "[Software\\QYR]\r\n") << 5;
        QTest::newRow("unknown root") << QByteArray(good + "[HKEY_NESSUNO\\Software]\r\n") << 5;
        QTest::newRow("key without bracket") << QByteArray(good + "[HKEY_CURRENT_USER\\Software\r\n") << 5;
        QTest::newRow("bad dword") << QByteArray(good + "\"a\"=dword:123456789\r\n") << 5;
        QTest::newRow("unknown kind") << QByteArray(good + "\"a\"=str(2):\"x\"\r\n") << 5;
        QTest::newRow("text after the last quote") << QByteArray(good + "\"a\"=\"x\"y\" z\r\n") << 5;
        QTest::newRow("no equals") << QByteArray(good + "\"a\" \"x\"\r\n") << 5;
        QTest::newRow("stray line") << QByteArray(good + "\r\nVolume=1\r\n") << 6;
        QTest::newRow("utf-16 cut in a character") << QByteArray("\xff\xfe" + utf16(QString::fromLatin1(good)) + "\x41") << 5;
        QTest::newRow("nothing of the program's tree") << QByteArray("REGEDIT4\r\n[HKEY_CURRENT_USER\\Software\\Altro]\r\n") << 0;
        QTest::newRow("value before any key") << QByteArray("REGEDIT4\r\n\"a\"=\"b\"\r\n") << 2;
        // A book keeps 100 bookmarks: the 101st would be kept where no list reaches it.
        QTest::newRow("bookmark past the last slot")
            << QByteArray(good + QByteArray(key).replace("\\Player]", "\\LIBRO\\DAISY]") + "\"99NOME\"=\"x\"\r\n\"0101FRASE\"=\"s.smil#a\"\r\n") << 7;
        // One line past the keys and values allowed (20,000 and 100,000), a 600 KB file read no further.
        QTest::newRow("too many lines") << QByteArray(good + QByteArray("@=-\r\n").repeated(119999)) << 120003;
    }

    void malformedFileChangesNothing()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, line);
        MemoryRegistry reg;
        reg.put("Player", "Volume", "80");
        QTemporaryDir dir;
        const QString file = dir.filePath("rotto.reg");
        writeFile(file, content);
        const QString said = refused(reg, file, "text", [&] { RegistryExchange(reg, disk).importTextFile(file); });
        QVERIFY2(said.contains(line ? QStringLiteral("Riga %1:").arg(line) : "non contiene"), qPrintable(said));
    }

    // A hive of the program's key, or a whole profile holding it, replaces the program's tree in one step, nothing else.
    void restoresTheSavedTree()
    {
        const HiveKey own = settingsTree();
        const HiveKey vb{"VB and VBA Program Settings", {}, {HiveKey{"Altro", {}, {}}, own}};
        const HiveKey microsoft{"Microsoft", {RegValue::fromText("x", "y")}, {}};
        const HiveKey profile{"ROOT", {}, {HiveKey{"Software", {}, {microsoft, vb}}}};
        MemoryRegistry expected;
        put(expected, kOwn, own);
        expected.setValue("Software\\Altro", RegValue::fromText("a", "b"));
        QTemporaryDir dir;
        HivexReader reader;
        for (const bool whole : {false, true}) {
            const QString file = dir.filePath(whole ? "NTUSER.DAT" : "copia.qyr");
            writeFile(file, RegfWriter(whole ? profile : own).bytes());
            // A key saved alone is the hive's root; in a profile it is found whatever the letter case.
            QCOMPARE(reader.read(file, kOwn.toUpper())->path, whole ? kOwn.toUpper() : QString());
            MemoryRegistry reg;
            reg.put("VECCHIO\\PAGINA.HTM", "1", "5");
            reg.setValue("Software\\Altro", RegValue::fromText("a", "b"));
            const QStringList before = dump(reg, "Software");
            RegistryExchange ex(reg, disk, &reader);
            reg.failWrites = true; // a store that fails half way leaves the old tree whole
            QVERIFY_THROWS_EXCEPTION(QyrError, ex.restoreHive(kOwn, file, hkey::CurrentUser));
            reg.failWrites = false;
            // Outside the program's tree nothing is written, and the reader learns how much was left.
            const ImportResult outside = ex.restoreHive(kOwn, file, hkey::LocalMachine);
            QVERIFY(!outside.applied);
            QCOMPARE(outside.ignoredKeys, 6);
            QCOMPARE(outside.ignoredValues, 13);
            QVERIFY(!ex.restoreHive("Software\\Altro", file, hkey::CurrentUser).applied);
            QCOMPARE(dump(reg, "Software"), before);

            const ImportResult r = ex.restoreHive(kOwn, file, hkey::CurrentUser);
            QCOMPARE(r.keys, 6);
            QCOMPARE(r.values, 13);
            QCOMPARE(dump(reg, "Software"), dump(expected, "Software"));
        }
    }

    // Each damage meets a different check: hivex opening the file, a value's data, a subkey list, the walk, the names;
    // a sound hive of another program's key is no settings of this one.
    void damagedHiveChangesNothing()
    {
        const char *const damages[] = {"not a hive", "truncated", "value data outside the file", "subkey list is a value",
                                       "key that contains itself", "more values than listed", "key name that climbs a level",
                                       "another program's key"};
        QTemporaryDir dir;
        const QString file = dir.filePath("copia.qyr");
        HivexReader reader;
        for (int damage = 0; damage < 8; ++damage) {
            HiveKey tree = settingsTree();
            if (damage == 6)
                tree.subKeys.append(HiveKey{"A\\B", {}, {}});
            if (damage == 7)
                tree = HiveKey{"Altro programma", {RegValue{"a", regtype::String, QByteArray("b\0\0\0", 4)}}, {}};
            RegfWriter w(tree);
            const RegfWriter::Node root = w.nodes[0], player = w.nodes[damage == 7 ? 0 : 1];
            switch (damage) {
            case 2: w.patch(player.vk[7], 8, 0x7FFFFFF0); break; // "Lungo", held in its own cell
            case 3: w.patch(root.nk, 0x1C, player.vk[0]); break;
            case 4:
                w.patch(player.nk, 0x14, 4); // Player's subkeys are now the root's, Player among them
                w.patch(player.nk, 0x1C, root.lf);
                break;
            case 5: w.patch(player.nk, 0x24, 5000); break;
            default: break;
            }
            QByteArray bytes = damage == 0 ? QByteArray("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software]\r\n") : w.bytes();
            if (damage == 1)
                bytes.chop(1024);
            writeFile(file, bytes);
            MemoryRegistry reg;
            reg.put("Player", "Volume", "20");
            const QString said = refused(reg, file, damages[damage],
                                         [&] { RegistryExchange(reg, disk, &reader).restoreHive(kOwn, file, hkey::CurrentUser); });
            QVERIFY2(damage < 7 || said.contains("non contiene impostazioni"), qPrintable(said));
        }
    }

    // Each limit refuses a hive, and the same tree as a registry text file, just past it, changing nothing, and
    // lets one at it through whole.
    void limitsHoldOnHostileFiles()
    {
        HivexReader::Limits usual, keys, values, value, total, size;
        keys.maxKeys = 12;
        values.maxValues = 3;
        value.maxValueBytes = 100;
        total.maxTotalBytes = 150;
        size.maxFileBytes = 8192;
        // A chain of keys `depth` deep, `width` keys below the root each with a binary value of `bytes`, and
        // an empty "Player" that makes the tree the program's. An empty refusal: read.
        struct Row { int depth, width, bytes; HivexReader::Limits limits; QString refusal; };
        const Row cases[] = {{100, 0, 0, usual, "più di 64 livelli"}, {64, 0, 0, usual, QString()},
                             {0, 11, 0, keys, "più di 12 chiavi"}, {0, 10, 0, keys, QString()},
                             {0, 4, 1, values, "più di 3 valori"}, {0, 3, 1, values, QString()},
                             {0, 1, 101, value, "101 byte, oltre il limite di 100"}, {0, 1, 100, value, QString()},
                             {0, 3, 60, total, "in tutto 150 byte"}, {0, 3, 50, total, QString()},
                             {0, 1, 9000, size, "oltre il limite di 8192 byte"}, {0, 0, 0, size, QString()}};
        QTemporaryDir dir;
        for (const auto &c : cases) {
            HiveKey root{"QYR MediaPlayer", {}, {}};
            for (int i = 0; i < c.depth; ++i) // one more level below the root each time
                root.subKeys = {HiveKey{"K", {}, root.subKeys}};
            for (int i = 0; i < c.width; ++i) {
                root.subKeys.append(HiveKey{QString("W%1").arg(i), {}, {}});
                if (c.bytes > 0)
                    root.subKeys.last().values.append(RegValue{"v", regtype::Binary, QByteArray(c.bytes, 'x')});
            }
            root.subKeys.append(HiveKey{"Player", {}, {}});
            const QString hive = dir.filePath("copia.qyr"), text = dir.filePath("copia.reg");
            writeFile(hive, RegfWriter(root).bytes());
            MemoryRegistry source;
            put(source, kOwn, root);
            QVERIFY(RegistryExchange(source, disk).exportKey(hkey::CurrentUser, kOwn, text, true, false).written);
            for (const bool isText : {false, true}) {
                const QString what = QStringLiteral("%1, depth %2, width %3, bytes %4: ")
                                         .arg(isText ? "text" : "hive").arg(c.depth).arg(c.width).arg(c.bytes);
                MemoryRegistry reg;
                reg.put("Player", "Volume", "20");
                HivexReader reader(c.limits);
                RegistryExchange ex(reg, disk, &reader, c.limits);
                const auto import = [&] { isText ? ex.importTextFile(text) : ex.restoreHive(kOwn, hive, hkey::CurrentUser); };
                if (!c.refusal.isEmpty()) {
                    const QString said = refused(reg, isText ? text : hive, what, import);
                    QVERIFY2(said.contains(c.refusal), qPrintable(what + said));
                    continue;
                }
                import();
                reg.deleteValue(kOwn + "\\Player", "Volume"); // kept by a text file, gone with a hive
                QCOMPARE(dump(reg, kOwn), dump(source, kOwn));
            }
        }
    }

    // An export to a full disk is reported and the earlier file kept whole (on a tiny file system of its own, where
    // this machine lets one be mounted).
    void exportToAFullDiskKeepsTheEarlierFile()
    {
        QTemporaryDir dir;
        const QString small = dir.filePath("piccolo");
        QVERIFY(QDir().mkpath(small));
        if (QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=64k", "tmpfs", small}) != 0)
            QSKIP("no small file system can be mounted here");
        const auto unmount = qScopeGuard([&] { QProcess::execute("umount", {small}); });
        MemoryRegistry reg;
        for (int n = 1; n <= 20; ++n)
            reg.setValue(kOwn + "\\LIBRO\\CAP1.HTM", RegValue::fromText(QString("%1NOME").arg(n), QString(40, 'a')));
        RegistryExchange ex(reg, disk);
        const QString file = small + "/segnalibri.REG";
        QVERIFY(ex.exportKey(hkey::CurrentUser, kOwn, file, true, false).written);
        const QByteArray before = readFile(file);
        // The disk filled up to its last bytes, then more to export than there is room for.
        writeFile(small + "/riempitivo", QByteArray(64 * 1024, 'x'));
        for (int n = 21; n <= 40; ++n) // less than a write buffer: the failure comes at the flush
            reg.setValue(kOwn + "\\LIBRO\\CAP1.HTM", RegValue::fromText(QString("%1NOME").arg(n), QString(40, 'b')));
        for (const QString &target : {file, small + "/nuovo.REG"}) {
            const ExportResult r = ex.exportKey(hkey::CurrentUser, kOwn, target, true, false);
            QVERIFY2(!r.written && r.problem.contains("pieno"), qPrintable(r.problem));
        }
        QCOMPARE(readFile(file), before);
        QVERIFY(!QFile::exists(small + "/nuovo.REG"));
    }

    // Only a regular file is read, after following links, and never past the size limit, whatever size it reports.
    void onlyRegularFilesWithinTheLimit()
    {
        QTemporaryDir dir;
        const QString zero = dir.filePath("zero.reg"), pipe = dir.filePath("tubo.reg"), folder = dir.filePath("cartella.reg");
        QVERIFY(QFile::link("/dev/zero", zero));
        QVERIFY(QDir().mkdir(folder));
        QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
        const QString link = dir.filePath("collegamento.qyr");
        QVERIFY(QFile::link(folder, link));
        MemoryRegistry reg;
        reg.put("Player", "Volume", "20");
        HivexReader reader;
        RegistryExchange ex(reg, disk, &reader);
        for (const QString &file : {zero, pipe, folder, link}) {
            for (const bool isText : {false, true}) {
                const QString said = refused(reg, file, file, [&] {
                    isText ? ex.importTextFile(file) : ex.restoreHive(kOwn, file, hkey::CurrentUser);
                });
                const QString why = file == zero || file == pipe ? "non è un file ma un dispositivo, una pipe"
                                                                 : "è una cartella, non un file";
                QVERIFY2(said.startsWith(file + " " + why), qPrintable(said));
            }
        }
        // A file of the kernel reports no size at all; a regular file of exactly the limit is read whole.
        const QString status = dir.filePath("stato.reg"), exact = dir.filePath("esatto.reg");
        QVERIFY(QFile::link("/proc/self/status", status));
        QVERIFY(!disk.readFile(status, 64));
        writeFile(exact, QByteArray(64, 'x'));
        QCOMPARE(*disk.readFile(exact, 64), QByteArray(64, 'x'));
        QCOMPARE(disk.readFile(exact, 63).failure().number, err::InvalidFileFormat);
    }
};

QTEST_GUILESS_MAIN(TstExchange)
#include "tst_exchange.moc"
