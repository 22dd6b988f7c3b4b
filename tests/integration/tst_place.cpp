// The reader's place, end to end on small books the tests make: a recalled bookmark, a reload and a video the page
// reads in all keep the reading where it was, and the bookmark list never acts unseen. (A resumed session: the
// automation test.)
#include "session.h"

namespace {

const QString kP1 = "LIBRO\\P1.HTM";

QJsonObject focusOf(Session &s) { return s.state().value("focus").toObject(); }

} // namespace

class TstPlace : public QObject {
    Q_OBJECT
private slots:
    // A recall takes the reading to the recalled audio, which the page's next audio follows; the keyboard lands in the
    // page whenever the list closes; on the table of contents the list recalls what the reader chose after a deletion,
    // and Alt+4 deletes the whole book's bookmarks after asking with their number and making a safety copy.
    void bookmarksKeepTheReading()
    {
        SmallBook b({{"a1.wav", 3}, {"a2.wav", 3}});
        const QString config = b.dir.filePath("config");
        Session s(b.dir, {}, {{"XDG_CONFIG_HOME", config}}, b.folder);
        const Values marks{{"1", "1"}, {"1NOME", "A uno"}, {"1NOMEAUDIO", "a1.wav"},
                           {"2", "0"}, {"2NOME", "A due"}, {"2NOMEAUDIO", "a1.wav"},
                           {"3", "2"}, {"3NOME", "A tre"}, {"3NOMEAUDIO", "a1.wav"}};
        for (const auto &[key, value] : marks)
            s.put(kP1, key, value);
        // The same description on another page is a bookmark of its own.
        for (const auto &[key, value] : Values{{"1", "4"}, {"1NOME", "A due"}, {"1NOMEAUDIO", "b1.wav"}})
            s.put("LIBRO\\P2.HTM", key, value);
        s.expect("setting", is("key", "1NOMEAUDIO"));
        s.reading("Libro/p1.htm", "a1.wav");
        s.expect("player", action("playing", "a2.wav"));

        // In the second audio, "A uno" (in the first) is recalled from the list with Enter: the second audio follows.
        s.key('6', Alt);
        QVERIFY(s.until([&] { return field(focusOf(s), "name") == "ListMarkers"; }));
        s.control("ListMarkers", "select", 0);
        int mark = s.key(13, 0);
        s.expect("osd", is("text", "A uno"), mark);
        s.expect("player", seek(1), mark);
        // The keyboard is in the page, not in the hidden list: Delete there deletes nothing.
        QVERIFY(s.until([&] { const QJsonObject fo = focusOf(s); return field(fo, "name") == "objwbTesto" && fo.value("shown").toBool(); }));
        s.key(46, 0);
        s.expect("player", action("playing", "a2.wav"), mark);
        QVERIFY2(s.indexOf("document", urlContains("p2.htm"), mark) < 0, "the second audio is not skipped");
        QCOMPARE(s.list(3).size(), 3);

        // "Chiudi" of the list panel gives the keyboard back to the page too.
        s.key('6', Alt);
        QVERIFY(s.until([&] { return field(focusOf(s), "name") == "ListMarkers"; }));
        s.control("cmdImpExp(4)", "click");
        QVERIFY(s.until([&] { const QJsonObject fo = focusOf(s); return field(fo, "name") == "objwbTesto" && fo.value("shown").toBool(); }));

        // The whole book's list: "A uno" deleted, then "A due" chosen, is "A due" that plays.
        s.key('I', Ctrl);
        s.expect("document", urlContains("Index.htm"));
        s.key('6', Alt);
        QVERIFY(s.until([&] { return field(focusOf(s), "name") == "ListMarkers"; }));
        QCOMPARE(s.list(4), (QStringList{"00:01 - A uno", "00:00 - A due", "00:02 - A tre", "00:04 - A due"}));
        s.control("ListMarkers", "select", 0);
        s.key(46, 0);
        QCOMPARE(s.list(3).first(), "00:00 - A due");
        s.control("ListMarkers", "select", 0);
        mark = s.key(13, 0);
        s.expect("document", urlContains("p1.htm"), mark);
        s.expect("osd", is("text", "A due"), mark);
        QVERIFY(s.indexOf("osd", is("text", "A tre"), mark) < 0);

        // Alt+4 on the table of contents: the number asked, a safety copy named, every bookmark of the book gone.
        s.key('I', Ctrl);
        s.expect("document", urlContains("Index.htm"));
        QCOMPARE(s.list(3).size(), 3);
        mark = s.key('4', Alt);
        const QString question = s.expectText("dialog", {}, "text", mark);
        QVERIFY2(question.contains("Sei sicuro") && question.contains(": 3."), qPrintable(question));
        s.answer("yes");
        const QString told = s.expectText("dialog", {}, "text");
        const QStringList copies = QDir(b.dir.filePath("copie-di-sicurezza")).entryList({"*.reg"}, QDir::Files);
        QVERIFY2(copies.size() == 1 && told.contains(copies.first()) && told.contains(": 3."), qPrintable(told));
        QVERIFY(readFile(b.dir.filePath("copie-di-sicurezza/") + copies.first()).contains("A tre"));
        s.answer("ok");
        QVERIFY(s.list(0).isEmpty());
        s.follow("Libro/p1.htm");
        s.expect("document", urlContains("p1.htm"));
        mark = s.key('6', Alt);
        QVERIFY(s.expectText("dialog", {}, "text", mark).contains("Non ci sono marcatori"));
        s.answer("ok");
        QVERIFY(s.quitYes());
    }

    // A reload replays the audio being read once, then the reading goes on; a video the page reads in plays and is
    // followed by the page's next audio.
    void reloadAndAPageVideo()
    {
        SmallBook b({{"a1.wav", 2}, {"clip", 0}, {"a3.wav", 4}});
        QVERIFY(QProcess::execute("ffmpeg", {"-v", "error", "-f", "lavfi", "-i", "testsrc=size=64x48:rate=10", "-t", "2",
                                             b.folder + "/Libro/clip.avi"}) == 0);
        Session s(b.dir, {}, {}, b.folder);
        s.reading("Libro/p1.htm", "a1.wav");
        s.expect("player", action("playing", "clip.avi"));
        s.expect("player", action("video-shown"));
        s.expect("player", action("playing", "a3.wav"));
        const int mark = s.follow("javascript:location.reload()");
        s.expect("player", action("play"), mark);
        const int next = s.expect("player", action("file"));
        QVERIFY2(field(s.event(next), "value").endsWith("b1.wav"), qPrintable(field(s.event(next), "value")));
        QCOMPARE(s.count("player", mark, action("playing", "a3.wav")), 1);
        QVERIFY(s.quitYes());
    }
};

QTEST_GUILESS_MAIN(TstPlace)
#include "tst_place.moc"
