#include "burn/ui/burn_hooks.h"

#include "base/qt/file_name.h"

namespace reelsmith {

void ShowBurnWindow(IBurnHost& host, const TBurnWindowOptions& options)
{
    // The sources of the list, not converted outputs, under the rows' captions.
    std::vector<TBurnRow> rows;
    const TFileListModel& files = host.Files();
    for (int i = 0; i < files.Count(); ++i)
        rows.push_back({FileNameString(files.Row(i).Caption), FileNameString(files.Row(i).cell(FileCell::SourcePath))});
    TBurnWindowOptions windowOptions = options;
    windowOptions.Dark = host.DarkTheme();
    const QColor neutral = host.ButtonCaptionColour();
    windowOptions.DarkNeutral = {neutral.red(), neutral.green(), neutral.blue()};
    windowOptions.Taskbar = host.TaskbarProgress();
    Tfrm_Burn window(host.Window(), std::move(rows), windowOptions);
    window.exec();
}

}  // namespace reelsmith
