// Bookmarks on doubles: renumbering, slots, duplicates, recall of moved audio, the list's keys, damaged data, the input box.
#include "dialogs/inputbox.h"
#include "doubles/rig.h"

#include <QtTest>

using namespace qyr;
using namespace qyr::test;

namespace {

const QString kCap1 = "file:///libri/demo/Libro/cap1.htm";
const QString kIndex = "file:///libri/demo/Index.htm";
const QString kSec = "LIBRO\\CAP1.HTM", kPage = "Libro\\cap1.htm";
const QString kMarkExist = "AddMarcatore - Il nome del marcatore è già stato inserito!";
const QString kLoad = "Marcatori Mode = 0 --> ";

QString keyOf(const QString &section) { return Settings::keyPath("QYR MediaPlayer", section); }

// The bookmark store, recall and list alone, with the page's audio they
// follow, showing a page with the player made.
struct Book : Parts {
    Messages msg;
    ListBox ListMarkers{"ListMarkers"}, lstapp{"lstapp"};
    Panel fraMarcatori{"fraMarcatori"};
    Control objwb{"objwb"};
    TimerModel TimerDisableState{"TimerDisableState", 1000, &clock};
    TextBox TxtDebFilename{"TxtDebFilename"};
    PageAudio audio{{er, browser, files, clock, players, prefs, feedback, books, TxtDebFilename}};
    TimerModel TimerDaisy{"TimerDaisy", 100, &clock};
    TextBox TextAvantiIndietro{"TextAvantiIndietro"};
    DaisyReading daisy{{er, clock, dialogs, players, feedback, books, TimerDaisy, TextAvantiIndietro}};
    BookmarkStore store{{er, settings, files, dialogs, players, msg, feedback, books, urls, daisy, ListMarkers, lstapp}};
    BookmarkRecall recall{{er, settings, files, browser, clock, players, feedback, books, {urls, audio, daisy}, store,
                           {ListMarkers, fraMarcatori, objwb, TimerDisableState}}};
    BookmarkList markList{{er, feedback, urls, store, recall, ListMarkers}};
    explicit Book(const QString &url = kCap1)
    {
        msg.setDefaults();
        makePlayer();
        markList.connect();
        TimerDisableState.Timer.connect([this] { recall.TimerDisableState_Timer(); });
        browser.location = url;
        clearTraces();
    }
    // The bookmarks of the page shown (or of page, listed as the n-th of the
    // whole book), loaded into the list afresh.
    void loadMarks(const QString &page = QString(), qint32 n = 0)
    {
        store.ClearMarcatori();
        store.Marcatori(BookmarkStore::MarkerMode::List, page, n);
    }
    void playing(const QString &file)
    {
        players.oPlayer->setFileName(file);
        mediaLog.clear();
    }
    void press(int entry, qint16 code, qint16 shift = 0)
    {
        ListMarkers.setListIndex(entry);
        ListMarkers.KeyDown(code, shift);
    }
    QString add(QString description, qint32 at)
    {
        store.AddMarcatore(description, at);
        return description;
    }
    bool inStep() const
    {
        return store.oMarkers.count() == ListMarkers.listCount() &&
               store.oMarkersIndex.count() == ListMarkers.listCount();
    }
};

} // namespace

