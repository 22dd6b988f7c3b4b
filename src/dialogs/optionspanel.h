#pragma once
// The options panel: every edit is stored at once; choosing the player
// version rebuilds the player facade.
#include <QString>

#include "../services/panels.h"
#include <utility>

namespace qyr {

class ErrorReporter;
class PlayerSlot;
class PlayerSettings;
class Feedback;
struct VolumeRange;

class OptionsPanel {
public:
    // What it works with.
    struct Uses {
        ErrorReporter &er;
        PlayerSlot &player;
        PlayerSettings &prefs;
        Feedback &feedback;
        VolumeRange &range; // the volume keys follow the player in use
        OptionsControls controls;
    };

    explicit OptionsPanel(Uses uses) : u(std::move(uses)) {}
    void connect(); // attaches the handlers to the panel's control models
    void chkSavePos_Click();
    void TextAvantiIndietro_Change();
    void TextVolume_Change();
    // The reader has left the volume box (or pressed Enter in it).
    void TextVolume_Done();
    void TextRate_Change();
    void chkAudioOff_Click();
    void optPlayer_Click(int index);
    void optVoce_Click(int index);
    void cmdSetupClose_Click();
    void SetPlayer(qint16 index);

private:
    void carryVolume(qint16 from, qint16 to);
    QString volumeProblem(const QString &text);
    Uses u;
    bool switching_ = false; // SetPlayer is putting the option back
};

} // namespace qyr
