#include "program/program_hooks.h"

#include <memory>

#include "app/ui/main_window.h"
#include "app/ui/shell_hooks.h"
#include "base/ui/taskbar_progress.h"
#include "intake/decoder_probe.h"
#include "program/main_window_host.h"
#include "update/ui/about_window.h"

namespace reelsmith {

namespace {

// A hook that runs a subsystem's command over the main window's host.
template <typename TCommand>
auto OverHost(TCommand command)
{
    return [command](Tfrm_Main& main, auto&&... args) {
        TMainWindowHost host(main);
        command(host, args...);
    };
}

}  // namespace

void InstallIntakeHooks(TMainWindowHooks& hooks, TProbeFactory makeProbe)
{
    hooks.AddFilesDialog = OverHost([](IIntakeHost& host) { ShowAddFilesDialog(host); });
    if (makeProbe)
        hooks.AddingWindow = OverHost([makeProbe](IIntakeHost& host) { ShowAddingWindow(host, makeProbe); });
}

void InstallSettingsDialogHooks(TMainWindowHooks& hooks)
{
    hooks.Effects = OverHost([](ISettingsDialogHost& host) { EditEffects(host); });
    hooks.CustomFrameSize = OverHost([](ISettingsDialogHost& host) { EditCustomFrameSize(host); });
}

void InstallRunHooks(TMainWindowHooks& hooks)
{
    hooks.Convert = OverHost([](IRunHost& host) { btn_ConvertClick(host); });
    hooks.ExtractAudio = OverHost([](IRunHost& host) { btn_ExtractClick(host); });
    hooks.FfmpegCommand = OverHost([](IRunHost& host) { btn_CommandClick(host); });
    hooks.BrowseOutput = OverHost([](IRunHost& host) { btn_BrowseClick(host); });
    hooks.ParamTimer = OverHost([](IRunHost& host) { tmr_ParamTimer(host); });
}

void InstallMediaHooks(TMainWindowHooks& hooks)
{
    hooks.Preview = OverHost([](IMediaHost& host, const QString& sourcePath) { ShowPreview(host, sourcePath); });
    hooks.Properties = OverHost([](IMediaHost& host, const TFileListRow& row) { ShowProperties(host, row); });
}

void InstallBurnHooks(TMainWindowHooks& hooks, TBurnWindowOptions options)
{
    hooks.Burn = OverHost([options](IBurnHost& host) { ShowBurnWindow(host, options); });
}

void InstallUpdateHooks(TMainWindowHooks& hooks)
{
    hooks.UpdateTimer = OverHost([](IUpdateHost& host) { tmr_UpdateTimer(host); });
    hooks.About = [](Tfrm_Main& main) { About1Click(&main); };
}

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
