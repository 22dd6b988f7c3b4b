// The bookmark import/export panel on real files: file names, overwriting, safety copies, refused imports, the lists.
#include "doubles/rig.h"
#include "doubles/treefiles.h"
#include "exchange/registryexchange.h"
#include "platform/files/diskfiles.h"
#include "platform/hive/hivexreader.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace qyr;
using namespace qyr::test;

namespace {

const QString kOwn = programKey();
const QString kPage = "LIBRO\\CAP1.HTM";
const QString kRegHead = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\" + kOwn;

// The main window on the real file system, the volume stored as 80, the program's own files in a folder of the test.
struct DiskParts {
    DiskFiles disk;
    HivexReader hiveReader;
    QTemporaryDir tmp, own;
};
struct Desk : DiskParts, Rig {
    explicit Desk(bool hives = true, bool onDisk = true)
        : Rig("/libri/demo", onDisk ? &disk : nullptr, hives ? &hiveReader : nullptr)
    {
        f->impExp.setOwnFilesFolder(own.path());
        start();
        f->layout.Form_Resize(12000, 9000);
        browser.location = "file:///libri/demo/Libro/cap1.htm";
        reg.put("Player", "Volume", "80");
        dialogs.shown.clear();
    }
    void click(int index) { f->cmdImpExp[size_t(index)].click(); }
    QString last() const { return dialogs.shown.isEmpty() ? QString() : dialogs.shown.last().text; }
    // Imports file from the test's folder through the panel.
    void importFrom(const QString &file)
    {
        click(1);
        f->Dir.setPath(tmp.path());
        f->File.setListIndex(int(f->File.items().indexOf(file)));
        click(2);
    }
};

} // namespace

class TstImpExp : public QObject {
    Q_OBJECT
private slots:
    // The forced extension, a folder ending in its separator, and the overwrite question.
    void exportNamesAndOverwrite()
    {
        // answer >= 0: a read-only "nota.REG" is there, and the question answered so.
        struct Case { bool trailingSeparator; QString typed; int answer; QString written; };
        for (const Case &c : {Case{false, "a.b.c", -1, "a.b.REG"}, Case{true, "nota", -1, "nota.REG"},
                              Case{false, "segnalibri 12.03.2025", -1, "segnalibri 12.03.2025.REG"},
                              Case{false, "nota.reg", int(Answer::Yes), "nota.REG"}, Case{false, "nota", int(Answer::No), ""}}) {
            Desk d;
            const QString dir = d.tmp.path(), old = dir + "/nota.REG";
            if (c.answer >= 0) {
                writeFile(old, "vecchio");
                QFile::setPermissions(old, QFile::ReadOwner);
                d.dialogs.answers.enqueue(Answer(c.answer));
            }
            d.click(0);
            d.f->Dir.setPath(c.trailingSeparator ? dir + "/" : dir);
            d.f->TextFileName.setText(c.typed);
            d.click(2);
            QVERIFY(!d.f->frmImpExp.visible());
            QCOMPARE(d.dialogs.shown.size(), int(c.answer >= 0) + int(!c.written.isEmpty()));
            if (c.answer >= 0)
                QCOMPARE(d.dialogs.shown.first().text, "Si vuole sostituire il file " + c.typed + "?");
            if (c.written.isEmpty()) {
                QCOMPARE(readFile(old), QByteArray("vecchio"));
                QCOMPARE(d.f->TextFileName.text(), c.typed);
                continue;
            }
            QVERIFY2(QDir(dir).entryList(QDir::Files) == QStringList{c.written}, qPrintable(c.typed));
            QVERIFY(readFile(dir + "/" + c.written).contains("\"Volume\"=\"80\""));
            QCOMPARE(d.last(), "Export effettuato correttamente nel file " + dir + "/" + c.written);
            QCOMPARE(d.f->TextFileName.text(), QString());
        }
        // (A description Windows-1252 lacks, exported in the version 5 format and said so: the end-to-end exchange.)
    }

