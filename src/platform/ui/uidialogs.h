#pragma once
// Modal Qt dialogs: message boxes, the error dialog frmErrore and the text
// box dialog. While one is open, the automation channel may answer it.
#include "../dialogs.h"

#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>

class QDialog;
class QWidget;

namespace qyr {

struct DialogInfo {
    QString kind;    // "error", "message", "input", "folder"
    QString title;
    QString text;
    QString name;    // error dialogs: the reporting procedure
    QString label;   // input dialogs
    QString buttons; // "ok", "yesno", "yesnocancel"
};

class UiDialogs : public IDialogs {
public:
    Answer message(const QString &title, const QString &text, Buttons buttons, Icon icon) override;
    void error(const QString &name, const QString &text) override;
    std::optional<QString> input(const QString &title, const QString &label, const QString &text) override;
    std::optional<QString> chooseFolder(const QString &title, const QString &start,
                                        const std::function<QString(const QString &)> &refuse) override;

    // Answers the innermost open dialog as a reader would; false when none is open
    // or the answer does not fit it.
    bool answer(const QString &button, const QString &text, bool hasText);
    bool isOpen() const { return !open_.isEmpty(); }
    // The session is ending: every open dialog is closed unanswered (as by
    // its title bar), and none opens from now on.
    void dismissAll();

    std::function<void(const DialogInfo &)> onOpen;
    std::function<void()> onClosed;
    // Says a short text on the program's message band, which screen readers
    // speak: a line inside a dialog would be spoken with the whole dialog again.
    std::function<void(const QString &)> say;

private:
    class FolderChooser;
    void reopened(QDialog *d, const QString &folder);
    struct Open {
        QPointer<QDialog> dialog;
        DialogInfo info;
    };
    int run(QDialog *d, const DialogInfo &info);
    QList<Open> open_;
    bool dismissed_ = false;
};

} // namespace qyr
