#include "media/ui/media_hooks.h"

#include "base/program_paths.h"
#include "media/ui/preview_window.h"
#include "media/ui/properties_window.h"

namespace reelsmith {

void ShowPreview(IMediaHost& host, const QString& sourcePath)
{
    Tfrm_Preview window(host.Window(), sourcePath, QString::fromStdString(ProgramFolder()));
    window.exec();
}

void ShowProperties(IMediaHost& host, const TFileListRow& row)
{
    Tfrm_Properties window(host.Window());
    window.SetRow(row);
    window.exec();
}

}  // namespace reelsmith
