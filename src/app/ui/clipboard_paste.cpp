#include "app/ui/clipboard_paste.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include "app/file_urls.h"
#include "app/ui/main_window.h"

namespace reelsmith {

void btn_PasteClick(Tfrm_Main& main) { PasteFrom(main, QGuiApplication::clipboard()->mimeData()); }

void PasteFrom(Tfrm_Main& main, const QMimeData* data)
{
    main.PendingPaths().clear();
    if (data) {
        main.PendingPaths() = LocalPathsFromMime(data->data(QString::fromLatin1(kUriListMime)),
                                                 data->data(QString::fromLatin1(kGnomeCopiedFilesMime)));
    }
    if (!main.PendingPaths().isEmpty())
        main.AddFiles();
}

}  // namespace reelsmith
