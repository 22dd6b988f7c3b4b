// DAISY books made from speech (tools/make_daisy.sh): opened, read from the first phrase, moved in by heading at a
// level, print page and phrase, each move landing on its SMIL clip; the where-am-I answer; the old library book's
// quirks read as the clean book.
#include "doubles/zipmaker.h"
#include "session.h"
#include "doubles/speechlog.h"

#include <QProcess>
#include <csignal>

namespace {

// The books' phrases: SMIL file and id, audio file and clip start, as the generator writes them.
struct Clip {
    const char *phrase, *audio;
    double begin;
};
const Clip kClips[] = {{"s1.smil#par0", "a.mp3", 0},     {"s1.smil#par1", "a.mp3", 1.026}, {"s1.smil#par2", "a.mp3", 3.176},
                       {"s2.smil#par3", "a.mp3", 4.975}, {"s2.smil#par4", "a.mp3", 5.940}, {"s2.smil#par5", "a.mp3", 7.812},
                       {"s3.smil#par6", "b.mp3", 0},     {"s3.smil#par7", "b.mp3", 1.177}, {"s3.smil#par8", "b.mp3", 1.993}};

} // namespace

class TstDaisyBooks : public QObject {
    Q_OBJECT
    QTemporaryDir dir; // the books, made once for every case
    bool made = false;

private slots:
    void initTestCase()
    {
        QProcess make;
        make.start("bash", {QStringLiteral(QYR_SOURCE_DIR "/tools/make_daisy.sh"), dir.path()});
        made = make.waitForFinished(120000) && make.exitCode() == 0;
        // As libraries hand them out: the book's folder zipped, names in capitals; a DAISY 3 book at a zip's top.
        made = made && testzip::Maker(dir.filePath("libro202.zip")).addFolder(dir.filePath("daisy202"), "LIBRO/", true).close() &&
               testzip::Maker(dir.filePath("libro3.daisy")).addFolder(dir.filePath("daisy3"), "").close();
    }
    void init()
    {
        if (!made)
            QSKIP("espeak-ng, sox or ffmpeg missing");
    }

