#pragma once
// The options panel: every edit is stored at once; choosing the player
// version rebuilds the player facade.
#include <QString>

namespace qyr {

class frmBrowser;

class OptionsPanel {
public:
    explicit OptionsPanel(frmBrowser &f) : f(f) {}
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
    frmBrowser &f;
    bool switching_ = false; // SetPlayer is putting the option back
};

} // namespace qyr
