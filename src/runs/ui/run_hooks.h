#pragma once
// Connects the main window's run commands: Convert, Extract audio and the FFMPEG command
// with the destination choice, the " Output " tab's browse button, and the command-line timer that starts an
// automatic run.
#include "app/ui/main_window_hooks.h"

namespace reelsmith {

void InstallRunHooks(TMainWindowHooks& hooks);

// True when nobody can answer a question or close a window: the command line ends in "x",
// or it asks for an automatic run and there is no display.
bool UnattendedRun(const Tfrm_Main& main);

void btn_ConvertClick(Tfrm_Main& main);
void btn_ExtractClick(Tfrm_Main& main);
// The user's own command (no option builder, no command-line folder) into Tfrm_Video.
void btn_CommandClick(Tfrm_Main& main);
void btn_BrowseClick(Tfrm_Main& main);
void tmr_ParamTimer(Tfrm_Main& main);

}  // namespace reelsmith
