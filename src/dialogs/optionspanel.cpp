#include "optionspanel.h"
#include "../platform/convert.h"
#include "../shell/frmbrowser.h"
#include "../shell/playersettings.h"

namespace qyr {

namespace {
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
        f.prefs.save(QStringLiteral("SavePos"), QString::number(f.chkSavePos.value()));
    });
}

void OptionsPanel::TextAvantiIndietro_Change()
{
    Guard(f.er, QStringLiteral("TextAvantiIndietro_Change"), [&] {
        const QString t = f.TextAvantiIndietro.text();
        if (conv::isNumeric(t)) {
            f.prefs.save(QStringLiteral("AvantiIndietro"), t);
            return;
        }
        f.feedback.OSD(QStringLiteral("Avanzamento non valido: scrivere un numero"), false);
        f.TextAvantiIndietro.setText(f.prefs.read(QStringLiteral("AvantiIndietro"), QStringLiteral("TextAvantiIndietro_Change")));
    });
}

void OptionsPanel::TextVolume_Change()
{
    Guard(f.er, QStringLiteral("TextVolume_Change"), [&] {
        const QString t = f.TextVolume.text();
        // Only a volume the player can take is stored: anything else would
        // fail at every start.
        if (!conv::isNumeric(t)) {
            f.feedback.OSD(QStringLiteral("Volume non valido: scrivere un numero"), false);
            f.TextVolume.setText(f.prefs.read(QStringLiteral("Volume"), QStringLiteral("TextVolume_Change")));
            return;
        }
        // Before the player exists (start-up fills the box) either scale will do.
        const bool running = f.oPlayer && f.oPlayer->hasCurrentPlayer();
        const qint32 low = running ? f.keys.transport.volumeMin() : -4000;
        const qint32 high = running ? f.keys.transport.volumeMax() : 100;
        const double v = conv::toDouble(t);
        if (v < low || v > high) {
            f.feedback.OSD(QStringLiteral("Volume non valido: da %1 a %2").arg(low).arg(high), false);
            return;
        }
        f.prefs.save(QStringLiteral("Volume"), t);
        // Heard at once; the volume keys have set the player already and
        // only write the box.
        if (running && f.oPlayer->Volume().toDouble() != double(conv::toInt32(t)))
            f.oPlayer->setVolume(t);
    });
}

void OptionsPanel::TextRate_Change()
{
    Guard(f.er, QStringLiteral("TextRate_Change"), [&] {
        const QString t = f.TextRate.text();
        if (!conv::isNumeric(t)) {
            f.feedback.OSD(QStringLiteral("Velocità non valida: scrivere un numero"), false);
            f.TextRate.setText(conv::fromSingle(f.feedback.PlayerRate()));
            return;
        }
        // A number out of range may be the start of a good one ("0" before
        // "0,7"): it is not stored, and the box keeps it for the reader to go on.
        if (!PlayerSettings::isSound(QStringLiteral("Rate"), t)) {
            f.feedback.OSD(QStringLiteral("Velocità non valida: da %1 a %2")
                               .arg(conv::fromSingle(float(PlayerSettings::kMinRate)),
                                    conv::fromSingle(float(PlayerSettings::kMaxRate))),
                           false);
            return;
        }
        f.feedback.setPlayerRate(conv::toSingle(t));
    });
}

void OptionsPanel::chkAudioOff_Click()
{
    Guard(f.er, QStringLiteral("chkAudioOff_Click"), [&] {
        const bool off = f.chkAudioOff.value() == 1;
        // Stored as Ctrl+0 stores it when the reader ticks the box; the
        // program setting the box to what is already in force stores nothing.
        const bool changed = off != f.feedback.audioOff();
        f.feedback.SetAudioOff(off);
        if (changed)
            f.prefs.save(QStringLiteral("AudioOff"), conv::fromBool(off));
    });
}

void OptionsPanel::optPlayer_Click(int index)
{
    Guard(f.er, QStringLiteral("optPlayer_Click"), [&] { SetPlayer(qint16(index)); });
}

void OptionsPanel::optVoce_Click(int index)
{
    Guard(f.er, QStringLiteral("optVoce_Click"), [&] {
        f.prefs.save(QStringLiteral("VoceProgramma"), QString::number(index));
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
            f.keys.transport.setVolumeRange(index);
            f.oPlayer->setFileName(file);
            f.oPlayer->Play_Player();
        }
        f.optPlayer.select(index);
        f.prefs.save(QStringLiteral("Versione"), QString::number(f.oPlayer->Versione()));
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
