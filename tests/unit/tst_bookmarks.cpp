// Bookmarks: the store and its renumbering, slot choice, the duplicate
// dialogue, recall of moved audio, the list's keys, the input box, and
// damaged data, on doubles.
#include "dialogs/inputbox.h"
#include "doubles/rig.h"

#include <QtTest>

using namespace qyr;
using namespace qyr::test;

namespace {

const QString kCap1 = "file:///libri/demo/Libro/cap1.htm";
const QString kIndex = "file:///libri/demo/Index.htm";
const QString kSec = "LIBRO\\CAP1.HTM";
const QString kMarkExist = "AddMarcatore - Il nome del marcatore è già stato inserito!";
const QString kLoad = "Marcatori Mode = 0 --> ";

QString keyOf(const QString &section) { return Settings::keyPath("QYR MediaPlayer", section); }

struct Book : Rig {
    explicit Book(const QString &url = kCap1) { startAt(url); }
    void playing(const QString &file)
    {
        f->oPlayer->setFileName(file);
        mediaLog.clear();
    }
    void key(qint16 code, qint16 shift = 0) { f->ListMarkers.KeyDown(code, shift); }
    bool inStep() const
    {
        return f->marks.oMarkers.count() == f->ListMarkers.listCount() &&
               f->marks.oMarkersIndex.count() == f->ListMarkers.listCount();
    }
};

} // namespace

class TstBookmarks : public QObject {
    Q_OBJECT
private slots:
    void renumbering_data()
    {
        QTest::addColumn<QStringList>("page");
        QTest::addColumn<QStringList>("staged");
        QTest::addColumn<qint32>("n");
        QTest::addColumn<QStringList>("list");
        QTest::addColumn<QStringList>("stored");
        QTest::addRow("2, 5, 9 become 1, 2, 3")
            << QStringList{"2|20|B|b.mp3", "5|50|E|e.mp3", "9|90|I|i.mp3"} << QStringList() << 0
            << QStringList{"00:20\t - B", "00:50\t - E", "01:30\t - I"}
            << QStringList{"1|20|B|b.mp3", "2|50|E|e.mp3", "3|90|I|i.mp3"};
        QTest::addRow("whole book: 1, 3, 4") << QStringList{"1|10|A|a.mp3", "3|30|C|c.mp3", "4|40|D|d.mp3"}
                                             << QStringList() << 3 << QStringList{"00:10 - A", "00:30 - C", "00:40 - D"}
                                             << QStringList{"1|10|A|a.mp3", "2|30|C|c.mp3", "3|40|D|d.mp3"};
        QTest::addRow("staging moved in") << QStringList() << QStringList{"3|30|S|s.mp3", "7|70|T"} << 0
                                          << QStringList{"00:30\t - S", "01:10\t - T"}
                                          << QStringList{"1|30|S|s.mp3", "2|70|T|"};
        QTest::addRow("page and staging both kept")
            << QStringList{"1|10|A|a.mp3", "2|20|B|b.mp3"} << QStringList{"1|5|S|s.mp3"} << 0
            << QStringList{"00:10\t - A", "00:05\t - S", "00:20\t - B"}
            << QStringList{"1|10|A|a.mp3", "2|5|S|s.mp3", "3|20|B|b.mp3"};
    }
    void renumbering()
    {
        QFETCH(QStringList, page);
        QFETCH(QStringList, staged);
        QFETCH(qint32, n);
        QFETCH(QStringList, list);
        QFETCH(QStringList, stored);
        Book b(n > 0 ? kIndex : kCap1);
        const QString section = "Libro\\cap1.htm", first = stored[0].section('|', 2, 2);
        b.putMarks(section, page);
        b.putMarks(section + '#', staged);
        b.loadMarks(n > 0 ? section : QString(), n);
        QCOMPARE(b.f->ListMarkers.items(), list);
        QCOMPARE(b.marks(section), stored);
        QVERIFY(!b.f->view.keyExists(keyOf(section + '#')));
        QVERIFY(b.inStep());
        QCOMPARE(b.f->marks.oMarkers.key(1), n > 0 ? "-3-" + first : first);
        // The whole-book list files each entry under the page's key.
        const QString key = section.toUpper();
        QCOMPARE(b.f->lstapp.items(), n > 0 ? (QStringList{key + "*1", key + "*2", key + "*3"}) : QStringList());
        QVERIFY(b.dialogs.shown.isEmpty());
        // A second load finds everything in place and rewrites nothing.
        int writes = 0;
        b.f->settings.Changed.connect([&](const QString &, const QString &, const QString &, bool) { ++writes; });
        b.loadMarks(n > 0 ? section : QString(), n);
        QCOMPARE(writes, 0);
        QCOMPARE(b.f->ListMarkers.items(), list);
    }

