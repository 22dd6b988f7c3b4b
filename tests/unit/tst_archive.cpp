// Books packed in a zip, read in place: the zip's path stands for the book's folder, its files are found in any
// letter case, a DAISY book in it reads as the unpacked one (a clip to its file's end measured from inside the zip),
// sounds are streamed with seeks; a zip that could reach outside itself or swell past reason is refused, naming the
// entry as stored.
#include "doubles/zipmaker.h"
#include "platform/daisyxml/daisyreader.h"
#include "platform/files/bookarchives.h"
#include "platform/files/diskfiles.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

using namespace qyr;

namespace {

// Five seconds of silence, 8 kHz mono 16 bit.
QByteArray wav()
{
    QByteArray w = "RIFF____WAVEfmt " + QByteArray::fromHex("1000000001000100401f0000803e00000200100064617461");
    const QByteArray samples(8000 * 2 * 5, '\0');
    w += QByteArray("\0\0\0\0", 4) + samples;
    qToLittleEndian<quint32>(quint32(w.size() - 8), w.data() + 4);
    qToLittleEndian<quint32>(quint32(samples.size()), w.data() + 40);
    return w;
}

const QByteArray kNcc = "<html><head><title>Libro zippato</title></head><body>"
                        "<h1><a href=\"S.SMIL#a\">Capitolo uno</a></h1></body></html>";
const QByteArray kSmil = "<smil><body><seq><par id=\"a\"><text src=\"testo.html#t\"/><audio src=\"voce.wav\"/></par>"
                         "</seq></body></smil>";

} // namespace

class TstArchive : public QObject {
    Q_OBJECT
private slots:
    void packedBookReadsAsItsFolder()
    {
        QTemporaryDir dir;
        const QString zip = dir.filePath("libro.daisy");
        // Packed by zipping the book's folder: everything in one folder, names in capitals, a packer's leftovers.
        QVERIFY(testzip::Maker(zip)
                    .add("Libro/NCC.HTML", kNcc)
                    .add("Libro/S.SMIL", kSmil)
                    .add("Libro/TESTO.HTML", "<p id=\"t\">Parole</p>")
                    .add("Libro/Voce.WAV", wav()) // silence: packs a thousand times, and is small
                    .close());
        DiskFiles disk;
        BookArchives files(disk);
        QVERIFY(files.isArchive(zip) && !files.isArchive(dir.path()));
        const Result<QString> folder = files.openArchive(zip);
        QVERIFY(folder);
        QCOMPARE(*folder, zip);
        QVERIFY(files.folderExists(zip) && files.fileExists(zip + "/ncc.html") && !files.fileExists(zip + "/manca.html"));
        QCOMPARE(files.resolve(zip + "/s.smil"), zip + "/S.SMIL");
        QCOMPARE(files.files(zip, "*.smil"), QStringList{"S.SMIL"});
        QCOMPARE(*files.readFile(zip + "/testo.html", 1000), QByteArray("<p id=\"t\">Parole</p>"));
        QVERIFY(!files.readFile(zip + "/voce.wav", 1000)); // past the size asked for
        QVERIFY(files.isPacked(zip + "/voce.wav") && !files.isPacked(zip));
        // Nothing is written inside, and the book reaches its own entries only.
        QVERIFY(!files.writeFile(zip + "/nuovo.txt", "x") && !files.deleteFile(zip + "/S.SMIL"));
        QCOMPARE(*files.admit(zip, zip + "/altro/../ncc.html", BookFileKind::Text), zip + "/NCC.HTML");
        QCOMPARE(files.admit(zip, zip + "/../segreto.txt", BookFileKind::Text).failure().number, err::PathAccess);
        QCOMPARE(files.admit(dir.path() + "/altro", zip + "/NCC.HTML", BookFileKind::Text).failure().number, err::PathAccess);

        // The DAISY reader, given the zip's path, reads the book; the clip to the file's end lasts the file.
        DaisyFolderReader reader(files);
        const std::optional<daisy::Book> book = reader.open(zip);
        QVERIFY(book);
        QVERIFY2(book->problems.isEmpty(), qPrintable(book->problems.join(" | ")));
        QCOMPARE(book->title, QString("Libro zippato"));
        QCOMPARE(int(book->phrases.size()), 1);
        QCOMPARE(book->phrases[0].audio, QString("Voce.WAV"));
        QCOMPARE(book->phrases[0].clipEnd, 5.0);
    }

