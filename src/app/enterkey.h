#pragma once
// Enter presses the button that has the keyboard, in the window's panels and
// in every dialog, as the readers' own systems do. Qt presses a focused
// button only with Space outside dialogs, and inside one it presses the
// dialog's default button, whichever has the keyboard.
#include <QObject>

namespace qyr {

class EnterPressesFocusedButton : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject *watched, QEvent *event) override;
};

// Installs the filter on the whole application, before the window's own key
// handling: the key map still sees the key first.
void installEnterPressesFocusedButton();

} // namespace qyr
