#include "intake/ui/intake_hooks.h"

#include <QGuiApplication>

#include "app/command_line.h"
#include "intake/model_list_target.h"
#include "intake/ui/add_files_dialog.h"
#include "intake/ui/adding_window.h"

namespace reelsmith {

void ShowAddFilesDialog(IIntakeHost& host)
{
    TAddFilesHost dialogHost;
    dialogHost.DroppedFiles = &host.PendingPaths();
    dialogHost.str_AddPath = &host.AddFilesFolder();
    dialogHost.int_AddView = &host.AddFilesView();
    dialogHost.AddFiles = [&host] {
        const int before = host.Files().Count();
        host.AddFiles();
        return host.Files().Count() - before;
    };
    Tfrm_AddFiles dialog(host.Window(), std::move(dialogHost));
    dialog.exec();
}

void ShowAddingWindow(IIntakeHost& host, const TProbeFactory& makeProbe)
{
    const std::unique_ptr<IMediaProbe> probe = makeProbe();
    TModelListTarget target(host.Files());
    Tfrm_Adding window(host.Window(), host.PendingPaths(), target, *probe);
    // Without a display, or in a run that ends by itself ("x"), nobody closes the list of files
    // not added: the run names them instead.
    const QString platform = QGuiApplication::platformName();
    const bool headless = platform == QLatin1String("offscreen") || platform == QLatin1String("minimal");
    window.SetShowRejected(!headless && !LastParameterIsExit(host.Params()));
    window.exec();
    TRejectedInputs& notAdded = host.NotAddedInputs();
    notAdded.insert(notAdded.end(), window.Rejected().begin(), window.Rejected().end());
}

}  // namespace reelsmith