    void hostileZipsRefused_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("link");
        QTest::addColumn<QString>("said");
        QTest::newRow("climbing") << "../fuori.txt" << QByteArray("x") << false << "il nome «../fuori.txt» porta fuori";
        QTest::newRow("climbing inside") << "libro/../../fuori.txt" << QByteArray("x") << false << "«libro/../../fuori.txt»";
        QTest::newRow("absolute") << "/etc/passwd" << QByteArray("x") << false << "«/etc/passwd» porta fuori";
        QTest::newRow("drive") << "C:/autoexec.bat" << QByteArray("x") << false << "«C:/autoexec.bat» porta fuori";
        QTest::newRow("link") << "libro/a.mp3" << QByteArray("/etc/passwd") << true << "«libro/a.mp3» è un collegamento";
        QTest::newRow("swelling") << "libro/s.smil" << QByteArray(8 * 1024 * 1024, ' ') << false
                                  << "«libro/s.smil» si espanderebbe a 8 MB, più di 100 volte";
        QTest::newRow("no book") << "leggimi.txt" << QByteArray("ciao") << false << "non contiene un libro";
    }
    void hostileZipsRefused()
    {
        QFETCH(QString, entry);
        QFETCH(QByteArray, bytes);
        QFETCH(bool, link);
        QFETCH(QString, said);
        QTemporaryDir dir;
        const QString zip = dir.filePath("libro.zip");
        {
            testzip::Maker m(zip);
            if (entry != "leggimi.txt")
                m.add("libro/ncc.html", kNcc);
            link ? m.link(entry, QString::fromUtf8(bytes)) : m.add(entry, bytes);
            QVERIFY(m.close());
        }
        DiskFiles disk;
        BookArchives files(disk);
        const Result<QString> opened = files.openArchive(zip);
        QVERIFY(!opened);
        QVERIFY2(opened.failure().description.startsWith("L'archivio " + zip), qPrintable(opened.failure().description));
        QVERIFY2(opened.failure().description.contains(said), qPrintable(opened.failure().description));
        // Refused whole: not one of its files is reachable.
        QVERIFY(!files.fileExists(zip + "/ncc.html") && !files.folderExists(zip));
    }

    void notAZipRefused()
    {
        QTemporaryDir dir;
        QFile f(dir.filePath("libro.zip"));
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write("non sono un archivio") > 0);
        f.close();
        DiskFiles disk;
        BookArchives files(disk);
        QVERIFY(files.isArchive(f.fileName()));
        QCOMPARE(files.openArchive(f.fileName()).failure().description,
                 "L'archivio " + f.fileName() + " non viene aperto: non è un archivio zip leggibile (danneggiato o di un "
                                                "altro tipo).");
    }

    // A sound read piece by piece, stored or packed, with seeks forward and back, is the file's own bytes.
    void soundsStreamWithSeeks()
    {
        QTemporaryDir dir;
        QByteArray sound(300000, '\0');
        for (char &c : sound)
            c = char(QRandomGenerator::global()->bounded(4)); // packs, but not to nothing
        const QString zip = dir.filePath("libro.zip");
        QVERIFY(testzip::Maker(zip).add("ncc.html", kNcc).add("a.mp3", sound, true).add("b.mp3", sound).close());
        DiskFiles disk;
        BookArchives files(disk);
        QVERIFY(files.openArchive(zip));
        for (const char *name : {"a.mp3", "b.mp3"}) {
            const std::unique_ptr<IReadStream> s = files.openStream(zip + "/" + name);
            QVERIFY2(s, name);
            QCOMPARE(s->size(), qint64(sound.size()));
            char buf[1000];
            for (const qint64 at : {qint64(200000), qint64(10), qint64(299500)}) {
                QVERIFY(s->seek(at));
                const qint64 n = s->read(buf, sizeof buf);
                QCOMPARE(QByteArray(buf, int(n)), sound.mid(at, sizeof buf));
            }
            QCOMPARE(s->read(buf, sizeof buf), qint64(0));
            QVERIFY(!s->seek(sound.size() + 1));
        }
        QVERIFY(!files.openStream(zip + "/manca.mp3") && !files.openStream(dir.filePath("libro.zip")));
    }
};

QTEST_MAIN(TstArchive)
#include "tst_archive.moc"
