#pragma once
// Connects the main window's Effects and custom frame size commands to their dialogs.
#include "app/ui/main_window_hooks.h"

namespace reelsmith {

void InstallSettingsDialogHooks(TMainWindowHooks& hooks);

}  // namespace reelsmith
