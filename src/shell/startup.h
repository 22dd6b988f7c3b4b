#pragma once
// Start-up, shutdown and the one-second timer that ends the suppression of
// end-of-play chaining.
#include <QString>
#include <functional>

namespace qyr {

class frmBrowser;

class Startup {
public:
    explicit Startup(frmBrowser &f) : f(f) {}
    void Form_Load();
    void Form_Initialize();
    void Form_QueryUnload(bool &cancel);
    // The end of the session (a signal, the session manager, the end of the
    // automation input): what a "Sì" to the exit question does, unasked.
    void EndWithoutQuestion();
    void TimerDisableState_Timer();
    // The close request was granted (or the session ended): nothing more
    // is shown and the window goes.
    bool closing() const { return closing_; }

    // The step label of the load step, for the start-up error report.
    QString StartupStep;
    // The message template as last filled by the start-up error report.
    QString lastFilledError;

    // What the window is called until the first book page shows: the
    // program's name and the book it is opening, heard as the window appears.
    QString openingWords() const;

    // Saves the reader's place in the open book (or clears it when the
    // place is not to be kept), as the exit question's "Sì" does.
    void savePlace();

private:
    bool reportStartupError();
    void createPlayer(const QString &versionText, bool audioOff);
    bool guarded(const std::function<void()> &body);
    void readSettings(QString &versionText, bool &audioOff);
    bool choosePlayer(QString versionText, bool audioOff);
    frmBrowser &f;
    bool closing_ = false;
};

} // namespace qyr