    // Each key of the DAISY table lands on its heading, page or phrase, at that phrase's clip (within 0.2 s); the
    // ends of the book are said and the reading stays; where-am-I names the heading, the page and the times.
    void movingInTheBook()
    {
        Session s(storeValues(dir.filePath("moving.sqlite"), {{"TempoSp", "0"}, {"AvantiIndietro", "3"}}), {},
                  dir.filePath("daisy202"));
        const int first = s.expect("player", action("file", "a.mp3"));
        s.expect("osd", is("text", "Libro di prova"));
        QCOMPARE(field(s.stateWhen([](const QJsonObject &st) { return field(st, "phrase") == kClips[0].phrase; }), "format"), "daisy2");

        // Lands on clip c: said as `said`, the player sent to its start, the state on its phrase.
        auto lands = [&](int mark, const QString &said, int c) { s.lands(mark, said, kClips[c].begin, kClips[c].phrase, kClips[c].audio); };
        lands(s.key('8', Alt), "Sezione uno", 3);
        QCOMPARE(field(s.state(), "heading"), "Sezione uno");
        lands(s.key('7', Alt), "Capitolo primo", 0);
        s.expect("osd", is("text", "Livello 1"), s.key('5', Ctrl));
        QCOMPARE(s.state().value("level").toInt(), 1);
        lands(s.key('8', Alt), "Capitolo secondo", 6); // the level 2 heading passed by
        // Paused in the second audio file: the time said is the book's (past the first file's 9 s), not the file's.
        const QString paused = s.expectText("osd", textStarts("PAUSA "), "text", s.key('3', Ctrl));
        QVERIFY2(paused.mid(6, 5) >= "00:09", qPrintable(paused));
        s.expect("osd", textStarts("PLAY 00:"), s.key('3', Ctrl));
        // A style is a page's look: in a DAISY book there is none, and the reading goes on where it was.
        const int style = s.key('9', Alt);
        s.expect("osd", is("text", "Il libro DAISY non ha stili: il testo resta com'è"), style);
        QCOMPARE(s.count("player", style, action("stop")), 0);
        s.expect("osd", is("text", "Fine del libro"), s.key('8', Alt));
        s.expect("osd", is("text", "Livello 2"), s.key('5', Ctrl));
        s.expect("osd", is("text", "Tutti i livelli"), s.key('5', Ctrl));
        lands(s.key('7', Alt), "Sezione uno", 3); // the heading before the one being read
        lands(s.key('7', Ctrl), "Pagina 2", 7);
        QCOMPARE(field(s.state(), "page"), "2");
        lands(s.key('6', Ctrl), "Pagina 1", 0);
        s.expect("osd", is("text", "Inizio del libro"), s.key('6', Ctrl));
        s.expect("osd", is("text", "Inizio del libro"), s.key('1', Ctrl | Shift));
        lands(s.key('2', Ctrl | Shift), "Frase 2", 1);
        const QString where = s.expectText("osd", textStarts("Capitolo primo, pagina 1, 00:0"), "text", s.key('D', Ctrl));
        QVERIFY2(where.endsWith(" di 00:12"), qPrintable(where));
        // Go to a page and to a time, typed in a box; a page the book has not is said.
        s.expect("osd", is("text", "Pagina non trovata: 9"), s.typed('G', "9"));
        const int five = s.typed('T', "0:05");
        s.expect("osd", is("text", "00:05"), five);
        s.expect("player", seek(5.0, 0.2), five);
        s.stateWhen([](const QJsonObject &x) { return field(x, "phrase") == kClips[3].phrase; });
        const int nine = s.typed('T', "0,15"); // minutes
        s.expect("osd", is("text", "00:09"), nine);
        s.expect("player", seek(9.0, 0.2), nine);
        lands(s.typed('G', "2"), "Pagina 2", 7);
        // 3 s back from the second file's second phrase (10.29 s into the book, a little more by the pause) is in the
        // first file, at the same time of the book. Paused, the time stands still whatever the machine's load.
        s.expect("osd", textStarts("PAUSA "), s.key('3', Ctrl));
        const double at = s.state().value("bookTime").toDouble() - 3;
        QVERIFY2(at > 7.2 && at < 9.1, qPrintable(QString::number(at)));
        const int back = s.key('1', Ctrl);
        s.expect("osd", is("text", QString::asprintf("INDIETRO 00:%02d", int(at))), back);
        s.expect("player", action("file", "a.mp3"), back);
        s.expect("player", seek(at, 0.05), back);

        // F1 shows the program's help, this book having none; the keys of DAISY books are on it.
        s.key(112, 0);
        s.stateWhen([](const QJsonObject &x) { return x.value("text").toObject().value("all").toString().contains("Libri DAISY"); });
        // The boxes of Ctrl+G and Ctrl+T were the only dialogs: nothing went wrong.
        QCOMPARE(s.count("dialog", first), s.count("dialog", first, is("kind", "input")));
        QVERIFY(s.quitYes());
    }

