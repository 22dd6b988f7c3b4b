// The key map at its edges: limits, skips across audio files, index, page files, styles, bookmarks, error reports.
#include "doubles/rig.h"

#include <QLocale>
#include <QtTest>

using namespace qyr;
using namespace qyr::test;

namespace {

const QString kCap1 = "file:///libri/app/Libro/cap1.htm";
const QString kFile1 = "/libri/app/Libro/cap1_1.mp3";
const QString kFile2 = "/libri/app/Libro/cap1_2.mp3";
constexpr int Ctrl = 2, Alt = 4, Plus = 187, Minus = 189;

// A started window on a chapter whose two audio files exist.
struct Reader : Rig {
    explicit Reader(const QString &location = kCap1) : Rig("/libri/app")
    {
        startAt(location);
        f->settings.Changed.connect([this](const QString &, const QString &, const QString &, bool) { ++saves; });
        files.add(kFile1);
        files.add(kFile2);
    }
    void key(int code, int mask) { f->keys.Form_KeyDown(qint16(code), qint16(mask)); }
    int saves = 0; // settings stored: the volume, speed and style keys all store
    FakeMedia &m() { return *media(); }
    // Segment 0 or 1 of the page's audio plays at `at`.
    void play(int segment, double at = 30, double length = 60)
    {
        meta("QYRPLAYER_AUDIO", "cap1_1.mp3");
        meta("QYRPLAYER_AUDIO_1", "cap1_2.mp3");
        f->audio.Playaudio(kCap1, AudioChoice::OfPage);
        if (segment == 1)
            f->audio.Playaudio(QString(), AudioChoice::Next);
        m().position = at;
        m().length = length;
        clear();
    }
    bool playing() { return m().state == playstate::Playing; }
    void link(QString name, QString to) { browser.elements.insert(name.toLower(), {name, {}, to, {}, true, false}); }
    // The messages shown by `times` presses of a key.
    QStringList press(int code, int mask, int times)
    {
        QStringList shown;
        for (int i = 0; i < times; ++i) {
            key(code, mask);
            shown << osd();
        }
        return shown;
    }
};

} // namespace

