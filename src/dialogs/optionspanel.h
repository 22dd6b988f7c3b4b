#pragma once
// The options panel: every edit is stored at once; choosing the player
// version rebuilds the player facade.
#include <QtGlobal>

namespace qyr {

class frmBrowser;

class OptionsPanel {
public:
    explicit OptionsPanel(frmBrowser &f) : f(f) {}
    void connect(); // attaches the handlers to the panel's control models
    void chkSavePos_Click();
    void TextAvantiIndietro_Change();
    void TextVolume_Change();
    void TextRate_Change();
    void chkAudioOff_Click();
    void optPlayer_Click(int index);
    void optVoce_Click(int index);
    void cmdSetupClose_Click();
    void SetPlayer(qint16 index);

private:
    frmBrowser &f;
};

} // namespace qyr
