// Registry export to REGEDIT4 text, import of registry text files and
// restore of hive files through hivex: the exact layout, the round trip,
// every value kind of a version 5 file, keys outside the program's tree, and
// damaged or hostile files that must change nothing.
#include "doubles/doubles.h"
#include "doubles/regf_writer.h"
#include "doubles/treefiles.h"
#include "exchange/registryexchange.h"
#include "platform/files/diskfiles.h"
#include "platform/hive/hivexreader.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace qyr;
using namespace qyr::test;

namespace {

DiskFiles disk;

const QString kOwn = "Software\\VB and VBA Program Settings\\QYR MediaPlayer";

QByteArray utf16(const QString &s)
{
    QByteArray out;
    for (QChar c : s)
        out.append(char(c.unicode() & 0xff)).append(char(c.unicode() >> 8));
    return out;
}

// A hive reader that gives what the test set.
class FakeHives : public IHiveReader {
public:
    HiveContent read(const QString &, const QString &) override { return content; }
    HiveContent content;
};

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
    writeFile(file, bytes);
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

class TstExchange : public QObject {
    Q_OBJECT
private slots:
    void exportFollowsTheLayoutByteForByte()
    {
        MemoryRegistry reg;
        const QString page = kOwn + "\\LIBRO\\CAPITOLO1.HTM";
        reg.setValue(page, RegValue::fromText("1", "754"));
        reg.setValue(page, RegValue::fromText("1NOME", "Città è più bella €"));
        const QString player = kOwn + "\\Player";
        reg.setValue(player, RegValue::fromText(QString(), "predefinito"));
        reg.setValue(player, RegValue::fromText("Brano", "C:\\Libri\\a.htm"));
        reg.setValue(player, RegValue::fromText("Nota", "\\Libro\\x.htm"));
        reg.setValue(player, RegValue::fromText("Virgola", ",:\\x"));
        reg.setValue(player, RegValue::fromText("Espanso", "%APPDATA%", regtype::ExpandString));
        reg.setValue(player, RegValue::fromDWord("Conta", 0x1A2B));
        reg.setValue(player, RegValue{"Dati", regtype::Binary, QByteArray("\x00\x0f\xab", 3)});
        reg.setValue(player, RegValue{"Vuoto", regtype::Binary, QByteArray()});
        reg.setValue(player, RegValue{"Grande", regtype::QWord, QByteArray(8, '\1')});

        QTemporaryDir dir;
        const QString file = dir.filePath("nota.REG");
        writeFile(file, "vecchio contenuto che deve sparire");
        RegistryExchange ex(reg, disk);
        const ExportResult r = ex.exportKey(hkey::CurrentUser, kOwn, file, true, false);
        QVERIFY(r.written);
        QCOMPARE(r.keys, 4);
        QCOMPARE(r.values, 11);
        QCOMPARE(r.unrepresentable, 0);

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
        const ExportResult again = ex.exportKey(hkey::CurrentUser, kOwn + "\\LIBRO", file, false, true);
        QVERIFY(again.written);
        QCOMPARE(readFile(file), expected + head + "\\LIBRO]\r\n\r\n\r\n");

        // Another root has nothing this program can read: a key line and two empty lines.
        const QString other = dir.filePath("altro.reg");
        QVERIFY(ex.exportKey(hkey::LocalMachine, "Software", other, true, false).written);
        QCOMPARE(readFile(other), QByteArray("REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software]\r\n\r\n\r\n"));
    }

