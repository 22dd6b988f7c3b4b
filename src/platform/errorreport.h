#pragma once
// Error reporting: ShowError and the handler convention, written once.
// Every handler runs its body through Guard: a failure is caught, reported
// with the handler's name text (and the error's description and number) and
// the handler leaves normally; nothing is passed up to the caller. Below the
// guard, a failure that belongs to normal use is handed back as a Result
// (result.h), and the handler reports it with report().
#include "dialogs.h"
#include "errors.h"
#include "result.h"

#include <QString>
#include <functional>

namespace qyr {

class ErrorReporter {
public:
    explicit ErrorReporter(IDialogs &dialogs) : dialogs_(dialogs) {}

    // With an empty message the dialog shows the current error's description,
    // a line break, "Codice: " and its number; otherwise the message alone.
    void ShowError(const QString &name, const QString &message);

    // Reports a failure found without a throw, as a handler's guard reports
    // one it caught: under name, with the standard description of number.
    void report(const QString &name, qint32 number);
    // The same for a failure handed back in a Result, with its own description.
    void report(const QString &name, const Failure &failure);
    // The current error, as a handler sees it while it runs.
    void setCurrent(qint32 number, const QString &description);
    void clearCurrent();
    qint32 currentNumber() const { return number_; }
    const QString &currentDescription() const { return description_; }

    // Turns whatever was thrown into the current error (call inside catch).
    void captureCurrentException();

    // Called before each report; the automation channel and tests listen.
    std::function<void(const QString &name, const QString &text)> onReport;

private:
    IDialogs &dialogs_;
    qint32 number_ = 0;
    QString description_;
};

// A name text that long procedures update as they go: the prefix followed by
// the label of the step reached ("Playaudio - " + "Controllo esistenza file1").
struct StepLabel {
    QString prefix;
    QString label;
    QString text() const { return prefix + label; }
};

namespace detail {
inline const QString &nameOf(const QString &s) { return s; }
inline QString nameOf(const StepLabel &s) { return s.text(); }
} // namespace detail

// Runs body; on failure reports it under name and returns false.
// onFailure (optional) runs first, with the current error set.
template <typename Name, typename Body>
bool Guard(ErrorReporter &er, const Name &name, Body &&body, const std::function<void()> &onFailure = nullptr)
{
    try {
        body();
        er.clearCurrent();
        return true;
    } catch (...) {
        er.captureCurrentException();
    }
    if (onFailure)
        onFailure();
    er.ShowError(detail::nameOf(name), QString());
    er.clearCurrent();
    return false;
}

// A result-returning handler: on failure, the value assigned before it (or the default).
template <typename T, typename Name, typename Body>
T GuardValue(ErrorReporter &er, const Name &name, T initial, Body &&body)
{
    T result = initial;
    Guard(er, name, [&] { body(result); });
    return result;
}

// One statement whose failure is skipped silently (the "ignore errors" stretches).
template <typename Body>
void IgnoreFailure(Body &&body)
{
    try {
        body();
    } catch (...) {
    }
}

} // namespace qyr
