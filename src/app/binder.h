#pragma once
// Keeps a real widget and its control model in step, in both directions:
// a program change of the model updates the widget, a reader's edit of the
// widget sets the model (which raises the model's own handler).
#include "../platform/controls.h"

#include <functional>

class QWidget;
class QLineEdit;
class QCheckBox;
class QPushButton;
class QRadioButton;
class QListWidget;
class QComboBox;
class QLabel;

namespace qyr {

struct Twips {
    double perPixelX = 15, perPixelY = 15;
};

void bindControl(Control &m, QWidget *w, const Twips &t);
void bindTextBox(TextBox &m, QLineEdit *w, const Twips &t);
void bindCheckBox(CheckBox &m, QCheckBox *w, const Twips &t);
void bindButton(Button &m, QPushButton *w, const Twips &t);
void bindList(ListBox &m, QListWidget *w, const Twips &t);
// Key presses of w, as virtual-key code and modifier mask, to handler.
void forwardKeys(QWidget *w, std::function<void(qint16, qint16)> handler);
void bindPathList(PathList &m, QListWidget *w, const Twips &t);
void bindDriveList(PathList &m, QComboBox *w, const Twips &t);
class MessageLabel;
// The on-screen message: each text shown, also a repeated one, is announced
// to screen readers, and handed to spoken (the program's own voice).
void bindAnnouncer(Control &m, MessageLabel *w, const Twips &t, std::function<void(const QString &)> spoken);
// A radio group reached by Tab at its checked button (arrows move inside it).
void bindOptions(OptionGroup &g, const std::vector<QRadioButton *> &w, const Twips &t);

} // namespace qyr