    // A bookmark keeps the exact place (the phrase, the book's time to a tenth): recalled from another file, after a
    // SIGTERM and a new start, and after going out to a file, being deleted and coming back in. With "Riparti dal punto
    // di uscita", the SIGTERM keeps the phrase being read and the book's time, and the next start reads from there.
    void bookmarksAtTheExactPlace()
    {
        QTemporaryDir home;
        const QString file = storeValues(dir.filePath("marks.sqlite"), {{"TempoSp", "0"}, {"SavePos", "1"}});
        const Values env{{"HOME", home.path()}, {"XDG_CONFIG_HOME", home.filePath("config")}};
        auto mark = [](const char *key) { return all(is("section", "DAISY"), is("key", key)); };
        QString phrase, place;
        double at = 0, resumed = 0;
        // The bookmark lands on its phrase, where it was set in the second file (which starts 9.116 s into the book).
        auto recalled = [&](Session &s) {
            const int recall = s.key('1', Alt);
            s.expect("osd", is("text", "Undici secondi"), recall);
            s.expect("player", seek(at - 9.116, 0.15), recall);
            QVERIFY2(field(s.state(), "file").endsWith("b.mp3"), "not the second file");
            s.stateWhen([&](const QJsonObject &x) { return field(x, "phrase") == phrase; });
        };
        {
            Session s(file, env, dir.filePath("daisy202"));
            s.expect("player", action("playing", "a.mp3"));
            const int nine = s.key('T', Ctrl);
            s.expect("dialog", is("kind", "input"), nine);
            s.send("answer", {{"text", "0:11"}});
            // Set between whole seconds, so that only a tenth of a second brings it back.
            s.stateWhen([](const QJsonObject &x) { return x.value("bookTime").toDouble() > 11.3; });
            s.expect("dialog", is("kind", "input"), s.key('3', Alt));
            const int add = s.send("answer", {{"text", "Undici secondi"}});
            phrase = s.expectText("setting", mark("1FRASE"), "value", add);
            at = s.expectText("setting", mark("1"), "value", add).toDouble();
            QVERIFY2(at >= 11.3 && at < 11.9 && qAbs(at * 10 - qRound(at * 10)) < 1e-6, qPrintable(QString::number(at)));
            QCOMPARE(s.expectText("setting", mark("1NOMEAUDIO"), "value", add), "b.mp3");
            QVERIFY(phrase == kClips[7].phrase || phrase == kClips[8].phrase);
            s.expect("osd", is("text", "Sezione uno"), s.key('7', Alt));
            recalled(s);
            s.signal(SIGTERM);
            place = s.expectText("setting", setting("Brano"));
            resumed = s.expectText("setting", setting("BranoPos")).replace(',', '.').toDouble();
            QVERIFY2(place.startsWith("s3.smil#") && resumed >= at, qPrintable(place));
            QVERIFY(s.finished());
        }
        Session s(file, env, dir.filePath("daisy202"));
        s.expect("player", seek(resumed - 9.116, 0.2), s.expect("player", action("file", "b.mp3")));
        QCOMPARE(field(s.stateWhen([](const QJsonObject &x) { return !field(x, "phrase").isEmpty(); }), "phrase"), place);
        recalled(s);
        // Out to a file through the panel, all deleted, and back in: the same place.
        auto panel = [&](int button, const QString &name) {
            s.control(QString("cmdImpExp(%1)").arg(button), "click");
            QVERIFY(s.until([&] { return s.visible("frmImpExp"); }));
            s.control("Drive", "select", QDir::toNativeSeparators(home.path()));
            if (button == 0)
                s.control("TextFileName", "set", name);
            else
                s.control("File", "select", int(QDir(home.path()).entryList({"*.reg"}, QDir::Files, QDir::Name).indexOf(name)));
            s.control("cmdImpExp(2)", "click");
            s.expect("dialog", is("kind", "message"));
            s.answer("ok");
        };
        s.key('6', Alt);
        panel(0, "daisy");
        const QByteArray out = readFile(home.filePath("daisy.REG"));
        QVERIFY2(out.startsWith("REGEDIT4") && out.contains("QYR MediaPlayer\\DAISY]") && out.contains("\"1FRASE\"=\"" + phrase.toLatin1() + "\""), out.constData());
        // The whole book's bookmarks go after a question with their count and a safety copy, which are named.
        s.expect("dialog", is("text", "Segnalibri del libro da cancellare: 1.", true), s.key('4', Alt));
        s.answer("yes");
        s.expect("dialog", is("text", "Cancellati tutti i segnalibri del libro \"Libro di prova\": 1.\r\nLa copia di sicurezza", true));
        s.answer("ok");
        QVERIFY(s.list(0).isEmpty());
        panel(1, "daisy.REG");
        QCOMPARE(s.list(1).size(), 1);
        s.key(27, 0);
        recalled(s);
        QVERIFY(s.quitYes());
    }

