// The key map: masks compared as a whole, volume and speed at their limits,
// skips across audio files, index and page-file keys, the style sheet wrap,
// bookmark keys and error reports. On doubles, numbers in the Italian format.
#include "doubles/rig.h"

#include <QLocale>
#include <QtTest>

using namespace qyr;
using namespace qyr::test;

namespace {

const QString kApp = "/libri/app";
const QString kCap1 = "file:///libri/app/Libro/cap1.htm";
const QString kFile1 = "/libri/app/Libro/cap1_1.mp3";
const QString kFile2 = "/libri/app/Libro/cap1_2.mp3";
constexpr int Ctrl = 2, Alt = 4, Plus = 187, Minus = 189;

PageElement link(const QString &name, const QString &href)
{
    return PageElement{name, QString(), href, QString(), true, false};
}

// A started window on a chapter whose two audio files exist.
struct Reader : Rig {
    explicit Reader(const QString &location = kCap1) : Rig(kApp)
    {
        startAt(location);
        files.add(kFile1);
        files.add(kFile2);
    }
    void key(int code, int mask) { f->keys.Form_KeyDown(qint16(code), qint16(mask)); }
    FakeMedia &m() { return *media(); }
    // segment 0 or 1 of the page's audio plays at position at; -1: a file the
    // page does not name.
    void play(int segment, double at = 30, double length = 60)
    {
        if (segment < 0) {
            f->oPlayer->setFileName(kFile1);
            f->oPlayer->Play_Player();
        } else {
            meta("QYRPLAYER_AUDIO", "cap1_1.mp3");
            meta("QYRPLAYER_AUDIO_1", "cap1_2.mp3");
            f->audio.Playaudio(kCap1, false, false);
            if (segment == 1)
                f->audio.Playaudio(QString(), true, false);
        }
        m().position = at;
        m().length = length;
        clear();
    }
    bool playing() { return m().state == playstate::Playing; }
    // Bookmarks of the chapter as "position|description", loaded into the list.
    void bookmarks(const QStringList &records)
    {
        for (int n = 1; n <= records.size(); ++n)
            putMarks(f->urls.Section(), {QString::number(n) + '|' + records[n - 1] + "|cap1_1.mp3"});
        loadMarks();
    }
};

struct Skip {
    int segment;
    double at, length;
    QString skip;
    bool paused;
    int code;
    QString file;
    double position;
    QString message; // empty: not checked
};
struct Index {
    bool entries; // 1, 2, 3 at 0, 60 and 120 s
    int anchor;
    double at;
    int code, target; // target: the entry navigated to, 0: none
    QString message;
    int anchorAfter;
};

} // namespace

Q_DECLARE_METATYPE(Skip)
Q_DECLARE_METATYPE(Index)

