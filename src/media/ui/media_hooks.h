#pragma once
// Connects the main window's Preview (F3, toolbar) and Properties (F4) commands to the
// Preview and Properties windows.
#include "app/ui/main_window_hooks.h"

namespace reelsmith {

void InstallMediaHooks(TMainWindowHooks& hooks);

}  // namespace reelsmith
