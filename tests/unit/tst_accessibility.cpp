// What a screen reader asks a text box, answered as the box shows it: the
// whole value, in one attribute run, and every boundary question answered,
// for the program's boxes and Qt's own dialogs' alike.
#include "app/accessibility.h"

#include <QAccessible>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QtTest>

using namespace qyr;

namespace {
// What reaches the platform: each focus report, as the object and child reported.
QList<QPair<QObject *, int>> reported;
void record(QAccessibleEvent *e)
{
    if (e->type() == QAccessible::Focus)
        reported.append({e->object(), e->child()});
}

// A line edit of a class of its own, as Qt's dialogs have.
class DerivedEdit : public QLineEdit {
    Q_OBJECT
public:
    using QLineEdit::QLineEdit;
};

// Orca's reading of a box's value: attribute runs from the start, joined, and
// the text between the first run's start and the last run's end.
QString readAsOrca(QAccessibleTextInterface *t)
{
    const int n = t->characterCount();
    int first = -1, last = -1;
    for (int offset = 0; offset < n;) {
        int start = 0, end = 0;
        t->attributes(offset, &start, &end);
        if (first < 0)
            first = std::max(start, offset);
        last = end;
        offset = std::max(end, offset + 1);
    }
    return first < 0 ? QString() : t->text(first, last);
}

QAccessibleTextInterface *textOf(QWidget *w)
{
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(w);
    return iface ? iface->textInterface() : nullptr;
}
} // namespace

class TestAccessibility : public QObject {
    Q_OBJECT
    QAccessible::UpdateHandler ours = nullptr;

private slots:
    void initTestCase()
    {
        // Ours hands every report on to the handler before it, here a recorder. Reports are handed to it
        // directly: offscreen, Qt passes none on.
        QAccessible::installUpdateHandler(record);
        installAccessibility();
        ours = QAccessible::installUpdateHandler(record);
        QAccessible::installUpdateHandler(ours);
    }

    // A message wider than the band is drawn smaller, then on two lines, and a short one at full size again.
    void messagesStayInSight()
    {
        MessageLabel band;
        band.setGeometry(0, 0, 500, 60);
        band.setFullSize(28);
        const QString where = "Capitolo primo, pagina 1, 00:02 di 00:12", longer = where + ", " + where + ", " + where;
        for (const QString &text : {where, longer}) {
            band.announce(text);
            QVERIFY2(band.font().pointSize() < 28, qPrintable(text));
            QVERIFY(band.fontMetrics().horizontalAdvance(text) <= 500 || band.wordWrap());
        }
        band.announce("PLAY");
        QCOMPARE(band.font().pointSize(), 28);
        QVERIFY(!band.wordWrap());
    }

    // A list, or the drive list, that gets the keyboard is reported as its current entry; without one, as itself.
    void listsAreReportedByTheirEntry()
    {
        QListWidget list;
        list.addItems({"00:05 - primo segno", "00:10 - secondo"});
        NamedComboBox drives;
        drives.setAccessibleName(QStringLiteral("Unità"));
        drives.addItems({"/", "Copie di sicurezza"});
        QListWidget empty;
        struct Case { QObject *object; int current; int child; };
        list.setCurrentRow(1);
        for (const Case &c : {Case{&list, 1, 1}, Case{&drives, 0, 0}, Case{&empty, -1, -1}}) {
            reported.clear();
            QAccessibleEvent focus(c.object, QAccessible::Focus);
            ours(&focus);
            QCOMPARE(reported.size(), 1);
            QCOMPARE(reported.first().first, c.object);
            QCOMPARE(reported.first().second, c.child);
        }
        // The drive list's entries are its children, named by their text, the current one selected.
        QAccessibleInterface *box = QAccessible::queryAccessibleInterface(&drives);
        QCOMPARE(box->text(QAccessible::Name), QStringLiteral("Unità"));
        QCOMPARE(box->childCount(), 2);
        drives.setCurrentIndex(1);
        QAccessibleInterface *copies = box->child(1);
        QCOMPARE(copies->text(QAccessible::Name), QStringLiteral("Copie di sicurezza"));
        QVERIFY(copies->state().selected && !box->child(0)->state().selected);
        QCOMPARE(box->indexOfChild(copies), 1);
        QCOMPARE(copies->parent(), box);
        QCOMPARE(box->child(1), copies); // the same object each time
    }