    void addPlacement_data()
    {
        QTest::addColumn<int>("used"); // slots 1 to used, slot 2 left free
        QTest::addColumn<int>("slot"); // 0: refused
        QTest::addRow("empty page") << 0 << 1;
        QTest::addRow("after the highest, a gap stays") << 3 << 4;
        QTest::addRow("a full page refuses the 101st") << 100 << 0;
    }
    void addPlacement()
    {
        QFETCH(int, used);
        QFETCH(int, slot);
        Book b;
        for (int n = 1; n <= used; ++n)
            if (n != 2 || used == 100)
                b.putMarks(kSec, {QString("%1|%1|D%1|x.mp3").arg(n)});
        b.playing("/libri/demo\\Libro\\cap1.mp3");
        const int before = b.marks(kSec).size();
        // Each value is announced only once the whole record is stored.
        int announced = 0;
        bool whole = true;
        b.f->settings.Changed.connect([&](const QString &, const QString &, const QString &, bool) {
            ++announced;
            whole = whole && b.marks(kSec).size() == before + 1;
        });
        QString description = "Nuovo";
        b.f->marks.AddMarcatore(description, 65);
        const QStringList stored = b.marks(kSec);
        QCOMPARE(stored.size(), before + (slot > 0 ? 1 : 0));
        QCOMPARE(announced, slot > 0 ? 3 : 0);
        QVERIFY(whole);
        QCOMPARE(b.f->ListMarkers.items(), slot > 0 ? QStringList{"01:05\t - Nuovo"} : QStringList());
        QCOMPARE(b.dialogs.count("message"), slot > 0 ? 0 : 1);
        if (slot > 0) {
            QCOMPARE(stored.last(), QString("%1|65|Nuovo|cap1.mp3").arg(slot));
            QCOMPARE(b.f->marks.oMarkers.item("Nuovo"), 65.0);
        }
    }

    void duplicateDescription_data()
    {
        QTest::addColumn<QStringList>("answers");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("asked");
        QTest::addColumn<QStringList>("errors");
        QTest::addRow("cancelled") << QStringList() << QString() << 1 << QStringList();
        QTest::addRow("only spaces") << QStringList{"   "} << QString() << 1 << QStringList();
        QTest::addRow("unchanged") << QStringList{"Capitolo"} << QString() << 1 << QStringList{kMarkExist};
        QTest::addRow("new and unique") << QStringList{" Capitolo bis "} << "Capitolo bis" << 1 << QStringList();
        QTest::addRow("another existing, asked again") << QStringList{"Altro", "Terzo"} << "Terzo" << 2 << QStringList();
    }
    void duplicateDescription()
    {
        QFETCH(QStringList, answers);
        QFETCH(QString, stored);
        QFETCH(int, asked);
        QFETCH(QStringList, errors);
        Book b;
        QStringList expected{"1|10|Capitolo|a.mp3", "2|20|Altro|b.mp3"};
        b.putMarks(kSec, expected);
        b.loadMarks();
        b.playing("C:\\Libro\\cap1.mp3");
        for (const QString &a : answers)
            b.dialogs.inputs.enqueue(a);
        QString description = "Capitolo";
        b.f->marks.AddMarcatore(description, 30);
        QCOMPARE(b.dialogs.count("input"), asked);
        QCOMPARE(b.dialogs.errorNames(), errors);
        if (!stored.isEmpty()) {
            expected << "3|30|" + stored + "|cap1.mp3";
            QCOMPARE(description, stored);
        }
        QCOMPARE(b.marks(kSec), expected);
        QCOMPARE(b.f->ListMarkers.listCount(), expected.size());
        QCOMPARE(b.f->marks.oMarkers.count(), expected.size());
    }

