// The window's widgets follow their control models, and a reader's edit in a
// widget reaches its model: every property the binders mirror, both ways.
#include "app/accessibility.h"
#include "app/binder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

using namespace qyr;

namespace {

// One model of each kind bound to its widget, in one window.
struct Bound {
    QWidget window;
    const Twips t; // 15 twips a pixel
    TextBox box{"box"};
    CheckBox check{"check"};
    Button button{"button"};
    ListBox marks{"marks"};
    PathList files{"files"}, drives{"drives"};
    Control a{"a"}, b{"b"};
    OptionGroup group{"group", {&a, &b}};
    QLineEdit *edit = new QLineEdit(&window);
    QCheckBox *tick = new QCheckBox(&window);
    QPushButton *push = new QPushButton(&window);
    QListWidget *list = new QListWidget(&window), *fileList = new QListWidget(&window);
    QComboBox *combo = new QComboBox(&window);
    std::vector<QRadioButton *> radios{new QRadioButton(&window), new QRadioButton(&window)};

    Bound()
    {
        files.setItems({"a.reg", "b.reg", "c.reg"});
        drives.setItems({"/", "/media"});
        drives.setPath("/");
        bindTextBox(box, edit, t);
        bindCheckBox(check, tick, t);
        bindButton(button, push, t);
        bindList(marks, list, t);
        bindPathList(files, fileList, t);
        bindDriveList(drives, combo, t);
        bindOptions(group, radios, t);
    }
};

} // namespace

class TstBinder : public QObject {
    Q_OBJECT
private slots:
    void modelChangesReachTheWidget()
    {
        Bound w;
        QCOMPARE(w.edit->objectName(), "box");
        w.box.setGeometry(150, 300, 1500, 450);
        QCOMPARE(w.edit->geometry(), QRect(10, 20, 100, 30));
        w.box.setToolTip("aiuto");
        QCOMPARE(w.edit->toolTip(), "aiuto");
        w.box.setEnabled(false);
        QVERIFY(!w.edit->isEnabled());
        w.box.setVisible(false);
        QVERIFY(w.edit->isHidden());
        w.box.setText("10");
        QCOMPARE(w.edit->text(), "10");
        w.check.setValue(1);
        QVERIFY(w.tick->isChecked());
        // The bookmark list shows what was added once the adding is over.
        w.marks.addItem("uno");
        w.marks.addItem("due");
        QTRY_COMPARE(w.list->count(), 2);
        w.marks.setListIndex(1);
        QCOMPARE(w.list->currentRow(), 1);
        QCOMPARE(w.fileList->count(), 3);
        w.files.setListIndex(2);
        QCOMPARE(w.fileList->currentRow(), 2);
        w.drives.setPath("/media");
        QCOMPARE(w.combo->count(), 2);
        QCOMPARE(w.combo->currentText(), "/media");
        w.group.select(1);
        QVERIFY(w.radios[1]->isChecked() && !w.radios[0]->isChecked());

        // Every message is said, also one that repeats the text on screen.
        Label osd("osd");
        QStringList said;
        bindAnnouncer(osd, new MessageLabel(&w.window), w.t, [&](const QString &s) { said << s; });
        osd.setCaption("Pausa");
        osd.notifyChanged(Prop::Caption);
        QCOMPARE(said, QStringList({"Pausa", "Pausa"}));
    }

    void readerEditsReachTheModel()
    {
        Bound w;
        w.box.setGeometry(0, 0, 1500, 300);
        w.group.select(1);
        int done = 0, ticks = 0, pushes = 0;
        QList<int> chosen;
        w.box.EditingDone.connect([&] { ++done; });
        w.check.Click.connect([&] { ++ticks; });
        w.button.Click.connect([&] { ++pushes; });
        w.group.Click.connect([&](int i) { chosen << i; });

        w.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w.window));
        QTest::keyClicks(w.edit, "42");
        QCOMPARE(w.box.text(), "42");
        QTest::keyClick(w.edit, Qt::Key_Return);
        QCOMPARE(done, 1);
        w.tick->click();
        QCOMPARE(w.check.value(), 1);
        QCOMPARE(ticks, 1);
        w.push->click();
        QCOMPARE(pushes, 1);
        w.fileList->setCurrentRow(1);
        QCOMPARE(w.files.listIndex(), 1);
        QTest::keyClick(w.combo, Qt::Key_Down);
        QCOMPARE(w.drives.path(), "/media");
        w.radios[0]->click();
        QCOMPARE(w.group.selected(), 0);
        QCOMPARE(chosen, QList<int>({0}));
    }
};

QTEST_MAIN(TstBinder)
#include "tst_binder.moc"
