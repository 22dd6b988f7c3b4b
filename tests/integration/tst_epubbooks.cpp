// EPUB books made from speech (tools/make_epub.sh): the talking book zipped, the reading keys landing on their
// sentence's clip (read back from the times the book's own SMIL files hold; the keys of time and the level's cycle
// are the DAISY test's, on the same clips); its text shown without its script; a
// bookmark and the resume point kept across a SIGTERM; the book of text alone read aloud by the program's voice;
// a book protected against copying refused when chosen, one with scrambled fonts read.
#include "session.h"
#include "doubles/speechlog.h"

#include <QProcess>
#include <csignal>

class TstEpubBooks : public QObject {
    Q_OBJECT
    QTemporaryDir dir; // the books, made once for every case
    bool made = false;
    struct Clip {
        QString phrase, audio;
        double begin;
    };
    QList<Clip> clips; // the nine sentences: "text/capN.xhtml#sM", their audio file and clip start

    // Lands on clip c (Session::lands).
    void lands(Session &s, int mark, const QString &said, int c) { s.lands(mark, said, clips[c].begin, clips[c].phrase, clips[c].audio); }

private slots:
    void initTestCase()
    {
        QProcess make;
        make.start("bash", {QStringLiteral(QYR_SOURCE_DIR "/tools/make_epub.sh"), dir.path()});
        made = make.waitForFinished(120000) && make.exitCode() == 0;
        for (const QByteArray &line : readFile(dir.filePath("epub-mo.times")).trimmed().split('\n')) {
            const QList<QByteArray> t = line.split(' ');
            if (t.size() == 4)
                clips << Clip{QString("text/cap%1.xhtml#%2").arg(clips.size() < 6 ? 1 : 2).arg(QString(t[0])), t[1], t[2].toDouble()};
        }
        made = made && clips.size() == 9;
    }
    void init()
    {
        if (!made)
            QSKIP("espeak-ng, sox, ffmpeg or zip missing");
    }

    void movingInTheTalkingBook()
    {
        Session s(storeValues(dir.filePath("moving.sqlite"), {{"TempoSp", "0"}, {"AvantiIndietro", "3"}}), {},
                  dir.filePath("epub-mo.epub"));
        const int first = s.expect("player", action("file", "cap1.mp3"));
        s.expect("osd", is("text", "Libro EPUB di prova"));
        const QJsonObject st = s.stateWhen([&](const QJsonObject &x) { return field(x, "marked") == "s1"; });
        QCOMPARE(field(st, "format"), "epub3");
        QCOMPARE(field(st, "phrase"), clips[0].phrase);
        QCOMPARE(field(st, "shown"), "OEBPS/text/cap1.xhtml");
        // The book's text with its sentences; its script never ran (it would have named the page otherwise).
        s.stateWhen([](const QJsonObject &x) { return x.value("text").toObject().value("all").toString().contains("Una seconda frase del capitolo."); });
        QVERIFY(!QJsonDocument(s.state()).toJson().contains("SCRIPT ESEGUITO"));

        lands(s, s.key('8', Alt), "Sezione uno", 3);
        lands(s, s.key('7', Alt), "Capitolo primo", 0);
        s.expect("osd", is("text", "Livello 1"), s.key('5', Ctrl));
        lands(s, s.key('8', Alt), "Capitolo secondo", 6); // the level 2 heading passed by
        s.stateWhen([](const QJsonObject &x) { return field(x, "shown") == "OEBPS/text/cap2.xhtml" && field(x, "marked") == "s7"; });
        lands(s, s.key('7', Ctrl), "Pagina 2", 7);
        QCOMPARE(field(s.state(), "page"), "2");
        lands(s, s.key('6', Ctrl), "Pagina 1", 1); // page 1 begins after the first heading
        lands(s, s.key('1', Ctrl | Shift), "Frase 1", 0);
        lands(s, s.key('2', Ctrl | Shift), "Frase 2", 1);
        const QString where = s.expectText("osd", textStarts("Capitolo primo, pagina 1, 00:0"), "text", s.key('D', Ctrl));
        QVERIFY2(where.contains(" di 00:12"), qPrintable(where));
        lands(s, s.typed('G', "2"), "Pagina 2", 7);
        s.expect("osd", is("text", "Sommario"), s.key('I', Ctrl));
        QCOMPARE(field(s.state(), "shown"), "contents");
        QCOMPARE(s.count("dialog", first), s.count("dialog", first, is("kind", "input")));
        QVERIFY(s.quitYes());
    }