    // The DAISY 3 book, the old library book (HTML 4, windows-1252, names in other letter case, clip times in
    // every form) and both books zipped, read in place, open, say their titles and read from their first phrase;
    // their headings land where the clean book's do, and their text is shown. A zip with a name that climbs out of
    // it or is absolute, a link or an entry that would swell is refused when chosen, naming the entry, and the book
    // being read stays; a zipped book's bookmark is recalled
    // after a new start.
    void everyKindOfBookReads()
    {
        const struct {
            const char *name, *format, *title, *second;
        } books[] = {{"daisy3", "daisy3", "Libro di prova tre", "Sezione uno"},
                     {"quirks", "daisy2", "Caffè & libri", "Sezione uno, perchè sé"},
                     {"libro202.zip", "daisy2", "Libro di prova", "Sezione uno"},
                     {"libro3.daisy", "daisy3", "Libro di prova tre", "Sezione uno"}};
        for (const auto &b : books) {
            Session s(storeValues(dir.filePath(QString("impostazioni-%1.sqlite").arg(b.name)), {{"TempoSp", "0"}}), {},
                      dir.filePath(b.name));
            s.expect("player", action("file", ".mp3"));
            s.expect("osd", is("text", b.title));
            const QJsonObject st = s.stateWhen([](const QJsonObject &x) { return !field(x, "phrase").isEmpty(); });
            QCOMPARE(field(st, "format"), b.format);
            QCOMPARE(field(st, "heading"), "Capitolo primo");
            QCOMPARE(field(st, "book"), dir.filePath(b.name));
            const int mark = s.key('8', Alt);
            s.expect("osd", is("text", b.second), mark);
            s.expect("player", seek(kClips[3].begin, 0.2), mark);
            // The text as written, also when served from a zip (UTF-8 that does not say so).
            const QString words = QString(b.name).startsWith("libro202") ? "Questo è il primo paragrafo" : "Sezione uno";
            s.stateWhen([&](const QJsonObject &x) { return x.value("text").toObject().value("all").toString().contains(words); });
            QVERIFY(s.count("dialog", 0) == 0);
            if (QString(b.name).endsWith(".zip")) {
                const struct {
                    const char *file, *entry;
                    bool link;
                    QByteArray bytes;
                    const char *why;
                } hostile[] = {{"fuori.zip", "../../fuori.mp3", false, "x", "porta fuori dall'archivio"},
                               {"assoluto.zip", "/etc/passwd", false, "x", "porta fuori dall'archivio"},
                               {"collegamento.zip", "a.mp3", true, "/etc/passwd", "è un collegamento"},
                               {"bomba.zip", "s.smil", false, QByteArray(8 << 20, ' '), "più di 100 volte"}};
                s.expect("dialog", is("kind", "folder"), s.key('O', Ctrl));
                for (const auto &h : hostile) {
                    testzip::Maker m(dir.filePath(h.file));
                    m.add("ncc.html", "<h1>x</h1>");
                    h.link ? m.link(h.entry, QString::fromUtf8(h.bytes)) : m.add(h.entry, h.bytes);
                    QVERIFY(m.close());
                    const QString said = s.expectText("dialog", textStarts("L'archivio " + dir.filePath(h.file) + " non viene aperto"),
                                                      "text", s.send("answer", {{"text", dir.filePath(h.file)}}));
                    QVERIFY2(said.contains(QString("«%1»").arg(h.entry)) && said.contains(h.why), qPrintable(said));
                    s.expect("dialog", is("kind", "folder"), s.send("answer", {{"button", "ok"}}));
                }
                s.send("answer", {{"button", "cancel"}});
                QCOMPARE(field(s.state(), "book"), dir.filePath(b.name));
                // A bookmark in the zipped book, recalled after a new start.
                s.expect("dialog", is("kind", "input"), s.key('3', Alt));
                const int add = s.send("answer", {{"text", "Nello zip"}});
                const QString phrase = s.expectText("setting", all(is("section", "DAISY"), is("key", "1FRASE")), "value", add);
                QVERIFY(s.quitYes());
                Session again(dir.filePath(QString("impostazioni-%1.sqlite").arg(b.name)), {}, dir.filePath(b.name));
                again.expect("player", action("playing", ".mp3"));
                again.expect("osd", is("text", "Nello zip"), again.key('1', Alt));
                again.stateWhen([&](const QJsonObject &x) { return field(x, "phrase") == phrase; });
                QVERIFY(again.quitYes());
                continue;
            }
            QVERIFY(s.quitYes());
        }
    }