class TstBookmarks : public QObject {
    Q_OBJECT
private slots:
    // Slots close up, staged records (without audio) follow the page's of the same slot; a second load rewrites nothing.
    void renumbering()
    {
        struct Case { QStringList page, staged; qint32 n; QStringList list, stored; };
        for (const Case &c : {Case{{"1|10|A|a.mp3", "3|30|C|c.mp3", "4|40|D|d.mp3"}, {}, 3,
                                   {"00:10 - A", "00:30 - C", "00:40 - D"},
                                   {"1|10|A|a.mp3", "2|30|C|c.mp3", "3|40|D|d.mp3"}},
                              Case{{"1|10|A|a.mp3", "4|20|B|b.mp3"}, {"1|5|S"}, 0,
                                   {"00:10\t - A", "00:05\t - S", "00:20\t - B"},
                                   {"1|10|A|a.mp3", "2|5|S|", "3|20|B|b.mp3"}}}) {
            Book b(c.n > 0 ? kIndex : kCap1);
            b.putMarks(kPage, c.page);
            b.putMarks(kPage + '#', c.staged);
            b.loadMarks(c.n > 0 ? kPage : QString(), c.n);
            QCOMPARE(b.ListMarkers.items(), c.list);
            QCOMPARE(b.marks(kPage), c.stored);
            QVERIFY(!b.view.keyExists(keyOf(kPage + '#')));
            QVERIFY(b.inStep());
            QCOMPARE(b.store.oMarkers.key(1), c.n > 0 ? "-3-A" : "A");
            // The whole-book list files each entry under the page's key.
            QCOMPARE(b.lstapp.items(), c.n > 0 ? (QStringList{kSec + "*1", kSec + "*2", kSec + "*3"}) : QStringList());
            QVERIFY(b.dialogs.shown.isEmpty());
            int writes = 0;
            b.settings.Changed.connect([&](const QString &, const QString &, const QString &, bool) { ++writes; });
            b.loadMarks(c.n > 0 ? kPage : QString(), c.n);
            QCOMPARE(writes, 0);
            QCOMPARE(b.ListMarkers.items(), c.list);
        }
    }

    // A full or nearly full page keeps all its own records; staged ones take what room is left and the rest wait.
    void aFullPageLosesNothing()
    {
        for (const int own : {100, 99}) {
            Book b(kCap1);
            QStringList page;
            for (int n = 1; n <= own; ++n)
                page << QString("%1|%1|D%1").arg(n);
            b.putMarks(kPage, page);
            b.putMarks(kPage + '#', {"1|5|S", "2|6|T"});
            b.loadMarks();
            const QStringList stored = b.marks(kPage);
            QCOMPARE(stored.size(), 100);
            QCOMPARE(stored.filter(QRegularExpression("\\|D\\d+\\|")).size(), own);
            QStringList waiting{"1|5|S|<assente>", "2|6|T|<assente>"};
            QCOMPARE(b.marks(kPage + '#'), own == 100 ? waiting : waiting.mid(1));
            QCOMPARE(b.ListMarkers.items().size(), 100);
        }
    }

    // Slots 1 to used are taken but for slot 2: the new one goes after the highest; a full page refuses.
    void addPlacement()
    {
        for (const auto &[used, slot] : {std::pair{0, 1}, {3, 4}, {100, 0}}) {
            Book b;
            for (int n = 1; n <= used; ++n)
                if (n != 2 || used == 100)
                    b.putMarks(kSec, {QString("%1|%1|D%1|x.mp3").arg(n)});
            b.playing("/libri/demo\\Libro\\cap1.mp3");
            const int before = b.marks(kSec).size();
            // Each value is announced only once the whole record is stored.
            int announced = 0;
            bool whole = true;
            b.settings.Changed.connect([&](const QString &, const QString &, const QString &, bool) {
                ++announced;
                whole = whole && b.marks(kSec).size() == before + 1;
            });
            b.add("Nuovo", 65);
            const QStringList stored = b.marks(kSec);
            QVERIFY2(stored.size() == before + (slot > 0 ? 1 : 0), qPrintable(QString::number(used)));
            QCOMPARE(announced, slot > 0 ? 3 : 0);
            QVERIFY(whole);
            QCOMPARE(b.ListMarkers.items(), slot > 0 ? QStringList{"01:05\t - Nuovo"} : QStringList());
            QCOMPARE(b.dialogs.count("message"), slot > 0 ? 0 : 1);
            if (slot > 0)
                QCOMPARE(stored.last(), QString("%1|65|Nuovo|cap1.mp3").arg(slot));
        }
    }

