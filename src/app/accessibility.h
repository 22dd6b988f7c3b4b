#pragma once
// What screen readers need beyond Qt's own accessible interfaces: the
// message panel exposed as a notification and shown anew for each message
// (Orca speaks a notification when it is shown, and throws away a label's
// text or name change), and a drop-down list named by its name rather than
// its current entry.
#include <QAccessibleWidget>
#include <QComboBox>
#include <QLabel>

class QLineEdit;

namespace qyr {

// The on-screen message. A class of its own, because Qt asks the interface
// factory once per object, by class name, often before any property is set.
class MessageLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;
    // Puts text on screen and makes screen readers say it, also when it
    // repeats the text already shown.
    void announce(const QString &text);
    // The point size of a message that fits the band.
    void setFullSize(int points);

signals:
    // Each time the message is shown, which is each time screen readers say it.
    void shown(const QString &text);

protected:
    void showEvent(QShowEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;

private:
    // A message wider than the band is drawn smaller, down to half the size
    // the band was given, then on two lines: the whole of it stays in sight.
    void fit();
    int fullSize_ = 0; // the point size the band was given
};

// A drop-down list whose accessible name is its own name ("Unità"); Qt names
// a combo box by its current text on Linux. Its entries are its accessible
// children, and the current one is announced as the focused child when the
// list gets the keyboard and each time it changes: Orca says nothing of a Qt
// combo box's value, neither on arrival nor when an arrow changes it.
class NamedComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit NamedComboBox(QWidget *parent = nullptr);

private:
    void sayCurrent();
};

// A line edit as screen readers must read it: its whole text in one piece.
// Installed for every QLineEdit, Qt's own dialogs' included; public so that
// a test can ask it what a screen reader asks.
class LineEditAccessible : public QAccessibleWidget,
                           public QAccessibleTextInterface,
                           public QAccessibleEditableTextInterface {
public:
    explicit LineEditAccessible(QWidget *w);
    void *interface_cast(QAccessible::InterfaceType t) override;
    QString text(QAccessible::Text t) const override;
    void setText(QAccessible::Text t, const QString &text) override;
    QAccessible::State state() const override;

    void addSelection(int start, int end) override;
    QString attributes(int offset, int *start, int *end) const override;
    int cursorPosition() const override;
    QRect characterRect(int offset) const override;
    int selectionCount() const override;
    int offsetAtPoint(const QPoint &point) const override;
    void selection(int n, int *start, int *end) const override;
    QString text(int start, int end) const override;
    QString textBeforeOffset(int offset, QAccessible::TextBoundaryType kind, int *start, int *end) const override;
    QString textAfterOffset(int offset, QAccessible::TextBoundaryType kind, int *start, int *end) const override;
    QString textAtOffset(int offset, QAccessible::TextBoundaryType kind, int *start, int *end) const override;
    void removeSelection(int n) override;
    void setCursorPosition(int position) override;
    void setSelection(int n, int start, int end) override;
    int characterCount() const override;
    void scrollToSubstring(int start, int end) override;

    void deleteText(int start, int end) override;
    void insertText(int offset, const QString &text) override;
    void replaceText(int start, int end, const QString &text) override;

private:
    QLineEdit *lineEdit() const;
    bool shown() const;
    QString piece(int offset, QAccessible::TextBoundaryType kind, int which, int *start, int *end) const;
};

// Registers the interfaces above with Qt's accessibility; once, before any
// window is shown.
void installAccessibility();

} // namespace qyr
