#pragma once
// frmInputBox: the small modal dialog in which the reader types a bookmark
// description. Made for one use: set Title (and, if needed, the label and the
// starting text), call Display, read txtInput, let it go. An empty text means
// the reader cancelled. The dialogs port draws it, with its "&OK" and
// "&Annulla" buttons. Like every dialog member, it catches nothing itself.
#include "../platform/controls.h"
#include "../platform/dialogs.h"

namespace qyr {

class frmInputBox {
public:
    explicit frmInputBox(IDialogs &dialogs);

    // Shows the dialog modally and returns when the reader has closed it:
    // OK leaves the typed text in txtInput, Annulla or closing the window
    // leaves it empty. OK on an empty box says so and keeps the dialog open.
    void Display();

    qint16 ButtonClicked() const { return mButtonClicked; } // never set: stays 0
    bool PasswordProtect() const { return mPasswordProtect; }
    void setPasswordProtect(bool v) { mPasswordProtect = v; }
    const QString &Prompt() const { return mPrompt; }
    void setPrompt(const QString &v) { mPrompt = v; }
    void setTitle(const QString &v) { mTitle = v; }
    const QString &Default() const { return mDefault; }
    void setDefault(const QString &v) { mDefault = v; }

    TextBox txtInput{QStringLiteral("txtInput"), QStringLiteral("Segnalibro"),
                     QStringLiteral("Descrizione del segnalibro")};
    Label Label1{QStringLiteral("Label1"), QStringLiteral("Scrivi il segnalibro:"), QString()};

private:
    const QString &Title() const { return mTitle; }

    IDialogs &dialogs_;
    qint16 mButtonClicked = 0;
    bool mPasswordProtect = false;
    QString mPrompt;
    QString mTitle;
    QString mDefault;
};

} // namespace qyr
