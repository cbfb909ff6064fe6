#include "app/ui/list_drop_target.h"

#include <QDropEvent>
#include <QMimeData>
#include <QAbstractItemView>

#include "app/file_urls.h"

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

TListDropTarget::TListDropTarget(QAbstractItemView& list, std::function<void(const QStringList& paths)> onDrop)
    : QObject(&list), m_List(list), m_Drop(std::move(onDrop))
{
    setObjectName(QStringLiteral("drop_List"));
    list.setAcceptDrops(true);
    list.viewport()->setAcceptDrops(true);
    list.viewport()->installEventFilter(this);
}

bool TListDropTarget::eventFilter(QObject* watched, QEvent* event)
{
    const bool dragEvent =
        event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove || event->type() == QEvent::Drop;
    if (dragEvent && static_cast<QDropEvent*>(event)->source() == &m_List)
        return QObject::eventFilter(watched, event);
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
        QMetaObject::invokeMethod(
            this, [this, paths] { drop_ListDrop(paths); }, Qt::QueuedConnection);
        return true;
    }
    default: return QObject::eventFilter(watched, event);
    }
}

void TListDropTarget::drop_ListDrop(const QStringList& paths) { m_Drop(paths); }

}  // namespace reelsmith
