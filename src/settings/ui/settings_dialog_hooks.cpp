#include "settings/ui/settings_dialog_hooks.h"

#include "settings/ui/command_dialog.h"
#include "settings/ui/custom_size_dialog.h"
#include "settings/ui/effects_dialog.h"

namespace reelsmith {

void EditEffects(ISettingsDialogHost& host)
{
    TOutputChoices choices = host.Choices();
    if (Tfrm_Effects::Execute(host.Window(), choices.Effects))
        host.SetChoices(choices);
}

void EditCustomFrameSize(ISettingsDialogHost& host)
{
    TOutputChoices choices = host.Choices();
    if (Tfrm_Custom::Execute(host.Window(), choices))
        host.SetChoices(choices);
}

bool RunCommandDialog(ISettingsDialogHost& host)
{
    host.SetOptions({});
    QString options = host.LastCommand();
    int format = host.Choices().VideoFormat;
    // Setting the position from code does not refill the encoder lists (only the user's
    // choice in the main window does).
    if (Tfrm_Command::Execute(host.Window(), options, format)) {
        host.SelectVideoFormat(format);
        host.SetLastCommand(options);
    } else {
        options.clear();
    }
    host.SetOptions(options);
    return !options.isEmpty();
}

}  // namespace reelsmith
