// What a book's pages may reach, in the real program offscreen: their scripts read the book's own files and nothing
// else on the disk, and neither a script nor a link takes the reader outside the book or has such a place saved.
#include "session.h"

#include <QTcpServer>
#include <csignal>
#include <sys/stat.h>

namespace {

// A book beside a private file and a page of another folder; its pages try to read them, and to leave.
struct Book {
    QTemporaryDir dir;
    QString root = dir.filePath("libro");

    bool make()
    {
        // Each address is read twice, by a synchronous request and by fetch: "L" when it was read, "x" when refused.
        // The letters come back as the anchor the script sets at the end.
        const QString book = QUrl::fromLocalFile(root).toString(), outside = QUrl::fromLocalFile(dir.path()).toString();
        const QStringList asked{"../Index.htm", "../INDEX.HTM", book + "/", outside + "/segreto.txt",
                                outside + "/impostazioni.sqlite", outside + "/", "file:///etc/passwd"};
        return writeBook(dir.path(), {{"segreto.txt", "privato"}, {"altro/pagina.htm", page("Altro", {}, "Altro libro")},
                                      {"fuori.htm", page("Fuori", {}, "Fuori")}}) &&
               writeBook(root, {
            {"Index.htm", page("Indice", {}, "<a href='Libro/leggi.htm'>Leggi</a> <a href='Libro/esci.htm'>Esci</a>")},
            {"Libro/leggi.htm", page("Leggi", {}, "<script>\nvar asked = " +
                QJsonDocument(QJsonArray::fromStringList(asked)).toJson(QJsonDocument::Compact) +
                ";\nvar sync = asked.map(function (u) { try { var r = new XMLHttpRequest(); r.open('GET', u, false);"
                " r.send(); return r.responseText.length ? 'L' : 'x'; } catch (e) { return 'x'; } }).join('');\n"
                "Promise.all(asked.map(function (u) { return fetch(u).then(function (r) { return r.text(); })"
                ".then(function (t) { return t.length ? 'L' : 'x'; }, function () { return 'x'; }); }))"
                ".then(function (f) { location.hash = 'esito-' + sync + '-' + f.join(''); });\n</script>")},
            {"Libro/esci.htm", page("Esci", {}, "<a id='passwd' href='file:///etc/passwd'>Password</a> "
                                    "<a id='sito' href='http://127.0.0.1:9/'>Sito</a> <a id='dentro' href='dentro.htm'>Dentro</a>")},
            {"Libro/dentro.htm", page("Dentro", {}, "Dentro")}, {"INCLUDE/help.htm", page("Aiuto", {}, "Aiuto")}});
    }
};

} // namespace

class TstBounds : public QObject {
    Q_OBJECT
private slots:
    // A page's scripts read the book's files, whatever the letter case of the name, but not a private file, the
    // settings, a folder's listing (not even the book's own) or the system's files.
    // Script navigation inside the book, and the program's help page, still go ahead. A made-up anchor change (to a
    // remote address, to another folder's page) moves nothing; a script's click on a link out of the book, a script
    // sending the page to a remote address, and the reader following such a link are all refused with a message. A page
    // outside the book that the program itself opened is shown, but its place is not saved at exit.
    void pagesStayInsideTheBook()
    {
        Book b;
        QVERIFY(b.make());
        Session s(b.dir, {{"SavePos", "1"}}, {}, b.root);
        const QString url = s.expectText("navigate", urlContains("#esito-"), "url", s.follow("Libro/leggi.htm"));
        QCOMPARE(url.section("#esito-", 1), QString("LLxxxxx-LLxxxxx"));
        s.expect("document", urlContains("Index.htm"), s.key('I', Ctrl));
        s.follow("Libro/esci.htm");
        s.expect("document", urlContains("esci.htm"));
        auto script = [&](const QString &js) { return s.send("navigate", {{"url", "javascript:" + js}}); };
        auto fakeHash = [&](const QString &to) {
            return script(QString("window.dispatchEvent(new HashChangeEvent('hashchange', {oldURL: location.href, "
                                  "newURL: '%1'}))").arg(to));
        };
        auto refused = [&](int mark, const QString &address) {
            s.expect("osd", is("text", "Collegamento fuori dal libro: " + address), mark);
            return mark;
        };
        const int start = s.count();
        fakeHash("http://127.0.0.1:9/finto.htm");
        fakeHash(QUrl::fromLocalFile(b.dir.filePath("altro/pagina.htm")).toString() + "#x");
        refused(script("document.getElementById('passwd').click()"), "file:///etc/passwd");
        refused(script("location.href = 'http://127.0.0.1:9/via'"), "http://127.0.0.1:9/via");
        refused(s.followName("sito"), "http://127.0.0.1:9/");
        int mark = script("location.href = 'dentro.htm'");
        s.expect("document", urlContains("Libro/dentro.htm"), mark);
        s.expect("document", urlContains("INCLUDE/help.htm"), s.key(112, 0));
        QCOMPARE(s.count("document", start, urlContains("127.0.0.1")), 0);
        QCOMPARE(s.count("document", start, urlContains("altro")), 0);
        QCOMPARE(s.count("document", start, urlContains("passwd")), 0);

        mark = s.navigate(b.dir.filePath("fuori.htm"));
        s.expect("document", urlContains("fuori.htm"), mark);
        mark = s.count();
        QVERIFY(s.quitYes());
        QCOMPARE(s.count("setting", mark, setting("Brano")), 0);
    }

