// Link commands and page-load processing, on doubles.
#include "doubles/rig.h"
#include "navigation/pageload.h"

#include <QtTest>

using namespace qyr;
using namespace qyr::test;

namespace {

const QString kCap1 = "file:///libri/app/Libro/cap1.htm";
const QString kIndex = "file:///libri/app/Index.htm";

// A started window on a chapter page, traces of start-up cleared.
struct Reader : Rig {
    explicit Reader(const QString &location = kCap1) : Rig("/libri/app") { startAt(location); }
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
    // Pause, play, a video in a window and an ordinary link are followed end to end; here the forms around them.
    void linkCommands()
    {
        // media: what the control was asked, files as "url:" (videos start by themselves); fullScreen -1: unchanged.
        struct Case { const char *name; QString url; bool cancelled; QStringList media; QString osd; int fullScreen; };
        const Case cases[] = {
            {"stop before play", kCap1 + "#QYRP_STOP##QYRP_PLAY#", true, {"stop"}, "STOP 00:00", -1},
            {"stop in lower case is a link", kCap1 + "#qyrp_stop#", false, {}, "", -1},
            // Key commands: the markers are taken out of the key wherever they stand, and count as held keys.
            {"the sample book's Alt+8 link", kCap1 + "#QYRP_KEYCMD##KEYALT#56", true, {}, "Indice avanti - Raggiunta la fine ", -1},
            {"Alt marker before the command", kCap1 + "#KEYALT##QYRP_KEYCMD#55", true, {},
             "Indice indietro - Raggiunto l'inizio ", -1},
            {"Shift+Ctrl+3 is not Ctrl+3", kCap1 + "#QYRP_KEYCMD##KEYSHIFT##KEYCTRL#51", true, {}, "", -1},
            {"video full screen", kCap1 + "#video_prova.wmv", true, {"url:/libri/app/Libro/video_prova.wmv"}, "", 1},
            {"personal video in a window", kCap1 + "#VIDEO_PERS#film.avi@NOFULL@", true, {"url:/libri/app/Libro/film.avi"},
             "", 0},
            {"personal video, page suffix removed", "@VIDEO_PERS@/libri/app/Video/corto.mpg.htm", true,
             {"url:/libri/app/Video/corto.mpg"}, "", 1},
            {"dictionary form in lower case takes the address", kCap1 + "#playvideodizionario", true,
             {"url:/libri/app/Libro/playvideodizionario"}, "", 1},
            // Only an address or a name that ends with a video extension is a video.
            {"web address holding avi", "http://www.aviazione.it/storia", false, {}, "", -1},
            {"page named with wmv inside", "file:///libri/app/Libro/la.wmvteca.htm", false, {}, "", -1}};
        for (const Case &c : cases) {
            const auto named = naming(c.name);
            Reader rd;
            const bool fullBefore = rd.f->oPlayer->FullScreen();
            rd.f->oPlayer->setFullScreen(!fullBefore); // so that any change shows
            rd.f->oPlayer->setFileName("/libri/app/Libro/cap1_1.mp3");
            rd.f->oPlayer->Play_Player();
            rd.mediaLog.clear();
            QCOMPARE(rd.go(c.url), c.cancelled);
            QStringList asked = rd.mediaLog;
            asked.removeAll("clear");
            QCOMPARE(asked.filter(QRegularExpression("^(url:|play|pause|stop)")), c.media);
            QCOMPARE(rd.osd(), c.osd);
            QVERIFY(c.osd.isEmpty() || rd.f->TimerOSD.enabled()); // a message that goes after its time
            QCOMPARE(rd.f->oPlayer->FullScreen(), c.fullScreen < 0 ? !fullBefore : c.fullScreen == 1);
            QCOMPARE(rd.f->TextURL.text(), c.url);
            QVERIFY(rd.dialogs.shown.isEmpty());
        }
    }

    void linkVideosAndFailures()
    {
        // The dictionary form names its file in a page element; without the element it is reported, and the browser
        // goes on (a jump in the page), as after a key command whose key is not a number. (The reload form is followed end
        // to end.)
        Reader rd;
        QVERIFY(!rd.go(kCap1 + "#PLAYVIDEODIZIONARIO"));
        QVERIFY(!rd.go(kCap1 + "#QYRP_KEYCMD##KEYCTRL#tre"));
        QCOMPARE(rd.dialogs.errorNames(), QStringList({"objWB_BeforeNavigate2", "objWB_BeforeNavigate2"}));
        QVERIFY(rd.mediaFile().isEmpty());
        // A path is taken as it is; a bare name is looked for as page audio is (beside the page, then in the book
        // folder, where the end-to-end test finds one with its extension completed), and one found nowhere is given
        // beside the page for the player to refuse.
        rd.files.add("/libri/app/Libro/casa.wmv");
        rd.files.add("/libri/app/casa.wmv");
        for (const auto &[value, file] : {std::pair{QString("/libri/app/Dizionario/casa.wmv"), QString("/libri/app/Dizionario/casa.wmv")},
                                          {"casa.wmv", "/libri/app/Libro/casa.wmv"},
                                          {"nessuno.wmv", "/libri/app/Libro/nessuno.wmv"}}) {
            rd.browser.elements.insert("videonomefile", FakeBrowser::field("VideoNomeFile", value));
            rd.mediaLog.clear();
            QVERIFY(rd.go(kCap1 + "#PLAYVIDEODIZIONARIO"));
            QCOMPARE(rd.mediaFile(), file);
        }
        QVERIFY(!rd.f->oPlayer->FullScreen()); // never full screen

        // A reader who has gone to another page while a link's video played is not taken back by its end.
        rd.clear();
        rd.files.add("/libri/app/Libro/cap1_1.mp3");
        rd.meta("QYRPLAYER_AUDIO", "cap1_1");
        QVERIFY(rd.f->audio.Playaudio(kCap1, AudioChoice::OfPage));
        QVERIFY(rd.go(kCap1 + "#film.avi"));
        QCOMPARE(rd.played(), "/libri/app/Libro/cap1_1.mp3|/libri/app/Libro/film.avi");
        rd.browser.location = "file:///libri/app/Libro/cap2.htm";
        rd.mediaLog.clear();
        rd.media()->end();
        rd.clock.advance(1);
        QVERIFY2(!rd.played().contains("cap1_1"), qPrintable(rd.played()));
        QVERIFY(rd.dialogs.shown.isEmpty());
    }