    void exportThenImportGivesBackTheSameTree()
    {
        MemoryRegistry reg;
        const QString page = kOwn + "\\LIBRO\\CAPITOLO1.HTM";
        reg.setValue(page, RegValue::fromText("1NOME", "àèéìòù € «Perché?»"));
        reg.setValue(page, RegValue::fromText("1NOMEAUDIO", "cap01.mp3"));
        reg.setValue(kOwn + "\\Città è", RegValue::fromText("Perché", "sì"));
        const QString player = kOwn + "\\Player";
        // Texts the writer has to escape so that they read back unchanged.
        const QStringList texts{"C:\\Libri\\\"strano\".htm", "\\\\server\\libri\\",
                                "disse \"ciao\\\" e uscì", "due\r\nrighe", "Libro\\nuovo.htm", QString()};
        for (int i = 0; i < texts.size(); ++i)
            reg.setValue(player, RegValue::fromText(QStringLiteral("Testo%1").arg(i), texts[i]));
        reg.setValue(player, RegValue::fromText("nome con \"virgolette\" e \\", "x"));
        reg.setValue(player, RegValue::fromText(QString(), "predefinito"));
        reg.setValue(player, RegValue::fromDWord("Numero", 0xFFFFFFFF));
        reg.setValue(player, RegValue{"Dati", regtype::Binary, QByteArray("\x00\x01\xfe\xff", 4)});
        reg.setValue(player, RegValue{"Vuoto", regtype::Binary, QByteArray()});
        reg.setValue(kOwn + "\\Vuota", RegValue::fromText("x", QString()));
        reg.deleteValue(kOwn + "\\Vuota", "x"); // a key with nothing in it
        reg.setValue("Software\\Altro", RegValue::fromText("a", "b"));
        const QStringList outside = dump(reg, "Software\\Altro");

        QTemporaryDir dir;
        const QString file = dir.filePath("copia.reg");
        RegistryExchange ex(reg, disk);
        // First as REGEDIT4; then, with characters the ANSI code page lacks
        // (a line break among them), in the version 5 format, losing none.
        for (const bool five : {false, true}) {
            if (five)
                reg.setValue(page, RegValue::fromText("2NOME", "Καλημέρα 😀\r\nŁódź"));
            const QStringList before = dump(reg, kOwn);
            const ExportResult written = ex.exportKey(hkey::CurrentUser, kOwn, file, true, false);
            QVERIFY(written.written);
            QCOMPARE(written.version5, five);
            QCOMPARE(written.unrepresentable, 0);
            QCOMPARE(readFile(file).startsWith(five ? QByteArray("\xff\xfeW\0i\0n\0", 8) : QByteArray("REGEDIT4\r\n")), true);
            reg.deleteKey(kOwn);
            QVERIFY(!reg.keyExists(kOwn));
            const ImportResult r = ex.importTextFile(file);
            QVERIFY(r.applied);
            QCOMPARE(r.ignoredKeys + r.ignoredValues + r.emptyValues, 0);
            QCOMPARE(r.notice(), QString());
            QCOMPARE(dump(reg, kOwn), before);
            QCOMPARE(dump(reg, "Software\\Altro"), outside);
        }
    }

    void version5FileWithEveryKind()
    {
        MemoryRegistry reg;
        const QString player = kOwn + "\\Player";
        reg.setValue(player, RegValue::fromText("DaTogliere", "x"));
        reg.setValue(kOwn + "\\Vecchia\\Sotto", RegValue::fromText("a", "b"));
        reg.setValue("Software\\Altro programma", RegValue::fromText("a", "resta"));
        const QStringList outside = dump(reg, "Software\\Altro programma");

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
                           "[HKEY_CURRENT_USER\\Software\\Altro programma]\r\n"
                           "\"a\"=dword:1\r\n"
                           "\"b\"=\"2\"\r\n"
                           "[-HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings]\r\n");
        QTemporaryDir dir;
        const QString file = dir.filePath("unicode.reg");
        const QByteArray le = utf16(text);
        writeFile(file, QByteArray("\xff\xfe") + le);
        // Without its byte order mark, or big-endian, the file reads the same.
        QByteArray be = le;
        for (int i = 0; i + 1 < be.size(); i += 2)
            std::swap(be[i], be[i + 1]);
        auto values = [](const regfile::Parsed &p) {
            QList<RegValue> v;
            for (const regfile::Entry &e : p.entries)
                v << e.value;
            return v;
        };
        QCOMPARE(regfile::parse(le).format, regfile::Format::Version5);
        QCOMPARE(values(regfile::parse(le)), values(regfile::parse("\xff\xfe" + le)));
        QCOMPARE(values(regfile::parse("\xfe\xff" + be)), values(regfile::parse(le)));

