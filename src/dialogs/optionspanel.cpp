#include "optionspanel.h"
#include "../platform/convert.h"
#include "../shell/frmbrowser.h"
#include "../player/volumescale.h"
#include "../shell/playersettings.h"

namespace qyr {

void OptionsPanel::connect()
{
    f.chkSavePos.Click.connect([this] { chkSavePos_Click(); });
    f.TextAvantiIndietro.Change.connect([this] { TextAvantiIndietro_Change(); });
    f.TextVolume.Change.connect([this] { TextVolume_Change(); });
    f.TextVolume.EditingDone.connect([this] { TextVolume_Done(); });
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

// A volume is applied as soon as the box holds one the player can take; an
// entry on its way there ("-", "-2" before "-200") is waited for, and only
// checked once the reader has finished it.
void OptionsPanel::TextVolume_Change()
{
    Guard(f.er, QStringLiteral("TextVolume_Change"), [&] {
        const QString t = f.TextVolume.text();
        // Start-up fills the box before there is a player: what it read stays
        // stored as it was until the player's own scale has judged it.
        const bool running = f.oPlayer && f.oPlayer->hasCurrentPlayer();
        if (!running || !volumeProblem(t).isEmpty())
            return;
        f.prefs.save(QStringLiteral("Volume"), t);
        // Heard at once; the volume keys have set the player already and
        // only write the box.
        if (f.oPlayer->Volume().toDouble() != double(conv::toInt32(t)))
            f.oPlayer->setVolume(t);
    });
}

void OptionsPanel::TextVolume_Done()
{
    Guard(f.er, QStringLiteral("TextVolume_Change"), [&] {
        const QString problem = volumeProblem(f.TextVolume.text());
        if (problem.isEmpty())
            return;
        // One message, and the box back to the volume in force.
        f.feedback.OSD(problem, false);
        f.TextVolume.setText(f.prefs.read(QStringLiteral("Volume"), QStringLiteral("TextVolume_Change")));
    });
}

// Why the text is no volume the player can take; empty when it is one. Only
// a volume in range is stored: anything else would fail at every start.
QString OptionsPanel::volumeProblem(const QString &text)
{
    if (!conv::isNumeric(text))
        return QStringLiteral("Volume non valido: scrivere un numero");
    // Before the player exists (start-up fills the box) either scale will do.
    const bool running = f.oPlayer && f.oPlayer->hasCurrentPlayer();
    const qint32 low = running ? f.keys.transport.volumeMin() : volume::of(0).min;
    const qint32 high = running ? f.keys.transport.volumeMax() : volume::of(1).max;
    const double v = conv::toDouble(text);
    if (v < low || v > high)
        return QStringLiteral("Volume non valido: da %1 a %2").arg(low).arg(high);
    return QString();
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
    if (switching_)
        return;
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
    // What the reader hears goes on in the other player: the same file at the
    // same place, playing or paused, at the same speed and loudness, and
    // silent when reading is off.
    QString file;
    bool playing = false;
    double position = 0;
    auto carryOver = [&](qint16 version, qint16 from) {
        f.keys.transport.setVolumeRange(version);
        f.oPlayer->setRate(f.feedback.PlayerRate());
        f.oPlayer->setAudioOff(f.feedback.audioOff());
        carryVolume(from, version);
        if (!file.isEmpty()) {
            f.oPlayer->setAutoStart(playing && !f.feedback.audioOff());
            f.oPlayer->setFileName(file);
            f.oPlayer->setCurrentPosition(position);
        }
    };
    try {
        if (!f.oPlayer)
            throw QyrError(err::ObjectNotSet);
        file = f.oPlayer->FileName();
        playing = f.oPlayer->IsPlaying();
        position = file.isEmpty() ? 0.0 : f.oPlayer->CurrentPosition();
        f.oPlayer->Stop_Player();
        old = f.oPlayer->Versione();
        f.oPlayer.reset();
        f.oPlayer = f.newPlayer();
        if (index == 1 || index == 0) {
            f.oPlayer->setVersione(index);
            // Without its player the version is not taken (the facade has said why).
            if (!f.oPlayer->hasCurrentPlayer())
                throw QyrError(err::CannotCreateObject);
            carryOver(index, old);
        }
        f.optPlayer.select(index);
        f.prefs.save(QStringLiteral("Versione"), QString::number(f.oPlayer->Versione()));
    } catch (...) {
        f.er.captureCurrentException();
        f.er.ShowError(QStringLiteral("SetPlayer"),
                       QStringLiteral("Versione Media Player non supportata! Verrà reimpostata la versione precedente!"));
        f.er.clearCurrent();
        if ((old == 0 || old == 1) && f.oPlayer) {
            f.oPlayer->setVersione(old);
            if (f.oPlayer->hasCurrentPlayer())
                IgnoreFailure([&] { carryOver(old, old); });
            // The option shown is the player in use; selecting it is no new choice.
            const bool was = switching_;
            switching_ = true;
            f.optPlayer.select(old);
            switching_ = was;
        }
    }
}

// The stored volume, on the new player's scale when the player changes; the
// box shows it and the new player takes it.
void OptionsPanel::carryVolume(qint16 from, qint16 to)
{
    const QString text = f.TextVolume.text();
    if (!conv::isNumeric(text))
        return;
    const bool changes = (from == 0 || from == 1) && from != to;
    const QString now = changes ? QString::number(volume::convert(conv::toDouble(text), from, to)) : text;
    // One this player cannot take is left to start-up's check, which says so.
    if (!volumeProblem(now).isEmpty())
        return;
    if (now != text)
        f.TextVolume.setText(now); // stored by the box's handler
    f.oPlayer->setVolume(now);
}

} // namespace qyr