    // A description already on the page, in any letter case, is asked again or refused.
    void duplicateDescription()
    {
        struct Case { QString typed; QStringList answers; QString stored; bool refused; };
        for (const Case &c : {Case{"Capitolo", {"   "}, {}, false}, Case{"Capitolo", {"Capitolo"}, {}, true},
                              Case{"Capitolo", {" Capitolo bis "}, "Capitolo bis", false},
                              Case{"Capitolo", {"Altro", "Terzo"}, "Terzo", false}, Case{"capitolo", {}, {}, true}}) {
            Book b;
            QStringList expected{"1|10|Capitolo|a.mp3", "2|20|Altro|b.mp3"};
            b.putMarks(kSec, expected);
            b.loadMarks();
            b.playing("C:\\Libro\\cap1.mp3");
            b.dialogs.inputs.append(c.answers);
            const QString description = b.add(c.typed, 30);
            QVERIFY2(b.dialogs.count("input") == c.answers.size(), qPrintable(c.answers.join('|')));
            QCOMPARE(b.dialogs.errorNames(), c.refused ? QStringList{kMarkExist} : QStringList());
            if (!c.stored.isEmpty()) {
                expected << "3|30|" + c.stored + "|cap1.mp3";
                QCOMPARE(description, c.stored);
            }
            QCOMPARE(b.marks(kSec), expected);
            QCOMPARE(b.ListMarkers.listCount(), expected.size());
            QCOMPARE(b.store.oMarkers.count(), expected.size());
        }
    }

    void wholeBookDeletion()
    {
        Book b(kIndex);
        const QString cap2 = "Libro\\cap2.htm";
        b.putMarks(kPage, {"1|5|Uno|u.mp3"});
        for (int n = 1; n <= 12; ++n)
            b.putMarks(cap2, {QString("%1|%1|Voce %1|v.mp3").arg(n)});
        b.putMarks("Libro\\cap3.htm", {"1|7|Tre|t.mp3"});
        b.loadMarks(kPage, 1);
        b.store.Marcatori(BookmarkStore::MarkerMode::List, cap2, 2);
        b.store.Marcatori(BookmarkStore::MarkerMode::List, "Libro\\cap3.htm", 3);
        b.press(12, 46);
        QCOMPARE(b.marks(cap2).last(), "11|11|Voce 11|v.mp3");
        QCOMPARE(b.osd(), "Segnalibro cancellato: Voce 12");
        QCOMPARE(b.lstapp.itemText(12), "LIBRO\\CAP3.HTM*1");
        QVERIFY(b.inStep());
        b.feedback.TimerOSD_Timer();
        b.press(-1, 46); // nothing selected: nothing deleted, nothing said
        QCOMPARE(b.ListMarkers.listCount(), 13);
        QCOMPARE(b.osd(), QString());
        // The entry now in that place opens its own page, not a neighbour's.
        b.press(12, 13);
        QCOMPARE(b.store.current(), qint16(13));
        QCOMPARE(b.browser.navigations.last(), "/libri/demo/Libro/cap3.htm");
        QVERIFY(b.dialogs.shown.isEmpty());

        // Chosen in the whole book's list, the bookmark is found again by its description once its page has opened
        // and renumbered; one gone meanwhile (another copy of the program put another in its slot) is said.
        b.browser.location = kIndex;
        b.playing("/libri/demo/Libro/pagina.mp3"); // the page's own audio will have started
        b.loadMarks(cap2, 1);
        b.press(0, 13);
        QCOMPARE(b.browser.navigations.last(), "/libri/demo/Libro/cap2.htm");
        b.reg.put(cap2, "1NOME", "Altra");
        b.browser.location = "file:///libri/demo/Libro/cap2.htm";
        b.loadMarks();
        b.recall.completePending();
        QCOMPARE(b.osd(), "Segnalibro non trovato: Voce 1");
        QVERIFY(b.dialogs.shown.isEmpty());
    }

