#pragma once
// The window's controls grouped by the panel they sit on, as the parts are
// given them: a part that works with a panel takes the panel's group, not
// a long run of single controls of the same type that could be swapped.
#include "../platform/controls.h"

#include <array>

namespace qyr {

// Ctrl+8: the reader's options.
struct OptionsControls {
    Panel &frmconfigurazione;
    CheckBox &chkSavePos;
    CheckBox &chkAudioOff;
    TextBox &TextAvantiIndietro;
    TextBox &TextVolume;
    TextBox &TextRate;
    OptionGroup &optPlayer;
    OptionGroup &optVoce;
    Button &cmdSetupClose;
};

// Alt+6: the bookmark list and its buttons.
struct BookmarkControls {
    Panel &fraMarcatori;
    ListBox &ListMarkers;
    ListBox &lstapp;
    std::array<Button, 5> &cmdImpExp;
};

// The file chooser of the export and import, inside the bookmark panel.
struct FileChooserControls {
    Panel &frmImpExp;
    PathList &Drive;
    PathList &Dir;
    PathList &File;
    TextBox &TextFileName;
    Label &lblNomeFile;
    Button &Command1;
};

// The on-screen display where every command answers.
struct OsdControls {
    Panel &frmOSD;
    Label &lblOSD;
    TimerModel &TimerOSD;
};

// Shift+Ctrl+Alt: the diagnostic panel.
struct DebugControls {
    Panel &fraDebug;
    TextBox &TextURL;
    TextBox &TxtDebFilename;
    TextBox &TextAudio;
    TextBox &Text1;
    std::array<Button, 2> &cmdDebug;
    Button &cmdFileAudio;
    Button &cmdGO;
};

} // namespace qyr