class TstKeyboard : public QObject {
    Q_OBJECT
private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy)); }
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    // The key table names each key as the help page does, row for row, and
    // the code and modifiers of each row are the ones its name says.
    void keyTableMatchesTheHelpPage()
    {
        QFile help(QStringLiteral(QYR_BOOK_DIR "/INCLUDE/help.htm"));
        QVERIFY(help.open(QIODevice::ReadOnly));
        QStringList onHelp, inTable;
        static const QRegularExpression row(QStringLiteral("<th scope=\"row\"><kbd>([^<]+)</kbd>"));
        for (const auto &m : row.globalMatch(QString::fromUtf8(help.readAll())))
            onHelp << m.captured(1);
        const QHash<QString, int> keys{{"F1", vk::F1}, {"Esc", vk::Escape}, {"+", vk::Plus}, {"-", vk::Minus}};
        const QHash<QString, int> masks{{"Ctrl+", mask::Ctrl}, {"Alt+", mask::Alt}, {"Ctrl+Maiusc+", mask::ShiftCtrl}};
        Reader r;
        for (const KeyBinding &b : r.f->keys.table()) {
            const QString name = QString::fromUtf8(b.keys), key = name.endsWith("++") ? "+" : name.section('+', -1);
            const QString mods = name.left(name.size() - key.size());
            inTable << name;
            if (name != "Maiusc+Ctrl+Alt") // with any key
                QVERIFY2(b.code == keys.value(key, key.at(0).unicode()) &&
                             b.modifiers == masks.value(mods, name == "F1" ? mask::Any : mask::None),
                         qPrintable(name));
        }
        onHelp.sort();
        inTable.sort();
        QCOMPARE(inTable, onHelp);
    }

    // A key acts only through a row of the key table whose condition holds: with a row's condition false the key does
    // what the next row for it does, or nothing; a key of no row does nothing. Each condition false in turn: no DAISY
    // book (a file playing, the next and previous page files named), the bookmark list closed with its resume still
    // due, no file loaded (whose check says so).
    void keysActOnlyThroughARowThatHolds()
    {
        auto make = [](KeyCondition c) {
            auto rd = std::make_unique<Reader>();
            if (c != KeyCondition::FileLoaded)
                rd->play(0);
            rd->meta("QYRPLAYER_AUDIO_NEXTHTML_1", "cap2.htm");
            rd->meta("QYRPLAYER_AUDIO_PREVHTML", "cap0.htm");
            if (c == KeyCondition::BookmarkListShown) {
                rd->key('6', Alt); // no bookmarks: the list opens all the same, the reading paused for it
                rd->f->fraMarcatori.setVisible(false);
                rd->f->objwb.setVisible(true);
            }
            rd->clear();
            return rd;
        };
        auto trace = [](Reader &rd) {
            QStringList t{rd.osd(), rd.mediaLog.join(' '), rd.browser.navigations.join(' '), QString::number(rd.saves)};
            for (const auto &d : rd.dialogs.shown)
                t << d.kind + ": " + d.text;
            for (const Control *c : {&rd.f->objwb, &rd.f->fraMarcatori, &rd.f->frmconfigurazione, &rd.f->fraDebug})
                t << c->name() + (c->visible() ? " shown" : "");
            if (rd.media())
                t << QString("%1 %2").arg(rd.m().position).arg(rd.m().state);
            return t;
        };
        const Reader any;
        const std::vector<KeyBinding> &table = any.f->keys.table();
        struct Press { const char *name; qint16 code, mods; KeyCondition fails; size_t next; };
        std::vector<Press> presses{{"Ctrl+Alt+9", '9', Ctrl | Alt, KeyCondition::Always, table.size()},
                                   {"Ctrl+keypad plus", 107, Ctrl, KeyCondition::Always, table.size()},
                                   {"Alt+keypad plus", 107, Alt, KeyCondition::Always, table.size()}};
        for (size_t i = 0; i < table.size(); ++i)
            if (table[i].condition != KeyCondition::Always)
                presses.push_back({table[i].keys, table[i].code, table[i].modifiers == mask::Any ? mask::None : table[i].modifiers,
                                   table[i].condition, i + 1});
        for (const Press &p : presses) {
            const auto named = naming(p.name);
            const auto pressed = make(p.fails), passedOver = make(p.fails);
            pressed->key(p.code, p.mods);
            // The playback keys' check says why it fails; among the others only it holds, and only with a file.
            if (p.fails == KeyCondition::FileLoaded)
                passedOver->f->feedback.OSD("Nessun audio in riproduzione", false);
            for (size_t j = p.next; j < table.size(); ++j) {
                const KeyBinding &b = passedOver->f->keys.table()[j];
                const bool holds = b.condition == KeyCondition::Always || (b.condition == KeyCondition::FileLoaded && p.fails != b.condition);
                if ((b.code == vk::AnyKey || b.code == p.code) && (b.modifiers == mask::Any || b.modifiers == p.mods) && holds) {
                    QVERIFY(b.action(QString::fromUtf8(b.step)).ok());
                    break;
                }
            }
            QCOMPARE(trace(*pressed), trace(*passedOver));
        }
    }

    void volumeStopsAtTheLimits()
    {
        struct Case { const char *name; int start; bool version9; int code, volume; };
        const Case cases[] = {{"95 up stops at 100", 95, true, Plus, 100}, {"5 down stops at 0", 5, true, Minus, 0},
                              {"the other version: 50 up stops at 0", 50, false, Plus, 0}};
        for (const Case &c : cases) {
            const auto named = naming(c.name);
            Reader rd;
            rd.play(0);
            rd.m().volume_ = c.start;
            rd.f->keys.transport.setVolumeRange(c.version9 ? 1 : 0);
            rd.key(c.code, Ctrl);
            QCOMPARE(rd.m().volume_, c.volume);
            QCOMPARE(rd.osd(), "Volume - " + QString::number(c.volume));
            // The box shows it, and stores it when it changes (it showed "100" before).
            QCOMPARE(rd.f->TextVolume.text(), QString::number(c.volume));
            QCOMPARE(rd.reg.get("Player", "Volume"), c.volume == 100 ? "<assente>" : QString::number(c.volume));
        }
    }

    void skips()
    {
        struct Skip { const char *name; int segment; double at, length; QString skip; bool paused; int code; double position;
                      QString message; }; // message: empty, not checked
        const Skip cases[] = {
            {"forward while paused only tells", 0, 30, 60, "10", true, '2', 30, "AVANTI 00:30"},
            {"forward by a length in the reader's format", 0, 30, 60, "12,5", false, '2', 42.5, "AVANTI 00:42"},
            {"forward past the end of the last audio", 1, 170, 175, "10", false, '2', 172, "AVANTI 02:52"},
            {"back at 8, no audio before", 0, 8, 60, "10", false, '1', 0, "INDIETRO 00:00"},
            {"back at 15 by 30: the test uses a fixed 10", 0, 15, 60, "30", false, '1', -15, QString()}};
        for (const Skip &c : cases) {
            const auto named = naming(c.name);
            Reader rd;
            rd.f->TextAvantiIndietro.setText(c.skip);
            rd.play(c.segment, c.at, c.length);
            if (c.paused)
                rd.f->oPlayer->Pause_Player();
            rd.key(c.code, Ctrl);
            QCOMPARE(rd.m().url_, c.segment == 1 ? kFile2 : kFile1); // no other file
            QCOMPARE(rd.m().position, c.position);
            QCOMPARE(rd.playing(), !c.paused);
            if (!c.message.isEmpty())
                QCOMPARE(rd.osd(), c.message);
            QCOMPARE(rd.dialogs.shown.size(), 0);
        }
        // A damaged stored value (an import) is reported once and the box takes the default, so the keys still work.
        Reader rd;
        rd.play(0, 30);
        rd.reg.put("Player", "AvantiIndietro", "abc");
        rd.f->TextAvantiIndietro.setText("x");
        QCOMPARE(rd.f->TextAvantiIndietro.text(), "10");
        QCOMPARE(rd.dialogs.errorNames(), QStringList({"TextAvantiIndietro_Change"}));
        rd.key('2', Ctrl);
        QCOMPARE(rd.m().position, 40.0);
    }

    // The last audio played again after the page's end and skipped past its end, then ended once more: one Ctrl+1
    // still goes back into it (the page's place is not carried further past its last audio).
    void skipBackAfterTheEndOfAReplayedPage()
    {
        Reader rd;
        rd.play(1, 59, 60);
        rd.m().end();
        rd.clock.advance(5);
        rd.key('3', Ctrl);
        rd.m().position = 55;
        rd.key('2', Ctrl);
        QCOMPARE(rd.m().position, 57.0);
        rd.m().end();
        rd.clock.advance(5);
        rd.clear();
        rd.key('1', Ctrl);
        QCOMPARE(rd.played(), kFile2);
        QCOMPARE(rd.m().position, 50.0);
        QCOMPARE(rd.dialogs.shown.size(), 0);
    }

    // Alt+8 and Alt+7 where no entry is reached; entries 1, 2 and 3 start at 0, 60 and 120 s.
    void indexEntriesAtTheEnds()
    {
        struct Case { const char *name; bool entries; int anchor; double at; int code; QString message; int anchorAfter; };
        const QString start = "Indice indietro - Raggiunto l'inizio ";
        const Case cases[] = {{"next at 125: the end", true, 3, 125, '8', "Indice avanti - Raggiunta la fine ", 3},
                              {"previous at 60, where entry 2 starts", true, 3, 60, '7', start, 2},
                              {"previous at 130, after every entry", true, 0, 130, '7', start, 1},
                              {"previous, no index", false, 2, 5, '7', start, 2}};
        for (const Case &c : cases) {
            const auto named = naming(c.name);
            Reader rd;
            rd.play(0, c.at);
            for (int n = 1; c.entries && n <= 3; ++n)
                rd.link(QString("LumoIndex_%1").arg(n), kCap1 + "#QYRPLAYER_AUDIO_POS=" + QString::number((n - 1) * 60));
            rd.f->nIndexAnchor = qint16(c.anchor);
            rd.key(c.code, Alt);
            QCOMPARE(rd.browser.navigations, QStringList());
            QCOMPARE(rd.osd(), c.message);
            QCOMPARE(int(rd.f->nIndexAnchor), c.anchorAfter);
        }
    }

    void pageFiles()
    {
        const QString dir = "file:///C:/Libro/"; // of every page and target below
        struct Case { const char *name; QString location, title; bool next; QString content, target; };
        const Case cases[] = {{"previous, no anchor", "cap2.html#QYRPLAYER_AUDIO_POS=30", "cap2", false, "cap1.htm", "cap1.htm"},
                              {"title is not the file name", "cap1.htm", "Capitolo primo", true, "cap2.htm", "cap1.htmcap2.htm"},
                              {"empty content", "cap1.htm", "cap1", true, "", ""}, {"no previous page", "cap1.htm", "cap1", false, "", ""}};
        for (const Case &c : cases) {
            const auto named = naming(c.name);
            Reader rd(dir + c.location);
            rd.browser.locationTitle = c.title;
            rd.meta(c.next ? "QYRPLAYER_AUDIO_NEXTHTML_1" : "QYRPLAYER_AUDIO_PREVHTML", c.content);
            rd.key(c.next ? '7' : '6', Ctrl);
            QCOMPARE(rd.browser.navigations, c.target.isEmpty() ? QStringList() : QStringList{dir + c.target});
            QCOMPARE(rd.osd(), c.target.isEmpty() ? QString() : c.next ? "File successivo" : "File precedente");
        }
    }

    void readingSpeed()
    {
        Reader rd;
        rd.play(0);
        // Steps land on tenths, shown and stored so; up wraps after 2 to 0.5, down wraps after 0.6 to 2.
        QCOMPARE(rd.press(Plus, Alt, 11).mid(8),
                 QStringList({"Lettura più veloce - Rate 1,9", "Lettura più veloce - Rate 2", "Lettura più veloce - Rate 0,5"}));
        QCOMPARE(rd.reg.get("Player", "Rate"), "0,5");
        rd.m().rate_ = 1;
        QCOMPARE(rd.press(Minus, Alt, 5).mid(3), QStringList({"Lettura più lenta - Rate 0,6", "Lettura più lenta - Rate 2"}));
        QCOMPARE(rd.m().rate_, 2.0f);
        // The cycle: a stepped speed goes back to 1 first.
        QCOMPARE(rd.press('9', Ctrl, 4), QStringList({"Lettura normale - Rate 1", "Lettura veloce - Rate 1,4",
                                                      "Lettura lenta - Rate 0,7", "Lettura normale - Rate 1"}));
        QCOMPARE(rd.reg.get("Player", "Rate"), "1");
        QCOMPARE(rd.dialogs.shown.size(), 0);
    }

    // Past the last sheet, style 1; the reading goes on in the same file and place, not at the anchor's.
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

    // F1 and the debug panel's keys work with any modifiers, a page's links replay keys; a key that can do nothing says
    // why instead of staying silent.
    void helpDebugPanelLinksAndKeysThatCannotAct()
    {
        Reader rd;
        rd.key(112, 7);
        QCOMPARE(rd.browser.navigations, QStringList{"/libri/app/include/help.htm"});
        QVERIFY(!rd.f->fraDebug.visible());
        rd.key(17, 7); // even the modifier completing Shift+Ctrl+Alt
        QVERIFY(rd.f->fraDebug.visible());
        rd.key('A', 7);
        QVERIFY(!rd.f->fraDebug.visible());
        QCOMPARE(rd.osd(), QString());
        // A page link replays a key; all three markers make Shift+Ctrl+Alt, which opens the debug panel.
        rd.play(0, 65.4);
        rd.key('3', Ctrl);
        bool cancel = false;
        rd.f->links.objWB_BeforeNavigate2(kCap1 + "#QYRP_KEYCMD##KEYCTRL#51", cancel);
        QVERIFY(cancel && rd.playing());
        QCOMPARE(rd.osd(), "PLAY 01:05");
        rd.f->links.objWB_BeforeNavigate2(kCap1 + "#QYRP_KEYCMD##KEYSHIFT##KEYCTRL##KEYALT#68", cancel);
        QVERIFY(rd.f->fraDebug.visible() && rd.dialogs.shown.isEmpty());
        rd.key('4', Ctrl);
        QCOMPARE(rd.osd(), "STOP 00:00");
        QCOMPARE(rd.m().position, 0.0);
        rd.browser.navigations.clear();
        rd.meta("QYRPLAYER_AUDIO_NEXTHTML_1", "cap2.htm");
        rd.files.bookGone = true;
        for (const auto &[code, mask] : {std::pair{int('I'), Ctrl}, {int('7'), Ctrl}, {112, 0}}) {
            rd.f->frmOSD.setVisible(false);
            rd.key(code, mask);
            QCOMPARE(rd.osd(), "Libro non raggiungibile");
        }
        QVERIFY(rd.browser.navigations.isEmpty() && rd.dialogs.shown.isEmpty());
        // Without bookmarks each bookmark key says so; only the list's panel opens all the same, for its import.
        rd.files.bookGone = false;
        rd.play(0);
        for (const int code : {'1', '2', '4'})
            rd.key(code, Alt);
        QVERIFY(rd.playing() && rd.f->objwb.visible() && !rd.f->fraMarcatori.visible());
        rd.key('6', Alt);
        QCOMPARE(rd.dialogs.shown.size(), 4);
        for (const auto &shown : rd.dialogs.shown)
            QCOMPARE(shown.text, "Non ci sono marcatori presenti.");
        QVERIFY(!rd.playing() && !rd.f->objwb.visible() && rd.f->fraMarcatori.visible());
        QVERIFY(rd.f->keys.bookmarks.resumeAfterList());
    }

    // The walk repeats the first and the last bookmark rather than wrapping; No to deleting them all keeps them.
    void bookmarkWalkDeleteAndList()
    {
        Reader rd;
        rd.play(0);
        rd.putMarks(rd.f->urls.Section(), {"1|10|Primo|cap1_1.mp3", "2|20|Secondo|cap1_1.mp3", "3|30|Terzo|cap1_1.mp3"});
        rd.loadMarks();
        QStringList recalled = rd.press('2', Alt, 4);
        recalled += rd.press('1', Alt, 3);
        QCOMPARE(recalled, QStringList({"Primo", "Secondo", "Terzo", "Terzo", "Secondo", "Primo", "Primo"}));
        QCOMPARE(rd.m().position, 10.0);
        QCOMPARE(rd.f->ListMarkers.listIndex(), 0);
        // The walk goes by its own count, not by the entry selected in the list.
        rd.f->marks.setCurrent(0);
        rd.f->ListMarkers.setListIndex(2);
        QCOMPARE(rd.press('1', Alt, 1), QStringList{"Primo"});
        rd.dialogs.answers.enqueue(Answer::No);
        rd.key('4', Alt);
        QCOMPARE(rd.dialogs.shown.last().text, rd.f->msg.strMsgDelMark);
        QCOMPARE(rd.f->ListMarkers.listCount(), 3);
        QCOMPARE(rd.reg.get(rd.f->urls.Section(), "3NOME"), "Terzo");
        // Alt+6 again plays on without reopening the file; Escape reopens it where it was (no bookmark's place), at its speed.
        rd.play(0, 45);
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
        QCOMPARE(rd.m().position, 45.0);
        QCOMPARE(rd.m().rate_, 1.0f);
    }

    void addBookmark()
    {
        struct Case { const char *name; QString location, typed, stored; };
        const Case cases[] = {{"described", kCap1, "  Capitolo  ", "Capitolo"}, {"only spaces", kCap1, "   ", ""},
                              {"table of contents refused", "file:///libri/app/Libro/index.htm", "", ""}};
        for (const Case &c : cases) {
            const auto named = naming(c.name);
            Reader rd(c.location);
            rd.play(0, 65.4);
            rd.m().rate_ = 1.3f;
            rd.dialogs.inputs.enqueue(c.typed);
            rd.key('3', Alt);
            const bool refused = c.typed.isEmpty(), none = c.stored.isEmpty();
            QCOMPARE(rd.dialogs.shown.size(), 1);
            QCOMPARE(rd.dialogs.shown[0].kind, refused ? "message" : "input");
            QCOMPARE(rd.dialogs.shown[0].title, refused ? "QYR MediaPlayer" : "Scrivi il segnalibro 01:05 (mm:ss)");
            QCOMPARE(rd.reg.get(rd.f->urls.Section(), "1NOME"), none ? "<assente>" : c.stored);
            QCOMPARE(rd.reg.get(rd.f->urls.Section(), "1"), none ? "<assente>" : "65");
            QCOMPARE(rd.f->ListMarkers.listCount(), none ? 0 : 1);
            // Playback was paused for the entry and resumes in the reopened file.
            QCOMPARE(rd.mediaLog.filter("url:"), QStringList{"url:" + kFile1});
            QVERIFY(rd.playing());
            QCOMPARE(rd.m().position, 65.4);
            QCOMPARE(rd.m().rate_, 1.3f);
        }
    }

    void failuresAreReportedWithTheStep()
    {
        Reader rd;
        rd.play(0, 5);
        // An index entry whose position is not a number.
        rd.link("LumoIndex_1", kCap1 + "#QYRPLAYER_AUDIO_POS=abc");
        rd.key('8', Alt);
        QCOMPARE(rd.dialogs.errorNames(), QStringList{"Form_KeyDown - Form KeyDown: inizializzazione"});
        QVERIFY2(rd.osd().startsWith("ERRORE: Form KeyDown: inizializzazione. Codice: 13 - "), qPrintable(rd.osd()));
        QCOMPARE(rd.f->keys.lastFilledError, rd.osd());
        // A store that refuses writes: the step reached is named, and the key ends there.
        rd.dialogs.shown.clear();
        rd.reg.failWrites = true;
        rd.key('0', Ctrl);
        rd.key('9', Alt);
        QCOMPARE(rd.dialogs.errorNames(),
                 QStringList({"Form_KeyDown - Form KeyDown: Ctrl+0", "Form_KeyDown - Form KeyDown: Ctrl+Shift+9"}));
        QVERIFY(rd.f->feedback.audioOff()); // applied before the save failed
        QCOMPARE(rd.browser.navigations, QStringList());
    }
};

QTEST_GUILESS_MAIN(TstKeyboard)
#include "tst_keyboard.moc"
