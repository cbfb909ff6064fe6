#pragma once
// The drop target of the file list (drop_List): files and folders dragged from a file
// manager replace the pending-paths list and are added through AddFiles.
#include <QObject>

class Tfrm_Main;

namespace reelsmith {

class TListDropTarget : public QObject {
    Q_OBJECT
public:
    // Attaches itself to the main window's file list; owned by the list.
    explicit TListDropTarget(Tfrm_Main& main);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void drop_ListDrop(const QStringList& paths);

    Tfrm_Main& m_Main;
};

}  // namespace reelsmith