    // The text follows the reading: the phrase being read is marked in the book's content file (a DAISY 3 book's
    // DTBook shown as HTML), the mark moving with the audio; the contents asked for stay while the reading goes on,
    // their heading marked, until the next move brings the text back.
    void theTextFollowsTheReading()
    {
        // Shown `file`, the phrase being read marked (tN for parN), or `id` marked when given.
        auto shows = [](const QString &file, const QString &id = {}) {
            return [=](const QJsonObject &x) { return field(x, "shown") == file && field(x, "marked") == (id.isEmpty() ? "t" + field(x, "phrase").section("#par", 1) : id); };
        };
        auto settings = [&](const QString &book) { return storeValues(dir.filePath("testo-" + book + ".sqlite"), {{"TempoSp", "0"}}); };
        const struct { const char *book, *file, *words; } books[] = {{"daisy202", "content.html", "Questo è il primo paragrafo del libro."},
                                                                     {"daisy3", "book.xml", "La sezione contiene poche parole."}};
        for (const auto &b : books) {
            Session s(settings(b.book), {}, dir.filePath(b.book));
            QCOMPARE(field(s.stateWhen(shows(b.file, "t0")), "phrase"), kClips[0].phrase);
            QVERIFY(s.stateWhen(shows(b.file)).value("text").toObject().value("all").toString().contains(b.words));
            s.key('8', Alt);
            s.stateWhen(shows(b.file, "t3"));
            const QJsonObject st = s.stateWhen([&](const QJsonObject &x) { return field(x, "phrase") == kClips[4].phrase && shows(b.file)(x); });
            QCOMPARE(st.value("text").toObject().value("caret").toInt(), 0); // the mark moved, the caret did not
            s.key('I', Ctrl);
            s.stateWhen(shows("contents", "qyr-titolo-1"));
            s.stateWhen([](const QJsonObject &x) { return field(x, "phrase") == kClips[5].phrase; });
            QVERIFY(shows("contents", "qyr-titolo-1")(s.state()));
            s.expect("osd", textStarts("Frase "), s.key('1', Ctrl | Shift));
            s.stateWhen(shows(b.file));
            QVERIFY(s.quitYes());
        }
        // Two variants of the DAISY 2.02 book: the third SMIL file's text in a second content file; no text at all.
        const QDir from(dir.filePath("daisy202"));
        for (const QString name : {"due-testi", "solo-audio"}) {
            QVERIFY(from.mkpath("../" + name));
            for (const QString &f : from.entryList(QDir::Files)) {
                QFile in(from.filePath(f)), out(dir.filePath(name + "/" + f));
                QVERIFY(in.open(QIODevice::ReadOnly) && out.open(QIODevice::WriteOnly));
                QByteArray bytes = in.readAll();
                if (name == "due-testi" && f == "s3.smil")
                    bytes.replace("content.html", "altro.html");
                if (name == "due-testi" && f == "content.html")
                    bytes.replace("</body>", "<a id='vai' href='s3.smil#par8'>Vai</a></body>");
                if (name == "solo-audio" && f.endsWith(".smil"))
                    bytes = QString::fromUtf8(bytes).remove(QRegularExpression("<text [^>]*/>")).toUtf8();
                out.write(bytes);
            }
        }
        QVERIFY(QFile::copy(from.filePath("content.html"), dir.filePath("due-testi/altro.html")));
        {
            // The reading passes into the second file by itself, a move leads back to the first, a link to the second.
            Session s(settings("due-testi"), {}, dir.filePath("due-testi"));
            s.stateWhen(shows("content.html", "t0"));
            s.expect("osd", is("text", "Sezione uno"), s.key('8', Alt));
            s.stateWhen(shows("altro.html"));
            s.key('7', Alt);
            s.stateWhen(shows("content.html", "t3"));
            s.expect("osd", is("text", "Frase 9"), s.send("follow", {{"name", "vai"}})); // a link of the text into a SMIL file
            s.stateWhen(shows("altro.html", "t8"));
            QVERIFY(s.quitYes());
        }
        Session s(settings("solo-audio"), {}, dir.filePath("solo-audio"));
        s.stateWhen(shows("contents", "qyr-titolo-0"));
        s.key('8', Alt);
        s.stateWhen(shows("contents", "qyr-titolo-1"));
        QVERIFY(s.quitYes());
    }

