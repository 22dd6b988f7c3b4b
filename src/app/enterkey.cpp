#include "enterkey.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>

namespace qyr {

bool EnterPressesFocusedButton::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride)
        return false;
    const auto *k = static_cast<QKeyEvent *>(event);
    if ((k->key() != Qt::Key_Return && k->key() != Qt::Key_Enter) || (k->modifiers() & ~Qt::KeypadModifier))
        return false;
    // The key goes to the widget with the keyboard: only a push button that
    // has it is pressed. Check boxes and options keep Space. The keyboard of
    // its own window, not the application's: after a message box has closed
    // with no window manager to hand the activation back, the window is not
    // the active one, yet its keys reach the button.
    auto *button = qobject_cast<QPushButton *>(watched);
    if (!button || button->window()->focusWidget() != button || !button->isEnabled() || button->isCheckable())
        return false;
    if (event->type() == QEvent::ShortcutOverride) {
        // Claimed, so that no shortcut of the dialog takes Enter first.
        event->accept();
        return true;
    }
    if (!k->isAutoRepeat())
        button->click();
    return true;
}

void installEnterPressesFocusedButton()
{
    qApp->installEventFilter(new EnterPressesFocusedButton(qApp));
}

} // namespace qyr