    void caseInsensitiveKeys()
    {
        Book b;
        b.putMarks(kSec, {"1|10|Capitolo|a.mp3"});
        b.loadMarks();
        QString description = "capitolo";
        b.f->marks.AddMarcatore(description, 20);
        QCOMPARE(b.dialogs.errorNames(), QStringList{kMarkExist});
        QCOMPARE(b.marks(kSec), QStringList{"1|10|Capitolo|a.mp3"});
        QCOMPARE(b.f->ListMarkers.listCount(), 1);
        QCOMPARE(b.f->marks.oMarkers.item("CAPITOLO"), 10.0);
    }

    // Shift+Delete deletes as Delete does; the slots after close up.
    void singlePageDeletion()
    {
        Book b;
        b.putMarks(kSec, {"1|10|A|a.mp3", "2|20|B|b.mp3", "3|30|C|c.mp3"});
        b.loadMarks();
        b.f->ListMarkers.setListIndex(1);
        b.key(46, 1);
        QCOMPARE(b.marks(kSec), (QStringList{"1|10|A|a.mp3", "2|30|C|c.mp3"}));
        QCOMPARE(b.f->ListMarkers.listCount(), 2);
        QCOMPARE(b.f->ListMarkers.listIndex(), -1);
    }

    void wholeBookDeletion()
    {
        Book b(kIndex);
        const QString cap2 = "Libro\\cap2.htm";
        b.putMarks("Libro\\cap1.htm", {"1|5|Uno|u.mp3"});
        for (int n = 1; n <= 12; ++n)
            b.putMarks(cap2, {QString("%1|%1|Voce %1|v.mp3").arg(n)});
        b.putMarks("Libro\\cap3.htm", {"1|7|Tre|t.mp3"});
        b.loadMarks("Libro\\cap1.htm", 1);
        b.f->marks.Marcatori(0, cap2, 2);
        b.f->marks.Marcatori(0, "Libro\\cap3.htm", 3);
        QCOMPARE(b.f->lstapp.itemText(12), "LIBRO\\CAP2.HTM*12");
        b.f->ListMarkers.setListIndex(12);
        b.key(46);
        QCOMPARE(b.marks(cap2).size(), 11);
        QVERIFY(b.marks(cap2).last().startsWith("11|"));
        QCOMPARE(b.marks("Libro\\cap1.htm").size(), 1);
        QCOMPARE(b.f->lstapp.itemText(12), "LIBRO\\CAP3.HTM*1");
        QCOMPARE(b.f->ListMarkers.listCount(), 13);
        QVERIFY(b.inStep());
        b.f->ListMarkers.setListIndex(-1);
        b.key(46); // nothing selected: nothing deleted
        QCOMPARE(b.f->ListMarkers.listCount(), 13);
        // The entry now in that place opens its own page, not a neighbour's.
        b.f->ListMarkers.setListIndex(12);
        b.key(13);
        QCOMPARE(b.f->marks.current(), qint16(13));
        QCOMPARE(b.browser.navigations.last(), "/libri/demo/Libro/cap3.htm");
        QCOMPARE(b.f->recall.takePending(), qint16(1));
        QVERIFY(b.dialogs.shown.isEmpty());
    }

