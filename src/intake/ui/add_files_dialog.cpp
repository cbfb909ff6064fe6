#include "intake/ui/add_files_dialog.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

#include "intake/accepted_extensions.h"
#include "intake/typed_path.h"

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

    txt_Location = new QLineEdit(this);
    txt_Location->setObjectName(QStringLiteral("txt_Location"));
    txt_Location->setPlaceholderText(QStringLiteral("Type a folder or file path and press Enter"));
    txt_Location->installEventFilter(this);
    txt_Location->hide();
    lbl_Result = new QLabel(this);
    lbl_Result->setObjectName(QStringLiteral("lbl_Result"));
    auto* typePath = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_L), this);
    connect(typePath, &QShortcut::activated, this, [this] { ShowLocation(true); });
    connect(txt_Location, &QLineEdit::returnPressed, this, &Tfrm_AddFiles::txt_LocationEnter);
    JamShellBreadCrumbBar1->setToolTip(QStringLiteral("Ctrl+L: type a path"));

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(cb_View);
    bottom->addWidget(lbl_Result, 1);
    bottom->addWidget(btn_Add);
    bottom->addWidget(btn_Close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(JamShellBreadCrumbBar1);
    layout->addWidget(txt_Location);
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
    if (fHost.DroppedFiles->isEmpty() || !fHost.AddFiles)
        return;
    const int added = fHost.AddFiles();
    lbl_Result->setText(added == 0 ? QStringLiteral("No files added")
                                   : QStringLiteral("%1 %2 added").arg(added).arg(added == 1 ? "file" : "files"));
}

void Tfrm_AddFiles::ShowLocation(bool typing)
{
    JamShellBreadCrumbBar1->setVisible(!typing);
    txt_Location->setVisible(typing);
    if (!typing)
        return;
    txt_Location->setText(lw_Data->CurrentFolder());
    txt_Location->selectAll();
    txt_Location->setFocus();
}

void Tfrm_AddFiles::txt_LocationEnter()
{
    const TTypedPath target = ResolveTypedPath(txt_Location->text(), lw_Data->CurrentFolder());
    if (!target.Problem.isEmpty() || !lw_Data->Navigate(target.Folder)) {
        lbl_Result->setText(target.Problem.isEmpty() ? QStringLiteral("The folder cannot be opened") : target.Problem);
        return;
    }
    lbl_Result->clear();
    for (int item = 0; !target.FileName.isEmpty() && item < lw_Data->ItemCount(); ++item)
        if (lw_Data->DisplayName(item) == target.FileName)
            lw_Data->SetSelected(item, true);
    ShowLocation(false);
    lw_Data->ActiveView()->setFocus();
}

bool Tfrm_AddFiles::eventFilter(QObject* watched, QEvent* event)
{
    // Esc leaves the path field; it does not close the dialog.
    if (watched == txt_Location && (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress) &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        if (event->type() == QEvent::KeyPress) {
            ShowLocation(false);
            lw_Data->ActiveView()->setFocus();
        }
        event->accept();
        return true;
    }
    return QDialog::eventFilter(watched, event);
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
