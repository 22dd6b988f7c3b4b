// Link commands and page-load processing, on doubles.
#include "doubles/rig.h"
#include "navigation/pageload.h"

#include <QtTest>

using namespace qyr;
using namespace qyr::test;

namespace {

const QString kApp = "/libri/app";
const QString kCap1 = "file:///libri/app/Libro/cap1.htm";
const QString kIndex = "file:///libri/app/Index.htm";

// A started window on a chapter page, traces of start-up cleared.
struct Reader : Rig {
    explicit Reader(const QString &location = kCap1) : Rig(kApp) { startAt(location); }
    bool go(const QString &url)
    {
        bool cancel = false;
        f->links.objWB_BeforeNavigate2(url, cancel);
        return cancel;
    }
    QString mediaFile() const { return played().section('|', -1); }
};

} // namespace

class TstNavigation : public QObject {
    Q_OBJECT
private slots:
    // Pause, play and a video in a window are followed end to end; here the
    // forms around them.
    void linkCommands_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("cancelled");
        // What the control was asked, files as "url:"; videos start by themselves.
        QTest::addColumn<QStringList>("media");
        QTest::addColumn<QString>("osd");        // a message that goes after its time
        QTest::addColumn<int>("fullScreen");     // -1: not changed
        const QString page = kCap1;
        QTest::addRow("stop before play") << page + "#QYRP_STOP##QYRP_PLAY#" << true << QStringList{"stop"}
                                          << "STOP 00:00" << -1;
        QTest::addRow("stop in lower case is a link") << page + "#qyrp_stop#" << false << QStringList() << QString() << -1;
        QTest::addRow("video full screen") << page + "#video_prova.wmv" << true
                                           << QStringList{"url:/libri/app/Libro/video_prova.wmv"} << QString() << 1;
        QTest::addRow("personal video in a window") << page + "#VIDEO_PERS#film.avi@NOFULL@" << true
                                                    << QStringList{"url:/libri/app/Libro/film.avi"} << QString() << 0;
        QTest::addRow("personal video, page suffix removed") << "@VIDEO_PERS@/libri/app/Video/corto.mpg.htm" << true
                                                             << QStringList{"url:/libri/app/Video/corto.mpg"} << QString() << 1;
        QTest::addRow("dictionary form in lower case takes the address")
            << page + "#playvideodizionario" << true << QStringList{"url:/libri/app/Libro/playvideodizionario"}
            << QString() << 1;
        QTest::addRow("ordinary page link") << "file:///libri/app/Libro/cap2.htm#QYRPLAYER_AUDIO_POS=60" << false
                                            << QStringList() << QString() << -1;
    }
    void linkCommands()
    {
        QFETCH(QString, url);
        QFETCH(bool, cancelled);
        QFETCH(QStringList, media);
        QFETCH(QString, osd);
        QFETCH(int, fullScreen);
        Reader rd;
        const bool fullBefore = rd.f->oPlayer->FullScreen();
        rd.f->oPlayer->setFullScreen(!fullBefore); // so that any change shows
        rd.f->oPlayer->setFileName("/libri/app/Libro/cap1_1.mp3");
        rd.f->oPlayer->Play_Player();
        rd.mediaLog.clear();
        QCOMPARE(rd.go(url), cancelled);
        QStringList asked = rd.mediaLog;
        asked.removeAll("clear");
        QCOMPARE(asked.filter(QRegularExpression("^(url:|play|pause|stop)")), media);
        QCOMPARE(rd.osd(), osd);
        QVERIFY(osd.isEmpty() || rd.f->TimerOSD.enabled());
        QCOMPARE(rd.f->oPlayer->FullScreen(), fullScreen < 0 ? !fullBefore : fullScreen == 1);
        QCOMPARE(rd.f->TextURL.text(), url);
        QVERIFY(rd.dialogs.shown.isEmpty());
    }

    void dictionaryVideoAndFailures()
    {
        {
            // The dictionary form names its file in a page element, never full screen.
            Reader rd;
            rd.browser.elements.insert("videonomefile", FakeBrowser::field("VideoNomeFile",
                                                            "/libri/app/Dizionario/casa.wmv"));
            QVERIFY(rd.go(kCap1 + "#PLAYVIDEODIZIONARIO"));
            QCOMPARE(rd.mediaFile(), "/libri/app/Dizionario/casa.wmv");
            QVERIFY(!rd.f->oPlayer->FullScreen());
        }
        {
            // Without the element: reported, and the browser goes on (a jump in the page).
            Reader rd;
            QVERIFY(!rd.go(kCap1 + "#PLAYVIDEODIZIONARIO"));
            QCOMPARE(rd.dialogs.errorNames(), QStringList{"objWB_BeforeNavigate2"});
            QVERIFY(rd.mediaFile().isEmpty());
        }
        {
            // A key command whose key is not a number: reported, not cancelled.
            Reader rd;
            QVERIFY(!rd.go(kCap1 + "#QYRP_KEYCMD##KEYCTRL#tre"));
            QCOMPARE(rd.dialogs.errorNames(), QStringList{"objWB_BeforeNavigate2"});
        }
        {
            // The reload form in any case plays the loaded file again from the page's first audio.
            Reader rd;
            rd.f->oPlayer->setFileName("/libri/app/Libro/cap1_2.mp3");
            rd.f->oPlayer->Play_Player();
            rd.mediaLog.clear();
            QVERIFY(rd.go("javascript:location.reload()"));
            QVERIFY2(rd.mediaLog.contains("stop"), qPrintable(rd.mediaLog.join(',')));
            QCOMPARE(rd.f->audio.audioIndex(), 0);
        }
    }

    void indexPage_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("index");
        QTest::addRow("table of contents") << kIndex << true;
        QTest::addRow("lower case") << "file:///c:/app/index.htm" << true;
        QTest::addRow("sub-index") << "file:///libri/app/Libro/SUBINDEX.HTM" << true;
        QTest::addRow("html ending") << "file:///libri/app/Index.html" << true;
        QTest::addRow("chapter") << kCap1 << false;
        // The name must be within the last 20 characters.
        QTest::addRow("index with a long anchor") << kIndex + "#QYRPLAYER_AUDIO_POS=16" << false;
    }
    void indexPage()
    {
        QFETCH(QString, url);
        QFETCH(bool, index);
        QCOMPARE(PageLoad::isIndexPage(url), index);
    }

    void pageLoadCaptionStyleAndAudio()
    {
        Reader rd("about:blank");
        rd.browser.autoComplete = true;
        rd.f->keys.reading.setStyleSheet(3);
        rd.files.add("/libri/app/Libro/cap1.htm");
        rd.files.add("/libri/app/Libro/cap1_1.mp3");
        FakeBrowser::Page cap1{"Capitolo 1", {}, {"own1.css", "own2.css"}};
        cap1.elements.insert("qyrplayer_audio", FakeBrowser::meta("QYRPLAYER_AUDIO", "cap1_1"));
        cap1.elements.insert("qyrplayer_msg_uscita", FakeBrowser::meta("QYRPLAYER_MSG_USCITA", "Esci?"));
        rd.browser.pages.insert(kCap1, cap1);
        const QString before = rd.f->msg.strMsgUscita;

        rd.browser.navigate(kCap1 + "#QYRPLAYER_AUDIO_POS=5");
        QCOMPARE(rd.f->caption(), "Capitolo 1");
        QCOMPARE(rd.browser.focused, 1);
        const QString sheet = "file:///libri/app/INCLUDE/Style3.CSS";
        QCOMPARE(rd.browser.sheets, QStringList({sheet, "own1.css", sheet, "own2.css"}));
        QCOMPARE(rd.mediaFile(), "/libri/app/Libro/cap1_1.mp3");
        QCOMPARE(rd.f->oPlayer->CurrentPosition(), 5.0);
        QCOMPARE(rd.f->msg.strMsgUscita, before); // overrides come only from a table of contents

        // The same page again: the caption is unchanged, so no new focus
        // request, and the index counter is kept.
        rd.f->nIndexAnchor = 2;
        rd.browser.navigate(kCap1);
        QCOMPARE(rd.browser.focused, 1);
        QCOMPARE(rd.f->nIndexAnchor, qint16(2));

        // A page without sheets of its own gets the reader's once; the empty
        // address starts no audio.
        rd.mediaLog.clear();
        rd.browser.navigate("http:///");
        QCOMPARE(rd.browser.sheets, QStringList{sheet});
        QVERIFY(rd.mediaFile().isEmpty());
        QCOMPARE(rd.f->nIndexAnchor, qint16(0));
        QVERIFY(rd.dialogs.shown.isEmpty());
    }

    void messageOverridesFromTheTableOfContents()
    {
        Reader rd("about:blank");
        rd.browser.autoComplete = true;
        const Messages defaults = rd.f->msg;
        FakeBrowser::Page index{"Sommario", {}, {}};
        index.elements.insert("qyrplayer_msg_uscita", FakeBrowser::meta("QYRPLAYER_MSG_USCITA", "Chiudere il libro?"));
        // An empty content empties the message; an element that is not a
        // meta element leaves it alone.
        index.elements.insert("qyrplayer_msg_markexist", FakeBrowser::meta("QYRPLAYER_MSG_MARKEXIST", QString()));
        index.elements.insert("qyrplayer_msg_delmark", FakeBrowser::field("QYRPLAYER_MSG_DELMARK", "ignorato"));
        rd.browser.pages.insert("file:///libri/app/Libro/SUBINDEX.HTM", index);
        rd.browser.navigate("file:///libri/app/Libro/SUBINDEX.HTM");
        QCOMPARE(rd.f->msg.strMsgUscita, "Chiudere il libro?");
        QCOMPARE(rd.f->msg.strMsgMarkExist, QString());
        QCOMPARE(rd.f->msg.strMsgDelMark, defaults.strMsgDelMark);
        QCOMPARE(rd.f->msg.strMsgSostFile, defaults.strMsgSostFile);

        // A table of contents without overrides leaves them as they are.
        rd.browser.navigate(kIndex);
        QCOMPARE(rd.f->msg.strMsgUscita, "Chiudere il libro?");
    }
};

QTEST_GUILESS_MAIN(TstNavigation)
#include "tst_navigation.moc"
