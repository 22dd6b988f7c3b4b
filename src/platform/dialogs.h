#pragma once
// Dialogs port: every dialog is modal; the call returns when the reader has
// answered. The real adapter shows Qt dialogs (and the automation channel
// answers them); tests answer from a queue.
#include <QString>
#include <functional>
#include <optional>

namespace qyr {

enum class Buttons { Ok, YesNo, YesNoCancel };
enum class Answer { Ok, Yes, No, Cancel };
enum class Icon { None, Information, Question, Warning, Critical };

class IDialogs {
public:
    virtual ~IDialogs() = default;
    virtual Answer message(const QString &title, const QString &text, Buttons buttons, Icon icon) = 0;
    // The error dialog: the reporting procedure's name text and the error text.
    virtual void error(const QString &name, const QString &text) = 0;
    // Text box dialog; nullopt when it was closed without an answer.
    virtual std::optional<QString> input(const QString &title, const QString &label, const QString &text) = 0;
    // Folder chooser, starting in start; nullopt when it was closed without a
    // choice. refuse tells why a chosen folder will not do (empty: it will):
    // the reader is told, and the chooser stays open in that folder.
    virtual std::optional<QString> chooseFolder(const QString &title, const QString &start,
                                                const std::function<QString(const QString &)> &refuse) = 0;
};

} // namespace qyr
