#include "debugpanel.h"
#include "../shell/frmbrowser.h"

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
    f.Text1.setText(reminder);
    f.cmdDebug[0].Click.connect([this] { cmdDebug_Click(0); });
    f.cmdDebug[1].Click.connect([this] { cmdDebug_Click(1); });
    f.cmdFileAudio.Click.connect([this] { cmdFileAudio_Click(); });
    f.cmdGO.Click.connect([this] { cmdGO_Click(); });
}

void DebugPanel::cmdDebug_Click(int index)
{
    Guard(f.er, QStringLiteral("cmdDebug_Click"), [&] {
        if (index == 1)
            f.player().Play_Player();
        f.TxtDebFilename.setText(f.player().FileName());
    });
}

void DebugPanel::cmdFileAudio_Click()
{
    Guard(f.er, QStringLiteral("cmdFileAudio_Click"), [&] { f.TextAudio.setText(f.player().FileName()); });
}

void DebugPanel::cmdGO_Click()
{
    Guard(f.er, QStringLiteral("cmdGO_Click"), [&] { f.ports.browser.navigate(f.TextURL.text()); });
}

void DebugPanel::fraDebug_DragOver(float X, float Y, int State)
{
    Q_UNUSED(State);
    Guard(f.er, QStringLiteral("fraDebug_DragOver"), [&] {
        f.fraDebug.setLeft(X);
        f.fraDebug.setTop(Y);
    });
}

void DebugPanel::fraDebug_DragDrop(float X, float Y)
{
    Q_UNUSED(X);
    Q_UNUSED(Y);
}

} // namespace qyr