    // A ".html" page is filed under its ".HTM" key; the contents page lists
    // it by its file name and goes there.
    void htmlPageInTheWholeBook()
    {
        Book b(kIndex);
        b.putMarks("LIBRO\\P2.HTM", {"1|40|Due|d.mp3"});
        b.loadMarks("Libro/p2.html", 4);
        QCOMPARE(b.f->ListMarkers.items(), QStringList{"00:40 - Due"});
        QCOMPARE(b.f->marks.oMarkersIndex.item(1), "Libro/p2.html");
        b.f->ListMarkers.setListIndex(0);
        b.key(13);
        QCOMPARE(b.browser.navigations.last(), "/libri/demo/Libro/p2.html");
    }

    // Enter with a modifier does nothing; a double click recalls as Enter does.
    void listEvents()
    {
        Book b;
        b.putMarks(kSec, {"1|10|A|a.mp3", "2|20|B|b.mp3", "3|30|Parte 1 - fine|c.mp3"});
        b.files.add("/libri/demo/Libro/c.mp3");
        b.loadMarks();
        b.playing("/vecchio/prima.mp3");
        b.f->ListMarkers.setListIndex(2);
        b.key(13, 1);
        b.key(13, 2);
        QVERIFY(b.mediaLog.isEmpty());
        b.f->ListMarkers.DblClick();
        QCOMPARE(b.f->marks.current(), qint16(3));
        QCOMPARE(b.media()->url_, "/libri/demo/Libro/c.mp3");
        QCOMPARE(b.media()->position, 30.0);
        QCOMPARE(b.f->lblOSD.caption(), "Parte 1 - fine");
        QVERIFY(b.dialogs.shown.isEmpty());
    }

    void recallFindsAudio_data()
    {
        QTest::addColumn<QString>("audio");
        QTest::addColumn<QStringList>("onDisk");
        QTest::addColumn<QString>("content");
        QTest::addColumn<QString>("played");
        QTest::addRow("page folder before Libro") << "cap1.mp3"
                                                  << QStringList{"/libri/demo/Altro/cap1.mp3", "/libri/demo/Libro/cap1.mp3"}
                                                  << "" << "/libri/demo/Altro/cap1.mp3";
        QTest::addRow("Libro of the book") << "cap1.mp3" << QStringList{"/libri/demo/Libro/cap1.mp3"} << ""
                                           << "/libri/demo/Libro/cap1.mp3";
        QTest::addRow("drive named by the page first")
            << "cap1.mp3" << QStringList{"E:/ALTRO/cap1.mp3", "/media/anna/USB/ALTRO/cap1.mp3"} << "E:\\Altro\\cap1"
            << "E:\\ALTRO\\cap1.mp3";
        QTest::addRow("volumes in order")
            << "cap1.mp3" << QStringList{"/mnt/disco/Libro/cap1.mp3", "/media/anna/USB/ALTRO/cap1.mp3"} << ""
            << "/media/anna/USB\\ALTRO\\cap1.mp3";
        QTest::addRow("nowhere: the old file plays on") << "cap1.mp3" << QStringList() << "" << "/vecchio/prima.mp3";
        QTest::addRow("no audio value: positioned only") << "-" << QStringList() << "" << "/vecchio/prima.mp3";
    }
    void recallFindsAudio()
    {
        QFETCH(QString, audio);
        QFETCH(QStringList, onDisk);
        QFETCH(QString, content);
        QFETCH(QString, played);
        Book b("file:///libri/demo/Altro/cap1.htm");
        const bool plays = audio != "-";
        b.putMarks("ALTRO\\CAP1.HTM", {"1|75|Capitolo -3- fine" + (plays ? '|' + audio : QString())});
        for (const QString &p : onDisk)
            b.files.add(p);
        b.files.volumeRoots = QStringList{"/media/anna/USB", "/mnt/disco"};
        if (!content.isEmpty())
            b.browser.elements.insert("qyrplayer_audio", FakeBrowser::meta("QYRPLAYER_AUDIO", content));
        b.loadMarks();
        b.playing("/vecchio/prima.mp3");
        b.f->fraMarcatori.setVisible(true);
        b.f->objwb.setVisible(false);
        b.f->ListMarkers.setListIndex(0);
        b.f->marks.setCurrent(1);
        b.f->recall.MarcatoriRichiama(0);
        QCOMPARE(b.media()->url_, played);
        QCOMPARE(b.media()->position, 75.0);
        QCOMPARE(b.media()->state == playstate::Playing, plays);
        QCOMPARE(b.f->lblOSD.caption() == "Capitolo -3- fine", plays);
        QCOMPARE(b.f->audio.chainingHeld(), plays);
        QVERIFY(!b.f->fraMarcatori.visible() && b.f->objwb.visible());
        QVERIFY(b.dialogs.shown.isEmpty());
        b.clock.advance(1000);
        QVERIFY(!b.f->audio.chainingHeld());
    }