    void refusedOperationsChangeNothing()
    {
        Desk d;
        const QStringList before = dump(d.f->view, kOwn);

        // Nothing typed, nothing chosen: the reader is told and the panel stays.
        d.click(0);
        d.f->Dir.setPath(d.tmp.path());
        d.f->TextFileName.setText("  ");
        d.click(2);
        QVERIFY(d.last().contains("Nome file") && d.f->frmImpExp.visible());
        // A name typed for an export that was then cancelled is no file to import.
        d.f->TextFileName.setText("dimenticato");
        d.click(3);
        QVERIFY(!d.f->frmImpExp.visible() && d.f->ListMarkers.visible() && d.f->cmdImpExp[0].visible());
        d.click(1);
        d.click(2);
        QVERIFY(d.last().contains("elenco dei file") && d.f->frmImpExp.visible());
        QVERIFY(QDir(d.tmp.path()).isEmpty() && d.f->impExp.safetyCopies().isEmpty());

        // Without a safety copy there is no import.
        writeFile(d.tmp.filePath("altro.reg"), (kRegHead + "\\Player]\r\n\"Volume\"=\"55\"\r\n").toLatin1());
        writeFile(d.tmp.filePath("file"), "un file, non una cartella");
        d.f->impExp.setOwnFilesFolder(d.tmp.filePath("file/sotto"));
        d.importFrom("altro.reg");
        QCOMPARE(d.dialogs.errorNames(), QStringList{"cmdImpExp_Click"});
        QVERIFY(d.last().startsWith("Copia di sicurezza delle impostazioni non riuscita"));
        QCOMPARE(dump(d.f->view, kOwn), before);
    }

    void importKeepsASafetyCopyAndTheReadingState()
    {
        Desk d;
        d.f->feedback.SetAudioOff(true);
        d.putMarks(kPage, {"1|12|Vecchio|cap01.mp3"});
        // Ten copies of earlier imports: the oldest goes, the others stay untouched.
        const QString copies = d.f->impExp.safetyCopiesFolder();
        QDir().mkpath(copies);
        for (int i = 0; i < 10; ++i)
            writeFile(copies + QString("/QYRPlayer_Backup_2020-01-0%1_10-00-00.reg").arg(i), QByteArray::number(i));
        const QString file = d.tmp.filePath("altro.reg");
        writeFile(file, (kRegHead + "\\Player]\r\n\"Volume\"=\"55\"\r\n\"AudioOff\"=\"False\"\r\n\r\n[HKEY_CURRENT_USER\\" + kOwn +
                         "\\" + kPage + "]\r\n\"1\"=\"30\"\r\n\"1NOME\"=\"Nuovo è\"\r\n").toLatin1());

        // An import that deletes bookmarks asks first, and No changes nothing.
        const QStringList before = dump(d.f->view, kOwn);
        d.dialogs.answers.enqueue(Answer::No);
        d.importFrom("altro.reg");
        QCOMPARE(d.last(), "Importando il file " + file + " verrà cancellato 1 segnalibro su 1. Continuare?");
        QCOMPARE(dump(d.f->view, kOwn), before);
        d.importFrom("altro.reg");
        const QStringList after = d.f->impExp.safetyCopies();
        QCOMPARE(after.size(), 10);
        QVERIFY(!after.first().endsWith("01-00_10-00-00.reg"));
        QCOMPARE(readFile(after[8]), QByteArray("9"));
        const QByteArray backup = readFile(after.last());
        QVERIFY(d.last().endsWith(after.last() + "."));
        QCOMPARE(d.reg.get("Player", "Volume"), "55");
        // Reading stays off, whatever the file says: that is the reader's choice.
        QCOMPARE(d.reg.get("Player", "AudioOff"), "True");
        QCOMPARE(d.f->ListMarkers.items(), QStringList{"00:30\t - Nuovo è"});

        // Restoring the newest copy, reached from the drive list, brings back what was there before and keeps the copy.
        d.click(1);
        d.f->Drive.setPath("Copie di sicurezza");
        d.f->File.setListIndex(int(d.f->File.items().indexOf(QFileInfo(after.last()).fileName())));
        d.click(2);
        QVERIFY(d.last().startsWith("Ripristino effettuato " + after.last()));
        QCOMPARE(d.reg.get("Player", "Volume"), "80");
        QCOMPARE(d.f->ListMarkers.items(), QStringList{"00:12\t - Vecchio"});
        QCOMPARE(readFile(after.last()), backup);
    }

