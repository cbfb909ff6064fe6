#pragma once
// The folder view of the Add Files dialog: one folder's subfolders and the files that
// match its masks, in a details, list or icons view. Listing is synchronous and only
// refreshed on request (F5), so the items never move under the user's selection.
#include <QStringList>
#include <QWidget>

class QAbstractItemView;
class QItemSelectionModel;
class QListView;
class QStackedWidget;
class QStandardItemModel;
class QTreeView;

namespace reelsmith {

class TShellFolderView : public QWidget {
    Q_OBJECT
public:
    enum TViewStyle { vsDetails, vsList, vsIcons };

    explicit TShellFolderView(QWidget* parent = nullptr);

    static QString DefaultFolder();  // the desktop, else the home folder

    // Opens the folder; false (and no change) when it cannot be listed.
    bool Navigate(const QString& folder);
    void Refresh();
    QString CurrentFolder() const { return fFolder; }

    void SetNameFilters(const QStringList& masks);
    void SetViewStyle(TViewStyle style);
    TViewStyle ViewStyle() const { return fStyle; }

    int ItemCount() const;
    int SelectedCount() const;
    bool IsSelected(int item) const;
    QString DisplayName(int item) const;
    QString FullPath(int item) const;
    bool IsFolder(int item) const;
    void SelectAll();
    void SetSelected(int item, bool selected);

    QAbstractItemView* ActiveView() const;

signals:
    void FolderChanged(const QString& folder);
    void SelectionChanged();
    void FileActivated(int item);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Activate(int item);
    void Fill(const QString& folder);

    QString fFolder;
    QStringList fMasks;
    TViewStyle fStyle = vsList;
    QStandardItemModel* fModel = nullptr;
    QItemSelectionModel* fSelection = nullptr;
    QStackedWidget* fStack = nullptr;
    QTreeView* fDetails = nullptr;
    QListView* fList = nullptr;
};

}  // namespace reelsmith