    // A book in two volumes: at the end of the first the reading goes on into the second, found beside it by its
    // title and number; without it, the reader is told which volume to open.
    void volumesReadOn()
    {
        QTemporaryDir books;
        auto volume = [&](const QString &folder, int n) {
            const QByteArray head = "<html><head><meta name='dc:title' content='Storia lunga'/><meta name='ncc:setInfo' "
                                    "content='" + QByteArray::number(n) + " of 2'/></head><body>";
            return writeBook(books.filePath(folder), {{"ncc.html", head + "<h1><a href='s.smil#a'>Parte " + QByteArray::number(n) +
                                                                     "</a></h1></body></html>"},
                                                      {"s.smil", "<smil><body><par id='a'><audio src='v.wav' clip-begin='0s' "
                                                                 "clip-end='1s'/></par></body></smil>"},
                                                      {"v.wav", silence(1)}});
        };
        QVERIFY(volume("vol1", 1) && volume("vol2", 2));
        // The second volume beside the first as a folder, then as a zip, then nowhere.
        for (const QString second : {"vol2", "vol2.zip", ""}) {
            if (second == "vol2.zip")
                QVERIFY(testzip::Maker(books.filePath(second)).addFolder(books.filePath("vol2"), "").close() &&
                        QDir(books.filePath("vol2")).removeRecursively());
            if (second.isEmpty())
                QVERIFY(QFile::remove(books.filePath("vol2.zip")));
            Session s(storeValues(books.filePath("impostazioni.sqlite"), {{"TempoSp", "0"}}, books.filePath("vol1")), {},
                      books.filePath("vol1"));
            s.expect("player", action("playing", "vol1/v.wav"));
            if (!second.isEmpty()) {
                s.expect("osd", is("text", "Fine del volume 1 di 2. Volume 2: Storia lunga"));
                QCOMPARE(field(s.state(), "book"), books.filePath(second));
                s.expect("player", action("file", second + "/v.wav"), 0);
                s.expect("osd", is("text", "Fine del libro"));
            } else {
                s.expect("osd", is("text", "Fine del volume 1 di 2: per continuare, aprire il volume 2 con Ctrl+O"));
            }
            QVERIFY(s.quitYes());
        }
    }

