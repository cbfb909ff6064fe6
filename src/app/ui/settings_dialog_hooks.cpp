#include "app/ui/settings_dialog_hooks.h"

#include "app/ui/main_window.h"
#include "settings/ui/custom_size_dialog.h"
#include "settings/ui/effects_dialog.h"

namespace reelsmith {

void InstallSettingsDialogHooks(TMainWindowHooks& hooks)
{
    hooks.Effects = [](Tfrm_Main& window) {
        TOutputChoices choices = window.Choices();
        if (Tfrm_Effects::Execute(&window, choices.Effects))
            window.SetChoices(choices);
    };
    hooks.CustomFrameSize = [](Tfrm_Main& window) {
        TOutputChoices choices = window.Choices();
        if (Tfrm_Custom::Execute(&window, choices))
            window.SetChoices(choices);
    };
}

}  // namespace reelsmith
