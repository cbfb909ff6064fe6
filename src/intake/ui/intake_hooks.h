#pragma once
// The main window's intake commands, over what they need of the window: the Add files
// command and the note open the Add Files dialog; AddFiles opens the Adding window.
#include <QStringList>
#include <functional>
#include <memory>

#include "intake/file_list_model.h"
#include "intake/media_probe.h"
#include "intake/rejected_input.h"

class QWidget;

namespace reelsmith {

using TProbeFactory = std::function<std::unique_ptr<IMediaProbe>()>;

// What the intake windows need of the main window.
class IIntakeHost {
public:
    virtual ~IIntakeHost() = default;
    virtual QWidget* Window() = 0;  // owner of the intake windows
    virtual const QStringList& Params() const = 0;
    virtual TFileListModel& Files() = 0;
    // The pending-paths list: the Add Files dialog fills it, the Adding window consumes it.
    virtual QStringList& PendingPaths() = 0;
    // Pending paths that gave no row, with the reason (named by command-line runs).
    virtual TRejectedInputs& NotAddedInputs() = 0;
    // The Add Files dialog's last folder and view, kept in the settings.
    virtual QString& AddFilesFolder() = 0;
    virtual int& AddFilesView() = 0;
    // Shows the Adding window for the pending paths, then updates the totals.
    virtual void AddFiles() = 0;
};

// The Add Files dialog, which adds each batch the user picks through AddFiles.
void ShowAddFilesDialog(IIntakeHost& host);
// The modal Adding window over the pending paths, with a probe of its own from makeProbe;
// the paths that gave no row join NotAddedInputs().
void ShowAddingWindow(IIntakeHost& host, const TProbeFactory& makeProbe);

}  // namespace reelsmith
