#pragma once
// Connects the main window's intake commands to the intake windows: the Add files
// command and the note open the Add Files dialog; AddFiles opens the Adding window.
#include <functional>
#include <memory>

#include "app/ui/main_window_hooks.h"
#include "intake/media_probe.h"

namespace reelsmith {

using TProbeFactory = std::function<std::unique_ptr<IMediaProbe>()>;

// Installs the Add Files dialog hook, and the Adding window hook when a probe factory is
// given (each Adding window owns the probe it makes).
void InstallIntakeHooks(TMainWindowHooks& hooks, TProbeFactory makeProbe = {});

}  // namespace reelsmith