        const ImportResult r = RegistryExchange(reg, disk).importTextFile(file);
        QVERIFY(r.applied);
        QCOMPARE(r.keys, 3);
        QCOMPARE(r.values, 9);
        QCOMPARE(r.ignoredKeys, 3);
        QCOMPARE(r.ignoredValues, 3);
        QCOMPARE(r.emptyValues, 2);
        QCOMPARE(r.notice(), QStringLiteral("Chiavi ignorate perché esterne alle impostazioni del lettore: 3 (con 3 valori). "
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
        QVERIFY(reg.keyExists(kOwn + "\\Città"));
        QVERIFY(!reg.keyExists("Software\\Altro"));
        QCOMPARE(dump(reg, "Software\\Altro programma"), outside);
    }

    void regedit4ValueLines_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<RegValue>("expected");
        auto text = [](const char *name, const QString &t, quint32 type = regtype::String) {
            return RegValue::fromText(QString::fromUtf8(name), t, type);
        };
        QTest::newRow("drive path") << QByteArray("\"S\"=\"C:\\\\Dati\\\\x\"") << text("S", "C:\\Dati\\x");
        QTest::newRow("single backslashes stay") << QByteArray("\"S\"=\"\\Libro\\n.htm\"") << text("S", "\\Libro\\n.htm");
        QTest::newRow("escaped quote") << QByteArray("\"S\"=\"a\\\\\\\"b\"") << text("S", "a\\\"b");
        QTest::newRow("ansi accents") << QByteArray("\"S\"=\"Citt\xe0 \x80\x93\"") << text("S", "Città €“");
        QTest::newRow("spaces and comment") << QByteArray("  \"S\" =  \"x\"  ; nota") << text("S", "x");
        QTest::newRow("dword") << QByteArray("\"D\"=DWORD:FFFFFFFF") << RegValue::fromDWord("D", 0xFFFFFFFF);
        QTest::newRow("expand in ansi") << QByteArray("\"E\"=hex(2):25,41,e0,25,00") << text("E", "%Aà%", regtype::ExpandString);
        QTest::newRow("multi in ansi") << QByteArray("\"M\"=hex(7):61,00,62,00,00")
                                       << RegValue::fromMulti("M", {"a", "b"});
        QTest::newRow("text with a line break") << QByteArray("\"T\"=hex(1):61,0d,0a,62,00") << text("T", "a\r\nb");
        // The old exporter escaped nothing: the text runs to the line's last quote.
        QTest::newRow("old unescaped quotes") << QByteArray("\"1NOME\"=\"Capitolo \"uno\"\"") << text("1NOME", "Capitolo \"uno\"");
        QTest::newRow("old trailing backslash") << QByteArray("\"2NOME\"=\"fine \\\" ; nota") << text("2NOME", "fine \\");
        QTest::newRow("old drive path with a quote") << QByteArray("\"S\"=\"C:\\\\a\"b\\\\c\"") << text("S", "C:\\a\"b\\c");
        QTest::newRow("continued on lines") << QByteArray("\"B\"=hex:01,\\\n 02,\\\r\n\t03") << RegValue{"B", regtype::Binary, QByteArray("\x01\x02\x03")};
    }

    void regedit4ValueLines()
    {
        QFETCH(QByteArray, line);
        QFETCH(RegValue, expected);
        const regfile::Parsed p = regfile::parse("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\X]\r\n" + line + "\r\n");
        QCOMPARE(p.format, regfile::Format::Regedit4);
        QCOMPARE(p.entries.size(), 2);
        QCOMPARE(p.entries[1].kind, regfile::Entry::SetValue);
        QCOMPARE(p.entries[1].path, "Software\\X");
        QCOMPARE(p.entries[1].value, expected);
    }

