// The links of a page, followed in the real program offscreen: videos that give the reading back, the dictionary's
// video, links inside frames, and pages that cannot be found.
#include "session.h"

#include <QStandardPaths>

namespace {

// One second of a test picture, made by ffmpeg.
bool writeVideo(const QString &path)
{
    return QProcess::execute("ffmpeg", {"-v", "error", "-y", "-f", "lavfi", "-i", "testsrc=size=64x48:rate=10", "-t", "1",
                                        path}) == 0;
}

// A small book: a page read by two audio files whose chain ends at a page that is missing, with every kind of video
// link; a page holding a frame with links of its own; a contents page with a broken link.
struct Book {
    QTemporaryDir dir;
    QString root = dir.filePath("libro");

    bool make()
    {
        return writeBook(root, {
            {"Index.htm", page("Indice", {}, "<a href='Libro/pagina.htm'>Pagina</a> <a href='Libro/cornice.htm'>Cornice</a> "
                                             "<a href='Libro/rotto.htm'>Rotto</a>")},
            {"Libro/pagina.htm", page("Pagina", {"uno", "due"},
                "<p><a href='clip.avi'>Filmato</a> <a href='@VIDEO_PERS@clip.avi'>Personale</a> "
                "<a href='#VIDEO_PERS#clip.avi@NOFULL@'>Nel riquadro</a> <a href='#voce'>Voce</a></p>"
                "<input type='hidden' name='VideoNomeFile' value='vecchio'><p><a id='parola' href='#PLAYVIDEODIZIONARIO' "
                "onclick=\"document.getElementsByName('VideoNomeFile')[0].value = 'parola'\">Parola</a></p>"
                "<p id='voce'>Voce dell'indice</p>", "<meta name='QYRPLAYER_AUDIO_NEXTHTML_2' content='manca.htm'>")},
            {"Libro/cornice.htm", page("Cornice", {"uno"}, "<iframe src='dentro.htm'></iframe>")},
            // The frame's links are clicked when the page above asks, by their id.
            {"Libro/dentro.htm", page("Dentro", {}, "<a id='pausa' href='#QYRP_PAUSE#'>Pausa</a> <a id='video' "
                "href='clip.avi@NOFULL@'>Filmato</a><script>window.addEventListener('message', "
                "function (e) { document.getElementById(e.data).click(); });</script>")},
            {"Libro/uno.wav", silence(8)}, {"Libro/due.wav", silence(10)}}) &&
               writeVideo(root + "/Libro/clip.avi") && writeVideo(root + "/parola.avi");
    }
};

Pred playing(const QString &path) { return all(is("action", "playing"), is("value", path)); }

} // namespace

