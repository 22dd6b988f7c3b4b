// DAISY books read into the model: clip times, encodings, broken HTML, file
// names in another letter case, broken books, the lookups of the reading
// keys, DAISY 3. (The books tools/make_daisy.sh makes from speech: end to end, in daisybooks.)
#include "daisy/clock.h"
#include "doubles/rig.h"
#include "platform/daisyxml/daisyreader.h"
#include "platform/daisyxml/dtbook.h"
#include "platform/daisyxml/navigation.h"
#include "platform/daisyxml/phrasetexts.h"
#include "platform/daisyxml/reader.h"
#include "platform/daisyxml/smil.h"
#include "platform/daisyxml/xml.h"
#include "platform/files/casenames.h"
#include "platform/files/diskfiles.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace qyr;
using namespace qyr::daisy;

namespace {

void put(IFiles &files, const QString &path, const QByteArray &bytes)
{
    QVERIFY(files.writeFile(path, bytes).ok());
}

QByteArray smil(const QByteArray &body)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<smil><head><layout/></head><body><seq>" + body +
           "</seq></body></smil>";
}

QByteArray par(const QByteArray &id, const QByteArray &audio, const QByteArray &begin, const QByteArray &end)
{
    return "<par endsync=\"last\" id=\"" + id + "\"><text src=\"c.html#" + id + "t\" id=\"" + id + "t\"/><audio src=\"" +
           audio + "\" clip-begin=\"" + begin + "\" clip-end=\"" + end + "\"/></par>\n";
}

QByteArray heading(int level, const QByteArray &href, const QByteArray &text)
{
    const QByteArray h = "h" + QByteArray::number(level);
    return "<" + h + "><a href=\"" + href + "\">" + text + "</a></" + h + ">\n";
}

QStringList texts(const std::vector<Heading> &headings)
{
    QStringList out;
    for (const Heading &h : headings)
        out << QString::number(h.level) + " " + h.text;
    return out;
}

// A DAISY book of two headings opened, its reading and its view wired as the program wires them, on a browser
// whose pages load only when the test says so.
struct Views : test::Parts {
    TimerModel TimerDaisy{"TimerDaisy", 100, &clock};
    TextBox TextAvantiIndietro{"TextAvantiIndietro"};
    DaisyReading reading{{er, clock, dialogs, players, feedback, books, TimerDaisy, TextAvantiIndietro}};
    Control form{"frmBrowser"};
    DaisyText text{{browser, daisyReader.get(), books, reading, files, feedback, form, "/programma/guida.htm"}};

    Views() : Parts("/libro", [](IFiles &f) { return std::make_unique<DaisyFolderReader>(f); })
    {
        put(files, "/libro/ncc.html",
            "<title>Libro &amp; co</title>" + heading(1, "s.smil#a", "Uno") + heading(2, "s.smil#b", "Due <b>e</b> tre"));
        put(files, "/libro/s.smil", smil(par("a", "a.mp3", "0", "1") + par("b", "a.mp3", "1", "2")));
        put(files, "/libro/a.mp3", "");
        put(files, "/programma/guida.htm", "<html><head><title>Guida</title></head><BODY class='g'>\n<h1>Aiuto</h1>\n</body></html>");
        browser.readyAfterSleeps = 1000; // a page loads when load() is called, never by itself
        browser.DocumentComplete.connect([this](const QString &url) { text.pageLoaded(url); });
        reading.Moved.connect([this] { text.moved(); });
        reading.PageAsked.connect([this](const QString &page) { text.asked(page); });
        books.openAtStart();
    }
};

// A book of both, in English: a clip, then text alone across SMIL and text files (one element without words), then a
// clip; its reading and the voice wired as the program wires them.
struct Voiced : test::Parts {
    test::FakeSpeech speech;
    TimerModel TimerDaisy{"TimerDaisy", 100, &clock};
    TextBox TextAvantiIndietro{"TextAvantiIndietro"};
    DaisyReading reading{{er, clock, dialogs, players, feedback, books, TimerDaisy, TextAvantiIndietro, &speech,
                          daisyReader.get()}};
    QStringList voiced; // "phrase: words", as the automation channel reports them

    Voiced() : Parts("/misto", [](IFiles &f) { return std::make_unique<DaisyFolderReader>(f); })
    {
        put(files, "/misto/ncc.html", "<head><meta name='dc:language' content='en-GB'><title>Misto</title></head>" +
                                          heading(1, "s.smil#a", "Uno") + heading(1, "s2.smil#c", "Due"));
        put(files, "/misto/s.smil", smil(par("a", "a.mp3", "0", "1") + "<par id='b'><text src='c.html#bt'/></par>"
                                                                          "<par id='z'><text src='c.html#zt'/></par>"));
        put(files, "/misto/s2.smil", smil("<par id='c'><text src='D.HTML#ct'/></par>" + par("e", "a.mp3", "1", "2")));
        put(files, "/misto/c.html", "<p id='at'>Audio</p><p id='bt'>Text <b>without</b><br>audio</p><p id='zt'> </p>");
        put(files, "/misto/d.html", "<h1 id='ct'>Chapter <i>two</i></h1><p id='et'>End</p>");
        put(files, "/misto/a.mp3", "");
        books.openAtStart();
        makePlayer();
        reading.Voiced.connect([this](const QString &text, const QString &name) { voiced << name + ": " + text; });
    }
    QString last() const { return speech.said.isEmpty() ? QString() : speech.said.last(); }
};

} // namespace

