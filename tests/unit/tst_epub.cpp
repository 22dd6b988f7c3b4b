// EPUB books read into the model: sentences cut for the voice, the text
// shown without what runs, and the books tools/make_epub.sh makes from speech
// (media overlays with a nested seq and a clip without end, a book of text
// alone and where its links lead).
#include "platform/daisyxml/contentdoc.h"
#include "platform/daisyxml/dtbook.h"
#include "platform/daisyxml/phrasetexts.h"
#include "platform/daisyxml/reader.h"
#include "platform/files/diskfiles.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace qyr;
using namespace qyr::daisy;

class TstEpub : public QObject {
    Q_OBJECT

private slots:
    void sentenceEnds_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<qsizetype>>("ends");
        QTest::newRow("marks and closers") << "Davvero?!» Sì… Poi" << QList<qsizetype>{11, 15};
        QTest::newRow("lower case goes on") << "Il sig. rossi e il 3.14 restano." << QList<qsizetype>{};
        QTest::newRow("the text's end before an element") << "Fine. " << QList<qsizetype>{6};
        QTest::newRow("no space, no end") << "a.b.c" << QList<qsizetype>{};
    }
    void sentenceEnds()
    {
        QFETCH(QString, text);
        QFETCH(QList<qsizetype>, ends);
        const std::vector<qsizetype> got = daisy::sentenceEnds(text);
        QCOMPARE(QList<qsizetype>(got.begin(), got.end()), ends);
    }

    // One reading of a content document for the book, the page shown and the voice: the same sentences in each.
    void contentDocument()
    {
        const QByteArray xhtml =
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<html xmlns=\"http://www.w3.org/1999/xhtml\" xmlns:epub=\"http://www.idpf.org/2007/ops\"><head><title>T</title>\n"
            "<script>document.title='x'</script></head><body onload=\"alert(1)\">\n"
            "<h1 id=\"c\">Capitolo uno.</h1><span epub:type=\"pagebreak\" title=\"7\"/>\n"
            "<p id=\"p\">Prima frase. <em>Seconda</em> frase! <a href=\"http://example.com/\">ter</a>za <img src=\"a.png\" alt=\"foto\"/>.</p>\n"
            "<p>  </p><div role=\"doc-pagebreak\">viii</div><script>alert(2)</script></body></html>";
        const ContentDoc doc = readContentDoc(xhtml);
        QCOMPARE(doc.sentences, QStringList({"qyr-frase-1", "qyr-frase-2", "qyr-frase-3", "qyr-frase-4", "qyr-frase-5"}));
        QCOMPARE(doc.ids, std::vector<QString>({"c", "qyr-frase-1", "qyr-pagina-1", "p", "qyr-frase-2", "qyr-frase-3",
                                                "qyr-frase-4", "qyr-pagina-2", "qyr-frase-5"}));
        QCOMPARE(doc.pageMarks.size(), size_t(2));
        QCOMPARE(doc.pageMarks[0].label, "7");
        QCOMPARE(doc.pageMarks[1].label, "viii");
        const QHash<QString, QString> words = phraseTexts(xhtml);
        QCOMPARE(words.value("qyr-frase-2"), "Prima frase.");
        QCOMPARE(words.value("qyr-frase-3"), "Seconda frase!"); // an element after the mark begins the next
        QCOMPARE(words.value("qyr-frase-4"), "terza foto .");
        QCOMPARE(words.value("qyr-frase-5"), "viii");
        // Shown: the sentences marked by the same ids; nothing that runs, is fetched or leads away.
        const QString html = contentHtml(xhtml);
        QVERIFY(html.contains("<span id=\"qyr-frase-3\"><em>Seconda</em> frase! </span><span id=\"qyr-frase-4\"><span>ter</span>za "
                              "<span>foto</span>.</span>"));
        for (const char *gone : {"script", "alert", "onload", "href", "example.com", "a.png", "<title"})
            QVERIFY2(!html.contains(gone), gone);
        // Given the document's path, its links to the book's files are kept as file addresses; others stay words.
        const QByteArray links = "<html xmlns='http://www.w3.org/1999/xhtml'><body><p><a href='../t/Due%20b.xhtml#n1'>uno</a> "
                                 "<a href='#x'>due</a> <a href='https://example.com/'>tre</a> <a href='javascript:f()'>q</a></p></body></html>";
        const QString linked = contentHtml(links, "/libro.epub/OEBPS/x/uno.xhtml");
        QVERIFY2(linked.contains("<a href=\"file:///libro.epub/OEBPS/t/Due%20b.xhtml#n1\">uno</a>") &&
                     linked.contains("<a href=\"file:///libro.epub/OEBPS/x/uno.xhtml#x\">due</a>") &&
                     linked.contains("<span>tre</span>") && linked.count("href") == 2,
                 qPrintable(linked));
    }

    // The books as made (headings, pages, the voice's words and a protected book: end to end, in epubbooks).
    void madeBooks()
    {
        QTemporaryDir dir;
        QProcess make;
        make.start("bash", {QFINDTESTDATA("../../tools/make_epub.sh"), dir.path()});
        QVERIFY(make.waitForFinished(120000));
        if (make.exitCode() == 77)
            QSKIP("espeak-ng, sox, ffmpeg or zip missing");
        QVERIFY2(make.exitCode() == 0, make.readAllStandardError());
        QFile timesFile(dir.filePath("epub-mo.times"));
        QVERIFY(timesFile.open(QIODevice::ReadOnly));
        const QList<QByteArray> times = timesFile.readAll().trimmed().split('\n');
        QCOMPARE(times.size(), 9);
        DiskFiles files;
        const std::optional<Book> mo = openBook(files, dir.filePath("epub-mo"));
        QVERIFY(mo);
        QVERIFY2(mo->problems.isEmpty(), qPrintable(mo->problems.join('\n')));
        QCOMPARE(mo->format, Format::Epub3);
        QCOMPARE(mo->title, "Libro EPUB di prova");
        QCOMPARE(mo->language, "it");
        QCOMPARE(mo->phrases.size(), size_t(9));
        QCOMPARE(mo->sentences(), 9); // the nested seq is a structure, not a sentence
        for (int i = 0; i < 9; ++i) {
            const QList<QByteArray> t = times[i].split(' ');
            const Phrase &p = mo->phrases[size_t(i)];
            QCOMPARE(p.name(), QString("text/cap%1.xhtml#s%2").arg(i < 6 ? 1 : 2).arg(i + 1));
            QCOMPARE(p.textFile, QString("OEBPS/text/cap%1.xhtml").arg(i < 6 ? 1 : 2));
            QCOMPARE(p.audio, "OEBPS/audio/" + t[1]);
            QVERIFY2(qAbs(p.clipBegin - t[2].toDouble()) < 1e-6, t[0]);
            // The last clip has no end: it runs to the end of its file (the header's length counts the encoder's
            // padding, some 80 ms beyond the decoded end).
            QVERIFY2(qAbs(p.clipEnd - t[3].toDouble()) < (i == 8 ? 0.1 : 1e-6), qPrintable(QString::number(p.clipEnd)));
        }
        QCOMPARE(mo->runEnd(0), 5);
        QVERIFY(mo->phrases[7].skippable && !mo->phrases[6].skippable);

        // Without overlays: the same text cut into the same nine sentences.
        const std::optional<Book> text = openBook(files, dir.filePath("epub-text"));
        QVERIFY(text && text->problems.isEmpty());
        QVERIFY(!text->hasAudio());
        QCOMPARE(text->phrases.size(), size_t(9));
        const Phrase &second = text->phrases[1];
        QCOMPARE(second.name(), "text/cap1.xhtml#qyr-frase-2");
        // Where the text's links lead: an element to the first sentence at or after it, a file to its first sentence.
        QCOMPARE(text->phraseOfText("OEBPS/TEXT/Cap2.xhtml", "c2"), 6);
        QCOMPARE(text->phraseOfText("OEBPS/text/cap1.xhtml", "sec1"), 3);
        QCOMPARE(text->phraseOfText("OEBPS/text/cap2.xhtml", "nessuno"), 6);
        QCOMPARE(text->phraseOfText("OEBPS/nav.xhtml", ""), -1); // not in the reading order
    }
};

QTEST_GUILESS_MAIN(TstEpub)
#include "tst_epub.moc"
