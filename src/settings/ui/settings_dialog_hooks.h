#pragma once
// The main window's Effects and custom frame size commands, and the FFMPEG command dialog of
// the command flow, over what they need of the window.
#include <QString>

#include "settings/output_choices.h"

class QWidget;

namespace reelsmith {

// What the settings dialogs need of the main window.
class ISettingsDialogHost {
public:
    virtual ~ISettingsDialogHost() = default;
    virtual QWidget* Window() = 0;  // owner of the dialogs
    virtual TOutputChoices Choices() const = 0;
    virtual void SetChoices(const TOutputChoices& choices) = 0;
    // The option string of the next run (str_Options).
    virtual void SetOptions(const QString& options) = 0;
    // Selects the video format as code does: the encoder lists stay as they are.
    virtual void SelectVideoFormat(int position) = 0;
    // The last command the FFMPEG command dialog accepted, offered when it opens again.
    virtual QString LastCommand() const = 0;
    virtual void SetLastCommand(const QString& command) = 0;
};

// Edit > Effects: the effects dialog, whose OK writes the effects into the choices.
void EditEffects(ISettingsDialogHost& host);
// The "..." button next to "Resolution:": the custom frame size dialog.
void EditCustomFrameSize(ISettingsDialogHost& host);

// The dialog step of the FFMPEG command flow: empties the option string, lets the user type a
// command into it (and pick the video format, whose encoder lists are left as they are) and
// tells whether there is a command to run. The dialog opens with the last accepted command and
// accepts only a command the engine reads. Cancel leaves the option string empty.
bool RunCommandDialog(ISettingsDialogHost& host);

}  // namespace reelsmith
