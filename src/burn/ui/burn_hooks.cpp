#include "burn/ui/burn_hooks.h"

#include <QFile>
#include <QAction>
#include <QToolButton>

#include "app/ui/main_window.h"

namespace reelsmith {

void InstallBurnHooks(TMainWindowHooks& hooks, TBurnWindowOptions options)
{
    hooks.Burn = [options](Tfrm_Main& main) {
        // The sources of the list, not converted outputs, under the rows' captions.
        std::vector<TBurnRow> rows;
        const TFileListModel& files = main.Files();
        for (int i = 0; i < files.Count(); ++i)
            rows.push_back({files.Row(i).Caption.toStdString(),
                            QFile::encodeName(files.Row(i).cell(FileCell::SourcePath)).toStdString()});
        TBurnWindowOptions windowOptions = options;
        windowOptions.Dark = main.act_Dark->isChecked();
        const QColor neutral = main.btn_Convert->palette().color(QPalette::ButtonText);
        windowOptions.DarkNeutral = {neutral.red(), neutral.green(), neutral.blue()};
        windowOptions.Taskbar = main.prg_Win7.get();
        Tfrm_Burn window(&main, std::move(rows), windowOptions);
        window.exec();
    };
}

}  // namespace reelsmith
