#pragma once
// The program's composition: every subsystem's windows wired into the main window's
// commands. The program and the screenshot tool build their main window from this one list.
#include "app/ui/main_window_hooks.h"

namespace reelsmith {

TMainWindowHooks ProgramHooks();

}  // namespace reelsmith
