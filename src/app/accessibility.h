#pragma once
// What screen readers need beyond Qt's own accessible interfaces: the
// message panel exposed as a notification and shown anew for each message
// (Orca speaks a notification when it is shown, and throws away a label's
// text or name change), and a drop-down list named by its name rather than
// its current entry.
#include <QComboBox>
#include <QLabel>

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
};

// A drop-down list whose accessible name is its own name ("Unità"); Qt names
// a combo box by its current text on Linux.
class NamedComboBox : public QComboBox {
    Q_OBJECT
public:
    using QComboBox::QComboBox;
};

// Registers the interfaces above with Qt's accessibility; once, before any
// window is shown.
void installAccessibility();

} // namespace qyr