    // No hive reader, a store failing after the safety copy, or a hive past the size limit (refused on its size
    // alone: the file is sparse): settings, list and copies stay as they were.
    void unusableImportsChangeNothing()
    {
        const QByteArray good = (kRegHead + "\\Player]\r\n\"Volume\"=\"1\"\r\n").toLatin1();
        struct Case { QString name; QByteArray content; QString said; };
        for (const Case &c :
             {Case{"copia.qyr", "regf", "non è disponibile"}, Case{"buono.reg", good, "scrittura simulata non riuscita"},
              Case{"grande.qyr", "regf", "è di 65 MB, oltre il limite di 64 MB"}}) {
            const bool storeFails = c.name == "buono.reg";
            Desk d(c.name != "copia.qyr");
            d.putMarks(kPage, {"1|12|Vecchio|cap01.mp3"});
            d.f->marks.Marcatori(BookmarkStore::MarkerMode::List, QString(), 0);
            const QStringList before = dump(d.f->view, kOwn);
            writeFile(d.tmp.filePath(c.name), c.content);
            if (c.name == "grande.qyr")
                QVERIFY(QFile::resize(d.tmp.filePath(c.name), 65 << 20));
            const QString copy = d.f->impExp.safetyCopiesFolder() + "/QYRPlayer_Backup_2020-01-01_10-00-00.reg";
            QDir().mkpath(d.f->impExp.safetyCopiesFolder());
            writeFile(copy, "copia di prima");
            d.reg.failWrites = storeFails;
            d.importFrom(c.name);
            QCOMPARE(d.dialogs.errorNames(), QStringList{"cmdImpExp_Click"});
            QVERIFY2(d.last().contains(c.said) && d.last().contains("Le impostazioni non sono state modificate."),
                     qPrintable(d.last()));
            QCOMPARE(dump(d.f->view, kOwn), before);
            QCOMPARE(d.f->impExp.safetyCopies(), QStringList{copy});
            QCOMPARE(readFile(copy), QByteArray("copia di prima"));
            QCOMPARE(d.f->ListMarkers.items(), QStringList{"00:12\t - Vecchio"});
            QVERIFY(d.f->frmImpExp.visible() && !d.f->TextFileName.visible()); // still open for import
        }
    }

    void listsFollowDriveFolderAndFile()
    {
        Desk d(true, false);
        const QString stick = "/media/mario/chiavetta";
        d.files.volumeRoots = {stick, QDir::homePath()};
        d.files.add(stick + "/copia.reg");
        d.files.add(stick + "/libri/vecchia.qyr");
        d.click(1);
        QCOMPARE(d.f->Drive.items(), (QStringList{"/", QDir::homePath(), stick, "Copie di sicurezza"}));
        d.f->Drive.setPath(stick);
        QCOMPARE(d.f->Dir.items(), (QStringList{"/", "/media", "/media/mario", stick, "libri"}));
        QCOMPARE(d.f->Dir.listIndex(), 3);
        QCOMPARE(d.f->File.items(), QStringList{"copia.reg"});
        d.f->Dir.setListIndex(4);
        d.f->impExp.Dir_KeyDown(40, 0); // only Enter opens
        QCOMPARE(d.f->Dir.path(), stick);
        d.f->impExp.Dir_KeyDown(13, 0);
        QCOMPARE(d.f->File.items(), QStringList{"vecchia.qyr"});
        d.f->Dir.setListIndex(1);
        d.f->impExp.Dir_KeyDown(13, 0);
        QCOMPARE(d.f->Dir.items(), (QStringList{"/", "/media", "mario"}));
        d.f->impExp.File_KeyDown(13, 0); // Enter in the file list does nothing
        QVERIFY(d.f->frmImpExp.visible() && d.dialogs.shown.isEmpty());
    }

    void enterDoubleClickAndClosing()
    {
        Desk d;
        d.click(0);
        d.f->Dir.setPath(d.tmp.path());
        d.f->TextFileName.setText("tasto");
        d.f->impExp.TextFileName_KeyDown(65, 0); // a plain letter is no OK (the dialog count below)
        d.f->impExp.TextFileName_KeyDown(13, 2); // Enter with any modifier acts as OK
        QVERIFY(QFile::exists(d.tmp.filePath("tasto.REG")));
        d.click(0);
        d.f->File.setListIndex(0);
        QCOMPARE(d.f->TextFileName.text(), "tasto.REG");
        d.dialogs.answers.enqueue(Answer::Yes);
        d.f->impExp.File_DblClick();
        QCOMPARE(d.dialogs.shown.size(), 3); // the first success, the question, the second success
        QCOMPARE(d.last(), "Export effettuato correttamente nel file " + d.tmp.filePath("tasto.REG"));

        // Closing the bookmark panel, opened by Alt+6, resumes the reading paused for the list.
        d.f->oPlayer->setFileName("/libri/demo/Libro/cap01.mp3");
        d.f->oPlayer->Play_Player();
        d.f->keys.Form_KeyDown('6', 4);
        d.click(1); // the import panel goes with the bookmark panel
        d.click(4);
        QVERIFY(!d.f->fraMarcatori.visible() && d.f->objwb.visible() && d.f->oPlayer->IsPlaying());
        d.f->fraMarcatori.setVisible(true);
        QVERIFY(!d.f->frmImpExp.visible() && d.f->ListMarkers.visible() && d.f->cmdImpExp[0].visible());
        QCOMPARE(d.dialogs.count("error"), 0);
    }
};

QTEST_GUILESS_MAIN(TstImpExp)
#include "tst_impexp.moc"