    // A book of text alone is read aloud by the program's voice phrase after phrase, across SMIL and text files, to its
    // end; each phrase is a "voice" event and reaches the speech server, under a C locale too, where the program's
    // messages are spoken as well. With the reading off the keys move the mark in silence; Ctrl+3 reads on from it.
    // Without a voice, one message says so and the keys still move the mark.
    void textOnlyBook()
    {
        QTemporaryDir dir;
        const QString root = dir.filePath("testo");
        QByteArray smil = "<smil><body><seq>", text = "<html><head><title>T</title></head><body>";
        for (int i = 1; i <= 4; ++i) {
            smil += "<par id='p" + QByteArray::number(i) + "'><text src='t.html#f" + QByteArray::number(i) + "'/></par>";
            text += (i == 3 ? "<h1 id='f3'>Parte due</h1>" : "<p id='f" + QByteArray::number(i) + "'>Frase " + QByteArray::number(i) + "</p>");
        }
        QVERIFY(writeBook(root, {{"ncc.html", "<html><head><meta name='dc:title' content='Solo testo'/><meta name='dc:language' "
                                              "content='it'/></head><body><h1><a href='s.smil#p1'>Parte uno</a></h1><h1><a "
                                              "href='s.smil#p3'>Parte due</a></h1><span class='page-normal'><a "
                                              "href='s.smil#p4'>2</a></span><h1><a href='s2.smil#p5'>Parte tre</a></h1></body></html>"},
                                 {"s.smil", smil + "</seq></body></smil>"}, {"t.html", text + "</body></html>"},
                                 {"s2.smil", "<smil><body><par id='p5'><text src='t2.html#f5'/></par></body></smil>"},
                                 {"t2.html", "<html><body><h1 id='f5'>Parte tre <b>e</b> ultima</h1></body></html>"}}));
        const QString settings = storeValues(dir.filePath("impostazioni.sqlite"), {{"TempoSp", "0"}, {"VoceProgramma", "1"}}, root);
        auto read = [](const char *phrase, const char *words) { return all(is("phrase", phrase), is("text", words)); };
        auto phrases = [](Session &s, int from) { return s.count("voice", from, [](const QJsonObject &e) { return e.contains("phrase"); }); };
        auto at = [](Session &s, const char *phrase, const char *marked, const char *shown = "t.html") {
            const QJsonObject st = s.stateWhen([&](const QJsonObject &x) { return field(x, "marked") == marked; });
            QCOMPARE(field(st, "phrase"), phrase);
            QCOMPARE(field(st, "shown"), shown);
        };
        {
            SpeechLog voice;
            if (!voice.ready())
                QSKIP("speech-dispatcher missing");
            // A C locale, as a service or a bare terminal has: the voice speaks Italian all the same.
            Session s(settings, voice.env() + Values{{"LANG", "C"}, {"LC_ALL", ""}, {"LC_MESSAGES", ""}, {"LANGUAGE", ""}}, root);
            s.expect("osd", is("text", "Solo testo. Libro senza audio: lo legge la voce del programma"));
            int from = s.expect("voice", read("s.smil#p1", "Frase 1"), 0); // this voice is quick: before the title
            for (const auto &[phrase, words] : {std::pair{"s.smil#p2", "Frase 2"}, {"s.smil#p3", "Parte due"}, {"s.smil#p4", "Frase 4"},
                                                {"s2.smil#p5", "Parte tre e ultima"}})
                from = s.expect("voice", read(phrase, words), from);
            s.expect("osd", is("text", "Fine del libro"), from);
            at(s, "s2.smil#p5", "f5", "t2.html");
            QVERIFY(voice.hears("Parte tre e ultima"));
            QVERIFY(voice.hears("lo legge la voce del programma")); // a message, spoken under the C locale

            const int off = s.key('0', Ctrl);
            s.expect("osd", is("text", "Lettura disattivata"), off);
            s.expect("osd", is("text", "Parte due"), s.key('7', Alt));
            at(s, "s.smil#p3", "f3");
            s.expect("osd", is("text", "Parte due, frase 3 di 5"), s.key('D', Ctrl));
            s.expect("osd", is("text", "Pagina 2"), s.key('7', Ctrl));
            at(s, "s.smil#p4", "f4");
            s.expect("osd", is("text", "Frase 3"), s.key('1', Ctrl)); // no time to skip: a phrase at a time
            s.expect("osd", is("text", "Frase 4"), s.key('2', Ctrl | Shift));
            s.expect("osd", is("text", "Il libro non ha audio: non si può andare a un tempo"), s.key('T', Ctrl));
            s.expect("dialog", is("kind", "input"), s.key('3', Alt));
            s.send("answer", {{"text", "Quattro"}});
            s.expect("osd", is("text", "Parte uno"), s.key('7', Alt));
            at(s, "s.smil#p1", "f1");
            s.expect("osd", is("text", "Quattro"), s.key('1', Alt));
            at(s, "s.smil#p4", "f4");
            QCOMPARE(phrases(s, off), 0);
            // Ctrl+3 reads with the reading off, and on to the end.
            const int play = s.key('3', Ctrl);
            s.expect("osd", is("text", "PLAY, frase 4 di 5"), play);
            s.expect("osd", is("text", "Fine del libro"), s.expect("voice", read("s2.smil#p5", "Parte tre e ultima"), s.expect("voice", read("s.smil#p4", "Frase 4"), play)));
            s.expect("osd", is("text", "Lettura attiva"), s.key('0', Ctrl));
            QCOMPARE(s.count("player", 0, action("file")), 0);
            QVERIFY(s.quitYes());
        }
        Session s(storeValues(dir.filePath("muto.sqlite"), {{"TempoSp", "0"}}, root), {}, root); // no speech server
        s.expect("osd", textStarts("Solo testo. Libro senza audio. Nessuna voce disponibile"));
        s.expect("osd", is("text", "Parte due"), s.key('8', Alt));
        at(s, "s.smil#p3", "f3");
        s.expect("osd", textStarts("Nessuna voce disponibile"), s.key('3', Ctrl));
        QCOMPARE(s.count("voice", 0), 0);
        QCOMPARE(s.count("dialog", 0, is("kind", "message")), 0);
        QVERIFY(s.quitYes());
    }