    // Enter with a modifier does nothing, a double click recalls; Shift+Delete deletes and the slots after close up.
    void listEvents()
    {
        Book b;
        b.putMarks(kSec, {"1|10|A|a.mp3", "2|20|B|b.mp3", "3|30|Parte 1 - fine|c.mp3"});
        b.files.add("/libri/demo/Libro/c.mp3");
        b.loadMarks();
        b.playing("/vecchio/prima.mp3");
        b.press(2, 13, 1);
        b.press(2, 13, 2);
        QVERIFY(b.mediaLog.isEmpty());
        b.ListMarkers.DblClick();
        QCOMPARE(b.store.current(), qint16(3));
        QCOMPARE(b.lblOSD.caption(), "Parte 1 - fine");
        QCOMPARE(b.media()->url_, "/libri/demo/Libro/c.mp3");
        QVERIFY(b.dialogs.shown.isEmpty());
        b.press(1, 46, 1);
        QCOMPARE(b.osd(), "Segnalibro cancellato: B");
        QCOMPARE(b.marks(kSec), (QStringList{"1|10|A|a.mp3", "2|30|Parte 1 - fine|c.mp3"}));
        b.press(1, 46); // a description holding " - " is said whole
        QCOMPARE(b.osd(), "Segnalibro cancellato: Parte 1 - fine");
        QCOMPARE(b.ListMarkers.listCount(), 1);
        QCOMPARE(b.ListMarkers.listIndex(), -1);
    }

    // Another copy of the program has deleted and renumbered since this list was filled: Delete takes the bookmark the
    // reader chose, wherever it is now, or says it has gone.
    void deleteWhatTheListShowed()
    {
        Book b;
        b.putMarks(kSec, {"1|1|A1|a.mp3", "2|2|B1|a.mp3", "3|3|A2|a.mp3", "4|4|B2|a.mp3"});
        b.loadMarks();
        auto otherCopyDeletes = [&](int slot) {
            for (const QString &name : {BookmarkStore::positionName(slot), BookmarkStore::descriptionName(slot),
                                        BookmarkStore::audioName(slot)})
                b.settings.Delete(programName(), kSec, name);
        };
        b.putMarks(kSec, {"1|2|B1|a.mp3", "2|3|A2|a.mp3", "3|4|B2|a.mp3"});
        otherCopyDeletes(4);
        b.press(3, 46);
        QCOMPARE(b.osd(), "Segnalibro cancellato: B2");
        QCOMPARE(b.marks(kSec), (QStringList{"1|2|B1|a.mp3", "2|3|A2|a.mp3"}));
        otherCopyDeletes(2);
        b.press(1, 46);
        QCOMPARE(b.osd(), "Segnalibro già cancellato da un'altra copia del programma: A2");
        QCOMPARE(b.marks(kSec), QStringList{"1|2|B1|a.mp3"});
        QCOMPARE(b.ListMarkers.listCount(), 1);
        QVERIFY(b.dialogs.shown.isEmpty());
    }

    // Where the audio of a bookmark is looked for when it is not where the page finds its own.
    void recallFindsAudio()
    {
        struct Case { QString audio; QStringList onDisk; QString content, played; };
        const QString old = "/vecchio/prima.mp3";
        for (const Case &c : {Case{"cap1.mp3", {"E:/ALTRO/cap1.mp3", "/media/anna/USB/ALTRO/cap1.mp3"}, "E:\\Altro\\cap1",
                                   "E:\\ALTRO\\cap1.mp3"}, // the drive named by the page first
                              Case{"cap1.mp3", {"/mnt/disco/Libro/cap1.mp3", "/media/anna/USB/ALTRO/cap1.mp3"}, "",
                                   "/media/anna/USB\\ALTRO\\cap1.mp3"}, // then the volumes in order
                              Case{"cap1.mp3", {}, "", old}, Case{"-", {}, "", old}}) {
            Book b("file:///libri/demo/Altro/cap1.htm");
            const bool plays = c.audio != "-"; // without an audio value the player is only positioned
            b.putMarks("ALTRO\\CAP1.HTM", {"1|75|Capitolo -3- fine" + (plays ? '|' + c.audio : QString())});
            for (const QString &p : c.onDisk)
                b.files.add(p);
            b.files.volumeRoots = QStringList{"/media/anna/USB", "/mnt/disco"};
            if (!c.content.isEmpty())
                b.meta("QYRPLAYER_AUDIO", c.content);
            b.loadMarks();
            b.playing(old);
            b.fraMarcatori.setVisible(true);
            b.objwb.setVisible(false);
            b.ListMarkers.setListIndex(0);
            b.store.setCurrent(1);
            b.recall.MarcatoriRichiama(0);
            QVERIFY2(b.media()->url_ == c.played, qPrintable(b.media()->url_ + " instead of " + c.played));
            QCOMPARE(b.media()->position, 75.0);
            QCOMPARE(b.media()->state == playstate::Playing, plays);
            QCOMPARE(b.lblOSD.caption() == "Capitolo -3- fine", plays);
            QCOMPARE(b.audio.chainingHeld(), plays);
            QVERIFY(!b.fraMarcatori.visible() && b.objwb.visible());
            QVERIFY(b.dialogs.shown.isEmpty());
            b.clock.advance(1000);
            QVERIFY(!b.audio.chainingHeld());
        }
    }

