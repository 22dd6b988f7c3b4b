// The options and import/export panels end to end: changing player keeps what the reader hears, and an import shows
// the list the page shows and takes only the file chosen.
#include "session.h"

namespace {

QJsonObject stateWhen(Session &s, const std::function<bool(const QJsonObject &)> &cond)
{
    QJsonObject st;
    s.until([&] { return cond(st = s.state()); });
    return st;
}

} // namespace

class TstPanels : public QObject {
    Q_OBJECT
private slots:
    // The other player takes the same file at the same place, paused or playing, at the same speed, as loud (on its
    // own scale), and silent while reading is off; and back again.
    void switchingPlayerKeepsTheReading()
    {
        QTemporaryDir dir;
        Session s(dir, {});
        s.follow("Libro/cap1.htm");
        s.expect("player", action("playing", "cap1_1"));
        s.control("TextVolume", "set", "40");
        s.expect("setting", setting("Volume", "40"));
        QTest::qWait(1500);
        s.key('3', Ctrl); // paused
        const QJsonObject before = stateWhen(s, [](const QJsonObject &st) { return !st.value("playing").toBool(); });
        const double at = before.value("position").toDouble(), rate = before.value("rate").toDouble();
        QVERIFY(at > 0.5);

        int mark = s.control("optPlayer", "select", 0);
        s.expect("setting", setting("Versione", "0"), mark);
        QCOMPARE(s.expectText("setting", setting("Volume"), "value", mark), "-2388");
        QJsonObject st = stateWhen(s, [](const QJsonObject &st) { return st.value("version").toInt() == 0; });
        QVERIFY2(field(st, "file").endsWith("cap1_1.mp3"), qPrintable(field(st, "file")));
        QVERIFY(!st.value("playing").toBool());
        QVERIFY2(qAbs(st.value("position").toDouble() - at) < 0.5, qPrintable(QString::number(st.value("position").toDouble())));
        QCOMPARE(st.value("rate").toDouble(), rate);
        QCOMPARE(field(s.state(), "volume"), "-2388");

        // Playing, reading off: the switch back plays nothing, and the loudness comes back as it was.
        s.key('3', Ctrl);
        stateWhen(s, [](const QJsonObject &st) { return st.value("playing").toBool(); });
        s.key('0', Ctrl);
        stateWhen(s, [](const QJsonObject &st) { return st.value("audioOff").toBool() && !st.value("playing").toBool(); });
        mark = s.control("optPlayer", "select", 1);
        QCOMPARE(s.expectText("setting", setting("Volume"), "value", mark), "40");
        QTest::qWait(1000);
        st = s.state();
        QVERIFY(st.value("version").toInt() == 1 && st.value("audioOff").toBool());
        QVERIFY2(!st.value("playing").toBool(), "reading off stays silent");
        QVERIFY(field(st, "file").endsWith("cap1_1.mp3"));
        QCOMPARE(st.value("volume").toInt(), 40);
        QVERIFY(s.quitYes());
    }

    // On the table of contents an import lists the whole book again; an import with no file chosen says so, even
    // when a cancelled export left a name behind.
    void importOnTheTableOfContents()
    {
        QTemporaryDir dir;
        const QString home = dir.filePath("casa");
        QVERIFY(QDir().mkpath(home));
        writeFile(home + "/segnalibri.reg",
                  "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\QYR MediaPlayer\\LIBRO\\CAP2.HTM]\r\n"
                  "\"1\"=\"12\"\r\n\"1NOME\"=\"Il guardiano\"\r\n\"1NOMEAUDIO\"=\"cap2_1.mp3\"\r\n");
        Session s(dir, {}, {{"HOME", home}, {"XDG_CONFIG_HOME", dir.filePath("config")}});
        s.key('6', Alt);
        s.expectText("dialog", is("kind", "message"), "text");
        s.answer("ok");
        QVERIFY(s.until([&] { return s.visible("fraMarcatori"); }));

        // A name typed for an export that was then cancelled is not an import's file.
        s.control("cmdImpExp(0)", "click");
        QVERIFY(s.until([&] { return s.visible("frmImpExp"); }));
        s.control("TextFileName", "type", "dimenticato");
        s.control("cmdImpExp(3)", "click");
        s.control("cmdImpExp(1)", "click");
        QVERIFY(s.until([&] { return s.visible("frmImpExp"); }));
        s.control("Drive", "select", QDir::toNativeSeparators(home));
        int mark = s.control("cmdImpExp(2)", "click");
        QCOMPARE(s.expectText("dialog", {}, "text", mark), "Scegliere nell'elenco dei file il file da importare.");
        s.answer("ok");

        s.control("File", "select", 0);
        mark = s.control("cmdImpExp(2)", "click");
        QVERIFY(s.expectText("dialog", {}, "text", mark).contains("Ripristino effettuato"));
        s.answer("ok");
        QCOMPARE(s.list(1), QStringList{"00:12 - Il guardiano"});
        QVERIFY(s.quitYes());
    }
};

QTEST_GUILESS_MAIN(TstPanels)
#include "tst_panels.moc"