class TstDaisy : public QObject {
    Q_OBJECT
private slots:
    // Every legal form of a clip time, and what is not one.
    void clockValues_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("seconds"); // -1: not a clock value
        struct Row { const char *text; double seconds; };
        const Row rows[] = {{"npt=12.345s", 12.345}, {"npt=0:00:12.345", 12.345}, {"12.345", 12.345}, {"12345ms", 12.345},
                            {"1.5min", 90}, {"1h", 3600}, {"0:01:02", 62}, {"01:02.5", 62.5}, {"npt=1:02:03.25", 3723.25},
                            {" npt=7s ", 7}, {".5s", 0.5}, {"npt=0ms", 0}, {"10:00:00", 36000}, {"smpte=00:00:01:15", 1.5},
                            {"smpte-25=00:00:02:05", 2.2},
                            {"", -1}, {"npt=", -1}, {"abc", -1}, {"12.3.4", -1}, {"-1s", -1}, {"1:60", -1}, {"0:60:00", -1},
                            {"1:2:3:4", -1}, {"12sec", -1}, {"npt=1,5s", -1}, {"smpte=00:00:01:30", -1},
                            {"10000h", 36000000}, {"10001h", -1}, {"1e306h", -1}, {"99999999:00:00", -1}};
        for (const auto &r : rows)
            QTest::newRow(r.text) << QString::fromLatin1(r.text) << r.seconds;
    }
    void clockValues()
    {
        QFETCH(QString, text);
        QFETCH(double, seconds);
        const std::optional<double> got = parseClock(text);
        QCOMPARE(got.has_value(), seconds >= 0);
        if (got)
            QVERIFY2(qAbs(*got - seconds) < 1e-9, qPrintable(QString::number(*got, 'f', 9)));
    }

    // A time the reader types for Ctrl+T, and the times the program says.
    void typedAndSaidTimes()
    {
        const struct {
            const char *typed;
            double seconds; // -1: refused
        } rows[] = {{"1:02:30", 3750}, {"12:30", 750}, {"75:00", 4500}, {"12,5", 750}, {" 0.25 ", 15}, {"3", 180},
                    {"1:60", -1}, {"1:60:00", -1}, {"12:3a", -1}, {"-2", -1}, {"1,2,3", -1}, {"", -1}};
        for (const auto &r : rows)
            QVERIFY2(qAbs(DaisyReading::typedTime(r.typed) - r.seconds) < 1e-9, r.typed);
        // Every time the program says, the one clock.
        for (const auto &[s, text] : {std::pair<double, QString>{59.9, "00:59"}, {60, "01:00"}, {3599, "59:59"}, {3725, "01:02:05"}})
            QCOMPARE(DaisyReading::clock(s), text);
    }

    // The encoding: byte-order mark, XML declaration, <meta> charset, ncc:charset, else UTF-8 when the bytes are
    // valid UTF-8, else windows-1252; an ncc.html read as HTML, an ncx as XML. The title and the heading read alike.
    void encodings_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("title");
        const QString euro = QStringLiteral("Caff\u00e8 \u20ac");
        auto page = [](const QByteArray &head, const QByteArray &title) {
            return "<html><head>" + head + "<title>" + title + "</title></head><body>" + heading(1, "a.smil#x", title) +
                   "</body></html>";
        };
        auto ncx = [](const QByteArray &declaration, const QByteArray &title) {
            return declaration + "<ncx><docTitle><text>" + title + "</text></docTitle><navMap><navPoint><navLabel><text>" +
                   title + "</text></navLabel><content src='a.smil#x'/></navPoint></navMap></ncx>";
        };
        const QString words = QStringLiteral("Citt\u00e0, perch\u00e9 l\u2019isola");
        const QByteArray cp1252 = "Citt\xE0, perch\xE9 l\x92isola", xhtml = "<?xml version=\"1.0\"?>\n";
        QTest::newRow("ncx, windows-1252, nothing said") << ncx(xhtml, cp1252) << words;
        QTest::newRow("ncx, windows-1252, no declaration") << ncx("", cp1252) << words;
        QTest::newRow("ncx, valid utf-8, nothing said") << ncx(xhtml, words.toUtf8()) << words;
        QTest::newRow("ncx, declared") << ncx("<?xml version='1.0' encoding='iso-8859-15'?>", "Caff\xE8 \xA4") << euro;
        QTest::newRow("xhtml ncc, windows-1252, nothing said") << xhtml + page("", cp1252) << words;
        QTest::newRow("xhtml ncc, valid utf-8, nothing said") << xhtml + page("", words.toUtf8()) << words;
        QTest::newRow("utf-8 mark") << "\xEF\xBB\xBF" + page("", euro.toUtf8()) << euro;
        QByteArray utf16 = "\xFF\xFE";
        const QString text = QString::fromUtf8(page("<meta charset=\"windows-1252\">", euro.toUtf8()));
        utf16.append(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
        QTest::newRow("utf-16 mark over meta") << utf16 << euro;
        QTest::newRow("declaration") << "<?xml version=\"1.0\" encoding=\"iso-8859-15\"?>" + page("", "Caff\xE8 \xA4") << euro;
        QTest::newRow("meta over ncc:charset")
            << page("<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=iso-8859-15\">"
                    "<meta name=\"ncc:charset\" content=\"windows-1252\">", "Caff\xE8 \xA4") << euro;
        QTest::newRow("meta charset") << page("<meta charset=utf-8>", euro.toUtf8()) << euro;
        QTest::newRow("ncc:charset") << page("<meta name=\"ncc:charset\" content=\"ISO-8859-15\">", "Caff\xE8 \xA4") << euro;
        QTest::newRow("unknown name skipped")
            << page("<meta charset=\"no-such\"><meta name=\"ncc:charset\" content=\"iso-8859-15\">", "Caff\xE8 \xA4") << euro;
        QTest::newRow("latin-1 read as windows-1252") << page("<meta charset=iso-8859-1>", "Caff\xE8 \x80") << euro;
        QTest::newRow("nothing said") << page("", "Caff\xE8 \x80") << euro;
        QTest::newRow("nothing said, valid utf-8") << page("", euro.toUtf8()) << euro;
        // A 16-bit encoding declared in markup read as ASCII cannot be true.
        QTest::newRow("utf-16 in meta, utf-8 bytes") << page("<meta charset=utf-16>", euro.toUtf8()) << euro;
        // Bytes shaped like UTF-8 that UTF-8 forbids: read as windows-1252.
        QTest::newRow("encoded surrogate") << page("", "Caff\xED\xB2\x80") << QStringLiteral("Caff\u00ed\u00b2\u20ac");
        QTest::newRow("overlong form") << page("", "Caff\xE0\x80\xAF") << QStringLiteral("Caff\u00e0\u20ac\u00af");
        QTest::newRow("cut sequence") << page("", "Caff\xE2\x82") << QStringLiteral("Caff\u00e2\u201a");
        QTest::newRow("four bytes, valid") << page("", "Caff\xF0\x9F\x8E\xB5") << QStringLiteral("Caff\U0001F3B5");
    }
    void encodings()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, title);
        const Navigation nav = QByteArray(QTest::currentDataTag()).startsWith("ncx") ? readNcx(bytes) : readNcc(bytes);
        QCOMPARE(nav.title, title);
        QCOMPARE(texts(nav.headings), QStringList("1 " + title));
    }

    // A file that is UTF-8 to its last byte, and one whose last character is cut short, which is not.
    void utf8ToTheEnd()
    {
        QCOMPARE(xml::xmlEncoding("<p>caff\xC3\xA8").name, "UTF-8");
        QCOMPARE(xml::xmlEncoding("<p>caff\xC3").name, "windows-1252");
        QCOMPARE(xml::xmlEncoding("<p>caff\xED\xA0\x80").name, "windows-1252"); // a surrogate, encoded
        QCOMPARE(xml::xmlEncoding("<p>caffe").name, "UTF-8");
    }

    // An ncc.html as old tools wrote it: HTML 4, upper-case tags, unclosed metas and paragraphs, entities.
    void brokenHtml()
    {
        const QByteArray ncc =
            "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0//EN\">\r\n<HTML><HEAD><META NAME=\"dc:title\" "
            "CONTENT=\"Il&nbsp;libro\"><META NAME=\"ncc:charset\" CONTENT=\"windows-1252\"><TITLE>altro</TITLE>"
            "<BODY><H1 CLASS=\"title\"><A HREF=\"a.smil#t1\">Primo&nbsp;&nbsp;\r\n capitolo</A></H1><P>testo"
            "<SPAN CLASS=\"page-front\"><A HREF=\"a.smil#p1\">xii</A></SPAN>"
            "<H2><A HREF=\"b.smil#t2\">Caf&eacute; <B>nero</B></A></H2>"
            "<span class=\"page-normal\"><a href=\"B.smil#p2\">12</a></span><span class=\"sidebar\"><a href=\"c.smil#s\">"
            "nota</a></span><h6><a href=\"d%20e.smil\">Sei</a></h6><h7>non un titolo</h7>";
        const Navigation nav = readNcc(ncc);
        QCOMPARE(nav.title, "Il libro");
        QCOMPARE(texts(nav.headings), QStringList({"1 Primo capitolo", QStringLiteral("2 Caf\u00e9 nero"), "6 Sei"}));
        QCOMPARE(nav.headings[1].target.smil, "b.smil");
        QCOMPARE(nav.headings[1].target.id, "t2");
        QCOMPARE(nav.headings[2].target.smil, "d e.smil");
        QCOMPARE(nav.pages.size(), size_t(2));
        QCOMPARE(nav.pages[0].label, "xii");
        QCOMPARE(nav.pages[1].label, "12");
        QCOMPARE(nav.smilOrder, QStringList({"a.smil", "b.smil", "c.smil", "d e.smil"}));
    }

    // Damaged navigation files: NUL bytes and deep nesting read through; an entity without end stops the reading,
    // and the line where it stopped is known.
    void damagedNavigation()
    {
        const QByteArray two = heading(1, "a.smil#x", "Uno") + heading(1, "b.smil#y", "Due");
        QCOMPARE(readNcc("<html><body>" + QByteArray(2, '\0') + two + "</body></html>").headings.size(), size_t(2));
        const Navigation deep = readNcc("<html><body>" + QByteArray("<div>").repeated(300) + two + "</body></html>");
        QCOMPARE(texts(deep.headings), QStringList({"1 Uno", "1 Due"}));
        QCOMPARE(deep.stoppedAt, 0);
        QByteArray laughs = "<?xml version='1.0'?>\n<!DOCTYPE ncx [<!ENTITY a 'aaaaaaaaaa'>";
        for (char c = 'b'; c <= 'h'; ++c)
            laughs += QByteArray("<!ENTITY ") + c + " '" + QByteArray("&") .append(char(c - 1)).append(';').repeated(10) + "'>";
        laughs += "]>\n<ncx><navMap><navPoint><navLabel><text>&h;</text></navLabel><content src='a.smil#x'/></navPoint>"
                  "\n<navPoint><navLabel><text>Due</text></navLabel><content src='b.smil#y'/></navPoint></navMap></ncx>";
        QCOMPARE(readNcx(laughs).stoppedAt, 3);
    }

    // Phrases from SMIL 1 and 2: a par's id or else its text's, one phrase per par, what may be skipped.
    void smilPhrases()
    {
        const QByteArray file =
            "<smil xmlns=\"http://www.w3.org/2001/SMIL20/\"><body><seq>"
            "<par id=\"p1\"><text src=\"c.html#a\" id=\"ta\"/><seq><audio src=\"x.mp3\" clip-begin=\"npt=0s\" "
            "clip-end=\"npt=1s\"/><audio id=\"second\" src=\"x.mp3\" clipBegin=\"1s\" clipEnd=\"0:00:02.5\"/></seq></par>"
            "<par><text src=\"c.html#b\" id=\"tb\"/><audio src=\"y.mp3\" clipBegin=\"2.5\" clipEnd=\"3\"/></par>"
            "<par id=\"pn\" system-required=\"pagenumber-on\"><audio src=\"y.mp3\" clipBegin=\"3\" clipEnd=\"4\"/></par>"
            "<seq id=\"note\" customTest=\"footnote\"><par id=\"n1\"><text src=\"c.html#n\"/><audio src=\"y.mp3\" "
            "clipBegin=\"bad\" clipEnd=\"5\"/></par></seq>"
            "<par id=\"back\"><audio src=\"y.mp3\" clipBegin=\"6\" clipEnd=\"5\"/></par>"
            "<par id=\"silent\"><text src=\"c.html#s\"/></par></seq></body></smil>";
        const SmilFile s = readSmil(file);
        QStringList got;
        for (const Phrase &p : s.phrases)
            got << QStringLiteral("%1 %2#%3 %4 %5-%6%7").arg(p.id, p.textFile, p.textFragment, p.audio).arg(p.clipBegin)
                       .arg(p.clipEnd).arg(p.skippable ? " salta" : "");
        QCOMPARE(got, QStringList({"p1 c.html#a x.mp3 0-2.5", "tb c.html#b y.mp3 2.5-3", "pn # y.mp3 3-4 salta",
                                   "n1 c.html#n y.mp3 5-5 salta", "back # y.mp3 6-6", "silent c.html#s  0-0"}));
        QCOMPARE(s.badTimes, QStringList({"bad", "5"}));
        QMap<QString, int> anchors;
        for (const auto &[id, phrase] : s.anchors)
            anchors.insert(id, phrase);
        QCOMPARE(anchors.value("ta"), 0);
        QCOMPARE(anchors.value("second"), 0); // a clip following straight on is part of its par's one phrase
        QCOMPARE(anchors.value("tb"), 1);
        QCOMPARE(anchors.value("note"), 3);
        // Clips of one par that do not follow straight on play in turn, and count as one phrase.
        Book book;
        book.phrases = readSmil("<smil><body><par id='a'><seq><audio src='x.mp3' clipBegin='0' clipEnd='1'/><audio src='y.mp3' "
                                "clipBegin='0' clipEnd='2'/></seq></par><par id='b'><audio src='y.mp3' clipBegin='2' "
                                "clipEnd='3'/></par></body></smil>").phrases;
        book.finish();
        QCOMPARE(book.phrases.size(), size_t(3));
        QCOMPARE(book.sentences(), 2);
        QCOMPARE(book.sentenceOf(1), 0);
        QCOMPARE(book.sentenceStart(1), 2);
        QCOMPARE(book.totalTime(), 4.0);
    }

    // A missing SMIL or audio file, a bad time, a name out of the book is named once; the rest of the book opens.
    void brokenBookNamesEachProblemOnce()
    {
        test::FakeFiles files;
        put(files, "/b/ncc.html",
            heading(1, "s1.smil#a", "Uno") + heading(2, "./S1.smil#b", "Due") + heading(1, "s2.smil#c", "Tre") +
                heading(2, "s2.smil#d", "Quattro") + heading(1, "s3.smil#e", "Cinque"));
        put(files, "/b/s1.smil", smil(par("a", "a.mp3", "0", "npt=xyz") + par("b", "a.mp3", "1", "npt=xyz")));
        put(files, "/b/s3.smil", smil(par("e", "b.mp3", "0", "2")));
        put(files, "/b/b.mp3", "");
        const std::optional<Book> book = openBook(files, "/b");
        QVERIFY(book);
        QCOMPARE(book->problems, QStringList({"Tempo non valido in s1.smil: npt=xyz", "File audio mancante: a.mp3",
                                              "File SMIL mancante: s2.smil"}));
        QCOMPARE(book->phrases.size(), size_t(3));
        QCOMPARE(book->phrases[0].audio, "a.mp3");
        QCOMPARE(book->headings[1].target.phrase, 1); // the same file, named another way, read once
        // The headings in the missing file lead to where it would have been read.
        QCOMPARE(book->headings[2].target.phrase, 2);
        QCOMPARE(book->headings[3].target.phrase, 2);
        QCOMPARE(book->headings[3].target.smil, "s2.smil");
        QCOMPARE(book->totalTime(), 2.0);

        // Names that lead out of the book are refused and named once, never kept as written; a name the rule refuses
        // (a link out of the book) goes the same way; a book left with nothing to read says which file led nowhere.
        put(files, "/c/ncc.html", heading(1, "s1.smil#a", "Uno"));
        put(files, "/c/s1.smil", smil("<par id='a'><text src='/etc/passwd#x'/><audio src='../fuori.mp3' clip-begin='0' clip-end='1'/></par>"
                                      "<par id='b'><text src='a/../../../etc/passwd#x'/><audio src='C:/x.mp3' clip-begin='0' clip-end='1'/></par>"
                                      "<par id='c'><text src='t.html#x'/><audio src='link.mp3' clip-begin='0' clip-end='1'/></par>"
                                      "<par id='d'><text src='/etc/passwd#y'/><audio src='link.mp3' clip-begin='1' clip-end='2'/></par>"));
        for (const char *name : {"/fuori.mp3", "/c/t.html", "/c/link.mp3"})
            put(files, name, "");
        files.refused.insert("/c/link.mp3");
        const std::optional<Book> outside = openBook(files, "/c");
        QVERIFY(outside);
        QCOMPARE(outside->problems, QStringList({"File fuori dal libro: /etc/passwd", "File fuori dal libro: ../fuori.mp3",
                                                 "File fuori dal libro: a/../../../etc/passwd", "File fuori dal libro: C:/x.mp3",
                                                 "Il file /c/link.mp3 è fuori dal libro: non viene aperto."}));
        for (const Phrase &p : outside->phrases)
            QVERIFY(p.audio.isEmpty() && (p.textFile.isEmpty() || p.textFile == "t.html"));
        put(files, "/d/ncc.html", heading(1, "nessuno.smil#a", "Uno"));
        QCOMPARE(openBook(files, "/d")->problems.last(),
                 "Il libro non ha frasi da leggere: ncc.html non porta a nessun file SMIL che ne abbia.");
    }

    // On disk. Two files whose names differ in letter case alone: the disk and the book's reader pick the same one,
    // the name written exactly when there is one, else the first by character codes (the reader once took the last
    // listed). A clip without clip-end plays to the end of its file, as long as the file is.
    void onDisk()
    {
        const CaseNames names({"cap1.mp3", "Cap1.mp3", "CAP1.mp3", "altro.mp3"});
        QCOMPARE(names.find("cap1.mp3"), "cap1.mp3");
        QCOMPARE(names.find("Cap1.mp3"), "Cap1.mp3");
        QCOMPARE(names.find("cAP1.MP3"), "CAP1.mp3");
        QCOMPARE(names.find("ALTRO.MP3"), "altro.mp3");
        QCOMPARE(names.find("cap2.mp3"), QString());
        QCOMPARE(CaseNames({"b.MP3", "B.mp3"}).find("b.mp3"), CaseNames({"B.mp3", "b.MP3"}).find("b.mp3"));

        QTemporaryDir dir;
        DiskFiles files;
        const QString b = dir.path();
        // Names on disk in another letter case than the links (and a space written as %20).
        put(files, b + "/Ncc.HTML", heading(1, "parte%20uno.smil#x", "Uno"));
        put(files, b + "/Parte Uno.SMIL",
            smil(par("x", "Cap1.MP3", "0", "1") + par("y", "cap1.mp3", "1", "2") + "<par id=\"z\"><text src=\"T.HTML#t\"/>"
                 "<audio src=\"cap1.mp3\" clip-begin=\"2\" clip-end=\"3\"/></par>"));
        for (const char *name : {"cap1.mp3", "CAP1.mp3", "Cap1.mp3x", "t.html", "T.html"})
            put(files, b + "/" + name, "");
        const std::optional<Book> book = openBook(files, b);
        QVERIFY(book && book->problems.isEmpty());
        QCOMPARE(book->headings[0].target.smil, "Parte Uno.SMIL");
        QCOMPARE(book->headings[0].target.phrase, 0);
        QCOMPARE(book->phrases[0].audio, "CAP1.mp3");
        QCOMPARE(files.resolve(b + "/Cap1.MP3"), b + "/CAP1.mp3");
        QCOMPARE(book->phrases[1].audio, "cap1.mp3");
        QCOMPARE(files.resolve(b + "/cap1.mp3"), b + "/cap1.mp3");
        QCOMPARE(book->phrases[2].textFile, "T.html");
        QCOMPARE(files.resolve(b + "/T.HTML"), b + "/T.html");
        // A WAV of 2.5 s, in a book of its own.
        QVERIFY(QDir(b).mkpath("clip"));
        QByteArray wav = "RIFF____WAVEfmt " + QByteArray::fromHex("1000000001000100401f0000803e00000200100064617461");
        const QByteArray samples(8000 * 2 * 5 / 2, '\0');
        wav += QByteArray::fromRawData("\0\0\0\0", 4) + samples;
        qToLittleEndian<quint32>(quint32(wav.size() - 8), wav.data() + 4);
        qToLittleEndian<quint32>(quint32(samples.size()), wav.data() + 40);
        put(files, b + "/clip/a.wav", wav);
        put(files, b + "/clip/ncc.html", heading(1, "s.smil#a", "Uno"));
        put(files, b + "/clip/s.smil", smil("<par id='a'><audio src='a.wav' clip-begin='npt=1s'/></par>"
                                                "<par id='b'><audio src='a.wav'/></par>"));
        const std::optional<Book> clip = openBook(files, b + "/clip");
        QVERIFY(clip && clip->problems.isEmpty());
        QCOMPARE(clip->phrases[0].clipEnd, 2.5);
        QCOMPARE(clip->totalTime(), 4.0);
    }

    // The lookups built when the book is read agree with a walk of every phrase in reading order: by saved name, by
    // a link of the text into a SMIL file (one name in two folders, a name repeated, an anchor of no phrase), and by an
    // audio file's time (clips out of order, overlapping, repeated, of no length; names in another letter case).
    void lookupsAgreeWithAWalk()
    {
        Book book;
        book.phrases = {{"a.smil", "p1", {}, {}, "x.mp3", 0, 2},        {"a.smil", "p1", {}, {}, "x.mp3", 2, 3},
                        {"a.smil", "", {}, {}, "X.MP3", 5, 6},          {"sub/A.SMIL", "p1", {}, {}, "y.mp3", 0, 4},
                        {"sub/A.SMIL", "p2", {}, {}, "x.mp3", 1, 2.5},  {"b.smil", "p9", {}, {}, "", 0, 0},
                        {"b.smil", "p2", {}, {}, "x.mp3", 2.5, 2.5},    {"c.smil", "p5", {}, {}, "y.mp3", 3, 8},
                        {"c.smil", "p6", {}, {}, "y.mp3", 3.5, 3.7}};
        book.addAnchor("b.smil", "seq", 6); // an element no phrase is named after
        book.addAnchor("a.smil", "p1", 1);  // one that leads past the first phrase of its name
        book.finish();
        QCOMPARE(book.anchor("b.smil", "seq"), 6);
        QVERIFY(!book.hasText());
        auto walkNamed = [&](const QString &name) {
            for (size_t i = 0; i < book.phrases.size(); ++i)
                if (book.phrases[i].name() == name)
                    return int(i);
            return -1;
        };
        for (const char *name :
             {"a.smil#p1", "a.smil#", "sub/A.SMIL#p2", "b.smil#seq", "b.smil#p2", "A.smil#p1", "c.smil#p7", ""})
            QCOMPARE(book.phraseNamed(name), walkNamed(name));

        auto walkLink = [&](const QString &file, const QString &id) {
            int found = -1;
            for (size_t i = 0; i < book.phrases.size(); ++i) {
                const Phrase &p = book.phrases[i];
                if (p.smil.section('/', -1).compare(file, Qt::CaseInsensitive) != 0)
                    continue;
                if (found < 0 || p.id == id) {
                    found = int(i);
                    if (p.id == id)
                        break;
                }
            }
            return found;
        };
        for (const char *file : {"a.smil", "A.Smil", "b.smil", "c.SMIL", "d.smil"})
            for (const char *id : {"p1", "p2", "p6", "", "nessuno"})
                QVERIFY2(book.phraseOfLink(file, id) == walkLink(file, id), qPrintable(QString("%1#%2").arg(file, id)));
        auto walkHolding = [&](const QString &audio, double at) {
            for (size_t i = 0; i < book.phrases.size(); ++i) {
                const Phrase &p = book.phrases[i];
                if (p.audio.compare(audio, Qt::CaseInsensitive) == 0 && p.clipBegin <= at && at < p.clipEnd)
                    return int(i);
            }
            return -1;
        };
        for (const char *audio : {"x.mp3", "X.mp3", "y.MP3", "z.mp3", ""})
            for (double at = -0.5; at <= 9; at += 0.25)
                QVERIFY2(book.phraseHolding(audio, at) == walkHolding(audio, at),
                         qPrintable(QString("%1 %2").arg(audio).arg(at)));
    }

    // The contents and the help are written over a blank page once the browser reports it loaded, the call having
    // returned at once; a newer body asked for meanwhile takes the older one's place; the help is the program's page's
    // body alone, and one that cannot be read is said, the view staying as it was.
    void viewsWaitForTheBlankPage()
    {
        Views v;
        QVERIFY(v.books.daisyBook());
        v.text.moved(); // the book opened, no phrase read yet: its contents
        QCOMPARE(v.browser.navigations, QStringList{"about:blank"});
        QCOMPARE(v.browser.bodies, QStringList());
        QCOMPARE(v.text.shown(), "contents");
        QCOMPARE(v.form.caption(), "Libro & co"); // the window is named by the book as soon as it is read
        v.browser.load("about:blank");
        QCOMPARE(v.browser.bodies.size(), 1);
        const QString contents = v.browser.bodies[0];
        QVERIFY2(contents.startsWith("<h1>Libro &amp; co</h1><p id='qyr-titolo-0' style='margin-left:0em'>"),
                 qPrintable(contents));
        QVERIFY(contents.contains("<p id='qyr-titolo-1' style='margin-left:2em'><a href='" +
                                  DaisyReading::headingLink(1) + "'>Due e tre</a></p>"));
        QCOMPARE(DaisyReading::headingOfLink("about:blank" + DaisyReading::headingLink(1)), 1);
        // On the blank page already: the help is written at once, in the same call.
        v.reading.help();
        QCOMPARE(v.browser.bodies.size(), 2);
        QCOMPARE(v.browser.bodies[1], "\n<h1>Aiuto</h1>\n");
        QCOMPARE(v.text.shown(), "help");
        QCOMPARE(v.lblOSD.caption(), "Guida");
        QCOMPARE(v.browser.navigations.size(), 1);
        // Another page meanwhile: the contents wait for a new blank page, and the help asked before it loads takes
        // their place; the body is written once, when the page is there.
        v.browser.navigate("file:///libro/altro.html");
        v.browser.load("file:///libro/altro.html");
        v.reading.contents();
        v.reading.help();
        QCOMPARE(v.browser.bodies.size(), 2);
        v.browser.load("about:blank");
        QCOMPARE(v.browser.bodies.size(), 3);
        QCOMPARE(v.browser.bodies[2], "\n<h1>Aiuto</h1>\n");
        v.browser.load("about:blank"); // a later load of the blank page writes nothing again
        QCOMPARE(v.browser.bodies.size(), 3);
        // A help page that cannot be read: said, and the view stays.
        v.files.contents.remove(test::FakeFiles::norm("/programma/guida.htm"));
        v.reading.contents();
        v.browser.load("about:blank");
        QCOMPARE(v.text.shown(), "contents");
        QCOMPARE(v.lblOSD.caption(), "Sommario");
        v.reading.help();
        QCOMPARE(v.lblOSD.caption(), "Guida non disponibile");
        QCOMPARE(v.text.shown(), "contents");
        QCOMPARE(v.dialogs.shown.size(), 0);
    }

    // A saved place or a bookmark whose phrase and time disagree (the audio timed anew since): the reading goes to
    // the phrase, the time counting only inside it; a phrase the book no longer has is found by the time.
    void aPlaceGoesToItsPhrase()
    {
        Views v;
        v.makePlayer();
        struct Row { const char *name, *phrase; double at; int read; double position; };
        const Row cases[] = {{"time in the first, the second named", "s.smil#b", 0.25, 1, 1},
                             {"time in the second, the first named", "s.smil#a", 1.5, 0, 0},
                             {"time inside the phrase named", "s.smil#b", 1.25, 1, 1.25},
                             {"a phrase no longer there", "s.smil#z", 1.5, 1, 1.5}};
        for (const bool bookmark : {false, true}) {
            const auto kind = test::naming(bookmark ? "bookmark" : "saved place");
            for (const auto &c : cases) {
                const auto named = test::naming(c.name);
                bookmark ? v.reading.recall(c.phrase, c.at) : v.reading.start(c.phrase, c.at);
                v.reading.follow(); // the timer's beat: the phrase follows what plays
                QCOMPARE(v.media()->position, c.position);
                QCOMPARE(v.reading.phrase(), c.read);
            }
        }
        QCOMPARE(v.dialogs.shown.size(), 0);
    }

    // Text without audio is read by the voice, in the book's language and at the reading speed, and the reading goes on
    // from it, by the voice or the player, only when the voice has said it to its end; a phrase without words is
    // passed over. Pausing, resuming and stopping act on the voice; with the reading off the mark moves in silence and
    // Ctrl+3 still reads; a voice's end that comes while paused or after a move is not taken for the phrase's.
    void theVoiceReadsTextWithoutAudio()
    {
        Voiced v;
        v.reading.start();
        QCOMPARE(v.media()->url(), "/misto/a.mp3");
        QVERIFY(!v.reading.voiceReading());
        v.reading.playerState(8); // the clip has been played
        QCOMPARE(v.speech.phrases(), QStringList{"phrase|Text without audio|en-GB|1"});
        QVERIFY(v.reading.voiceReading());
        QCOMPARE(v.media()->state, int(playstate::Stopped));
        QCOMPARE(v.reading.phraseName(), "s.smil#b");
        v.reading.playerState(8); // a late end of the audio moves nothing
        QCOMPARE(v.reading.phraseName(), "s.smil#b");
        v.feedback.setPlayerRate(1.5f); // the next phrase at the new speed
        v.speech.finish();
        QCOMPARE(v.last(), "phrase|Chapter two|en-GB|1.5");
        QCOMPARE(v.voiced, (QStringList{"s.smil#b: Text without audio", "s2.smil#c: Chapter two"}));
        v.speech.finish();
        QCOMPARE(v.reading.phraseName(), "s2.smil#e");
        QCOMPARE(v.media()->position, 1.0);
        QVERIFY(!v.reading.voiceReading());

        v.reading.previousPhrase();
        QCOMPARE(v.osd(), "Frase 4");
        QCOMPARE(v.last(), "phrase|Chapter two|en-GB|1.5");
        const int said = v.speech.said.size();
        v.reading.pauseVoice();
        QCOMPARE(v.osd(), "PAUSA, frase 4 di 5");
        v.speech.Finished(); // the voice cut by the pause
        QCOMPARE(v.reading.phraseName(), "s2.smil#c");
        v.reading.pauseVoice();
        QCOMPARE(v.osd(), "PLAY, frase 4 di 5");
        v.reading.stopVoice();
        QCOMPARE(v.osd(), "STOP, frase 4 di 5");
        v.speech.Finished();
        QCOMPARE(v.reading.phraseName(), "s2.smil#c");
        QCOMPARE(v.speech.said.mid(said), (QStringList{"pause", "resume", "stop"}));

        v.feedback.SetAudioOff(true);
        v.reading.readingSwitched();
        v.reading.previousHeading();
        QCOMPARE(v.reading.phraseName(), "s.smil#a");
        v.reading.nextPhrase();
        QCOMPARE(v.reading.phraseName(), "s.smil#b");
        QCOMPARE(v.speech.said.size(), said + 3); // the mark moved in silence
        v.reading.pauseVoice();                    // Ctrl+3 reads all the same, and on
        QCOMPARE(v.last(), "phrase|Text without audio|en-GB|1.5");
        v.speech.finish();
        QCOMPARE(v.last(), "phrase|Chapter two|en-GB|1.5");
        v.reading.previousPhrase(); // a move with the reading off: the voice stops, the mark moves
        QCOMPARE(v.last(), "stop");
        v.speech.finish(); // the end of the phrase cut is not the new one's
        QCOMPARE(v.reading.phraseName(), "s.smil#z");
        v.feedback.SetAudioOff(false);
        v.reading.readingSwitched(); // on again: from the mark, the phrase without words passed over
        QCOMPARE(v.last(), "phrase|Chapter two|en-GB|1.5");
        v.speech.finish();
        QCOMPARE(v.reading.phraseName(), "s2.smil#e");
        QCOMPARE(v.dialogs.shown.size(), 0);
    }

    // With another kind of book open, every key of the DAISY reading does nothing: nothing thrown, said or asked.
    void keysWithoutADaisyBook()
    {
        Views v;
        put(v.files, "/altro/Index.htm", "<title>Altro</title>");
        QVERIFY(v.books.open("/altro"));
        QVERIFY(!v.books.daisyBook() && !v.reading.active());
        v.dialogs.shown.clear();
        DaisyReading &r = v.reading;
        r.start();
        for (auto key : {&DaisyReading::nextHeading, &DaisyReading::previousHeading, &DaisyReading::cycleLevel,
                         &DaisyReading::nextPage, &DaisyReading::previousPage, &DaisyReading::nextPhrase,
                         &DaisyReading::previousPhrase, &DaisyReading::whereAmI, &DaisyReading::goToPage,
                         &DaisyReading::goToTime, &DaisyReading::contents, &DaisyReading::help, &DaisyReading::follow})
            (r.*key)();
        QVERIFY(r.skip(true).ok());
        r.goToHeading(0);
        r.goToPhrase(0);
        r.recall("s.smil#a", 1);
        r.playerState(8);
        QCOMPARE(r.phrase(), -1);
        QCOMPARE(r.phraseName(), QString());
        QCOMPARE(r.bookTime(), 0.0);
        QCOMPARE(v.dialogs.shown.size(), 0);
        QCOMPARE(v.lblOSD.caption(), "Libro aperto: /altro"); // and nothing said since
        QCOMPARE(v.browser.navigations, QStringList());
    }

    // Which folders hold a DAISY book.
    void formats_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("format"); // -1: not a DAISY book
        const QByteArray opf = "<package><metadata><dc-metadata><dc:Format>%1</dc:Format></dc-metadata></metadata></package>";
        QTest::newRow("ncc.html") << "ncc.html" << QByteArray("<h1>x</h1>") << int(Format::Daisy2);
        QTest::newRow("NCC.HTML") << "NCC.HTML" << QByteArray() << int(Format::Daisy2);
        QTest::newRow("daisy 3") << "libro.OPF" << QByteArray(opf).replace("%1", " ANSI/NISO  Z39.86-2005 ") << int(Format::Daisy3);
        QTest::newRow("other package") << "libro.opf" << QByteArray(opf).replace("%1", "application/epub+zip") << -1;
        QTest::newRow("NCC.HTM") << "NCC.HTM" << QByteArray("<h1>x</h1>") << int(Format::Daisy2);
        QTest::newRow("plain book") << "Index.htm" << QByteArray("<h1>x</h1>") << -1;
    }
    void formats()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(int, format);
        test::FakeFiles files;
        put(files, "/b/" + name, bytes);
        const std::optional<Format> f = formatOf(files, "/b");
        QCOMPARE(f ? int(*f) : -1, format);
        QCOMPARE(openBook(files, "/b").has_value(), format >= 0);
    }

    // The lookups of the reading keys on a book of ten one-second phrases.
    void lookups()
    {
        Book book;
        for (int i = 0; i < 10; ++i) {
            Phrase p;
            p.audio = i < 3 ? "a.mp3" : i == 3 ? "b.mp3" : "c.mp3";
            p.clipBegin = i < 5 ? i : i + 0.5; // in c.mp3, a gap between phrases 4 and 5
            p.clipEnd = p.clipBegin + 1;
            book.phrases.push_back(p);
        }
        const int levels[] = {1, 2, 3, 2, 1}, at[] = {0, 2, 4, 6, -1};
        for (int i = 0; i < 5; ++i)
            book.headings.push_back({QString::number(i), levels[i], {QString(), QString(), at[i]}});
        const char *labels[] = {"i", "ii", "1", "2"};
        for (int i = 0; i < 4; ++i)
            book.pages.push_back({labels[i], {QString(), QString(), i * 3}});
        book.headings.back().target.phrase = 8;
        book.finish();

        QCOMPARE(book.totalTime(), 10.0);
        QCOMPARE(book.depth(), 3);
        struct Time { double time; int phrase; };
        const Time times[] = {{-1, 0}, {0, 0}, {0.999, 0}, {1, 1}, {9.5, 9}, {100, 9}};
        for (const auto &t : times)
            QCOMPARE(book.phraseAt(t.time), t.phrase);
        // Phrase, level: the heading being read, next and previous ("Livello n": levels 1..n, 0 all).
        struct Row { int phrase, level, of, next, previous; };
        const Row rows[] = {{0, 0, 0, 1, -1}, {1, 0, 0, 1, -1}, {5, 0, 2, 3, 1}, {4, 0, 2, 3, 1}, {5, 2, 2, 3, 0},
                            {5, 1, 2, 4, -1}, {9, 1, 4, -1, 0}, {9, 2, 4, -1, 3}, {7, 3, 3, 4, 2}, {3, 9, 1, 2, 0}};
        for (const auto &r : rows) {
            const QByteArray where = QByteArray::number(r.phrase) + "/" + QByteArray::number(r.level);
            QVERIFY2(book.headingOf(r.phrase) == r.of, where);
            QVERIFY2(book.nextHeading(r.phrase, r.level) == r.next, where);
            QVERIFY2(book.previousHeading(r.phrase, r.level) == r.previous, where);
        }
        QCOMPARE(book.pageOf(5), 1);
        QCOMPARE(book.nextPage(5), 2);
        QCOMPARE(book.previousPage(5), 0);
        QCOMPARE(book.previousPage(3), 0);
        QCOMPARE(book.nextPage(9), -1);
        QCOMPARE(book.pageByLabel(" II "), 1);
        QCOMPARE(book.pageByLabel("2"), 3);
        QCOMPARE(book.pageByLabel("3"), -1);
        // Clips of one file that touch run on; another file or a gap ends the run.
        const int runs[] = {2, 2, 2, 3, 4, 9, 9, 9, 9, 9};
        for (int i = 0; i < 10; ++i)
            QCOMPARE(book.runEnd(i), runs[i]);
    }

    // A DAISY 3 book: package, navigation file with nested points and a page list, SMIL 2, its text.
    void daisy3()
    {
        test::FakeFiles files;
        put(files, "/b/p.opf",
            "<?xml version=\"1.0\"?><package xmlns=\"http://openebook.org/namespaces/oeb-package/1.0/\"><metadata>"
            "<dc-metadata xmlns:dc=\"http://purl.org/dc/elements/1.1/\"><dc:Title>Tre</dc:Title>"
            "<dc:Format>ANSI/NISO Z39.86-2005</dc:Format><dc:Language>en-US</dc:Language></dc-metadata></metadata><manifest>"
            "<item id=\"b\" href=\"b.smil\" media-type=\"application/smil\"/><item id=\"a\" href=\"a.smil\" "
            "media-type=\"application/smil\"/><item id=\"n\" href=\"nav.ncx\" media-type=\"application/x-dtbncx+xml\"/>"
            "</manifest><spine><itemref idref=\"a\"/><itemref idref=\"b\"/></spine></package>");
        auto point = [](const QByteArray &label, const QByteArray &src) {
            return "<navPoint><navLabel><text>" + label + "</text></navLabel><content src=\"" + src + "\"/>";
        };
        put(files, "/b/nav.ncx",
            "<ncx xmlns=\"http://www.daisy.org/z3986/2005/ncx/\"><docTitle><text>No</text></docTitle><navMap>" +
                point("Uno", "a.smil#s1") + point("Uno.uno", "a.smil#p2") + "</navPoint></navPoint>" +
                point("Due", "b.smil") + "</navPoint></navMap><pageList><pageTarget><navLabel><text>7</text></navLabel>"
                "<content src=\"b.smil#p3\"/></pageTarget></pageList></ncx>");
        const QByteArray clip = "<audio src=\"a.mp3\" clipBegin=\"0:00:0%1\" clipEnd=\"0:00:0%2\"/>";
        auto p = [&](int i) {
            return "<par id=\"p" + QByteArray::number(i) + "\">" +
                   QByteArray(clip).replace("%1", QByteArray::number(i)).replace("%2", QByteArray::number(i + 1)) + "</par>";
        };
        put(files, "/b/a.smil", "<smil xmlns=\"http://www.w3.org/2001/SMIL20/\"><body><seq id=\"s1\">" + p(0) + p(1) +
                                    p(2) + "</seq></body></smil>");
        put(files, "/b/b.smil", "<smil><body><seq><par id=\"p3\" customTest=\"pagenum\"><audio src=\"a.mp3\" "
                                "clipBegin=\"3\" clipEnd=\"4\"/></par>" + p(4) + "</seq></body></smil>");
        put(files, "/b/a.mp3", "");
        const std::optional<Book> book = openBook(files, "/b");
        QVERIFY(book);
        QCOMPARE(book->format, Format::Daisy3);
        QCOMPARE(book->title, "Tre");
        QCOMPARE(book->language, "en-US");
        QCOMPARE(book->problems, QStringList());
        QCOMPARE(texts(book->headings), QStringList({"1 Uno", "2 Uno.uno", "1 Due"}));
        QCOMPARE(book->headings[1].target.phrase, 2);
        QCOMPARE(book->headings[2].target.phrase, 3);
        QCOMPARE(book->pages[0].label, "7");
        QCOMPARE(book->pages[0].target.phrase, 3);
        QVERIFY(book->phrases[3].skippable && !book->phrases[4].skippable);
        QCOMPARE(book->runEnd(0), 4);
        QCOMPARE(book->totalTime(), 5.0);
        // The headings and pages come in the reading order playOrder gives, not in the file's.
        const Navigation ordered = readNcx("<ncx><navMap><navPoint playOrder='3'><navLabel><text>Tre</text></navLabel></navPoint>"
                                           "<navPoint playOrder='1'><navLabel><text>Uno</text></navLabel><navPoint playOrder='2'>"
                                           "<navLabel><text>Due</text></navLabel></navPoint></navPoint></navMap></ncx>");
        QCOMPARE(texts(ordered.headings), QStringList({"1 Uno", "2 Due", "1 Tre"}));
        // Its text as HTML: ids kept, headings at the depth of their level, a page number on a line of its own;
        // scripts, handlers, styles, links' addresses and pictures' sources left out.
        const QByteArray dtbook = "<dtbook xmlns='http://www.daisy.org/z3986/2005/dtbook/'><head><title>T</title></head><book><bodymatter>"
                            "<level1 id='l1'><h1 id='h'>Uno</h1><level><hd id='d'>Due</hd><p id='p' onclick='alert(1)' style='x'>A "
                            "<sent id='s'>b &amp; c</sent><pagenum id='n'>3</pagenum></p><script>alert(2)</script><img src='x.png' "
                            "alt='Figura'/><a href='javascript:alert(3)'>vai</a><list type='ol'><li id='i'>x</li></list></level>"
                            "</level1></bodymatter></book></dtbook>";
        // The words the voice reads of each element: inline ones joined, blocks apart, no script, a picture's alt.
        const QHash<QString, QString> words = phraseTexts(dtbook);
        QCOMPARE(words.value("p"), "A b & c 3");
        QCOMPARE(words.value("d"), "Due");
        QCOMPARE(words.value("l1"), "Uno Due A b & c 3 Figura vai x");
        QCOMPARE(dtbookHtml(dtbook),
                 "<div><div id=\"l1\"><h1 id=\"h\">Uno</h1><div><h2 id=\"d\">Due</h2><p id=\"p\">A <span id=\"s\">b &amp; c"
                 "</span><span id=\"n\" class='pagenum' style='display:block'>3</span></p><span>Figura</span><span>vai</span><ol>"
                 "<li id=\"i\">x</li></ol></div></div></div>");
    }
};

QTEST_GUILESS_MAIN(TstDaisy)
#include "tst_daisy.moc"