    // Damaged records are kept, repaired in their place, and reported; the list stays in step with the store. A DAISY
    // place is written with a point, and read back on a computer in Italian too.
    void damagedData()
    {
        QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
        auto guard = qScopeGuard([] { QLocale::setDefault(QLocale::c()); });
        double v = 0;
        QVERIFY(BookmarkStore::readPosition("11.4", &v) && v == 11.4);
        QVERIFY(BookmarkStore::readPosition("11,5", &v) && v == 11.5);
        QVERIFY(!BookmarkStore::readPosition("undici", &v));
        const QString start = kLoad + "Inizio Caricamento", markers = kLoad + "Caricamento nelle liste oMarkers",
                      index = kLoad + "Caricamento nelle liste oMarkersIndex";
        struct Case { QStringList page, list, stored, errors; };
        // Slot 1 has no position: repaired, it is rewritten even though it does not move.
        for (const Case &c : {Case{{"1|-|A|a.mp3", "2|dieci|B|b.mp3", "3|-5|C|c.mp3", "5|50|D|d.mp3"},
                                   {"00:00\t - A", "00:00\t - B", "00:00\t - C", "00:50\t - D"},
                                   {"1|0|A|a.mp3", "2|0|B|b.mp3", "3|0|C|c.mp3", "4|50|D|d.mp3"},
                                   {start, markers, markers}},
                              Case{{"1|10|A|a.mp3", "4|40|A|x.mp3", "6|60|c|c.mp3", "7|70|C|d.mp3"},
                                   {"00:10\t - A", "00:40\t - A", "01:00\t - c", "01:10\t - C"},
                                   {"1|10|A|a.mp3", "2|40|A|x.mp3", "3|60|c|c.mp3", "4|70|C|d.mp3"},
                                   {markers, index, markers, index}}}) {
            Book b;
            b.putMarks(kSec, c.page);
            b.loadMarks();
            QCOMPARE(b.dialogs.errorNames(), c.errors);
            QCOMPARE(b.ListMarkers.items(), c.list);
            QCOMPARE(b.marks(kSec), c.stored);
            QVERIFY(b.inStep());
            // Deleting the last entry reaches its own record.
            b.press(int(c.list.size()) - 1, 46);
            QCOMPARE(b.marks(kSec), c.stored.mid(0, c.stored.size() - 1));
        }
    }