    // The name counts within the last 20 characters only, in any case.
    void indexPage()
    {
        for (const auto &[url, index] : {std::pair{QString("file:///c:/index.htm"), true}, {"file:///c:/Index.html", true},
                                         {kCap1, false}, {kIndex + "#QYRPLAYER_AUDIO_POS=16", false}})
            QVERIFY2(UrlHelpers::isIndexPage(url) == index, qPrintable(url));
    }

    void pageLoadCaptionStyleAudioAndMessages()
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
        const Messages defaults = rd.f->msg;
        rd.browser.navigate(kCap1 + "#QYRPLAYER_AUDIO_POS=5");
        QCOMPARE(rd.f->caption(), "Capitolo 1");
        QCOMPARE(rd.browser.focused, 1);
        const QString sheet = "file:///libri/app/INCLUDE/Style3.CSS";
        QCOMPARE(rd.browser.sheets, QStringList({sheet, "own1.css", sheet, "own2.css"}));
        QCOMPARE(rd.mediaFile(), "/libri/app/Libro/cap1_1.mp3");
        QCOMPARE(rd.f->oPlayer->CurrentPosition(), 5.0);
        QCOMPARE(rd.f->msg.strMsgUscita, defaults.strMsgUscita); // overrides come only from a table of contents
        // The same page again: the caption is unchanged, so no new focus request, and the index counter is kept.
        rd.f->nIndexAnchor = 2;
        rd.browser.navigate(kCap1);
        QCOMPARE(rd.browser.focused, 1);
        QCOMPARE(rd.f->nIndexAnchor, qint16(2));
        // A page of the same name in another folder is another page: its index entries start again.
        rd.browser.locationTitle = "idx.htm"; // the name of the document, as the engine gives it
        rd.browser.navigate("file:///libri/app/Libro/idx.htm");
        rd.f->nIndexAnchor = 3;
        rd.browser.navigate("file:///libri/app/Sub/idx.htm#LumoIndex_1");
        QCOMPARE(rd.f->nIndexAnchor, qint16(0));
        rd.browser.locationTitle.clear();
        // A page without sheets of its own gets the reader's once; the empty address starts no audio.
        rd.mediaLog.clear();
        rd.browser.navigate("http:///");
        QCOMPARE(rd.browser.sheets, QStringList{sheet});
        QVERIFY(rd.mediaFile().isEmpty());
        QCOMPARE(rd.f->nIndexAnchor, qint16(0));
        QVERIFY(rd.dialogs.shown.isEmpty());

        // A table of contents overrides; an empty content keeps the default, an element that is no meta is ignored.
        FakeBrowser::Page index{"Sommario", {}, {}};
        index.elements.insert("qyrplayer_msg_uscita", FakeBrowser::meta("QYRPLAYER_MSG_USCITA", "Chiudere il libro?"));
        index.elements.insert("qyrplayer_msg_markexist", FakeBrowser::meta("QYRPLAYER_MSG_MARKEXIST", QString()));
        index.elements.insert("qyrplayer_msg_delmark", FakeBrowser::field("QYRPLAYER_MSG_DELMARK", "ignorato"));
        rd.browser.pages.insert("file:///libri/app/Libro/SUBINDEX.HTM", index);
        rd.browser.navigate("file:///libri/app/Libro/SUBINDEX.HTM");
        QCOMPARE(rd.f->msg.strMsgUscita, "Chiudere il libro?");
        QCOMPARE(rd.f->msg.strMsgMarkExist, defaults.strMsgMarkExist);
        QCOMPARE(rd.f->msg.strMsgDelMark, defaults.strMsgDelMark);
        // A table of contents without overrides leaves them as they are.
        rd.browser.navigate(kIndex);
        QCOMPARE(rd.f->msg.strMsgUscita, "Chiudere il libro?");
    }
};

QTEST_GUILESS_MAIN(TstNavigation)
#include "tst_navigation.moc"
