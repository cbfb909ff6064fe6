#pragma once
// Connects the main window's file list, paste, help and theme commands, and attaches the
// list's drop target and the toolbar's first colours to a new main window.
#include "app/ui/main_window_hooks.h"

namespace reelsmith {

void InstallShellHooks(TMainWindowHooks& hooks);

// After the window is built: the drop target of the file list, and the toolbar's design
// colours unless a theme already coloured it.
void AttachShell(Tfrm_Main& main);

}  // namespace reelsmith