    // "*", "#" (the lists' separators) and symbols in a page name are kept whole; a ".html" page is filed as ".HTM".
    void unusualPageNames()
    {
        const QString section = "Libro\\l'eco & più*1#2 100%.htm";
        Book b(kIndex);
        b.putMarks(section, {"2|20|A|a.mp3", "3|30|B|b.mp3"});
        b.putMarks("LIBRO\\P2.HTM", {"1|40|Due|d.mp3"});
        b.loadMarks(section, 1);
        b.store.Marcatori(BookmarkStore::MarkerMode::List, "Libro/p2.html", 2);
        QCOMPARE(b.ListMarkers.items(), (QStringList{"00:20 - A", "00:30 - B", "00:40 - Due"}));
        QCOMPARE(b.lstapp.items(), (QStringList{section.toUpper() + "*1", section.toUpper() + "*2", "LIBRO\\P2.HTM*1"}));
        QCOMPARE(b.marks(section), (QStringList{"1|20|A|a.mp3", "2|30|B|b.mp3"}));
        QCOMPARE(b.view.subKeys(keyOf("Libro")), (QStringList{section.mid(6), "P2.HTM"}));
        b.press(1, 46);
        QCOMPARE(b.marks(section), QStringList{"1|20|A|a.mp3"});
        b.press(int(b.ListMarkers.items().indexOf("00:40 - Due")), 13);
        QCOMPARE(b.browser.navigations.last(), "/libri/demo/Libro/p2.html");
        QVERIFY(b.dialogs.shown.isEmpty());
    }

    void deletePage()
    {
        Book b(kIndex);
        b.putMarks("INDEX.HTM", {"1|5|Sommario"});
        b.putMarks("Libro", {"1|9|Cartella"});
        b.putMarks(kSec, {"1|10|A|a.mp3"});
        b.putMarks(kSec + '#', {"1|20|S"});
        b.store.Marcatori(BookmarkStore::MarkerMode::DeletePage, QString(), 0); // the contents' own records only
        QVERIFY(!b.view.keyExists(keyOf("INDEX.HTM")));
        b.store.Marcatori(BookmarkStore::MarkerMode::DeletePage, "Libro", 0); // a page key that is also a folder
        QVERIFY(b.marks("Libro").isEmpty());
        QCOMPARE(b.marks(kSec).size(), 1);
        b.store.Marcatori(BookmarkStore::MarkerMode::DeletePage, kSec, 0);
        QVERIFY(!b.view.keyExists(keyOf(kSec)) && !b.view.keyExists(keyOf(kSec + '#')));
    }

    void storeFailureLosesNothing()
    {
        Book b;
        b.putMarks(kSec, {"2|20|A|a.mp3", "4|40|B|b.mp3"});
        b.reg.failWrites = true;
        b.loadMarks();
        QCOMPARE(b.dialogs.errorNames(), QStringList{kLoad + "Salvataggio Markers per riordino"});
        QCOMPARE(b.marks(kSec), (QStringList{"2|20|A|a.mp3", "4|40|B|b.mp3"}));
        b.add("Nuovo", 5);
        QCOMPARE(b.dialogs.errorNames().last(), kMarkExist);
        QCOMPARE(b.ListMarkers.listCount(), 2);
        QVERIFY(b.inStep());
        // The list still reaches the records where they are.
        b.reg.failWrites = false;
        b.press(1, 46);
        QCOMPARE(b.marks(kSec), QStringList{"1|20|A|a.mp3"});
        QCOMPARE(b.osd(), "Segnalibro cancellato: B");
    }

    // An empty OK is warned of and asked again; spaces are text; a window without a title is "InputBox".
    void inputBox()
    {
        for (const auto &[answers, title, text] : {std::tuple{QStringList(), QString("Scrivi"), QString()},
                                                   {QStringList{"", "x"}, QString("Scrivi"), QString("x")},
                                                   {QStringList{"  "}, QString(), QString("  ")}}) {
            ScriptedDialogs d;
            d.inputs.append(answers);
            frmInputBox box(d);
            box.setTitle(title);
            box.setDefault("non mostrato");
            box.Display();
            QVERIFY2(box.txtInput.text() == text, qPrintable(answers.join('|')));
            QCOMPARE(d.count("message"), answers.value(0, "-").isEmpty() ? 1 : 0);
            QCOMPARE(d.shown[0].title, title.isEmpty() ? "InputBox" : title);
        }
    }
};

QTEST_GUILESS_MAIN(TstBookmarks)
#include "tst_bookmarks.moc"
