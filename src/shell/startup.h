#pragma once
// Start-up, shutdown and the one-second timer that ends the suppression of
// end-of-play chaining.
#include <QString>
#include <functional>

#include "../services/panels.h"
#include <utility>

namespace qyr {

class ErrorReporter;
class IBrowser;
class IDialogs;
class IEventPump;
class PlayerSlot;
class PlayerSettings;
class Messages;
class Feedback;
class Books;
class PageAudio;
class AboutPage;
struct VolumeRange;
class ReadingKeys;
class DaisyReading;

class Startup {
public:
    // The parts it starts.
    struct Parts {
        PageAudio &audio;
        AboutPage &about;
        VolumeRange &range;
        ReadingKeys &reading;
        DaisyReading &daisy;
    };
    // The controls it sets up from the settings, and the timers it starts.
    struct Controls {
        Control &form;
        OptionsControls options;
        BookmarkControls bookmarks;
        FileChooserControls chooser;
        TimerModel &TimerSpalsh;
        TimerModel &TimerDisableState;
    };
    // What it works with.
    struct Uses {
        ErrorReporter &er;
        IBrowser &browser;
        IDialogs &dialogs;
        IEventPump &pump;
        PlayerSlot &player;
        PlayerSettings &prefs;
        Messages &msg;
        Feedback &feedback;
        Books &books;
        Parts parts;
        Controls controls;
    };

    explicit Startup(Uses uses) : u(std::move(uses)) {}
    void Form_Load();
    void Form_Initialize();
    void Form_QueryUnload(bool &cancel);
    // The end of the session (a signal, the session manager, the end of the
    // automation input): what a "Sì" to the exit question does, unasked.
    void EndWithoutQuestion();

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
    bool createPlayer(const QString &versionText, bool audioOff);
    bool guarded(const std::function<void()> &body);
    void readSettings(QString &versionText, bool &audioOff);
    bool choosePlayer(QString versionText, bool audioOff);
    Uses u;
    bool closing_ = false;
};

} // namespace qyr
