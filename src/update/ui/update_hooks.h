#pragma once
// Connects the main window's update timer and About command: the once-per-start update
// check and the About box.
#include <QString>

#include "app/ui/main_window_hooks.h"

namespace reelsmith {

void InstallUpdateHooks(TMainWindowHooks& hooks);

// First tick of the update timer: starts the check on its own thread, once per start and
// never in a command-line run. The check belongs to the main window and ends with it.
void tmr_UpdateTimer(Tfrm_Main& main);

// A published version text that arrived (on the main thread): when it is newer than ours,
// asks "Update" and, on Yes, opens the maker's web site.
void UpdateDataArrived(Tfrm_Main& main, const QString& data);

}  // namespace reelsmith