    void malformedFileChangesNothing_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("line");
        const QByteArray key = "[HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\QYR MediaPlayer\\Player]\r\n";
        const QByteArray good = "REGEDIT4\r\n\r\n" + key + "\"Volume\"=\"1\"\r\n"; // lines 1 to 4, all valid
        QTest::newRow("bad header") << QByteArray("REGEDIT 4\r\n\r\n" + key) << 1;
        QTest::newRow("empty file") << QByteArray() << 1;
        QTest::newRow("bad hex") << QByteArray(good + "\"a\"=hex:01,zz\r\n") << 5;
        QTest::newRow("bad hex on a continued line") << QByteArray(good + "\"a\"=hex:01,\\\r\n  02,345\r\n") << 6;
        QTest::newRow("empty hex item") << QByteArray(good + "\"a\"=hex:01,,02\r\n") << 5;
        QTest::newRow("continued past the end") << QByteArray(good + "\"a\"=hex:01,\\") << 5;
        QTest::newRow("unterminated string") << QByteArray(good + "\"a\"=\"aperta\r\n\"b\"=\"c\"\r\n") << 5;
        QTest::newRow("unterminated name") << QByteArray(good + "\"a=\"x\r\n") << 5;
        QTest::newRow("key not HKEY_") << QByteArray(good + "[Software\\QYR]\r\n") << 5;
        QTest::newRow("unknown root") << QByteArray(good + "[HKEY_NESSUNO\\Software]\r\n") << 5;
        QTest::newRow("key without bracket") << QByteArray(good + "[HKEY_CURRENT_USER\\Software\r\n") << 5;
        QTest::newRow("bad dword") << QByteArray(good + "\"a\"=dword:123456789\r\n") << 5;
        QTest::newRow("unknown kind") << QByteArray(good + "\"a\"=str(2):\"x\"\r\n") << 5;
        QTest::newRow("text after string") << QByteArray(good + "\"a\"=\"x\" y\r\n") << 5;
        QTest::newRow("no equals") << QByteArray(good + "\"a\" \"x\"\r\n") << 5;
        QTest::newRow("stray line") << QByteArray(good + "\r\nVolume=1\r\n") << 6;
        QTest::newRow("text after the last quote") << QByteArray(good + "\"a\"=\"x\"y\" z\r\n") << 5;
        QTest::newRow("utf-16 cut in a character") << QByteArray("\xff\xfe" + utf16(QString::fromLatin1(good)) + "\x41") << 5;
        QTest::newRow("nothing of the program's tree") << QByteArray("REGEDIT4\r\n[HKEY_CURRENT_USER\\Software\\Altro]\r\n") << 0;
        QTest::newRow("value before any key") << QByteArray("REGEDIT4\r\n\"a\"=\"b\"\r\n") << 2;
    }

