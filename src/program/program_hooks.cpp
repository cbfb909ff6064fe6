#include "program/program_hooks.h"

#include <memory>

#include "app/ui/main_window.h"
#include "app/ui/shell_hooks.h"
#include "base/ui/taskbar_progress.h"
#include "burn/ui/burn_hooks.h"
#include "intake/decoder_probe.h"
#include "intake/ui/intake_hooks.h"
#include "media/ui/media_hooks.h"
#include "runs/ui/run_hooks.h"
#include "settings/ui/settings_dialog_hooks.h"
#include "update/ui/update_hooks.h"

namespace reelsmith {

TMainWindowHooks ProgramHooks()
{
    TMainWindowHooks hooks;
    InstallIntakeHooks(hooks, [] { return std::make_unique<TDecoderProbe>(); });
    InstallSettingsDialogHooks(hooks);
    InstallRunHooks(hooks);
    InstallShellHooks(hooks);
    InstallUpdateHooks(hooks);
    InstallMediaHooks(hooks);
    InstallBurnHooks(hooks);
    hooks.CreateTaskbarProgress = [](Tfrm_Main& owner) -> std::unique_ptr<QObject> {
        return std::make_unique<TWin7TaskProgressBar>(&owner);
    };
    return hooks;
}

}  // namespace reelsmith
