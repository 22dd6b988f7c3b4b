// The first moments of a file and of the program: skip keys pressed while a file is still opening and after a page's
// reading has ended, the splash when the reader has already moved on; on a book of one chapter read by two sounds,
// 12 s and 6 s long, with no page after it.
#include "session.h"

class TstOpening : public QObject {
    Q_OBJECT
private slots:
    // A skip of 3 s. Ctrl+2 pressed as the first file opens (its length not yet known) moves inside that file;
    // Ctrl+1 after the page's last audio has ended goes into that audio near its end, and the next Ctrl+1 into the
    // audio before it, as anywhere else on the page.
    void skipKeysWhileAFileOpensAndAfterTheEnd()
    {
        SmallBook b({{"uno.wav", 12}, {"due.wav", 6}}, false);
        Session s(b.dir, {{"AvantiIndietro", "3"}}, {}, b.folder);
        const QString uno = b.folder + "/Libro/uno.wav", due = b.folder + "/Libro/due.wav";

        s.follow("Libro/p1.htm");
        const int opening = s.expect("player", action("file", "uno.wav"));
        s.key('2', Ctrl);
        s.key('2', Ctrl);
        s.expect("player", seek(3, 0.5), opening);
        s.expect("player", seek(6, 0.5), opening);
        s.wait(300);
        QCOMPARE(s.count("player", opening, action("file", "due.wav")), 0);
        QCOMPARE(s.count("player", opening, [](const QJsonObject &e) { return field(e, "action") == "seek" && e.value("value").toDouble() < 0; }), 0);
        const QJsonObject st = s.state();
        QCOMPARE(field(st, "file"), uno);
        QVERIFY2(st.value("position").toDouble() >= 6, qPrintable(field(st, "position")));

        // The page reads on to the end of its last audio, and stops there.
        const int ended = s.expect("player", all(action("ended"), is("value", due)), s.expect("player", action("playing", "due.wav")));
        s.wait(300);
        int mark = s.key('1', Ctrl);
        s.expect("player", all(action("playing"), is("value", due)), mark);
        s.expect("player", seek(3, 0.5), mark);
        mark = s.key('1', Ctrl);
        s.expect("player", all(action("playing"), is("value", uno)), mark);
        s.expect("player", seek(9, 0.5), mark);
        s.wait(300); // the message may follow the seek
        QCOMPARE(s.count("osd", ended, textStarts("INDIETRO")), 2);
        QVERIFY(s.quitYes());
    }

    // A reader who leaves the about page before the splash has run its time (5 s) stays where they went: the
    // chapter is not left for the table of contents, nor its audio stopped.
    void theSplashGivesWayToTheReader()
    {
        SmallBook b({{"uno.wav", 12}, {"due.wav", 6}}, false);
        Session s(storeValues(b.settings(), {{"TempoSp", "5000"}}), {}, b.folder);
        s.expect("ready");
        s.key('I', Ctrl);
        s.expect("document", urlContains("Index.htm"));
        s.follow("Libro/p1.htm");
        const int reading = s.expect("player", action("playing", "uno.wav"));
        QVERIFY2(s.event(reading).value("t").toDouble() < 5000, "the reader moved before the splash's time");
        // Past the splash's time, counted from the about page's second writing, with room for a slow machine.
        s.wait(int(qMax(0.0, 8000 - s.event(s.wait(100)).value("t").toDouble())));
        QCOMPARE(s.count("navigate", reading), 0);
        QCOMPARE(s.count("player", reading, action("stop")), 0);
        QVERIFY(field(s.state(), "url").endsWith("Libro/p1.htm"));
        QVERIFY(s.quitYes());
    }
};

QTEST_GUILESS_MAIN(TstOpening)
#include "tst_opening.moc"
