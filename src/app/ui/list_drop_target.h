#pragma once
// The drop target of the file list (drop_List): files and folders dragged from a file
// manager are handed on as local paths, after the drop has finished. Rows dragged within the
// list are left to the list itself, which moves them.
#include <QObject>
#include <QStringList>
#include <functional>

class QAbstractItemView;

namespace reelsmith {

class TListDropTarget : public QObject {
    Q_OBJECT
public:
    // Attaches itself to the list; owned by the list.
    TListDropTarget(QAbstractItemView& list, std::function<void(const QStringList& paths)> onDrop);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void drop_ListDrop(const QStringList& paths);

    QAbstractItemView& m_List;
    std::function<void(const QStringList& paths)> m_Drop;
};

}  // namespace reelsmith
