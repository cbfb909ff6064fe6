#include "intake/ui/intake_hooks.h"

#include <QGuiApplication>

#include "app/command_line.h"
#include "app/ui/main_window.h"
#include "intake/model_list_target.h"
#include "intake/ui/add_files_dialog.h"
#include "intake/ui/adding_window.h"

namespace reelsmith {

namespace {

void ShowAddFilesDialog(Tfrm_Main& main)
{
    TAddFilesHost host;
    host.DroppedFiles = &main.DroppedFiles;
    host.str_AddPath = &main.str_AddPath;
    host.int_AddView = &main.int_AddView;
    host.AddFiles = [&main] { main.AddFiles(); };
    Tfrm_AddFiles dialog(&main, std::move(host));
    dialog.exec();
}

void ShowAddingWindow(Tfrm_Main& main, const TProbeFactory& makeProbe)
{
    const std::unique_ptr<IMediaProbe> probe = makeProbe();
    TModelListTarget target(main.Files());
    Tfrm_Adding window(&main, main.DroppedFiles, target, *probe);
    // Without a display, or in a run that ends by itself ("x"), nobody closes the list of files
    // not added: the run names them instead.
    const QString platform = QGuiApplication::platformName();
    const bool headless = platform == QLatin1String("offscreen") || platform == QLatin1String("minimal");
    window.SetShowRejected(!headless && !LastParameterIsExit(main.Params()));
    window.exec();
    main.NotAdded.insert(main.NotAdded.end(), window.Rejected().begin(), window.Rejected().end());
}

}  // namespace

void InstallIntakeHooks(TMainWindowHooks& hooks, TProbeFactory makeProbe)
{
    hooks.AddFilesDialog = ShowAddFilesDialog;
    if (makeProbe)
        hooks.AddingWindow = [makeProbe](Tfrm_Main& main) { ShowAddingWindow(main, makeProbe); };
}

}  // namespace reelsmith