    void damagedData_data()
    {
        QTest::addColumn<QStringList>("page");
        QTest::addColumn<QStringList>("list");
        QTest::addColumn<QStringList>("stored");
        QTest::addColumn<QStringList>("errors");
        const QString start = kLoad + "Inizio Caricamento", markers = kLoad + "Caricamento nelle liste oMarkers",
                      index = kLoad + "Caricamento nelle liste oMarkersIndex";
        QTest::addRow("description without a position") << QStringList{"1|10|A|a.mp3", "3|-|B|b.mp3", "4|40|C|c.mp3"}
            << QStringList{"00:10\t - A", "00:00\t - B", "00:40\t - C"}
            << QStringList{"1|10|A|a.mp3", "2|0|B|b.mp3", "3|40|C|c.mp3"} << QStringList{start};
        QTest::addRow("the first without a position is not overwritten")
            << QStringList{"1|-|A|a.mp3", "2|20|B|b.mp3"} << QStringList{"00:00\t - A", "00:20\t - B"}
            << QStringList{"1|0|A|a.mp3", "2|20|B|b.mp3"} << QStringList{start};
        QTest::addRow("position not a number") << QStringList{"2|dieci|A|a.mp3", "5|50|B|b.mp3"}
                                               << QStringList{"00:00\t - A", "00:50\t - B"}
                                               << QStringList{"1|0|A|a.mp3", "2|50|B|b.mp3"} << QStringList{markers};
        QTest::addRow("negative position") << QStringList{"1|-5|A|a.mp3"} << QStringList{"00:00\t - A"}
                                           << QStringList{"1|0|A|a.mp3"} << QStringList{markers};
        QTest::addRow("duplicate descriptions")
            << QStringList{"1|10|A|a.mp3", "4|40|A|x.mp3", "6|60|c|c.mp3", "7|70|C|d.mp3"}
            << QStringList{"00:10\t - A", "00:40\t - A", "01:00\t - c", "01:10\t - C"}
            << QStringList{"1|10|A|a.mp3", "2|40|A|x.mp3", "3|60|c|c.mp3", "4|70|C|d.mp3"}
            << QStringList{markers, index, markers, index};
    }
    void damagedData()
    {
        QFETCH(QStringList, page);
        QFETCH(QStringList, list);
        QFETCH(QStringList, stored);
        QFETCH(QStringList, errors);
        Book b;
        b.putMarks(kSec, page);
        b.loadMarks();
        QCOMPARE(b.dialogs.errorNames(), errors);
        QCOMPARE(b.f->ListMarkers.items(), list);
        QCOMPARE(b.marks(kSec), stored);
        QVERIFY(b.inStep());
        // Deleting the last entry reaches its own record.
        b.f->ListMarkers.setListIndex(list.size() - 1);
        b.key(46);
        QCOMPARE(b.marks(kSec), stored.mid(0, stored.size() - 1));
    }

