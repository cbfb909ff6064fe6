#pragma once
// The program's composition: every subsystem's windows wired into the main window's
// commands. The program and the screenshot tool build their main window from this one list;
// tests wire the subsystems they need one by one.
#include "app/ui/main_window_hooks.h"
#include "burn/ui/burn_window.h"
#include "intake/ui/intake_hooks.h"

namespace reelsmith {

TMainWindowHooks ProgramHooks();

// The Add Files dialog hook, and the Adding window hook when a probe factory is given (each
// Adding window owns the probe it makes).
void InstallIntakeHooks(TMainWindowHooks& hooks, TProbeFactory makeProbe = {});
// Effects and the custom frame size.
void InstallSettingsDialogHooks(TMainWindowHooks& hooks);
// Convert, Extract audio, the FFMPEG command, the output folder's browse button and the
// command-line timer.
void InstallRunHooks(TMainWindowHooks& hooks);
// Preview and Properties.
void InstallMediaHooks(TMainWindowHooks& hooks);
// The Burn window, with options tests may preset.
void InstallBurnHooks(TMainWindowHooks& hooks, TBurnWindowOptions options = {});
// The update timer and the About box.
void InstallUpdateHooks(TMainWindowHooks& hooks);

}  // namespace reelsmith