class TstLinks : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (QStandardPaths::findExecutable("ffmpeg").isEmpty())
            QSKIP("ffmpeg is needed to make the test videos");
    }

    // Every kind of video link plays over the page's reading, and when the video ends, or Escape stops it, the audio
    // it interrupted goes on: the same file, from where it was, at the same place in the page's chain. The dictionary
    // plays the name the page's script has just set, found in the book folder. A chain that ends at a missing page and
    // a broken link both say which page is missing before the contents come back. Links inside a frame are followed too.
    void videoLinksGiveTheReadingBack()
    {
        Book b;
        QVERIFY(b.make());
        const QString uno = b.root + "/Libro/uno.wav", clip = b.root + "/Libro/clip.avi";
        Session s(b.dir, {{"AvantiIndietro", "10"}}, {}, b.root);
        s.follow("Libro/pagina.htm");
        s.expect("player", playing(uno));

        // Whether a video ended or was stopped: the audio is loaded again where it was, and plays.
        auto readingGoesOn = [&](const QString &audio, double from, int mark) {
            const int file = s.expect("player", all(is("action", "file"), is("value", audio)), mark);
            const double at = s.event(s.expect("player", is("action", "seek"), file)).value("value").toDouble();
            if (at < from || at > from + 2)
                qWarning("resumed at %f, was at %f", at, from);
            return s.expect("player", playing(audio), file) >= 0 && at >= from && at < from + 2;
        };
        struct Link { const char *follow; bool escape; };
        for (const Link link : {Link{"clip.avi", false}, Link{"@VIDEO_PERS@clip.avi", true}}) {
            s.wait(700);
            const double before = s.state().value("position").toDouble();
            const int mark = s.follow(link.follow);
            QCOMPARE(s.expectText("player", action("file"), "value", mark), clip);
            s.expect("player", action("video-shown"), mark);
            if (link.escape)
                s.key(27, 0, "frmWMP9");
            else
                s.expect("player", action("ended", "clip.avi"), mark);
            QVERIFY(readingGoesOn(uno, before, mark));
            s.expect("player", action("video-hidden"), mark);
        }

        // After a jump inside the page, the personal video is still looked for in the page's folder.
        s.expect("document", urlContains("pagina.htm#voce"), s.follow("#voce"));
        s.expect("player", playing(uno));
        int mark = s.follow("#VIDEO_PERS#clip.avi@NOFULL@");
        QCOMPARE(s.expectText("player", action("file"), "value", mark), clip);
        s.expect("player", action("ended", "clip.avi"), mark);
        QVERIFY(readingGoesOn(uno, 0, mark));

        // Into the second audio; the dictionary's video over it gives it back, and its end goes on down the chain.
        mark = s.key('2', Ctrl);
        s.expect("player", playing(b.root + "/Libro/due.wav"), mark);
        const double inDue = s.state().value("position").toDouble();
        mark = s.followName("parola");
        QCOMPARE(s.expectText("player", action("file"), "value", mark), b.root + "/parola.avi");
        s.expect("player", action("ended", "parola.avi"), mark);
        QVERIFY(readingGoesOn(b.root + "/Libro/due.wav", inDue, mark));
        s.expect("player", action("ended", "due.wav"), mark);
        s.expect("osd", is("text", "Pagina non trovata: manca.htm"), mark);
        s.expect("document", urlContains("Index.htm"), mark);

        mark = s.follow("Libro/rotto.htm");
        s.expect("osd", is("text", "Pagina non trovata: rotto.htm"), mark);
        s.expect("document", urlContains("Index.htm"), mark);

        // A link inside a frame passes through the link commands too: a jump to a command anchor (twice, the frame's
        // address being put back each time) and a video link, whose end gives back the page's audio.
        s.follow("Libro/cornice.htm");
        s.expect("document", urlContains("cornice.htm"));
        s.expect("player", playing(uno));
        auto click = [&](const QString &id) {
            return s.send("navigate", {{"url", QString("javascript:frames[0].postMessage('%1', '*')").arg(id)}});
        };
        for (int i = 0; i < 2; ++i) {
            const int mark = click("pausa");
            s.expect("navigate", navigation("dentro.htm#QYRP_PAUSE#", true), mark);
            s.expect("player", action("pause"), mark);
        }
        mark = click("video");
        s.expect("navigate", navigation("clip.avi@NOFULL@", true), mark);
        QCOMPARE(s.expectText("player", action("file"), "value", mark), b.root + "/Libro/clip.avi");
        s.expect("player", action("ended", "clip.avi"), mark);
        s.expect("player", playing(uno), mark);
        QVERIFY2(s.indexOf("dialog") < 0, qPrintable(field(s.event(s.indexOf("dialog")), "text")));
        QVERIFY(s.quitYes());
    }

    // A key that changes the page while the bookmark list is open closes the list first: the keyboard goes to the
    // new page, and the reading the list paused does not resume over it when Escape comes.
    void pageKeysCloseTheBookmarkList()
    {
        Book b;
        QVERIFY(b.make());
        const QString uno = b.root + "/Libro/uno.wav";
        Session s(b.dir, {}, {}, b.root);
        s.follow("Libro/pagina.htm");
        s.expect("player", playing(uno));
        s.expect("dialog", is("kind", "message"), s.key('6', Alt)); // no bookmarks yet: said, and the list opens
        s.answer("ok");
        QVERIFY(s.until([&] { return s.visible("fraMarcatori"); }));
        const int index = s.key('I', Ctrl);
        s.expect("document", urlContains("Index.htm"), index);
        QVERIFY(s.until([&] { return !s.visible("fraMarcatori"); }));
        QVERIFY(s.until([&] { return field(s.state().value("focus").toObject(), "name") == "objwbTesto"; }));
        s.key(27, 0);
        s.state(); // answered once the key has been handled
        QCOMPARE(s.count("player", index, is("action", "play")), 0);
        QVERIFY(s.quitYes());
    }
};

QTEST_GUILESS_MAIN(TstLinks)
#include "tst_links.moc"
