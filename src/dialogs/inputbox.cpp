#include "inputbox.h"

namespace qyr {

frmInputBox::frmInputBox(IDialogs &dialogs) : dialogs_(dialogs)
{
    Label1.setCaption(QStringLiteral("Scrivi il segnalibro:"));
}

void frmInputBox::Display()
{
    // The window is captioned "InputBox" until a title is given.
    const QString caption = Title().isEmpty() ? QStringLiteral("InputBox") : Title();
    for (;;) {
        const std::optional<QString> typed = dialogs_.input(caption, Label1.caption(), txtInput.text());
        if (!typed) {
            txtInput.setText(QString());
            return;
        }
        txtInput.setText(*typed);
        if (!typed->isEmpty())
            return;
        // OK on an empty box: the dialog stays open.
        dialogs_.message(caption, QStringLiteral("Non è stato inserito nessun dato"), Buttons::Ok, Icon::Information);
    }
}

} // namespace qyr
