#include "settings/ui/settings_dialog_hooks.h"

#include <QComboBox>

#include "app/ui/main_window.h"
#include "settings/ui/command_dialog.h"
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

bool RunCommandDialog(Tfrm_Main& window)
{
    window.str_Options.clear();
    int format = window.cb_VideoFormat->currentIndex();
    // Setting the position from code does not refill the encoder lists (only the user's
    // choice in the main window does).
    if (Tfrm_Command::Execute(&window, window.str_Options, format))
        window.cb_VideoFormat->setCurrentIndex(format);
    return !window.str_Options.isEmpty();
}

}  // namespace reelsmith
