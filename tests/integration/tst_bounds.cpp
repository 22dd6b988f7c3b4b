// What a book's pages may reach, in the real program offscreen: their scripts read the book's own files and nothing
// else on the disk, and neither a script nor a link takes the reader outside the book or has such a place saved.
#include "session.h"

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
};

QTEST_GUILESS_MAIN(TstBounds)
#include "tst_bounds.moc"
