#pragma once
// The main window's run commands, over what they need of the window: Convert, Extract audio
// and the FFMPEG command with the destination choice, the " Output " tab's browse button, and
// the command-line timer that starts an automatic run.
#include <QColor>
#include <QString>
#include <QStringList>

#include "intake/file_list_model.h"
#include "intake/rejected_input.h"
#include "runs/destination.h"
#include "settings/output_choices.h"

class QWidget;

namespace reelsmith {

class TRunWindow;

// What the run commands need of the main window.
class IRunHost {
public:
    virtual ~IRunHost() = default;
    virtual QWidget* Window() = 0;  // owner of the dialogs and run windows
    virtual const QStringList& Params() const = 0;
    virtual const TFileListModel& Files() const = 0;
    // The list again, for the status column that a run fills.
    virtual TFileListModel& Files() = 0;
    // The pending-paths list and AddFiles, which adds them through the Adding window.
    virtual QStringList& PendingPaths() = 0;
    virtual void AddFiles() = 0;
    // Pending paths that gave no row, with the reason (named by command-line runs).
    virtual TRejectedInputs& NotAddedInputs() = 0;
    // The Add Files dialog, as the Add files command opens it.
    virtual void AskForFiles() = 0;

    virtual TOutputChoices Choices() const = 0;
    // The option string of the run (str_Options).
    virtual QString Options() const = 0;
    virtual void SetOptions(const QString& options) = 0;
    // The FFMPEG command dialog into the option string; false when there is nothing to run.
    virtual bool AskCommand() = 0;

    // The " Output " tab: the destination choice and the folder typed for "Use following path".
    virtual TDestinationChoice DestinationChoice() const = 0;
    virtual QString OutputFolderText() const = 0;
    virtual void SetOutputFolderText(const QString& folder) = 0;
    virtual void ShowOutputTab() = 0;
    // The folder last chosen in the destination dialog, remembered in the settings file.
    virtual QString& LastDestination() = 0;

    virtual bool DarkTheme() const = 0;
    // The toolbar's caption colour: the dark theme's neutral log colour.
    virtual QColor ButtonCaptionColour() const = 0;
    virtual QObject* TaskbarProgress() const = 0;  // prg_Win7, or null
    virtual void StopParamTimer() = 0;

    // The run window is open and its run about to start. The window is not modal: the main
    // window holds back what would change the run until the run is over, and asks the window
    // to stop it when it is closed meanwhile.
    virtual void RunStarted(TRunWindow& window) = 0;
};

// True when nobody can answer a question or close a window: the command line ends in "x",
// or it asks for an automatic run and there is no display.
bool UnattendedRun(const IRunHost& host);

void btn_ConvertClick(IRunHost& host);
void btn_ExtractClick(IRunHost& host);
// The user's own command (no option builder, no command-line folder) into Tfrm_Video.
void btn_CommandClick(IRunHost& host);
void btn_BrowseClick(IRunHost& host);
void tmr_ParamTimer(IRunHost& host);

}  // namespace reelsmith
