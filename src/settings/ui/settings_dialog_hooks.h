#pragma once
// Connects the main window's Effects and custom frame size commands to their dialogs, and
// opens the FFMPEG command dialog for the command flow.
#include "app/ui/main_window_hooks.h"

namespace reelsmith {

void InstallSettingsDialogHooks(TMainWindowHooks& hooks);

// The dialog step of the FFMPEG command flow: empties `str_Options`, lets the user type a
// command into it (and pick the video format, whose encoder lists are left as they are) and
// tells whether there is a command to run. Cancel leaves `str_Options` empty.
bool RunCommandDialog(Tfrm_Main& window);

}  // namespace reelsmith
