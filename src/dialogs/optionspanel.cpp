#include "optionspanel.h"
#include "../platform/convert.h"
#include "../shell/frmbrowser.h"

namespace qyr {

namespace {
const QString kPlayer = QStringLiteral("Player");
}

void OptionsPanel::connect()
{
    f.chkSavePos.Click.connect([this] { chkSavePos_Click(); });
    f.TextAvantiIndietro.Change.connect([this] { TextAvantiIndietro_Change(); });
    f.TextVolume.Change.connect([this] { TextVolume_Change(); });
    f.TextRate.Change.connect([this] { TextRate_Change(); });
    f.chkAudioOff.Click.connect([this] { chkAudioOff_Click(); });
    f.optPlayer.Click.connect([this](int i) { optPlayer_Click(i); });
    f.optVoce.Click.connect([this](int i) { optVoce_Click(i); });
    f.cmdSetupClose.Click.connect([this] { cmdSetupClose_Click(); });
}

void OptionsPanel::chkSavePos_Click()
{
    Guard(f.er, QStringLiteral("chkSavePos_Click"), [&] {
        f.settings.Save(f.strAppName, kPlayer, QStringLiteral("SavePos"), QString::number(f.chkSavePos.value()));
    });
}

void OptionsPanel::TextAvantiIndietro_Change()
{
    Guard(f.er, QStringLiteral("TextAvantiIndietro_Change"), [&] {
        const QString t = f.TextAvantiIndietro.text();
        if (conv::isNumeric(t))
            f.settings.Save(f.strAppName, kPlayer, QStringLiteral("AvantiIndietro"), t);
        else
            f.TextAvantiIndietro.setText(
                f.settings.Get(f.strAppName, kPlayer, QStringLiteral("AvantiIndietro"), QStringLiteral("10")));
    });
}

void OptionsPanel::TextVolume_Change()
{
    Guard(f.er, QStringLiteral("TextVolume_Change"), [&] {
        f.settings.Save(f.strAppName, kPlayer, QStringLiteral("Volume"), f.TextVolume.text());
    });
}

void OptionsPanel::TextRate_Change()
{
    Guard(f.er, QStringLiteral("TextRate_Change"), [&] { f.feedback.setPlayerRate(conv::toSingle(f.TextRate.text())); });
}

void OptionsPanel::chkAudioOff_Click()
{
    Guard(f.er, QStringLiteral("chkAudioOff_Click"), [&] { f.feedback.SetAudioOff(f.chkAudioOff.value() == 1); });
}

void OptionsPanel::optPlayer_Click(int index)
{
    Guard(f.er, QStringLiteral("optPlayer_Click"), [&] { SetPlayer(qint16(index)); });
}

void OptionsPanel::optVoce_Click(int index)
{
    Guard(f.er, QStringLiteral("optVoce_Click"), [&] {
        f.settings.Save(f.strAppName, kPlayer, QStringLiteral("VoceProgramma"), QString::number(index));
    });
}

void OptionsPanel::cmdSetupClose_Click() { f.frmconfigurazione.setVisible(false); }

void OptionsPanel::SetPlayer(qint16 index)
{
    qint16 old = -1;
    try {
        if (!f.oPlayer)
            throw QyrError(err::ObjectNotSet);
        const QString file = f.oPlayer->FileName();
        f.oPlayer->Stop_Player();
        old = f.oPlayer->Versione();
        f.oPlayer.reset();
        f.oPlayer = f.newPlayer();
        if (index == 1 || index == 0) {
            f.oPlayer->setVersione(index);
            if (index == 1) {
                f.nVolumeMax = 100;
                f.nVolumeMin = 0;
                f.nVolumeStep = 10;
            } else {
                f.nVolumeMax = 0;
                f.nVolumeMin = -4000;
                f.nVolumeStep = 100;
            }
            f.nVolumeNew = 0;
            f.oPlayer->setFileName(file);
            f.oPlayer->Play_Player();
        }
        f.optPlayer.select(index);
        f.settings.Save(f.strAppName, kPlayer, QStringLiteral("Versione"), QString::number(f.oPlayer->Versione()));
    } catch (...) {
        f.er.captureCurrentException();
        f.er.ShowError(QStringLiteral("SetPlayer"),
                       QStringLiteral("Versione Media Player non supportata! Verrà reimpostata la versione precedente!"));
        f.er.clearCurrent();
        if ((old == 0 || old == 1) && f.oPlayer)
            f.oPlayer->setVersione(old);
    }
}

} // namespace qyr
