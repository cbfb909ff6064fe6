#include "intake/ui/add_files_dialog.h"

#include <QComboBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "intake/accepted_extensions.h"

namespace reelsmith {

namespace {

// Combo positions: "Icons", "List", "Details".
constexpr int kComboIcons = 0;
constexpr int kComboList = 1;
constexpr int kComboDetails = 2;

QStringList MediaMasks()
{
    QStringList masks;
    for (const std::string& mask : reelsmith::AcceptedMediaMaskList())
        masks << QString::fromStdString(mask);
    return masks;
}

}  // namespace

Tfrm_AddFiles::Tfrm_AddFiles(QWidget* owner, TAddFilesHost host)
    : QDialog(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      fHost(std::move(host))
{
    setWindowTitle(QStringLiteral("Add files"));
    setMinimumSize(200, 200);
    resize(792, 573);

    JamShellBreadCrumbBar1 = new TBreadcrumbBar(this);
    lw_Data = new TShellFolderView(this);
    lw_Data->setObjectName(QStringLiteral("lw_Data"));
    lw_Data->SetNameFilters(MediaMasks());
    cb_View = new QComboBox(this);
    cb_View->addItems({QStringLiteral("Icons"), QStringLiteral("List"), QStringLiteral("Details")});
    btn_Add = new QPushButton(QStringLiteral("Add"), this);
    btn_Add->setObjectName(QStringLiteral("btn_Add"));
    btn_Add->setEnabled(false);
    btn_Add->setAutoDefault(false);
    btn_Close = new QPushButton(QStringLiteral("Close"), this);
    btn_Close->setObjectName(QStringLiteral("btn_Close"));
    btn_Close->setAutoDefault(false);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(cb_View);
    bottom->addStretch();
    bottom->addWidget(btn_Add);
    bottom->addWidget(btn_Close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(JamShellBreadCrumbBar1);
    layout->addWidget(lw_Data, 1);
    layout->addLayout(bottom);

    connect(lw_Data, &TShellFolderView::FolderChanged, JamShellBreadCrumbBar1, &TBreadcrumbBar::SetPath);
    connect(JamShellBreadCrumbBar1, &TBreadcrumbBar::FolderClicked, lw_Data, &TShellFolderView::Navigate);
    connect(lw_Data, &TShellFolderView::SelectionChanged, this, &Tfrm_AddFiles::lw_DataSelectionChanged);
    connect(lw_Data, &TShellFolderView::FileActivated, this, &Tfrm_AddFiles::btn_AddClick);
    connect(cb_View, &QComboBox::activated, this, &Tfrm_AddFiles::cb_ViewChange);
    connect(btn_Add, &QPushButton::clicked, this, &Tfrm_AddFiles::btn_AddClick);
    connect(btn_Close, &QPushButton::clicked, this, &QDialog::reject);

    const QString remembered = fHost.str_AddPath ? *fHost.str_AddPath : QString();
    if (remembered.isEmpty() || !QFileInfo(remembered).isDir() || !lw_Data->Navigate(remembered))
        lw_Data->Navigate(TShellFolderView::DefaultFolder());
    cb_View->setCurrentIndex(kComboList);
    ApplyView(fHost.int_AddView ? *fHost.int_AddView : 1);
}

void Tfrm_AddFiles::ApplyView(int addView)
{
    switch (addView) {
    case 0:
        lw_Data->SetViewStyle(TShellFolderView::vsDetails);
        cb_View->setCurrentIndex(kComboDetails);
        break;
    case 1:
        lw_Data->SetViewStyle(TShellFolderView::vsList);
        cb_View->setCurrentIndex(kComboList);
        break;
    case 2:
        lw_Data->SetViewStyle(TShellFolderView::vsIcons);
        cb_View->setCurrentIndex(kComboIcons);
        break;
    default: break;  // the list view of the layout stays
    }
}

void Tfrm_AddFiles::cb_ViewChange()
{
    switch (cb_View->currentIndex()) {
    case kComboIcons: lw_Data->SetViewStyle(TShellFolderView::vsIcons); break;
    case kComboList: lw_Data->SetViewStyle(TShellFolderView::vsList); break;
    case kComboDetails: lw_Data->SetViewStyle(TShellFolderView::vsDetails); break;
    default: break;
    }
}

void Tfrm_AddFiles::lw_DataSelectionChanged() { btn_Add->setEnabled(lw_Data->SelectedCount() > 0); }

void Tfrm_AddFiles::btn_AddClick()
{
    if (!fHost.DroppedFiles)
        return;
    fHost.DroppedFiles->clear();
    if (lw_Data->SelectedCount() == 0)
        return;
    for (int item = 0; item < lw_Data->ItemCount(); ++item) {
        if (lw_Data->IsSelected(item) && lw_Data->DisplayName(item) != QLatin1String(".."))
            fHost.DroppedFiles->append(lw_Data->FullPath(item));
    }
    if (!fHost.DroppedFiles->isEmpty() && fHost.AddFiles)
        fHost.AddFiles();
}

void Tfrm_AddFiles::done(int result)
{
    if (fHost.str_AddPath)
        *fHost.str_AddPath = lw_Data->CurrentFolder();
    if (fHost.int_AddView) {
        switch (lw_Data->ViewStyle()) {
        case TShellFolderView::vsDetails: *fHost.int_AddView = 0; break;
        case TShellFolderView::vsList: *fHost.int_AddView = 1; break;
        case TShellFolderView::vsIcons: *fHost.int_AddView = 2; break;
        }
    }
    QDialog::done(result);
}

}  // namespace reelsmith
