#pragma once
// Connects the main window's Burn command (Ctrl+B) to the Burn window.
#include "app/ui/main_window_hooks.h"
#include "burn/ui/burn_window.h"

namespace reelsmith {

// Options for the Burn window opened from the main window; tests may preset the image file
// and the message answers.
void InstallBurnHooks(TMainWindowHooks& hooks, TBurnWindowOptions options = {});

}  // namespace reelsmith
