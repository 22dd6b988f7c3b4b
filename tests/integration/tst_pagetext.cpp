// The page's text view as a screen reader sees it through Qt's accessibility: lines and paragraphs with their breaks,
// attribute ranges that cover the text, links as named children that Tab goes round, and the caret keys; and pages
// read into it through the web engine.
#include "platform/browser/pagetext.h"
#include "platform/browser/webbrowser.h"
#include "platform/files/diskfiles.h"

#include <QAccessible>
#include <QApplication>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QtTest>

using namespace qyr;

namespace {

PageTextContent content()
{
    PageTextContent c;
    PageTextBlock heading{PageTextBlock::Heading, 1, 0, {}, {{"Titolo", -1}}};
    PageTextBlock para{PageTextBlock::Paragraph, 0, 1, {}, {{"Vai al ", -1}, {"primo", 0}, {" o al ", -1}, {"secondo", 1}}};
    PageTextBlock item{PageTextBlock::ListItem, 1, 2, QStringLiteral("- "), {{"Voce", -1}}};
    c.blocks = {heading, para, item};
    c.anchors.insert("voce", 2);
    return c;
}

void press(QWidget *w, int key, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    QKeyEvent e(QEvent::KeyPress, key, mods);
    QApplication::sendEvent(w, &e);
}

} // namespace