    // A DAISY book that names files outside itself (by full path, by climbing, by a link), pipes, a playlist and an
    // EDL file leading to the web, and words in a heading that look like an address: nothing outside the book is
    // shown, played or fetched. Each refused name is said in the opening's message; a listener on 127.0.0.1 hears
    // nothing; the reader can still choose another book, and the program ends on SIGTERM.
    void hostileBookReachesNothing()
    {
        QTemporaryDir dir;
        QTcpServer web;
        QVERIFY(web.listen(QHostAddress::LocalHost));
        const QString addr = QString("http://127.0.0.1:%1/").arg(web.serverPort()), root = dir.filePath("libro");
        const QString secret = dir.filePath("segreto.txt");
        auto par = [](int i, const QString &text, const QString &audio) {
            return QString("<par id='p%1'><text src='%2#x'/><audio src='%3' clip-begin='npt=0s' clip-end='npt=1s'/></par>")
                .arg(i).arg(text, audio);
        };
        QString ncc = "<html><head><meta charset='utf-8'><title>Ostile</title></head><body>", smil = "<smil><body><seq>";
        const QStringList pars{par(1, "t.html", "a.wav"), par(2, secret, "../fuori.wav"), par(3, "../segreto.txt", secret),
                               par(4, "tubo.html", "tubo.mp3"), par(5, "dentro.html", "esterno.wav"),
                               par(6, "t.html", "lista.mp3"), par(7, "t.html", "edl.mp3")};
        for (int i = 1; i <= pars.size(); ++i) {
            ncc += QString("<h1 id='h%1'><a href='s.smil#p%1'>%2</a></h1>").arg(i).arg(i == 1 ? "Capitolo src='" + secret + "' uno" : QString("Capitolo %1").arg(i));
            smil += pars[i - 1];
        }
        QVERIFY(writeBook(dir.path(), {{"segreto.txt", "parola-segreta"}, {"fuori.wav", silence(1)}}));
        QVERIFY(writeBook(root, {{"ncc.html", (ncc + "</body></html>").toUtf8()}, {"s.smil", (smil + "</seq></body></smil>").toUtf8()},
                                 {"a.wav", silence(2)}, {"t.html", page("Testo", {}, "<p id='x'>Testo <img src='" + addr + "i.png'></p>",
                                                                       "<link rel='stylesheet' href='" + addr + "s.css'>")},
                                 {"lista.mp3", ("#EXTM3U\n" + addr + "lista.mp3\n").toUtf8()},
                                 {"edl.mp3", ("# mpv EDL v0\n" + addr + "edl.mp3\n").toUtf8()}}));
        QVERIFY(QFile::link(secret, root + "/dentro.html") && QFile::link(dir.filePath("fuori.wav"), root + "/esterno.wav"));
        for (const char *fifo : {"/tubo.html", "/tubo.mp3"})
            QVERIFY(::mkfifo(QFile::encodeName(root + fifo).constData(), 0600) == 0);

        Session s(storeValues(dir.filePath("impostazioni.sqlite"), {{"TempoSp", "0"}}, root), {}, root);
        const QString said = s.expectText("dialog", is("name", "Libro DAISY"), "text");
        for (const QString &name : {secret, QString("../fuori.wav"), QString("../segreto.txt"), root + "/tubo.html",
                                    root + "/tubo.mp3", root + "/dentro.html", root + "/esterno.wav"})
            QVERIFY2(said.contains(name), qPrintable(said));
        s.answer("ok");
        // The playlist and the EDL file are opened as sound, which they are not.
        for (const char *name : {"lista.mp3", "edl.mp3"}) {
            s.expect("dialog", is("text", name, true));
            s.answer("ok");
        }
        const int early = s.count();
        s.key('I', Ctrl);
        const QJsonObject shown = s.stateWhen([](const QJsonObject &st) {
            return st.value("text").toObject().value("all").toString().contains("Capitolo src=");
        });
        QVERIFY(!shown.value("text").toObject().value("all").toString().contains("cGFyb2xh")); // "parola" in base64
        QCOMPARE(s.count("player", 0, action("file", "fuori.wav")) + s.count("player", 0, action("file", "segreto")), 0);
        QVERIFY(!web.hasPendingConnections());
        // The reader can leave it for another book. The sound that failed may be tried again as the reading goes on
        // and said again, before Ctrl+O or after it: such a message is answered, and Ctrl+O pressed again.
        int from = early;
        s.key('O', Ctrl);
        for (int tries = 0; tries < 4; ++tries) {
            const int at = s.expect("dialog", [](const QJsonObject &e) { return field(e, "kind") == "folder" || field(e, "kind") == "error"; }, from);
            if (at < 0 || field(s.event(at), "kind") == "folder")
                break;
            s.answer("ok");
            from = s.key('O', Ctrl);
        }
        QVERIFY(s.indexOf("dialog", is("kind", "folder"), early) >= 0);
        s.signal(SIGTERM);
        QVERIFY(s.finished());
    }
};

QTEST_GUILESS_MAIN(TstBounds)
#include "tst_bounds.moc"