    void oddSectionNames_data()
    {
        QTest::addColumn<QString>("section");
        QTest::addRow("star") << "Libro\\a*b.htm";
        QTest::addRow("hash") << "Libro\\n#1.htm";
        QTest::addRow("spaces and symbols") << "Libro\\l'eco & più 100%.htm";
    }
    void oddSectionNames()
    {
        QFETCH(QString, section);
        Book b(kIndex);
        b.putMarks(section, {"2|20|A|a.mp3", "3|30|B|b.mp3"});
        b.loadMarks(section, 1);
        QCOMPARE(b.f->lstapp.items(), (QStringList{section.toUpper() + "*1", section.toUpper() + "*2"}));
        QCOMPARE(b.marks(section), (QStringList{"1|20|A|a.mp3", "2|30|B|b.mp3"}));
        QCOMPARE(b.f->view.subKeys(keyOf("Libro")), QStringList{section.mid(6)});
        b.f->ListMarkers.setListIndex(1);
        b.key(46);
        QCOMPARE(b.marks(section), QStringList{"1|20|A|a.mp3"});
        QVERIFY(b.dialogs.shown.isEmpty());
    }

    void deletePage()
    {
        Book b(kIndex);
        b.putMarks("INDEX.HTM", {"1|5|Sommario"});
        b.putMarks("Libro", {"1|9|Cartella"});
        b.putMarks(kSec, {"1|10|A|a.mp3"});
        b.putMarks(kSec + '#', {"1|20|S"});
        b.f->marks.Marcatori(1, QString(), 0); // the contents' own records only
        QVERIFY(!b.f->view.keyExists(keyOf("INDEX.HTM")));
        QCOMPARE(b.marks(kSec).size(), 1);
        b.f->marks.Marcatori(1, "Libro", 0); // a page key that is also a folder
        QVERIFY(b.marks("Libro").isEmpty());
        QCOMPARE(b.marks(kSec).size(), 1);
        b.f->marks.Marcatori(1, kSec, 0);
        QVERIFY(!b.f->view.keyExists(keyOf(kSec)) && !b.f->view.keyExists(keyOf(kSec + '#')));
    }

    void storeFailureLosesNothing()
    {
        Book b;
        b.putMarks(kSec, {"2|20|A|a.mp3", "4|40|B|b.mp3"});
        b.reg.failWrites = true;
        b.loadMarks();
        QCOMPARE(b.dialogs.errorNames(), QStringList{kLoad + "Salvataggio Markers per riordino"});
        QCOMPARE(b.marks(kSec), (QStringList{"2|20|A|a.mp3", "4|40|B|b.mp3"}));
        QString description = "Nuovo";
        b.f->marks.AddMarcatore(description, 5);
        QCOMPARE(b.dialogs.errorNames().last(), kMarkExist);
        QCOMPARE(b.f->ListMarkers.listCount(), 2);
        QVERIFY(b.inStep());
        // The list still reaches the records where they are.
        b.reg.failWrites = false;
        b.f->ListMarkers.setListIndex(1);
        b.key(46);
        QCOMPARE(b.marks(kSec), QStringList{"1|20|A|a.mp3"});
    }

    void inputBox_data()
    {
        QTest::addColumn<QStringList>("answers");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("text");
        QTest::addRow("typed") << QStringList{"abc"} << "Scrivi" << "abc";
        QTest::addRow("cancelled") << QStringList() << "Scrivi" << "";
        QTest::addRow("OK on empty stays open") << QStringList{"", "x"} << "Scrivi" << "x";
        QTest::addRow("only spaces accepted") << QStringList{"  "} << "" << "  ";
    }
    void inputBox()
    {
        QFETCH(QStringList, answers);
        QFETCH(QString, title);
        QFETCH(QString, text);
        ScriptedDialogs d;
        for (const QString &a : answers)
            d.inputs.enqueue(a);
        frmInputBox box(d);
        box.setTitle(title);
        box.setDefault("non mostrato");
        box.Display();
        QCOMPARE(box.txtInput.text(), text);
        QCOMPARE(d.count("message"), answers.value(0, "-").isEmpty() ? 1 : 0); // an empty OK is warned of
        QCOMPARE(d.shown[0].title, title.isEmpty() ? "InputBox" : title);
    }
};

QTEST_GUILESS_MAIN(TstBookmarks)
#include "tst_bookmarks.moc"
