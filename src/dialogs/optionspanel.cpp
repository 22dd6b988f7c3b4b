#include "optionspanel.h"
#include "../platform/bookpath.h"
#include "../platform/convert.h"
#include "../platform/errorreport.h"
#include "../platform/errors.h"
#include "../player/volumescale.h"
#include "../services/feedback.h"
#include "../services/playersettings.h"
#include "../services/playerslot.h"
#include "../services/volumerange.h"

namespace qyr {

void OptionsPanel::connect()
{
    u.controls.chkSavePos.Click.connect([this] { chkSavePos_Click(); });
    u.controls.TextAvantiIndietro.Change.connect([this] { TextAvantiIndietro_Change(); });
    u.controls.TextVolume.Change.connect([this] { TextVolume_Change(); });
    u.controls.TextVolume.EditingDone.connect([this] { TextVolume_Done(); });
    u.controls.TextRate.Change.connect([this] { TextRate_Change(); });
    u.controls.chkAudioOff.Click.connect([this] { chkAudioOff_Click(); });
    u.controls.optPlayer.Click.connect([this](int i) { optPlayer_Click(i); });
    u.controls.optVoce.Click.connect([this](int i) { optVoce_Click(i); });
    u.controls.cmdSetupClose.Click.connect([this] { cmdSetupClose_Click(); });
}

void OptionsPanel::chkSavePos_Click()
{
    Guard(u.er, QStringLiteral("chkSavePos_Click"),
          [&] { u.prefs.save(QStringLiteral("SavePos"), QString::number(u.controls.chkSavePos.value())); });
}

void OptionsPanel::TextAvantiIndietro_Change()
{
    Guard(u.er, QStringLiteral("TextAvantiIndietro_Change"), [&] {
        const QString t = u.controls.TextAvantiIndietro.text();
        if (conv::isNumeric(t)) {
            u.prefs.save(QStringLiteral("AvantiIndietro"), t);
            return;
        }
        u.feedback.OSD(QStringLiteral("Avanzamento non valido: scrivere un numero"), false);
        u.controls.TextAvantiIndietro.setText(
            u.prefs.read(QStringLiteral("AvantiIndietro"), QStringLiteral("TextAvantiIndietro_Change")));
    });
}

// A volume is applied as soon as the box holds one the player can take; an
// entry on its way there ("-", "-2" before "-200") is waited for, and only
// checked once the reader has finished it.
void OptionsPanel::TextVolume_Change()
{
    Guard(u.er, QStringLiteral("TextVolume_Change"), [&] {
        const QString t = u.controls.TextVolume.text();
        // Start-up fills the box before there is a player: what it read stays
        // stored as it was until the player's own scale has judged it.
        const bool running = u.player.oPlayer && u.player.oPlayer->hasCurrentPlayer();
        if (!running || !volumeProblem(t).isEmpty())
            return;
        u.prefs.save(QStringLiteral("Volume"), t);
        // Heard at once; the volume keys have set the player already and
        // only write the box.
        if (u.player.oPlayer->Volume().toDouble() != double(conv::toInt32(t)))
            u.player.oPlayer->setVolume(t);
    });
}

void OptionsPanel::TextVolume_Done()
{
    Guard(u.er, QStringLiteral("TextVolume_Change"), [&] {
        const QString problem = volumeProblem(u.controls.TextVolume.text());
        if (problem.isEmpty())
            return;
        // One message, and the box back to the volume in force.
        u.feedback.OSD(problem, false);
        u.controls.TextVolume.setText(u.prefs.read(QStringLiteral("Volume"), QStringLiteral("TextVolume_Change")));
    });
}

// Why the text is no volume the player can take; empty when it is one. Only
// a volume in range is stored: anything else would fail at every start.
QString OptionsPanel::volumeProblem(const QString &text)
{
    const Result<double> v = conv::tryDouble(text);
    if (!v)
        return QStringLiteral("Volume non valido: scrivere un numero");
    // Before the player exists (start-up fills the box) either scale will do.
    const bool running = u.player.oPlayer && u.player.oPlayer->hasCurrentPlayer();
    const qint32 low = running ? u.range.min : volume::of(0).min;
    const qint32 high = running ? u.range.max : volume::of(1).max;
    if (*v < low || *v > high)
        return QStringLiteral("Volume non valido: da %1 a %2").arg(low).arg(high);
    return QString();
}

void OptionsPanel::TextRate_Change()
{
    Guard(u.er, QStringLiteral("TextRate_Change"), [&] {
        const QString t = u.controls.TextRate.text();
        if (!conv::isNumeric(t)) {
            u.feedback.OSD(QStringLiteral("Velocità non valida: scrivere un numero"), false);
            u.controls.TextRate.setText(conv::fromSingle(u.feedback.PlayerRate()));
            return;
        }
        // A number out of range may be the start of a good one ("0" before
        // "0,7"): it is not stored, and the box keeps it for the reader to go on.
        if (!PlayerSettings::isSound(QStringLiteral("Rate"), t)) {
            u.feedback.OSD(QStringLiteral("Velocità non valida: da %1 a %2")
                               .arg(conv::fromSingle(float(PlayerSettings::kMinRate)),
                                    conv::fromSingle(float(PlayerSettings::kMaxRate))),
                           false);
            return;
        }
        u.feedback.setPlayerRate(conv::toSingle(t));
    });
}

void OptionsPanel::chkAudioOff_Click()
{
    Guard(u.er, QStringLiteral("chkAudioOff_Click"), [&] {
        const bool off = u.controls.chkAudioOff.value() == 1;
        // Stored as Ctrl+0 stores it when the reader ticks the box; the
        // program setting the box to what is already in force stores nothing.
        const bool changed = off != u.feedback.audioOff();
        u.feedback.SetAudioOff(off);
        if (changed)
            u.prefs.save(QStringLiteral("AudioOff"), conv::fromBool(off));
    });
}

void OptionsPanel::optPlayer_Click(int index)
{
    if (switching_)
        return;
    Guard(u.er, QStringLiteral("optPlayer_Click"), [&] { SetPlayer(qint16(index)); });
}

void OptionsPanel::optVoce_Click(int index)
{
    Guard(u.er, QStringLiteral("optVoce_Click"),
          [&] { u.prefs.save(QStringLiteral("VoceProgramma"), QString::number(index)); });
}

void OptionsPanel::cmdSetupClose_Click() { u.controls.frmconfigurazione.setVisible(false); }

void OptionsPanel::SetPlayer(qint16 index)
{
    qint16 old = -1;
    // What the reader hears goes on in the other player: the same file at the same place, playing or
    // paused, at the same speed and loudness, and silent when reading is off.
    QString file;
    bool playing = false;
    double position = 0;
    auto carryOver = [&](qint16 version, qint16 from) {
        u.range.setVersion(version);
        u.player.oPlayer->setRate(u.feedback.PlayerRate());
        u.player.oPlayer->setAudioOff(u.feedback.audioOff());
        carryVolume(from, version);
        if (!file.isEmpty()) {
            u.player.oPlayer->setAutoStart(playing && !u.feedback.audioOff());
            u.player.oPlayer->setFileName(file);
            u.player.oPlayer->setCurrentPosition(position);
        }
    };
    // False when not taken: no facade, or no player behind the new one (the facade has said why).
    auto take = [&] {
        if (!u.player.oPlayer)
            return false;
        file = u.player.oPlayer->FileName();
        playing = u.player.oPlayer->IsPlaying();
        position = file.isEmpty() ? 0.0 : u.player.oPlayer->CurrentPosition();
        u.player.oPlayer->Stop_Player();
        old = u.player.oPlayer->Versione();
        u.player.oPlayer.reset();
        u.player.oPlayer = u.player.create();
        if (index == 1 || index == 0) {
            u.player.oPlayer->setVersione(index);
            if (!u.player.oPlayer->hasCurrentPlayer())
                return false;
            carryOver(index, old);
        }
        u.controls.optPlayer.select(index);
        u.prefs.save(QStringLiteral("Versione"), QString::number(u.player.oPlayer->Versione()));
        return true;
    };
    bool taken = false;
    try {
        taken = take();
    } catch (...) { // a failure on the way (a store refusing the save): not taken either
    }
    if (taken)
        return;
    u.er.ShowError(QStringLiteral("SetPlayer"),
                   QStringLiteral("Versione Media Player non supportata! Verrà reimpostata la versione precedente!"));
    if ((old == 0 || old == 1) && u.player.oPlayer) {
        u.player.oPlayer->setVersione(old);
        if (u.player.oPlayer->hasCurrentPlayer())
            IgnoreFailure([&] { carryOver(old, old); });
        // The option shown is the player in use; selecting it is no new choice.
        const bool was = switching_;
        switching_ = true;
        u.controls.optPlayer.select(old);
        switching_ = was;
    }
}

// The stored volume, on the new player's scale when the player changes; the
// box shows it and the new player takes it.
void OptionsPanel::carryVolume(qint16 from, qint16 to)
{
    const QString text = u.controls.TextVolume.text();
    const Result<double> v = conv::tryDouble(text);
    if (!v)
        return;
    const bool changes = (from == 0 || from == 1) && from != to;
    const QString now = changes ? QString::number(volume::convert(*v, from, to)) : text;
    // One this player cannot take is left to start-up's check, which says so.
    if (!volumeProblem(now).isEmpty())
        return;
    if (now != text)
        u.controls.TextVolume.setText(now); // stored by the box's handler
    u.player.oPlayer->setVolume(now);
}

} // namespace qyr