    void malformedFileChangesNothing()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, line);
        MemoryRegistry reg;
        reg.put("Player", "Volume", "80");
        const QStringList before = dump(reg, kOwn);
        QTemporaryDir dir;
        const QString file = dir.filePath("rotto.reg");
        writeFile(file, content);
        try {
            RegistryExchange(reg, disk).importTextFile(file);
            QFAIL("a malformed file was accepted");
        } catch (const QyrError &e) {
            QCOMPARE(e.number(), err::InvalidFileFormat);
            QVERIFY2(e.description().contains(line ? QStringLiteral("Riga %1:").arg(line) : "non contiene"),
                     qPrintable(e.description()));
            QVERIFY(e.description().contains(file));
            QVERIFY(e.description().endsWith("Le impostazioni non sono state modificate."));
        }
        QCOMPARE(dump(reg, kOwn), before);
    }

    void filesThatCannotBeUsed()
    {
        MemoryRegistry reg;
        reg.put("Player", "Volume", "80");
        QTemporaryDir dir;
        RegistryExchange ex(reg, disk);
        // An export that cannot be written leaves no file, not even a partial one.
        const QString file = dir.filePath("manca/nota.REG");
        const ExportResult r = ex.exportKey(hkey::CurrentUser, kOwn, file, true, false);
        QVERIFY(!r.written);
        QVERIFY(r.problem.contains(file));
        QVERIFY(!QFile::exists(file));
        QVERIFY(!ex.importTextFile(dir.path()).applied); // a folder is left alone
        QVERIFY_THROWS_EXCEPTION(QyrError, ex.importTextFile(dir.filePath("assente.reg")));
        QCOMPARE(reg.get("Player", "Volume"), "80");
    }

    void restoreReplacesTheTreeInOneStep()
    {
        MemoryRegistry reg;
        reg.put("Player", "Volume", "80");
        reg.put("LIBRO\\VECCHIO.HTM", "1", "12");
        reg.setValue("Software\\Altro", RegValue::fromText("a", "b"));
        FakeHives hives;
        HiveKey player{"Player", {RegValue::fromText("Volume", "55")}, {}};
        HiveKey empty{"Vuota", {}, {}};
        hives.content.key = HiveKey{"$$$PROTO.HIV", {}, {player, empty}};
        RegistryExchange ex(reg, disk, &hives);

        // A store that fails half way leaves the old tree whole.
        reg.failWrites = true;
        const QStringList before = dump(reg, kOwn);
        QVERIFY_THROWS_EXCEPTION(QyrError, ex.restoreHive(kOwn, "copia.qyr", hkey::CurrentUser));
        QCOMPARE(dump(reg, kOwn), before);
        reg.failWrites = false;

        // Outside the program's tree nothing is written, and the reader learns how much was left.
        const ImportResult outside = ex.restoreHive("Software\\Altro", "copia.qyr", hkey::CurrentUser);
        QVERIFY(!outside.applied);
        QCOMPARE(outside.ignoredKeys, 3);
        QCOMPARE(outside.ignoredValues, 1);
        QCOMPARE(ex.restoreHive(kOwn, "copia.qyr", hkey::LocalMachine).ignoredKeys, 3);
        QCOMPARE(dump(reg, kOwn), before);

        const ImportResult r = ex.restoreHive(kOwn, "copia.qyr", hkey::CurrentUser);
        QVERIFY(r.applied);
        QCOMPARE(r.keys, 3);
        QCOMPARE(r.values, 1);
        QCOMPARE(reg.get("Player", "Volume"), "55");
        QVERIFY(!reg.keyExists(kOwn + "\\LIBRO"));
        QVERIFY(reg.keyExists(kOwn + "\\Vuota"));
        QCOMPARE(reg.get("Vuota", QString()), "<assente>");
        QCOMPARE(reg.value("Software\\Altro", "a")->text(), "b");

        // A key name that would climb into another key is refused before anything changes.
        hives.content.key.subKeys.append(HiveKey{"A\\B", {}, {}});
        const QStringList restored = dump(reg, kOwn);
        QVERIFY_THROWS_EXCEPTION(QyrError, ex.restoreHive(kOwn, "copia.qyr", hkey::CurrentUser));
        QCOMPARE(dump(reg, kOwn), restored);
    }

    // What hivex reads of a hive saved from the program's key comes back whole.
    void restoresTheSavedTree()
    {
        MemoryRegistry reg;
        reg.put("VECCHIO\\PAGINA.HTM", "1", "5");
        QTemporaryDir dir;
        const HiveKey tree = settingsTree();
        const QString file = writeHive(dir, RegfWriter(tree).bytes());

        HivexReader reader;
        const HiveContent content = reader.read(file, kOwn);
        QCOMPARE(content.path, QString()); // the saved key is the hive's root

        const ImportResult r = RegistryExchange(reg, disk, &reader).restoreHive(kOwn, file, hkey::CurrentUser);
        QVERIFY(r.applied);
        QCOMPARE(r.keys, 6);
        QCOMPARE(r.values, 13);
        MemoryRegistry expected;
        put(expected, kOwn, tree);
        QCOMPARE(dump(reg, kOwn), dump(expected, kOwn));
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
        RegistryExchange(reg, disk, &reader).restoreHive(kOwn, file, hkey::CurrentUser);
        MemoryRegistry expected;
        put(expected, kOwn, own);
        QCOMPARE(dump(reg, "Software"), dump(expected, "Software"));

        // A profile without the program's key is refused: its root would replace the whole tree.
        vb.subKeys.removeLast();
        profile.subKeys[0].subKeys[1] = vb;
        const QString foreign = writeHive(dir, RegfWriter(profile).bytes(), "ALTRO.DAT");
        QVERIFY_THROWS_EXCEPTION(QyrError, RegistryExchange(reg, disk, &reader).restoreHive(kOwn, foreign, hkey::CurrentUser));
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
            RegistryExchange(reg, disk, &reader).restoreHive(kOwn, file, hkey::CurrentUser);
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

QTEST_GUILESS_MAIN(TstExchange)
#include "tst_exchange.moc"