    // Every line edit gets the interface, whatever its class; a spin box's own is left to Qt. A password is never given
    // out; selection and editing go through to the box.
    void everyBoxIsReadWhole()
    {
        QLineEdit plain(QStringLiteral("100"));
        DerivedEdit derived(QStringLiteral("primo segno"));
        QFileDialog chooser(nullptr, QStringLiteral("Apri"), QDir::tempPath());
        chooser.setOption(QFileDialog::DontUseNativeDialog);
        QLineEdit *chooserEdit = chooser.findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        QVERIFY(chooserEdit);
        chooserEdit->setText(QStringLiteral("book2"));
        for (QLineEdit *e : {&plain, static_cast<QLineEdit *>(&derived), chooserEdit}) {
            e->setCursorPosition(int(e->text().size()));
            QAccessibleTextInterface *t = textOf(e);
            QVERIFY2(t, qPrintable(e->text()));
            QCOMPARE(readAsOrca(t), e->text());
            QCOMPARE(QAccessible::queryAccessibleInterface(e)->text(QAccessible::Value), e->text());
        }
        QLineEdit one(QStringLiteral("1"));
        QCOMPARE(readAsOrca(textOf(&one)), QStringLiteral("1"));
        QLineEdit e(QStringLiteral("segreto"));
        e.setEchoMode(QLineEdit::Password);
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(&e);
        QVERIFY(iface->state().passwordEdit);
        QCOMPARE(iface->textInterface()->text(0, -1), QString());
        QCOMPARE(iface->text(QAccessible::Value), QStringLiteral("*******"));
        int start = 0, end = 0;
        QCOMPARE(iface->textInterface()->textAtOffset(0, QAccessible::LineBoundary, &start, &end), QString());

        QLineEdit box(QStringLiteral("Libro uno"));
        QAccessibleInterface *b = QAccessible::queryAccessibleInterface(&box);
        b->textInterface()->setSelection(0, 6, 9);
        QCOMPARE(box.selectedText(), QStringLiteral("uno"));
        b->textInterface()->selection(0, &start, &end);
        QCOMPARE(start, 6);
        QCOMPARE(end, 9);
        QCOMPARE(b->textInterface()->selectionCount(), 1);
        b->editableTextInterface()->replaceText(6, 9, QStringLiteral("due"));
        b->editableTextInterface()->insertText(0, QStringLiteral("Il "));
        b->editableTextInterface()->deleteText(3, 9);
        QCOMPARE(box.text(), QStringLiteral("Il due"));
        box.setReadOnly(true);
        QVERIFY(b->state().readOnly && !b->state().editable);
    }

    // Boundaries at, before and after an offset, the end of the text included (Qt's own never answered a word
    // asked at the end).
    void boundaries()
    {
        using B = QAccessible::TextBoundaryType;
        const B Line = QAccessible::LineBoundary, Word = QAccessible::WordBoundary, Char = QAccessible::CharBoundary;
        struct Case { int offset; B kind; int which; QString text; int start, end; };
        QLineEdit e(QStringLiteral("primo segno"));
        auto *t = textOf(&e);
        QVERIFY(t);
        const QList<Case> cases{
            {11, Line, 0, "primo segno", 0, 11}, {10, Line, 0, "primo segno", 0, 11}, {3, Line, -1, "", -1, -1},
            {3, Line, 1, "", -1, -1},            {2, Word, 0, "primo ", 0, 6},        {6, Word, 0, "segno", 6, 11},
            {11, Word, 0, "segno", 6, 11},       {6, Word, -1, "primo ", 0, 6},       {2, Word, 1, "segno", 6, 11},
            {11, Word, 1, "", -1, -1},           {1, Char, 0, "r", 1, 2},             {11, Char, 0, "", 11, 11},
            {11, Char, -1, "o", 10, 11},         {0, Char, -1, "", -1, -1},           {12, Char, 0, "", -1, -1},
        };
        for (const Case &c : cases) {
            int start = -7, end = -7;
            const QString got = c.which < 0   ? t->textBeforeOffset(c.offset, c.kind, &start, &end)
                                : c.which > 0 ? t->textAfterOffset(c.offset, c.kind, &start, &end)
                                              : t->textAtOffset(c.offset, c.kind, &start, &end);
            const QString where = QString("%1/%2/%3").arg(c.offset).arg(int(c.kind)).arg(c.which);
            QVERIFY2(got == c.text && start == c.start && end == c.end,
                     qPrintable(where + ": \"" + got + QString("\" %1-%2").arg(start).arg(end)));
        }
        // The caret's offset (-2) is the cursor position.
        e.setCursorPosition(0);
        int start = 0, end = 0;
        QCOMPARE(t->textAtOffset(-2, QAccessible::WordBoundary, &start, &end), QStringLiteral("primo "));
    }
};

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