    // A book of both: the player reads a clip, stops for the voice on the phrase without audio, and reads the next clip
    // once the voice has said it.
    void mixedBook()
    {
        SpeechLog voice;
        if (!voice.ready())
            QSKIP("speech-dispatcher missing");
        QTemporaryDir dir;
        const QString root = dir.filePath("misto");
        auto par = [](const char *id, const char *audio) {
            return QByteArray("<par id='") + id + "'><text src='t.html#" + id + "'/>" +
                   (*audio ? QByteArray("<audio src='") + audio + "' clip-begin='npt=0s' clip-end='npt=1s'/>" : "") + "</par>";
        };
        QVERIFY(writeBook(root, {{"ncc.html", "<html><head><meta name='dc:title' content='Misto'/></head><body><h1><a "
                                              "href='s.smil#a'>Misto</a></h1></body></html>"},
                                 {"s.smil", "<smil><body><seq>" + par("a", "a.wav") + par("b", "") + par("c", "c.wav") + "</seq></body></smil>"},
                                 {"t.html", "<html><body><p id='a'>Uno</p><p id='b'>Parole senza audio</p><p id='c'>Tre</p></body></html>"},
                                 {"a.wav", silence(1)}, {"c.wav", silence(1)}}));
        Session s(storeValues(dir.filePath("impostazioni.sqlite"), {{"TempoSp", "0"}}, root), voice.env(), root);
        const int b = s.expect("voice", all(is("phrase", "s.smil#b"), is("text", "Parole senza audio")),
                               s.expect("player", action("playing", "a.wav")));
        s.expect("osd", is("text", "Fine del libro"), s.expect("player", action("playing", "c.wav"), b));
        QCOMPARE(s.indexOf("player", action("playing", "c.wav"), 0), s.indexOf("player", action("playing", "c.wav"), b));
        QVERIFY(voice.hears("Parole senza audio"));
        QVERIFY(s.quitYes());
    }
};

QTEST_GUILESS_MAIN(TstDaisyBooks)
#include "tst_daisybooks.moc"