    // A bookmark names the content document and the sentence; the SIGTERM keeps the sentence being read, and the
    // next start reads from there.
    void keepingThePlace()
    {
        QTemporaryDir home;
        const QString file = storeValues(dir.filePath("marks.sqlite"), {{"TempoSp", "0"}, {"SavePos", "1"}});
        const Values env{{"HOME", home.path()}, {"XDG_CONFIG_HOME", home.filePath("config")}};
        const QString book = dir.filePath("epub-mo");
        QString place;
        {
            Session s(file, env, book);
            s.expect("player", action("playing", "cap1.mp3"));
            lands(s, s.typed('G', "2"), "Pagina 2", 7);
            s.expect("osd", textStarts("PAUSA "), s.key('3', Ctrl));
            s.expect("dialog", is("kind", "input"), s.key('3', Alt));
            const int add = s.send("answer", {{"text", "Pagina due"}});
            QCOMPARE(s.expectText("setting", all(is("section", "DAISY"), is("key", "1FRASE")), "value", add), clips[7].phrase);
            s.signal(SIGTERM);
            place = s.expectText("setting", setting("Brano"));
            QCOMPARE(place, clips[7].phrase);
            QVERIFY(s.finished());
        }
        Session s(file, env, book);
        s.expect("player", seek(clips[7].begin, 0.2), s.expect("player", action("file", "cap2.mp3")));
        QCOMPARE(field(s.stateWhen([](const QJsonObject &x) { return !field(x, "phrase").isEmpty(); }), "phrase"), place);
        lands(s, s.key('7', Alt), "Sezione uno", 3); // the heading before the one being read
        const int recall = s.key('1', Alt);
        s.expect("osd", is("text", "Pagina due"), recall);
        s.expect("player", seek(clips[7].begin, 0.2), recall);
        s.stateWhen([&](const QJsonObject &x) { return field(x, "phrase") == place; });
        QVERIFY(s.quitYes());
    }

    // Without overlays the voice reads each sentence of the text, and the keys move by the sentences; the pages come
    // from the marks in the text; a link of the text leads the reading to the place it names.
    void textReadAloud()
    {
        SpeechLog voice;
        if (!voice.ready())
            QSKIP("speech-dispatcher missing");
        Session s(storeValues(dir.filePath("text.sqlite"), {{"TempoSp", "0"}}), voice.env(), dir.filePath("epub-text.epub"));
        auto read = [](const char *phrase, const char *words) { return all(is("phrase", phrase), is("text", words)); };
        int from = s.expect("voice", read("text/cap1.xhtml#qyr-frase-1", "Capitolo primo."));
        from = s.expect("voice", read("text/cap1.xhtml#qyr-frase-2", "Questo è il primo paragrafo del libro."), from);
        s.expect("osd", is("text", "Lettura disattivata"), s.key('0', Ctrl));
        s.expect("osd", is("text", "Pagina 1"), s.typed('G', "1"));
        // The text's link to chapter two moves the reading there.
        s.stateWhen([](const QJsonObject &x) { return field(x, "shown") == "OEBPS/text/cap1.xhtml" && field(x, "marked") == "qyr-frase-2"; });
        const QString chapterTwo = QUrl::fromLocalFile(dir.filePath("epub-text.epub/OEBPS/text/cap2.xhtml")).toString() + "#c2";
        s.expect("osd", is("text", "Frase 7"), s.send("follow", {{"href", chapterTwo}}));
        s.stateWhen([](const QJsonObject &x) { return field(x, "phrase") == "text/cap2.xhtml#qyr-frase-1"; });
        s.expect("osd", is("text", "Pagina 2"), s.key('7', Ctrl));
        // Sentences are numbered in each content document.
        const QJsonObject st = s.stateWhen([](const QJsonObject &x) {
            return field(x, "marked") == "qyr-frase-2" && field(x, "shown") == "OEBPS/text/cap2.xhtml";
        });
        QCOMPARE(field(st, "phrase"), "text/cap2.xhtml#qyr-frase-2");
        const int on = s.key('0', Ctrl);
        s.expect("osd", is("text", "Lettura attiva"), on);
        s.expect("voice", read("text/cap2.xhtml#qyr-frase-3", "Ultima frase del libro."), s.expect("voice", read("text/cap2.xhtml#qyr-frase-2", "Pagina 2."), on));
        QVERIFY(voice.hears("Ultima frase del libro"));
        QCOMPARE(s.count("player", 0, action("file")), 0);
        QVERIFY(s.quitYes());
    }

    // Chosen with Ctrl+O: the protected book is refused, saying so, and the book being read stays; the one whose
    // fonts alone are scrambled opens.
    void protectedBookRefused()
    {
        Session s(storeValues(dir.filePath("drm.sqlite"), {{"TempoSp", "0"}}), {}, dir.filePath("epub-mo.epub"));
        s.expect("player", action("playing", "cap1.mp3"));
        s.expect("dialog", is("kind", "folder"), s.key('O', Ctrl));
        const QString said = s.expectText("dialog", is("kind", "message"), "text",
                                          s.send("answer", {{"text", dir.filePath("epub-drm.epub")}}));
        QVERIFY2(said.contains("protetto (DRM)") && said.contains("OEBPS/text/cap1.xhtml"), qPrintable(said));
        s.expect("dialog", is("kind", "folder"), s.send("answer", {{"button", "ok"}}));
        s.send("answer", {{"text", dir.filePath("epub-font.epub")}});
        s.expect("osd", textStarts("Libro EPUB senza audio. Libro senza audio."));
        s.stateWhen([&](const QJsonObject &x) { return field(x, "book") == dir.filePath("epub-font.epub") && field(x, "format") == "epub3"; });
        QVERIFY(s.quitYes());
    }
};

QTEST_GUILESS_MAIN(TstEpubBooks)
#include "tst_epubbooks.moc"
