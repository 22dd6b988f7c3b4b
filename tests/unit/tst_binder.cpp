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

class TstBinder : public QObject {
    Q_OBJECT
private slots:
    void modelChangesReachTheWidget()
    {
        QWidget window;
        const Twips t; // 15 twips a pixel
        TextBox box("box");
        auto *edit = new QLineEdit(&window);
        bindTextBox(box, edit, t);
        QCOMPARE(edit->objectName(), "box");
        box.setGeometry(150, 300, 1500, 450);
        QCOMPARE(edit->geometry(), QRect(10, 20, 100, 30));
        box.setToolTip("aiuto");
        QCOMPARE(edit->toolTip(), "aiuto");
        box.setEnabled(false);
        QVERIFY(!edit->isEnabled());
        box.setVisible(false);
        QVERIFY(edit->isHidden());
        box.setText("10");
        QCOMPARE(edit->text(), "10");

        CheckBox check("check");
        auto *tick = new QCheckBox(&window);
        bindCheckBox(check, tick, t);
        check.setValue(1);
        QVERIFY(tick->isChecked());
    }

    void listsFollowTheirModels()
    {
        QWidget window;
        const Twips t;
        // The bookmark list shows what was added once the adding is over.
        ListBox marks("marks");
        auto *list = new QListWidget(&window);
        bindList(marks, list, t);
        marks.addItem("uno");
        marks.addItem("due");
        QTRY_COMPARE(list->count(), 2);
        marks.setListIndex(1);
        QCOMPARE(list->currentRow(), 1);

        PathList files("files");
        auto *fileList = new QListWidget(&window);
        bindPathList(files, fileList, t);
        files.setItems({"a.reg", "b.reg", "c.reg"});
        QCOMPARE(fileList->count(), 3);
        files.setListIndex(2);
        QCOMPARE(fileList->currentRow(), 2);

        PathList drives("drives");
        auto *combo = new QComboBox(&window);
        bindDriveList(drives, combo, t);
        drives.setItems({"/", "/media"});
        drives.setPath("/media");
        QCOMPARE(combo->count(), 2);
        QCOMPARE(combo->currentText(), "/media");
    }

    void choicesAndMessagesReachTheWidget()
    {
        QWidget window;
        const Twips t;
        Control a("a"), b("b");
        OptionGroup group("group", {&a, &b});
        std::vector<QRadioButton *> radios{new QRadioButton(&window), new QRadioButton(&window)};
        bindOptions(group, radios, t);
        group.select(1);
        QVERIFY(radios[1]->isChecked() && !radios[0]->isChecked());

        // Every message is said, also one that repeats the text on screen.
        Label osd("osd");
        QStringList said;
        bindAnnouncer(osd, new MessageLabel(&window), t, [&](const QString &s) { said << s; });
        osd.setCaption("Pausa");
        osd.notifyChanged(Prop::Caption);
        QCOMPARE(said, QStringList({"Pausa", "Pausa"}));
    }

    void readerEditsReachTheModel()
    {
        QWidget window;
        const Twips t;
        TextBox box("box");
        box.setGeometry(0, 0, 1500, 300);
        auto *edit = new QLineEdit(&window);
        bindTextBox(box, edit, t);
        int done = 0;
        box.EditingDone.connect([&] { ++done; });

        CheckBox check("check");
        auto *tick = new QCheckBox(&window);
        bindCheckBox(check, tick, t);
        int ticks = 0;
        check.Click.connect([&] { ++ticks; });

        Button button("button");
        auto *push = new QPushButton(&window);
        bindButton(button, push, t);
        int pushes = 0;
        button.Click.connect([&] { ++pushes; });

        PathList files("files");
        files.setItems({"a.reg", "b.reg", "c.reg"});
        auto *fileList = new QListWidget(&window);
        bindPathList(files, fileList, t);

        PathList drives("drives");
        drives.setItems({"/", "/media"});
        drives.setPath("/");
        auto *combo = new QComboBox(&window);
        bindDriveList(drives, combo, t);

        Control a("a"), b("b");
        OptionGroup group("group", {&a, &b});
        group.select(1);
        std::vector<QRadioButton *> radios{new QRadioButton(&window), new QRadioButton(&window)};
        bindOptions(group, radios, t);
        QList<int> chosen;
        group.Click.connect([&](int i) { chosen << i; });

        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTest::keyClicks(edit, "42");
        QCOMPARE(box.text(), "42");
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(done, 1);
        tick->click();
        QCOMPARE(check.value(), 1);
        QCOMPARE(ticks, 1);
        push->click();
        QCOMPARE(pushes, 1);
        fileList->setCurrentRow(1);
        QCOMPARE(files.listIndex(), 1);
        QTest::keyClick(combo, Qt::Key_Down);
        QCOMPARE(drives.path(), "/media");
        radios[0]->click();
        QCOMPARE(group.selected(), 0);
        QCOMPARE(chosen, QList<int>({0}));
    }
};

QTEST_MAIN(TstBinder)
#include "tst_binder.moc"
