#pragma once
// Tfrm_AddFiles: the program's own file browser for picking media files and folders.
// It stays open while the user adds several batches; each "Add" fills the main
// window's pending paths and asks it to add them.
#include <QDialog>
#include <QStringList>
#include <functional>

#include "intake/ui/breadcrumb_bar.h"
#include "intake/ui/shell_folder_view.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace reelsmith {

// What the dialog needs of the main window.
struct TAddFilesHost {
    QStringList* DroppedFiles = nullptr;  // the pending-paths list
    QString* str_AddPath = nullptr;       // last folder shown
    int* int_AddView = nullptr;           // last view: 0 details, 1 list, 2 icons
    std::function<int()> AddFiles;        // shows the Adding window; the rows it added
};

class Tfrm_AddFiles : public QDialog {
    Q_OBJECT
public:
    Tfrm_AddFiles(QWidget* owner, TAddFilesHost host);

    TBreadcrumbBar* JamShellBreadCrumbBar1 = nullptr;
    TShellFolderView* lw_Data = nullptr;
    QComboBox* cb_View = nullptr;
    QPushButton* btn_Add = nullptr;
    QPushButton* btn_Close = nullptr;
    // Ctrl+L: a path typed in place of the breadcrumb bar (a folder opens, a file is selected).
    QLineEdit* txt_Location = nullptr;
    // What the last Add or typed path did ("5 files added").
    QLabel* lbl_Result = nullptr;

public slots:
    void done(int result) override;

private:
    void ApplyView(int addView);
    void cb_ViewChange();
    void btn_AddClick();
    void lw_DataSelectionChanged();
    void ShowLocation(bool typing);
    void txt_LocationEnter();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TAddFilesHost fHost;
};

}  // namespace reelsmith