class TstPageText : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { installPageTextAccessibility(); }

    void linesLinksAndCaret()
    {
        QWidget window;
        PageTextView view(&window);
        view.resize(600, 300);
        window.show();
        QList<int> places, links;
        view.onPlaceChanged = [&](int p) { places << p; };
        view.onLinkActivated = [&](int l) { links << l; };
        view.show(content(), "Pagina", true);

        QAccessibleInterface *doc = QAccessible::queryAccessibleInterface(&view);
        QVERIFY(doc && doc->textInterface());
        QCOMPARE(doc->role(), QAccessible::Document);
        QCOMPARE(doc->text(QAccessible::Name), QString("Pagina"));
        QAccessibleTextInterface *t = doc->textInterface();
        const QString all = "Titolo\nVai al primo o al secondo\n- Voce";
        QCOMPARE(t->text(0, -1), all);
        QCOMPARE(t->characterCount(), int(all.size()));

        // Each line with the break that ends it; the last without one.
        int start = -1, end = -1;
        QCOMPARE(t->textAtOffset(3, QAccessible::LineBoundary, &start, &end), QString("Titolo\n"));
        QCOMPARE(t->textAfterOffset(3, QAccessible::LineBoundary, &start, &end), QString("Vai al primo o al secondo\n"));
        QCOMPARE(t->textBeforeOffset(10, QAccessible::ParagraphBoundary, &start, &end), QString("Titolo\n"));
        QCOMPARE(t->textAtOffset(all.size() - 1, QAccessible::LineBoundary, &start, &end), QString("- Voce"));
        QCOMPARE(t->textAfterOffset(all.size() - 1, QAccessible::LineBoundary, &start, &end), QString());
        // Attributes cover the whole text: an empty range makes Orca drop a line's last character.
        t->attributes(9, &start, &end);
        QVERIFY2(start <= 9 && end > 9, qPrintable(QString("%1-%2").arg(start).arg(end)));

        // Links are named children.
        QCOMPARE(doc->childCount(), 2);
        QCOMPARE(doc->child(1)->role(), QAccessible::Link);
        QCOMPARE(doc->child(1)->text(QAccessible::Name), QString("secondo"));

        // Down moves line by line and the page follows the caret; Ctrl+Down by paragraph, Ctrl+Up back.
        press(&view, Qt::Key_Down);
        QCOMPARE(view.currentLine(), QString("Vai al primo o al secondo"));
        press(&view, Qt::Key_Down, Qt::ControlModifier);
        QCOMPARE(view.currentLine(), QString("- Voce"));
        press(&view, Qt::Key_Up, Qt::ControlModifier);
        QCOMPARE(view.currentLine(), QString("Vai al primo o al secondo"));
        QCOMPARE(places, (QList<int>{0, 1, 2, 1}));

        // Enter on a line the caret is on but not in a link: the line's first link after the caret; none on a line
        // without one, or past the last link.
        view.toStart();
        press(&view, Qt::Key_Return);
        press(&view, Qt::Key_Down);
        press(&view, Qt::Key_Return);
        press(&view, Qt::Key_End);
        press(&view, Qt::Key_Return);
        QCOMPARE(links, QList<int>{0});
        links.clear();

        // Tab goes round the links and never leaves the text; Enter follows the one reached.
        view.setFocus();
        view.toStart();
        for (const int expected : {0, 1, 0}) {
            press(&view, Qt::Key_Tab);
            QCOMPARE(view.highlightedLink(), expected);
            QVERIFY(doc->child(expected)->state().focused || !view.hasFocus());
        }
        press(&view, Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(view.highlightedLink(), 1);
        // The caret brought by the arrows onto a link's first letter: Tab reaches that link, not the one after.
        QTextCursor onLink = view.textCursor();
        onLink.setPosition(view.links().first().start);
        view.setTextCursor(onLink);
        QCOMPARE(view.highlightedLink(), -1);
        press(&view, Qt::Key_Tab);
        QCOMPARE(view.highlightedLink(), 0);
        press(&view, Qt::Key_Tab);
        QCOMPARE(view.highlightedLink(), 1);
        press(&view, Qt::Key_Return);
        QCOMPARE(links, QList<int>{1});

        // An anchor takes the caret to its line; a page read anew keeps the caret where it was.
        QVERIFY(view.goToAnchor("voce") && !view.goToAnchor("altrove"));
        QCOMPARE(view.currentLine(), QString("- Voce"));
        view.show(content(), "Pagina", false);
        QCOMPARE(view.currentLine(), QString("- Voce"));
        view.show(content(), "about:blank", true);
        QCOMPARE(view.currentLine(), QString("Titolo"));
        QCOMPARE(doc->text(QAccessible::Name), QString("QYR Player"));

        // A paragraph wrapped on screen is read line by line, and Enter keeps to the line as read: from the start of
        // the first line it follows nothing on the next, from the start of the line holding the link, that link; a
        // list item's number is before its link.
        PageTextContent wrapped;
        const QString words = QString("parola ").repeated(150);
        wrapped.blocks = {{PageTextBlock::Paragraph, 0, 0, {}, {{words, -1}, {"capitolo", 0}}},
                          {PageTextBlock::ListItem, 1, 1, QStringLiteral("1. "), {{"Capitolo primo", 1}}}};
        view.show(wrapped, "Pagina", true);
        links.clear();
        press(&view, Qt::Key_Return);
        QVERIFY(links.isEmpty());
        const int linkStart = view.links().first().start;
        const int lineStart = t->textAtOffset(linkStart, QAccessible::LineBoundary, &start, &end).isEmpty() ? -1 : start;
        QVERIFY2(lineStart > 0 && end - start < int(words.size()), "the paragraph is laid out on several lines");
        const QString firstLine = t->textAtOffset(0, QAccessible::LineBoundary, &start, &end);
        QCOMPARE(firstLine, words.left(end));
        press(&view, Qt::Key_Down);
        press(&view, Qt::Key_Home);
        while (view.textCursor().position() < lineStart)
            press(&view, Qt::Key_Down);
        QCOMPARE(view.textCursor().position(), lineStart);
        press(&view, Qt::Key_Return);
        press(&view, Qt::Key_Down, Qt::ControlModifier);
        QCOMPARE(view.currentLine(), QString("1. Capitolo primo"));
        press(&view, Qt::Key_Return);
        QCOMPARE(links, (QList<int>{0, 1}));

        // Another page on its way: Enter follows nothing of the page going, the caret keys wait for the new text.
        links.clear();
        view.awaitNewPage();
        press(&view, Qt::Key_Return);
        press(&view, Qt::Key_Down);
        press(&view, Qt::Key_Tab);
        QVERIFY(links.isEmpty());
        QCOMPARE(view.currentLine(), QString("1. Capitolo primo"));
        view.show(content(), "Pagina", true);
        QVERIFY(!view.awaitingNewPage() && links.isEmpty());
        QCOMPARE(view.currentLine(), QString("Vai al primo o al secondo"));
        QCOMPARE(view.highlightedLink(), 0);

        // A word far longer than a line keeps every letter (with places to break) and its link whole.
        const QString word(2000, 'w');
        PageTextContent longWord;
        longWord.blocks = {{PageTextBlock::Paragraph, 0, 0, {}, {{"x ", -1}, {word, 0}, {" y", -1}}}};
        view.show(longWord, "Pagina", true);
        QCOMPARE(view.currentLine().remove(QChar(0x200B)), "x " + word + " y");
        QCOMPARE(view.links().size(), 1);
        QCOMPARE(view.links().first().text, word);
        QCOMPARE(view.links().first().start, 2);
        QCOMPARE(view.links().first().end, int(view.currentLine().size()) - 2);
    }

    // A link whose address cannot be decoded, a paragraph of 20,000 links, a page that changes every 100 ms.
    void pagesThroughTheEngine()
    {
        QTemporaryDir dir;
        QString many;
        for (int i = 0; i < 20000; ++i)
            many += QString("<a href=\"p%1.htm\">voce %1</a> ").arg(i);
        const QMap<QString, QString> pages{
            {"bad.htm", "<p>Prima</p><p><a href=\"a%zz.htm\"></a></p><p>Ultima</p>"
                        "<ol start=\"3\"><li>a</li><li hidden>b</li><li>c</li></ol>"},
            {"many.htm", "<p>" + many + "</p>"},
            {"ticking.htm", "<p id=\"n\">0</p><script>var i = 0; "
                            "setInterval(function () { document.getElementById('n').textContent = ++i; }, 100);</script>"}};
        for (auto it = pages.begin(); it != pages.end(); ++it) {
            QFile f(dir.filePath(it.key()));
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(("<html><body>" + it.value() + "</body></html>").toUtf8()) > 0);
        }
        QWidget window;
        (new QVBoxLayout(&window))->setContentsMargins(0, 0, 0, 0);
        DiskFiles files;
        WebBrowser browser(files, &window);
        window.layout()->addWidget(browser.widget());
        window.resize(600, 400);
        window.show(); // a hidden page's timers are slowed down
        browser.setBookFolder(dir.path());
        // Each new page's text comes in the view not shown before.
        const auto view = [&browser] { return qobject_cast<PageTextView *>(browser.textView()); };
        const auto text = [view] { return view()->document()->toPlainText(); };

        // The link is named by its address as written; the rest of the page stays (a hidden item keeps its number).
        browser.navigate(dir.filePath("bad.htm"));
        QTRY_COMPARE_WITH_TIMEOUT(text(), QString("Prima\na%zz.htm\nUltima\n3. a\n5. c"), 30000);

        // A screen reader's say-all still going on the page left reads that page to its end and places no caret in
        // the new one.
        PageTextView *left = view();
        browser.navigate(dir.filePath("many.htm"));
        QTRY_COMPARE_WITH_TIMEOUT(view()->links().size(), 20000, 60000);
        QVERIFY(view() != left && left->links().isEmpty() && !left->isVisible());
        QCOMPARE(left->document()->toPlainText(), QString("Prima\na%zz.htm\nUltima\n3. a\n5. c"));
        QAccessible::queryAccessibleInterface(left)->textInterface()->setCursorPosition(25);
        QCOMPARE(view()->textCursor().position(), 0);
        QCOMPARE(view()->links().last().text, QString("voce 19999"));
        QCOMPARE(view()->links().last().link, 19999);
        QVERIFY(text().endsWith("voce 19999"));

        // The page never rests for 250 ms: its text is read anew all the same.
        browser.navigate(dir.filePath("ticking.htm"));
        QTRY_VERIFY_WITH_TIMEOUT(QRegularExpression("^\\d+$").match(text()).hasMatch(), 30000);
        const QString first = text();
        QTRY_VERIFY_WITH_TIMEOUT(text() != first, 30000);
    }
};

QTEST_MAIN(TstPageText)
#include "tst_pagetext.moc"
