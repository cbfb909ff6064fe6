#include "app/ui/list_drop_target.h"

#include <QDropEvent>
#include <QMimeData>
#include <QTreeView>

#include "app/file_urls.h"
#include "app/ui/main_window.h"

namespace reelsmith {

namespace {

QStringList DroppedPaths(const QMimeData* data)
{
    if (!data)
        return {};
    return LocalPathsFromMime(data->data(QString::fromLatin1(kUriListMime)),
                              data->data(QString::fromLatin1(kGnomeCopiedFilesMime)));
}

}  // namespace

TListDropTarget::TListDropTarget(Tfrm_Main& main) : QObject(main.lw_Files), m_Main(main)
{
    setObjectName(QStringLiteral("drop_List"));
    main.lw_Files->setAcceptDrops(true);
    main.lw_Files->viewport()->setAcceptDrops(true);
    main.lw_Files->setDropIndicatorShown(false);
    main.lw_Files->viewport()->installEventFilter(this);
}

bool TListDropTarget::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDropEvent*>(event);
        if (DroppedPaths(drag->mimeData()).isEmpty()) {
            drag->ignore();
        } else {
            drag->setDropAction(Qt::CopyAction);
            drag->accept();
        }
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        const QStringList paths = DroppedPaths(drop->mimeData());
        if (paths.isEmpty()) {
            drop->ignore();
            return true;
        }
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        // The file manager waits for the drop to finish: the modal Adding window opens after it.
        QMetaObject::invokeMethod(this, [this, paths] { drop_ListDrop(paths); }, Qt::QueuedConnection);
        return true;
    }
    default:
        return QObject::eventFilter(watched, event);
    }
}

void TListDropTarget::drop_ListDrop(const QStringList& paths)
{
    m_Main.DroppedFiles = paths;
    m_Main.AddFiles();
}

}  // namespace reelsmith
