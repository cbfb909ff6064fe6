#include "media/ui/media_hooks.h"

#include "base/program_paths.h"
#include "app/ui/main_window.h"
#include "media/ui/preview_window.h"
#include "media/ui/properties_window.h"

namespace reelsmith {

void InstallMediaHooks(TMainWindowHooks& hooks)
{
    hooks.Preview = [](Tfrm_Main& main, const QString& sourcePath) {
        Tfrm_Preview window(&main, sourcePath, QString::fromStdString(ProgramFolder()));
        window.exec();
    };
    hooks.Properties = [](Tfrm_Main& main, const TFileListRow& row) {
        Tfrm_Properties window(&main);
        window.SetRow(row);
        window.exec();
    };
}

}  // namespace reelsmith
