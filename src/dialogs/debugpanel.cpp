#include "debugpanel.h"
#include "../platform/bookpath.h"
#include "../platform/browser.h"
#include "../platform/convert.h"
#include "../platform/errorreport.h"
#include "../platform/errors.h"
#include "../services/playerslot.h"

namespace qyr {

namespace {

const char *const kReminder[] = {
    "    '**************************************",
    "    ' SHIFT + CTRL PREMUTI",
    "    ' VOLUME +              (-)",
    "    ' VOLUME -              (+)",
    "    ' CAMBIO STILE GRAFICO  (9)",
    "    '**************************************",
    "    ' CTRL PREMUTI",
    "    ' CAMBIO VELOCITA'          (9)",
    "    ' PANNELLO OPZIONI          (8)",
    "    ' CAMBIO PLAYER             (7)",
    "    ' ATTIVA/DISATTIVA LETTURA  (0)",
};

} // namespace

void DebugPanel::connect()
{
    if (connected_)
        return;
    connected_ = true;
    QString reminder;
    for (const char *line : kReminder)
        reminder += QString::fromLatin1(line) + QStringLiteral("\r\n");
    u.controls.Text1.setText(reminder);
    u.controls.cmdDebug[0].Click.connect([this] { cmdDebug_Click(0); });
    u.controls.cmdDebug[1].Click.connect([this] { cmdDebug_Click(1); });
    u.controls.cmdFileAudio.Click.connect([this] { cmdFileAudio_Click(); });
    u.controls.cmdGO.Click.connect([this] { cmdGO_Click(); });
}

void DebugPanel::cmdDebug_Click(int index)
{
    Guard(u.er, QStringLiteral("cmdDebug_Click"), [&] {
        if (index == 1)
            u.player.get().Play_Player();
        u.controls.TxtDebFilename.setText(u.player.get().FileName());
    });
}

void DebugPanel::cmdFileAudio_Click()
{
    Guard(u.er, QStringLiteral("cmdFileAudio_Click"), [&] { u.controls.TextAudio.setText(u.player.get().FileName()); });
}

void DebugPanel::cmdGO_Click()
{
    Guard(u.er, QStringLiteral("cmdGO_Click"), [&] { u.browser.navigate(u.controls.TextURL.text()); });
}

void DebugPanel::fraDebug_DragOver(float X, float Y, int State)
{
    Q_UNUSED(State);
    Guard(u.er, QStringLiteral("fraDebug_DragOver"), [&] {
        u.controls.fraDebug.setLeft(X);
        u.controls.fraDebug.setTop(Y);
    });
}

void DebugPanel::fraDebug_DragDrop(float X, float Y)
{
    Q_UNUSED(X);
    Q_UNUSED(Y);
}

} // namespace qyr
