// The real program, offscreen, driven through its automation channel as a reader would: start-up questions, the exit
// question, reading and the keys, bookmarks and their exchange, the player switch, what is saved on the way out, and
// damaged settings.
#include "session.h"

class TstAutomation : public QObject {
    Q_OBJECT
private slots:
    void freshSettingsAndTheExitQuestion()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath("impostazioni.sqlite");
        QVERIFY(dir.isValid() && !QFile::exists(file));
        Session s(file);
        QVERIFY(s.indexOf("dialog", {}, 0, s.expect("ready")) < 0);
        QVERIFY(s.indexOf("setting", setting("Versione", "1")) >= 0);

        // Answering no keeps the program running and saves nothing.
        s.send("quit");
        const int question = s.expect("dialog");
        const QJsonObject q = s.event(question);
        QCOMPARE(field(q, "kind") + ' ' + field(q, "buttons"), "message yesno");
        QCOMPARE(field(q, "text"), "Sei sicuro di voler uscire?");
        s.answer("no");
        QVERIFY(!s.state().isEmpty());
        QVERIFY(s.indexOf("setting", {}, question) < 0 && s.indexOf("closed") < 0);

        // Answering yes with resume off clears the saved place.
        s.send("quit");
        s.expect("dialog");
        s.answer("yes");
        s.expect("setting", setting("Brano", ""));
        s.expect("setting", setting("BranoPos", ""));
        s.expect("closed");
        QVERIFY(s.finished());
        // What the events reported is what the file holds.
        QCOMPARE(storedValue(file, "Versione"), "1");
        QVERIFY(!storedValue(file, "Brano").isNull() && storedValue(file, "Brano").isEmpty());
    }

    // Yes: version 9 from now on; no: the player of other versions reads the book.
    void version6IsOfferedTheUpgradeOnce()
    {
        for (const bool upgrade : {true, false}) {
            QTemporaryDir dir;
            const QString file = storeValues(dir.filePath("impostazioni.sqlite"), {{"Versione", "0"}, {"TempoSp", "0"}});
            {
                Session s(file);
                const int question = s.expect("dialog");
                QCOMPARE(field(s.event(question), "kind"), "message");
                QVERIFY(field(s.event(question), "text").contains("Vuoi passare alla versione 9?"));
                QVERIFY(s.indexOf("ready", {}, 0, question) < 0);
                s.answer(upgrade ? "yes" : "no");
                if (upgrade)
                    s.expect("setting", setting("Versione", "1"));
                s.expect(upgrade ? "ready" : "document", upgrade ? Pred() : urlContains("Index.htm"));
                QCOMPARE(s.state().value("version").toInt(-1), upgrade ? 1 : 0);
                if (!upgrade) {
                    // The first page plays and chains to its next audio, with no error on the way.
                    s.reading("Libro/cap1.htm", "cap1_1");
                    s.followName("LumoIndex_3"); // near the end of the first audio, so that it ends soon
                    s.expect("player", action("ended", "cap1_1"));
                    s.expect("player", action("playing", "cap1_2"));
                    QVERIFY(s.indexOf("dialog", {}, question + 1) < 0);
                }
                QVERIFY(s.quitYes());
            }
            // Once upgraded, nothing is asked again: every later start of the other tests on a stored "1".
            QCOMPARE(storedValue(file, "Versione"), upgrade ? "1" : "0");
        }
    }

    // However the session ends, unasked, the place is saved as a "Sì" saves it, and the next start opens that page and
    // the audio being read goes on from there.
    void resumeSavesThePageBeingRead_data()
    {
        QTest::addColumn<int>("ending");
        QTest::addRow("yes to the exit question") << 0;
        QTest::addRow("SIGTERM while the exit question is open") << SIGTERM;
        QTest::addRow("SIGHUP") << SIGHUP;
        QTest::addRow("end of standard input") << -1;
    }
    void resumeSavesThePageBeingRead()
    {
        QFETCH(int, ending);
        SmallBook b({{"a1.wav", 2}, {"a2.wav", 6}});
        const QString file = b.settings();
        double savedPos = 0;
        {
            // Nothing saved yet: the splash gives way to the book's index. The session ends in the page's second audio.
            Session s(b.dir, {{"SavePos", "1"}, {"TempoSp", "1500"}}, {}, b.folder);
            s.reading("Libro/p1.htm", "a1.wav");
            s.expect("player", action("playing", "a2.wav"));
            QTest::qWait(2500);
            const int mark = s.count();
            if (ending == 0 || ending == SIGTERM) {
                s.send("quit");
                s.expect("dialog");
            }
            if (ending == 0)
                s.answer("yes");
            else if (ending > 0)
                s.signal(ending);
            else
                s.endInput();
            const QString saved = s.expectText("setting", setting("Brano"), "value", mark);
            QVERIFY2(saved.startsWith("file://") && saved.endsWith("p1.htm", Qt::CaseInsensitive), qPrintable(saved));
            QCOMPARE(s.expectText("setting", setting("BranoAudio"), "value", mark), "1");
            const QString posText = s.expectText("setting", setting("BranoPos"), "value", mark);
            bool ok = false;
            savedPos = QString(posText).replace(',', '.').toDouble(&ok);
            QVERIFY2(ok && savedPos > 1.5, qPrintable(posText));
            const int closed = s.expect("closed");
            QVERIFY(s.finished());
            QVERIFY2(s.indexOf("closed", {}, closed + 1) < 0, "closed once");
            QCOMPARE(storedValue(file, "Brano", b.folder), saved);
        }
        {
            // In that audio, not the first, from there; then on to the next page.
            Session s(file, {}, b.folder);
            const int ready = s.expect("ready");
            s.expect("document", urlContains("p1.htm"));
            s.expect("player", seek(savedPos), ready);
            s.expect("player", action("playing", "a2.wav"));
            QVERIFY(s.state().value("position").toDouble() >= savedPos - 0.5);
            QVERIFY2(s.indexOf("player", action("file", "a1.wav"), ready) < 0, "the first audio is not played");
            s.expect("document", urlContains("p2.htm"));
            QVERIFY(s.quitYes());
        }
        if (ending == 0) {
            // A saved page that has since gone: the table of contents opens instead.
            storeValues(file, {{"Brano", QUrl::fromLocalFile(b.folder + "/Libro/sparito.htm").toString()}}, b.folder);
            Session s(file, {}, b.folder);
            s.expect("document", urlContains("Index.htm"));
            QVERIFY(s.quitYes());
        }
    }

    // A reader follows the book: the table of contents, a chapter and its audio, the link commands of the page, a jump
    // inside the page. (The reload form, a javascript: link: the place's test.)
    void followingTheBook()
    {
        QTemporaryDir dir;
        Session s(dir, {});
        QCOMPARE(field(s.event(s.indexOf("document", urlContains("Index.htm"))), "title"), "Sommario - Il faro di Punta Lunga");

        // A chapter link is an ordinary navigation, raised once (not again when the engine loads the page); the page's
        // first audio plays.
        s.follow("Libro/cap1.htm");
        const int link = s.expect("navigate", navigation("Libro/cap1.htm", false));
        s.expect("document", urlContains("cap1.htm"));
        s.expect("player", action("playing", "cap1_1"));
        QVERIFY(s.indexOf("navigate", {}, link + 1) < 0);

        // Pause: a cancelled navigation, the kept message, the player paused. The handlers' own events come before the
        // navigate event that reports them.
        int mark = s.follow("#QYRP_PAUSE#");
        s.expect("navigate", navigation("#QYRP_PAUSE#", true));
        const QJsonObject osd = s.event(s.expect("osd", {}, mark));
        QVERIFY(field(osd, "text").startsWith("PAUSA ") && osd.value("keep").toBool());
        const QJsonObject st = s.state();
        QVERIFY(!st.value("playing").toBool() && field(st, "url").endsWith("cap1.htm"));
        mark = s.follow("#QYRP_PLAY#");
        s.expect("osd", textStarts("PLAY "), mark);
        s.expect("player", action("playing"), mark);

        // A jump inside the page goes ahead and completes, and its anchor positions the audio.
        mark = s.followName("LumoIndex_3");
        s.expect("navigate", navigation("#QYRPLAYER_AUDIO_POS=28", false));
        s.expect("document", urlContains("cap1.htm#QYRPLAYER_AUDIO_POS=28"));
        s.expect("player", seek(28, 1e-9), mark);

        QVERIFY(s.quitYes());
    }

    // Pages that cannot be read never stop the program: a broken or huge page loads, an alert is a dialog of the
    // program, a page whose script never ends is abandoned. A page's loop of alerts comes one at a time, and after three
    // the reader may stop them (No, the default, stops them). (A missing page: tst_links, listen_links.sh.)
    void brokenPagesAndMissingFiles()
    {
        QTemporaryDir dir;
        QByteArray html = "<html><head><title>Rotta</title><body><p><a name=x href='#y'>senza fine <table><tr><td>";
        for (int i = 0; i < 5000; ++i)
            html += QString("<a name='LumoIndex_%1' id='e%1'>%1</a>").arg(i).toLatin1();
        QVERIFY(writeBook(dir.path(), {{"rotta.htm", html + "<meta name='QYRPLAYER_AUDIO' content='non_esiste'><div"},
                                       {"avviso.htm", page("Avviso", {}, "<script>alert('Attenzione');</script>")},
                                       {"bloccata.htm", page("Bloccata", {}, "<script>while (true) {}</script>")},
                                       {"ciclo.htm", page("Ciclo", {}, "<script>for (var i = 0; i < 5000; ++i) alert(i);</script>")}}));
        Session s(dir, {});
        s.navigate(dir.filePath("rotta.htm"));
        QCOMPARE(s.expectText("document", urlContains("rotta.htm"), "title"), "Rotta");
        // Letter case does not matter for the book's files.
        s.navigate(SAMPLE_BOOK "/LIBRO/CAP3.HTM");
        s.expect("document", urlContains("cap3.htm"));
        s.expect("player", action("playing", "cap3_1"));
        QVERIFY(s.indexOf("dialog") < 0);
        s.navigate(dir.filePath("avviso.htm"));
        QCOMPARE(s.expectText("dialog", {}, "text"), "Attenzione");
        s.answer("ok");
        const int mark = s.navigate(dir.filePath("ciclo.htm"));
        for (const char *n : {"0", "1", "2"}) {
            QCOMPARE(s.expectText("dialog", {}, "text"), QString(n));
            s.answer("ok");
        }
        QVERIFY(s.expectText("dialog", {}, "text").contains("Mostrarne altri?"));
        s.answer("no");
        s.key('I', Ctrl);
        s.expect("document", urlContains("Index.htm"));
        QCOMPARE(s.count("dialog", mark), 4);
        s.navigate(dir.filePath("bloccata.htm"));
        s.expect("navigate", urlContains("bloccata.htm"));
        s.key('I', Ctrl);
        s.expect("document", urlContains("Index.htm"));
        QVERIFY(s.quitYes());
    }

    // A book in a folder named with accents, "%" and "#", whose pages and audio names have accents and spaces, its
    // first audio in the book folder only: every page opens, every audio is found, a direct video link names the real
    // file, going back reaches the previous audio near its end, a new style keeps the place, and a page's script
    // commands and window closing are heard.
    void aBookWithUnusualNames()
    {
        QTemporaryDir dir;
        const QString book = dir.filePath("Città del libro #1/cento %25 e più");
        QVERIFY(writeBook(book, {
            {"Index.htm", page("Indice", {}, "<a href='Libro/perché.htm'>Perché</a>")},
            {"Libro/perché.htm", page("Perché", {"uno", "due"}, "<a href='clip.avi@NOFULL@'>Filmato</a> "
                                                                "<a href='../Parte è due/pagina uno.htm'>Avanti</a>")},
            {"Parte è due/pagina uno.htm", page("Pagina uno", {"tre"}, "<script>setTimeout(function () { location.href = "
                                                "'#QYRP_PAUSE#'; }, 300); setTimeout(function () { window.close(); }, 1200);</script>")},
            {"INCLUDE/Style1.CSS", "body { font-size: 140%; }"},
            {"uno.wav", silence(8)}, {"Libro/due.wav", silence(6)}, {"Parte è due/tre.wav", silence(6)}}));
        QVERIFY(QFile::copy(SAMPLE_BOOK "/Libro/video_prova.wmv", book + "/Libro/clip.avi"));

        Session s(dir, {{"AvantiIndietro", "5"}}, {}, book);
        auto playing = [&](const QString &rel) { return all(is("action", "playing"), is("value", book + rel)); };
        s.follow("Libro/perché.htm");
        s.expect("document", is("title", "Perché"));
        s.expect("player", playing("/uno.wav"));
        // Past its end, the next audio (named without extension, beside the page).
        s.key('2', Ctrl);
        int mark = s.key('2', Ctrl);
        s.expect("player", playing("/Libro/due.wav"), mark);
        // In its first seconds Ctrl+1 goes back into the previous audio, its length less the skip length (8 - 5).
        mark = s.key('1', Ctrl);
        s.expect("player", playing("/uno.wav"), mark);
        s.expect("player", seek(3, 0.5), mark);
        // A new style sheet reloads the page and the reading goes on in the same file, from where it was.
        const double at = s.state().value("position").toDouble();
        mark = s.key('9', Alt);
        s.expect("document", urlContains("perch"), mark);
        s.expect("player", seek(at + 0.25, 0.5), mark);
        QVERIFY(s.indexOf("player", playing("/Libro/due.wav"), mark) < 0);

        mark = s.follow("clip.avi@NOFULL@");
        QCOMPARE(s.expectText("player", action("file"), "value", mark), book + "/Libro/clip.avi");
        s.expect("player", action("video-shown"), mark);

        // The page's script sets a command anchor, then closes its window: the exit question is asked, once, with no
        // error.
        mark = s.follow("../Parte è due/pagina uno.htm");
        s.expect("player", playing("/Parte è due/tre.wav"), mark);
        s.expect("navigate", navigation("#QYRP_PAUSE#", true), mark);
        s.expect("player", action("pause"), mark);
        const int question = s.expect("dialog", {}, mark);
        QCOMPARE(field(s.event(question), "text"), "Sei sicuro di voler uscire?");
        s.answer("no");
        QVERIFY(s.indexOf("dialog", {}, question + 1) < 0);
        // The about page got its style sheet as well.
        QVERIFY(!s.errorOutput().contains("Not allowed to load local resource"));
        QVERIFY(s.quitYes());
    }

    // The page as the screen reader reads it: its words in reading order, one line per block, hidden parts and
    // scripts left out, list markers and the text of pictures in; the caret moved by the arrows, kept when the page
    // changes its own words, moved by a jump inside the page. (Tab round the links and Enter on one: the text view's
    // test, and listen_page.sh with real keys.)
    void thePageAsText()
    {
        QTemporaryDir dir;
        const QString book = dir.filePath("libro");
        QVERIFY(writeBook(book, {{"Index.htm", page("Indice", {},
            "<h1>Titolo   del\n libro</h1><p>Prima riga<br>seconda <b>riga</b> unita.</p>"
            "<p class='via'>Nascosto</p><script>var x = 'codice';</script>"
            "<ul><li>Uno<ol start='3'><li>Tre</li><li>Quattro</li></ol></li></ul>"
            "<table><tr><th>Tasto</th><td>Azione</td></tr></table>"
            "<p><img src='x.png' alt='Un faro'> <a href='Libro/due.htm'><img src='y.png'></a></p>"
            "<p><a href='#fondo'>Vai in fondo</a> <a href='Libro/uno.htm'>Capitolo uno</a></p>"
            "<p id='fondo'>Fine della pagina</p><script>setTimeout(function () { var p = document.createElement('p'); "
            "p.textContent = 'Aggiunto dopo'; document.body.appendChild(p); }, 1500);</script>",
            "<style>.via { display: none }</style>")}}));
        const QString lines = "Titolo del libro\nPrima riga\nseconda riga unita.\n- Uno\n3. Tre\n4. Quattro\n"
                              "Tasto, Azione\nUn faro due.htm\nVai in fondo Capitolo uno\nFine della pagina";

        Session s(dir, {}, {}, book);
        auto text = [&] { return s.state().value("text").toObject(); };
        auto lineIs = [&](const QString &line) { return s.until([&] { return field(text(), "line") == line; }); };
        // The text follows the page's document event by a moment.
        QJsonObject t;
        QVERIFY2(s.until([&] { return field(t = text(), "all") == lines; }), qPrintable(field(t, "all")));
        QCOMPARE(field(t, "line"), QString("Titolo del libro"));
        const QJsonObject focus = s.state().value("focus").toObject();
        QCOMPARE(field(focus, "name") + "|" + field(focus, "accessible"), QString("objwbTesto|Indice"));

        s.key(40, 0);
        s.key(40, 0);
        QVERIFY(lineIs("seconda riga unita."));
        // The page adds a line of its own: read anew, the caret where it was.
        QVERIFY(s.until([&] { return field(t = text(), "all") == lines + "\nAggiunto dopo"; }));
        QCOMPARE(field(t, "line"), QString("seconda riga unita."));
        // A jump inside the page takes the caret to the anchor's line.
        s.expect("document", urlContains("#fondo"), s.follow("#fondo"));
        QVERIFY(lineIs("Fine della pagina"));

        QVERIFY(s.quitYes());
    }

    // Two books with the same page names each keep their own bookmark; the next start opens the book read last, and
    // Ctrl+O opens the other one by its contents page. (A folder with no book refused, the chooser kept open: heard by
    // listen.sh and listen_start.sh.)
    void booksKeepTheirOwnBookmarks()
    {
        QTemporaryDir dir;
        const QString uno = dir.filePath("uno"), due = dir.filePath("due");
        // The bookmark of the first chapter, added first when asked.
        const auto marked = [](Session &s, const QString &description, bool add) {
            s.reading("Libro/cap1.htm", "cap1_1");
            if (add) {
                s.expect("dialog", is("kind", "input"), s.key('3', Alt));
                s.send("answer", {{"text", description}});
            }
            s.key('6', Alt);
            const QStringList list = s.list(1);
            QVERIFY2(list.value(0).endsWith(description), qPrintable(list.join('|')));
        };
        for (const auto &[book, description] : {std::pair{uno, "Segno del primo"}, {due, "Segno del secondo"}}) {
            QVERIFY(QProcess::execute("cp", {"-r", SAMPLE_BOOK, book}) == 0);
            Session s(dir, {}, {}, book);
            marked(s, description, true);
            QVERIFY(s.quitYes());
        }
        Session s(dir, {}, {}, QString());
        QCOMPARE(field(s.state(), "book"), due);
        s.expect("dialog", is("kind", "folder"), s.key('O', Ctrl));
        s.send("answer", {{"text", uno + "/Index.htm"}});
        s.expect("osd", is("text", "Libro aperto: " + uno));
        s.expect("document", urlContains(uno + "/Index.htm"));
        marked(s, "Segno del primo", false);
        QVERIFY(s.quitYes());
    }

    // The reader's keys, sent as key presses to the window, as from the keyboard. Pause, speed, reading on and off,
    // the bookmark keys, the options panel and a page file's message said once are heard by the listening tests
    // (listen.sh, listen_panels.sh) with real keys; their edges are in the key map's unit tests.
    void keyboardDrivesTheBook()
    {
        QTemporaryDir dir;
        Session s(dir, {});
        s.reading("Libro/cap1.htm", "cap1_1");
        // Ctrl+2 skips forward by the skip length (10 s).
        const double before = s.state().value("position").toDouble();
        s.expect("player", seek(before + 10, 1.5), s.key('2', Ctrl));

        // Alt+8: the next index entry at or after the position (16 s, then 28 s); Alt+7 back to the start of the
        // section before the one heard.
        for (const auto &[entry, at] : {std::pair{"2", 16}, {"3", 28}}) {
            const int mark = s.key('8', Alt);
            s.expect("osd", textStarts(QString("Indice avanti - Indice ") + entry), mark);
            s.expect("player", seek(at, 1.5), mark);
        }
        s.expect("osd", textStarts("Indice indietro - Indice 1"), s.key('7', Alt));

        // Alt+9: the next style sheet, stored, and the page reloaded.
        const int mark = s.key('9', Alt);
        s.expect("setting", setting("StyleSheet", "2"), mark);
        s.expect("document", urlContains("cap1.htm"), mark);
        // Ctrl+7 and Ctrl+6: the next and the previous page file.
        s.expect("document", urlContains("cap2.htm"), s.key('7', Ctrl));
        s.expect("document", urlContains("cap1.htm"), s.key('6', Ctrl));

        // Up and Down move a radio choice as Left and Right do (the buttons stand in a row), and stop at either end.
        s.key('8', Ctrl);
        QVERIFY(s.until([&] { return s.visible("frmconfigurazione"); }));
        s.expect("setting", setting("VoceProgramma", "2"), s.key(40, 0, "optVoce(1)"));
        s.expect("setting", setting("VoceProgramma", "1"), s.key(38, 0, "optVoce(2)"));
        s.expect("setting", setting("VoceProgramma", "0"), s.key(38, 0, "optVoce(1)"));
        QVERIFY(s.indexOf("dialog", is("kind", "error")) < 0);
        QVERIFY(s.quitYes());
    }

    // Ctrl+2 past the end of the page's last audio, then the page changes: each press is said once, the first one
    // too, which came while the band was hidden.
    void skipPastTheEndIsSaidOnce()
    {
        QTemporaryDir dir;
        Session s(dir, {});
        s.reading("Libro/cap2.htm", "cap2_1");
        const int mark = s.count();
        int presses = 0;
        // 36 s and 23 s of audio, 10 s a press: the last audio's end comes within a dozen presses.
        while (presses < 14 && s.indexOf("document", urlContains("cap3.htm"), mark) < 0) {
            ++presses;
            s.expect("osd", textStarts("AVANTI"), s.key('2', Ctrl));
        }
        s.expect("document", urlContains("cap3.htm"), mark);
        QCOMPARE(s.count("osd", mark, textStarts("AVANTI")), presses);
        QVERIFY(s.quitYes());
    }

    // Through the import/export panel, as a reader would, starting on a computer with no bookmarks: a file of the old
    // program comes in, a Greek description is added, everything goes out to a file and is deleted, and the exported
    // file brings everything back. (Refused files, a cancelled name and the safety copies kept: the panel's and the
    // exchange's unit tests.)
    void bookmarksExportedAndImported()
    {
        QTemporaryDir dir;
        const QString home = dir.filePath("casa"), copies = dir.filePath("copie-di-sicurezza");
        const QString section = "LIBRO\\CAP1.HTM";
        // The old exporter escaped neither quotes nor backslashes.
        QVERIFY(writeBook(home, {{"vecchio.reg", "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\"
                                                 "QYR MediaPlayer\\" + section.toLatin1() + "]\r\n\"1\"=\"16\"\r\n"
                                                 "\"1NOME\"=\"Capitolo \"uno\"\"\r\n\"2\"=\"30\"\r\n\"2NOME\"=\"fine \\\"\r\n"}}));
        Session s(dir, {}, {{"HOME", home}, {"XDG_CONFIG_HOME", dir.filePath("config")}});
        s.follow("Libro/cap1.htm");
        s.expect("document", urlContains("cap1.htm"));

        // The text of the next dialog of that kind, answered OK.
        QString said;
        auto told = [&](const QString &kind) {
            said = s.expectText("dialog", is("kind", kind), "text");
            s.answer("ok");
            return said;
        };
        // "Esporta Marcatori" (0) or "Importa Marcatori" (1) in the home folder, the file named or chosen in its list,
        // then OK.
        auto panel = [&](int button, const QString &file) {
            s.control(QString("cmdImpExp(%1)").arg(button), "click");
            QVERIFY(s.until([&] { return s.visible("frmImpExp"); }));
            s.control("Drive", "select", QDir::toNativeSeparators(home));
            if (button == 0)
                s.control("TextFileName", "set", file);
            else
                s.control("File", "select",
                          int(QDir(home).entryList({"*.qyr", "*.reg"}, QDir::Files, QDir::Name | QDir::IgnoreCase).indexOf(file)));
            s.control("cmdImpExp(2)", "click");
        };
        auto descriptions = [&](int size) {
            QStringList list = s.list(size);
            for (QString &entry : list)
                entry = entry.section(" - ", 1);
            return list;
        };

        // No bookmarks yet: Alt+6 says so and opens the panel all the same, on "Importa Marcatori".
        s.key('6', Alt);
        QVERIFY2(told("message").contains("Non ci sono marcatori"), qPrintable(said));
        QVERIFY(s.until([&] { return field(s.state().value("focus").toObject(), "name") == "cmdImpExp(1)"; }));

        // The old program's file imports whole; the message says where the safety copy is.
        panel(1, "vecchio.reg");
        QVERIFY2(told("message").contains("Ripristino effettuato") && said.contains(copies), qPrintable(said));
        QCOMPARE(descriptions(2), (QStringList{"Capitolo \"uno\"", "fine \\"}));

        // A Greek description: the export keeps it, in the version 5 format, and says so.
        s.put(section, "3", "45");
        s.put(section, "3NOME", "Ο φάρος είναι σβηστός");
        s.expect("setting", is("key", "3NOME"));
        panel(0, "segnalibri");
        QVERIFY2(told("message").contains("Export effettuato correttamente") && said.contains("Unicode"), qPrintable(said));
        QVERIFY(readFile(home + "/segnalibri.REG").startsWith(QByteArray("\xff\xfeW\0i\0n\0", 8)));

        // Every bookmark of the page deleted (Alt+4, yes).
        s.expect("dialog", {}, s.key('4', Alt));
        s.answer("yes");
        QVERIFY(descriptions(0).isEmpty());

        // On the table of contents, the exported file brings all three back, the Greek one whole, with a new safety copy
        // beside the old one, and the list shows them as the whole book's list does.
        s.key(27, 0);
        QVERIFY(s.until([&] { return !s.visible("fraMarcatori"); }));
        s.expect("document", urlContains("Index.htm"), s.key('I', Ctrl));
        s.key('6', Alt);
        told("message");
        panel(1, "segnalibri.REG");
        QVERIFY2(told("message").contains("Ripristino effettuato"), qPrintable(said));
        QCOMPARE(descriptions(3), (QStringList{"Capitolo \"uno\"", "fine \\", "Ο φάρος είναι σβηστός"}));
        QCOMPARE(QDir(copies).entryList(QDir::Files).size(), 2);
        QVERIFY(s.quitYes());
    }

    // The other player takes the same file at the same place, paused or playing, at the same speed, as loud (on its
    // own scale), and silent while reading is off; and back again.
    void switchingPlayerKeepsTheReading()
    {
        QTemporaryDir dir;
        Session s(dir, {});
        s.reading("Libro/cap1.htm", "cap1_1");
        s.control("TextVolume", "set", "40");
        s.expect("setting", setting("Volume", "40"));
        QTest::qWait(1500);
        s.key('3', Ctrl); // paused
        const QJsonObject before = s.stateWhen([](const QJsonObject &st) { return !st.value("playing").toBool(); });
        const double at = before.value("position").toDouble(), rate = before.value("rate").toDouble();
        QVERIFY(at > 0.5);

        int mark = s.control("optPlayer", "select", 0);
        s.expect("setting", setting("Versione", "0"), mark);
        QCOMPARE(s.expectText("setting", setting("Volume"), "value", mark), "-2388");
        QJsonObject st = s.stateWhen([](const QJsonObject &st) { return st.value("version").toInt() == 0; });
        QVERIFY2(field(st, "file").endsWith("cap1_1.mp3"), qPrintable(field(st, "file")));
        QVERIFY(!st.value("playing").toBool());
        QVERIFY2(qAbs(st.value("position").toDouble() - at) < 0.5, qPrintable(QString::number(st.value("position").toDouble())));
        QCOMPARE(st.value("rate").toDouble(), rate);
        QCOMPARE(field(s.state(), "volume"), "-2388");

        // Playing, reading off: the switch back plays nothing, and the loudness comes back as it was.
        s.key('3', Ctrl);
        s.stateWhen([](const QJsonObject &st) { return st.value("playing").toBool(); });
        s.key('0', Ctrl);
        s.stateWhen([](const QJsonObject &st) { return st.value("audioOff").toBool() && !st.value("playing").toBool(); });
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

    // A damaged settings file is reported and kept aside, and a new one made; a folder named as the settings file is no
    // damaged file: it is left where it is, untouched, and the reader is told why nothing is kept.
    void damagedSettingsFileIsKeptAside()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath("impostazioni.sqlite"), folder = dir.filePath("cartella");
        QByteArray garbage;
        for (int i = 0; i < 200; ++i)
            garbage += "Questo non è un archivio di impostazioni, riga " + QByteArray::number(i) + "\n";
        writeFile(file, garbage);
        QVERIFY(QDir().mkpath(folder + "/dentro"));
        for (const QString &settings : {file, folder}) {
            Session s(settings);
            const QJsonObject report = s.event(s.expect("dialog"));
            const QString text = field(report, "text");
            if (settings == file)
                QVERIFY2(field(report, "kind") == "error" && text.contains("danneggiato"), qPrintable(text));
            else
                QVERIFY2(text.contains("cartella") && !text.contains("danneggiato"), qPrintable(text));
            s.answer("ok");
            s.expect("ready");
            QVERIFY(s.quitYes());
        }
        // The new file is a usable store, and the damaged one survives beside it.
        QCOMPARE(storedValue(file, "Versione"), "1");
        const QStringList kept = QDir(dir.path()).entryList({"impostazioni.sqlite.danneggiato-*"}, QDir::Files);
        QVERIFY2(kept.size() == 1, qPrintable(QDir(dir.path()).entryList(QDir::Files).join(' ')));
        QCOMPARE(readFile(dir.filePath(kept.first())), garbage);
        QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"dentro"});
        QCOMPARE(QDir(dir.path()).entryList({"cartella*"}, QDir::AllEntries), QStringList{"cartella"});
    }

    void invalidStoredValueIsReportedAndStartUpGoesOn_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        for (const auto &[key, value] : Values{{"SavePos", "abc"}, {"StyleSheet", "99999"}, {"Versione", "nove"}, {"AudioOff", "forse"},
                                               {"Rate", "0"}, {"Rate", "NaN"}, {"Rate", "1e30"}})
            QTest::addRow("%s %s", qPrintable(key), qPrintable(value)) << key << value;
    }
    // A damaged value is reported once, then the book opens and reads as if the value were absent.
    void invalidStoredValueIsReportedAndStartUpGoesOn()
    {
        QFETCH(QString, key);
        QFETCH(QString, value);
        QTemporaryDir dir;
        Session s(storeValues(dir.filePath("impostazioni.sqlite"), {{"TempoSp", "0"}, {key, value}}));
        const int report = s.expect("dialog");
        QCOMPARE(field(s.event(report), "kind"), "error");
        QCOMPARE(field(s.event(report), "name"), "Form Load - Form Load: caricamento settings");
        QVERIFY2(field(s.event(report), "text").contains(key), "the report names the setting");
        s.answer("ok");
        s.expect("document", urlContains("Index.htm"));
        s.reading("Libro/cap1.htm", "cap1_1");
        const QJsonObject st = s.state();
        QVERIFY2(st.value("rate").toDouble() == 1.0 && !st.value("audioOff").toBool(), "the defaults are in force");
        QVERIFY2(s.indexOf("dialog", {}, report + 1) < 0, "reported once, and nothing else");
        QVERIFY(s.quitYes());
    }
};

QTEST_GUILESS_MAIN(TstAutomation)
#include "tst_automation.moc"