class TstKeyboard : public QObject {
    Q_OBJECT
private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy)); }
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void keysThatDoNothing_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("mask");
        QTest::addRow("Shift+3") << 51 << 1;
        QTest::addRow("Ctrl+keypad plus") << 107 << Ctrl;
        QTest::addRow("Alt+keypad plus") << 107 << Alt;
        QTest::addRow("Ctrl+Alt+9") << 57 << 6;
        QTest::addRow("Ctrl+5") << 53 << Ctrl;
        QTest::addRow("Escape, list hidden") << 27 << 0;
        QTest::addRow("Ctrl+6, no previous page") << 54 << Ctrl;
    }
    void keysThatDoNothing()
    {
        QFETCH(int, code);
        QFETCH(int, mask);
        Reader rd;
        rd.play(0);
        int saves = 0;
        rd.f->settings.Changed.connect([&](const QString &, const QString &, const QString &, bool) { ++saves; });
        rd.key(code, mask);
        QCOMPARE(rd.osd(), QString());
        QCOMPARE(rd.mediaLog, QStringList());
        QCOMPARE(rd.m().volume_, 100);
        QCOMPARE(rd.browser.navigations, QStringList());
        QCOMPARE(rd.dialogs.shown.size(), 0);
        QCOMPARE(saves, 0);
        QVERIFY(rd.f->objwb.visible() && !rd.f->fraMarcatori.visible() && !rd.f->frmconfigurazione.visible() &&
                !rd.f->fraDebug.visible());
    }

    void linkKeyAndStop()
    {
        Reader rd;
        rd.play(0, 65.4);
        rd.key('3', Ctrl);
        // A page link replays the same key.
        bool cancel = false;
        rd.f->links.objWB_BeforeNavigate2(kCap1 + "#QYRP_KEYCMD##KEYCTRL#51", cancel);
        QVERIFY(cancel && rd.playing());
        QCOMPARE(rd.osd(), "PLAY 01:05");
        rd.key('4', Ctrl);
        QCOMPARE(rd.osd(), "STOP 00:00");
        QCOMPARE(rd.m().position, 0.0);
    }

    void volume_data()
    {
        QTest::addColumn<int>("start");
        QTest::addColumn<bool>("version9");
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("volume");
        QTest::addRow("95 up stops at 100") << 95 << true << Plus << 100;
        QTest::addRow("5 down stops at 0") << 5 << true << Minus << 0;
        QTest::addRow("bounds of the other version: 50 up stops at 0") << 50 << false << Plus << 0;
    }
    void volume()
    {
        QFETCH(int, start);
        QFETCH(bool, version9);
        QFETCH(int, code);
        QFETCH(int, volume);
        Reader rd;
        rd.play(0);
        rd.m().volume_ = start;
        rd.f->keys.transport.setVolumeRange(version9 ? 1 : 0);
        rd.key(code, Ctrl);
        QCOMPARE(rd.m().volume_, volume);
        QCOMPARE(rd.osd(), "Volume - " + QString::number(volume));
        QCOMPARE(rd.f->TextVolume.text(), QString::number(volume));
        QCOMPARE(rd.reg.get("Player", "Volume"), QString::number(volume));
    }

    void skips_data()
    {
        QTest::addColumn<Skip>("c");
        QTest::addRow("forward while paused only tells") << Skip{0, 30, 60, "10", true, 50, kFile1, 30, "AVANTI 00:30"};
        QTest::addRow("forward") << Skip{0, 30, 60, "12,5", false, 50, kFile1, 42.5, "AVANTI 00:42"};
        QTest::addRow("forward past the end of the last audio")
            << Skip{1, 170, 175, "10", false, 50, kFile2, 172, "AVANTI 02:52"};
        QTest::addRow("forward past the end into the next audio")
            << Skip{0, 55, 60, "10", false, 50, kFile2, 0, "AVANTI 00:00"};
        QTest::addRow("back") << Skip{0, 30, 60, "15", false, 49, kFile1, 15, "INDIETRO 00:15"};
        QTest::addRow("back at 8, no audio before") << Skip{-1, 8, 60, "10", false, 49, kFile1, 0, "INDIETRO 00:00"};
        QTest::addRow("back at 8 into the previous audio")
            << Skip{1, 8, 60, "10", false, 49, kFile1, 50, "INDIETRO 00:50"};
        QTest::addRow("back at 15 by 30: the test uses a fixed 10")
            << Skip{0, 15, 60, "30", false, 49, kFile1, -15, QString()};
    }
    void skips()
    {
        QFETCH(Skip, c);
        Reader rd;
        rd.f->TextAvantiIndietro.setText(c.skip);
        rd.play(c.segment, c.at, c.length);
        if (c.paused)
            rd.f->oPlayer->Pause_Player();
        rd.key(c.code, Ctrl);
        QCOMPARE(rd.m().url_, c.file);
        QCOMPARE(rd.m().position, c.position);
        QCOMPARE(rd.playing(), !c.paused);
        if (!c.message.isEmpty())
            QCOMPARE(rd.osd(), c.message);
        QCOMPARE(rd.dialogs.shown.size(), 0);
    }

    // A damaged stored value (an import) is reported once and the box takes
    // the default, so the skip keys still work.
    void damagedSkipLength()
    {
        Reader rd;
        rd.play(0, 30);
        rd.reg.put("Player", "AvantiIndietro", "abc");
        rd.f->TextAvantiIndietro.setText("x");
        QCOMPARE(rd.f->TextAvantiIndietro.text(), "10");
        QCOMPARE(rd.dialogs.errorNames(), QStringList({"TextAvantiIndietro_Change"}));
        rd.key('2', Ctrl);
        QCOMPARE(rd.m().position, 40.0);
    }

    void indexEntries_data()
    {
        QTest::addColumn<Index>("c");
        const QString start = "Indice indietro - Raggiunto l'inizio ", end = "Indice avanti - Raggiunta la fine ";
        QTest::addRow("next at 5") << Index{true, 0, 5, 56, 2, "Indice avanti - Indice 2", 2};
        QTest::addRow("next at 62 after entry 2") << Index{true, 2, 62, 56, 3, "Indice avanti - Indice 3", 3};
        QTest::addRow("next at 125: the end") << Index{true, 3, 125, 56, 0, end, 3};
        QTest::addRow("previous at 70") << Index{true, 0, 70, 55, 1, "Indice indietro - Indice 1", 1};
        QTest::addRow("previous at 60") << Index{true, 3, 60, 55, 0, start, 2};
        QTest::addRow("previous at 130") << Index{true, 0, 130, 55, 0, start, 1};
        QTest::addRow("next, no index") << Index{false, 0, 5, 56, 0, end, 0};
        QTest::addRow("previous, no index") << Index{false, 2, 5, 55, 0, start, 2};
    }
    void indexEntries()
    {
        QFETCH(Index, c);
        Reader rd;
        rd.play(0, c.at);
        const QString pos = kCap1 + "#QYRPLAYER_AUDIO_POS=";
        for (int n = 1; c.entries && n <= 3; ++n)
            rd.browser.elements.insert(QString("lumoindex_%1").arg(n),
                                         link(QString("LumoIndex_%1").arg(n), pos + QString::number((n - 1) * 60)));
        rd.f->nIndexAnchor = qint16(c.anchor);
        rd.key(c.code, Alt);
        QCOMPARE(rd.browser.navigations,
                 c.target ? QStringList{pos + QString::number((c.target - 1) * 60)} : QStringList());
        QCOMPARE(rd.osd(), c.message);
        QCOMPARE(int(rd.f->nIndexAnchor), c.anchorAfter);
    }

    void pageFiles_data()
    {
        QTest::addColumn<QString>("location");
        QTest::addColumn<QString>("title");
        QTest::addColumn<bool>("next");
        QTest::addColumn<QString>("content");
        QTest::addColumn<QString>("target");
        QTest::addRow("previous, anchor dropped") << "file:///C:/Libro/cap2.html#QYRPLAYER_AUDIO_POS=30" << "cap2"
                                                  << false << "cap1.htm" << "file:///C:/Libro/cap1.htm";
        QTest::addRow("title is not the file name") << "file:///C:/Libro/cap1.htm" << "Capitolo primo" << true
                                                    << "cap2.htm" << "file:///C:/Libro/cap1.htmcap2.htm";
        QTest::addRow("empty content") << "file:///C:/Libro/cap1.htm" << "cap1" << true << "" << "";
    }
    void pageFiles()
    {
        QFETCH(QString, location);
        QFETCH(QString, title);
        QFETCH(bool, next);
        QFETCH(QString, content);
        QFETCH(QString, target);
        Reader rd(location);
        rd.browser.locationTitle = title;
        const QString name = next ? "QYRPLAYER_AUDIO_NEXTHTML_1" : "QYRPLAYER_AUDIO_PREVHTML";
        rd.meta(name, content);
        rd.key(next ? '7' : '6', Ctrl);
        QCOMPARE(rd.browser.navigations, target.isEmpty() ? QStringList() : QStringList{target});
        QCOMPARE(rd.osd(), target.isEmpty() ? QString() : next ? "File successivo" : "File precedente");
    }

    void helpTableOfContentsAndDebugPanel()
    {
        Reader rd;
        rd.key(112, 7); // F1 with any modifiers, and nothing else
        QCOMPARE(rd.browser.navigations, QStringList{"/libri/app/include/help.htm"});
        QVERIFY(!rd.f->fraDebug.visible());
        // Shift+Ctrl+Alt with any key, even the modifier completing it.
        rd.key(17, 7);
        QVERIFY(rd.f->fraDebug.visible());
        rd.key('A', 7);
        QVERIFY(!rd.f->fraDebug.visible());
        QCOMPARE(rd.osd(), QString());
    }

    void readingSpeed()
    {
        Reader rd;
        rd.play(0);
        auto press = [&](int code, int mask, int times) {
            QStringList shown;
            for (int i = 0; i < times; ++i) {
                rd.key(code, mask);
                shown << rd.osd();
            }
            return shown;
        };
        // Steps land on tenths, shown and stored so; up wraps after 2 to
        // 0.5, down wraps after 0.6 to 2.
        QCOMPARE(press(Plus, Alt, 11).mid(8),
                 QStringList({"Lettura più veloce - Rate 1,9", "Lettura più veloce - Rate 2", "Lettura più veloce - Rate 0,5"}));
        QCOMPARE(rd.reg.get("Player", "Rate"), "0,5");
        rd.m().rate_ = 1;
        QCOMPARE(press(Minus, Alt, 5).mid(3), QStringList({"Lettura più lenta - Rate 0,6", "Lettura più lenta - Rate 2"}));
        QCOMPARE(rd.m().rate_, 2.0f);
        // The cycle: a stepped speed goes back to 1 first.
        QCOMPARE(press('9', Ctrl, 4), QStringList({"Lettura normale - Rate 1", "Lettura veloce - Rate 1,4",
                                                   "Lettura lenta - Rate 0,7", "Lettura normale - Rate 1"}));
        QCOMPARE(rd.reg.get("Player", "Rate"), "1");
        QCOMPARE(rd.dialogs.shown.size(), 0);
    }

    // Past the last sheet the style goes back to 1; the reading goes on in
    // the same file at the same place, not at the anchor's position.
    void styleSheetWrapsAndKeepsThePlace()
    {
        Reader rd(kCap1 + "#QYRPLAYER_AUDIO_POS=42");
        rd.files.add("/libri/app/INCLUDE/Style1.CSS");
        rd.play(1, 50);
        rd.browser.pages.insert(kCap1, FakeBrowser::Page{"Capitolo 1", rd.browser.elements, {}});
        rd.browser.autoComplete = true;
        rd.f->keys.reading.setStyleSheet(1);
        rd.key('9', Alt);
        QCOMPARE(rd.osd(), "Stile 1");
        QCOMPARE(rd.browser.navigations, QStringList{kCap1});
        QVERIFY(rd.playing());
        QCOMPARE(rd.m().url_, kFile2);
        QCOMPARE(rd.m().position, 50.0);
        QCOMPARE(rd.f->audio.audioIndex(), 1);
    }

    // A key that can do nothing says why instead of staying silent.
    void silenceIsNeverTheAnswer()
    {
        Reader rd;
        for (const int code : {int('1'), int('2'), int('3'), int('4'), Plus}) {
            rd.f->frmOSD.setVisible(false);
            rd.key(code, Ctrl);
            QCOMPARE(rd.osd(), "Nessun audio in riproduzione");
        }
        QVERIFY(rd.mediaLog.filter("play").isEmpty());
        rd.meta("QYRPLAYER_AUDIO_NEXTHTML_1", "cap2.htm");
        rd.files.bookGone = true;
        for (const auto &[code, mask] : {std::pair{int('I'), Ctrl}, {int('7'), Ctrl}, {112, 0}}) {
            rd.f->frmOSD.setVisible(false);
            rd.key(code, mask);
            QCOMPARE(rd.osd(), "Libro non raggiungibile");
        }
        QVERIFY(rd.browser.navigations.isEmpty());
        QVERIFY(rd.dialogs.shown.isEmpty());
    }

    void bookmarkWalkStopsAtTheEnds()
    {
        Reader rd;
        rd.play(0);
        rd.bookmarks({"10|Primo", "20|Secondo", "30|Terzo"});
        QStringList recalled;
        auto press = [&](int code, int times) {
            for (int i = 0; i < times; ++i) {
                rd.key(code, Alt);
                recalled << rd.osd() + "@" + QString::number(rd.m().position);
            }
        };
        press('2', 4);
        press('1', 3);
        QCOMPARE(recalled, QStringList({"Primo@10", "Secondo@20", "Terzo@30", "Terzo@30", "Secondo@20", "Primo@10",
                                        "Primo@10"}));
        QCOMPARE(rd.f->ListMarkers.listIndex(), 0);
        rd.f->marks.setCurrent(0);
        rd.f->ListMarkers.setListIndex(2);
        press('1', 1);
        QCOMPARE(recalled.last(), "Primo@10");
    }

    void bookmarkKeysWithoutBookmarks_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<bool>("opens"); // the list's panel opens all the same, for its import
        QTest::addRow("previous") << 49 << false;
        QTest::addRow("next") << 50 << false;
        QTest::addRow("delete all") << 52 << false;
        QTest::addRow("list") << 54 << true;
    }
    void bookmarkKeysWithoutBookmarks()
    {
        QFETCH(int, code);
        QFETCH(bool, opens);
        Reader rd;
        rd.play(0);
        rd.key(code, Alt);
        QCOMPARE(rd.dialogs.shown.size(), 1);
        QCOMPARE(rd.dialogs.shown[0].text, "Non ci sono marcatori presenti.");
        QCOMPARE(rd.f->fraMarcatori.visible(), opens);
        QCOMPARE(rd.f->objwb.visible(), !opens);
        QCOMPARE(rd.playing(), !opens);
        QCOMPARE(rd.f->keys.bookmarks.resumeAfterList(), opens);
    }

    void addBookmark_data()
    {
        QTest::addColumn<QString>("location");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored");
        QTest::addRow("described") << kCap1 << "  Capitolo  " << "Capitolo";
        QTest::addRow("only spaces") << kCap1 << "   " << "";
        QTest::addRow("table of contents refused") << "file:///libri/app/Libro/index.htm" << "" << "";
    }
    void addBookmark()
    {
        QFETCH(QString, location);
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        Reader rd(location);
        rd.play(0, 65.4);
        rd.m().rate_ = 1.3f;
        rd.dialogs.inputs.enqueue(typed);
        rd.key('3', Alt);
        const bool refused = typed.isEmpty();
        QCOMPARE(rd.dialogs.shown.size(), 1);
        QCOMPARE(rd.dialogs.shown[0].kind, refused ? "message" : "input");
        QCOMPARE(rd.dialogs.shown[0].title,
                 refused ? QString("QYR MediaPlayer") : QString("Scrivi il segnalibro 01:05 (mm:ss)"));
        const QString section = rd.f->urls.Section();
        QCOMPARE(rd.reg.get(section, "1NOME"), stored.isEmpty() ? "<assente>" : stored);
        QCOMPARE(rd.reg.get(section, "1"), stored.isEmpty() ? "<assente>" : "65");
        QCOMPARE(rd.f->ListMarkers.listCount(), stored.isEmpty() ? 0 : 1);
        // Playback was paused for the entry and resumes in the reopened file.
        QCOMPARE(rd.mediaLog.filter("url:"), QStringList{"url:" + kFile1});
        QVERIFY(rd.playing());
        QCOMPARE(rd.m().position, 65.4);
        QCOMPARE(rd.m().rate_, 1.3f);
    }

    void deleteAllBookmarksAnsweredNo()
    {
        Reader rd;
        rd.play(0);
        rd.bookmarks({"10|Primo", "20|Secondo"});
        rd.dialogs.answers.enqueue(Answer::No);
        rd.key('4', Alt);
        QCOMPARE(rd.dialogs.shown[0].text, rd.f->msg.strMsgDelMark);
        QCOMPARE(rd.f->ListMarkers.listCount(), 2);
        QCOMPARE(rd.reg.get(rd.f->urls.Section(), "2NOME"), "Secondo");
    }

    // Alt+6 again plays on without reopening the file; Escape reopens it
    // where it was, at the speed it had before the list.
    void bookmarkListPausesAndResumes()
    {
        Reader rd;
        rd.play(0, 30);
        rd.bookmarks({"10|Primo"});
        rd.key('6', Alt);
        QVERIFY(!rd.playing() && rd.f->fraMarcatori.visible());
        rd.key('6', Alt);
        QVERIFY(rd.playing() && rd.f->objwb.visible() && !rd.f->fraMarcatori.visible());
        QCOMPARE(rd.mediaLog.filter("url:"), QStringList());
        rd.key('6', Alt);
        rd.key(Plus, Alt);
        rd.key(27, 0);
        QCOMPARE(rd.mediaLog.filter("url:"), QStringList{"url:" + kFile1});
        QVERIFY(rd.playing() && rd.f->objwb.visible() && !rd.f->fraMarcatori.visible());
        QCOMPARE(rd.m().position, 30.0);
        QCOMPARE(rd.m().rate_, 1.0f);
    }

    void failuresAreReportedWithTheStep()
    {
        {
            // An index entry whose position is not a number.
            Reader rd;
            rd.play(0, 5);
            rd.browser.elements.insert("lumoindex_1", link("LumoIndex_1", kCap1 + "#QYRPLAYER_AUDIO_POS=abc"));
            rd.key('8', Alt);
            QCOMPARE(rd.dialogs.errorNames(), QStringList{"Form_KeyDown - Form KeyDown: inizializzazione"});
            QVERIFY2(rd.f->keys.lastFilledError.startsWith("ERRORE: Form KeyDown: inizializzazione. Codice: 13 - "),
                     qPrintable(rd.f->keys.lastFilledError));
            QCOMPARE(rd.osd(), rd.f->keys.lastFilledError);
            QCOMPARE(rd.browser.navigations, QStringList());
        }
        {
            // A store that refuses writes: the step reached is named, and the key ends there.
            Reader rd;
            rd.play(0);
            rd.reg.failWrites = true;
            rd.key('0', Ctrl);
            rd.key('9', Alt);
            QCOMPARE(rd.dialogs.errorNames(),
                     QStringList({"Form_KeyDown - Form KeyDown: Ctrl+0", "Form_KeyDown - Form KeyDown: Ctrl+Shift+9"}));
            QVERIFY(rd.f->feedback.audioOff()); // applied before the save failed
            QCOMPARE(rd.browser.navigations, QStringList());
        }
    }
};

QTEST_GUILESS_MAIN(TstKeyboard)
#include "tst_keyboard.moc"
