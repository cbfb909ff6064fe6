// The file list: its view, totals, selection, sorting and the row commands.
#include <QApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLayout>
#include <QToolButton>
#include <QTreeView>
#include <QUrl>

#include "app/ui/file_icon_proxy.h"
#include "app/ui/list_drop_target.h"
#include "app/ui/main_window.h"
#include "base/ui/open_external.h"

namespace reelsmith {

void Tfrm_Main::BuildFileList(QWidget* parent)
{
    lw_Files = new QTreeView(parent);
    lw_Files->setObjectName(QStringLiteral("lw_Files"));
    auto* icons = new TFileIconProxy(lw_Files);
    icons->setSourceModel(m_Files);
    lw_Files->setModel(icons);
    lw_Files->setRootIsDecorated(false);
    lw_Files->setItemsExpandable(false);
    lw_Files->setUniformRowHeights(true);
    lw_Files->setAllColumnsShowFocus(true);
    lw_Files->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lw_Files->setSelectionBehavior(QAbstractItemView::SelectRows);
    lw_Files->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lw_Files->setIconSize(QSize(16, 16));
    lw_Files->setContextMenuPolicy(Qt::CustomContextMenu);
    lw_Files->setFrameShape(QFrame::NoFrame);
    QHeaderView* header = lw_Files->header();
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(false);
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // The long Source path stands last and takes the room left of the list, so the run's
    // short status comes before it.
    header->moveSection(static_cast<int>(FileColumn::Status), static_cast<int>(FileColumn::Source));
    header->setStretchLastSection(true);
    // Rows are dragged between rows to set the order of the run (the model moves them).
    lw_Files->setDragEnabled(true);
    lw_Files->setDragDropMode(QAbstractItemView::DragDrop);
    lw_Files->setDefaultDropAction(Qt::CopyAction);
    lw_Files->setDropIndicatorShown(true);
    lw_Files->setDragDropOverwriteMode(false);
    lw_Files->installEventFilter(this);
    connect(header, &QHeaderView::sectionClicked, this, &Tfrm_Main::HeaderClick);
    connect(lw_Files->selectionModel(), &QItemSelectionModel::selectionChanged, this, &Tfrm_Main::OnSelectionChanged);
    connect(lw_Files, &QTreeView::doubleClicked, this, [this] { Play1Click(); });
    // The totals follow each row the Adding window appends, not only its end.
    connect(m_Files, &QAbstractItemModel::rowsInserted, this, [this] { UpdateSize(); });
    // Rows in the user's order are sorted by no column: no arrow until the next header click.
    connect(m_Files, &QAbstractItemModel::layoutChanged, this, [this] {
        if (m_Files->UserOrder())
            lw_Files->header()->setSortIndicatorShown(false);
    });
}

void Tfrm_Main::AcceptFileDrops()
{
    new reelsmith::TListDropTarget(*lw_Files, [this](const QStringList& paths) {
        if (RefusedDuringRun())
            return;
        DroppedFiles = paths;
        AddFiles();
    });
}

int Tfrm_Main::ListWidth()
{
    // Before the first showing the layouts have not run yet; run them for the current size.
    if (layout())
        layout()->activate();
    if (QLayout* central = centralWidget() ? centralWidget()->layout() : nullptr)
        central->activate();
    return lw_Files->width();
}

void Tfrm_Main::UpdateSize()
{
    pnl_Note->setVisible(m_Files->Count() == 0);
    CentreNotePanel();
    sts_0->setText(m_Files->StatusText());
}

std::vector<int> Tfrm_Main::SelectedRows() const
{
    std::vector<int> rows;
    for (const QModelIndex& index : lw_Files->selectionModel()->selectedRows())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void Tfrm_Main::SelectRow(int row, bool selected)
{
    const QModelIndex index = lw_Files->model()->index(row, 0);
    lw_Files->selectionModel()->select(
        index, (selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect) | QItemSelectionModel::Rows);
}

void Tfrm_Main::EnableRowCommands(bool enabled)
{
    for (QToolButton* button : {btn_Properties, btn_Play})
        button->setEnabled(enabled);
    for (QAction* action : {act_Play, act_Preview, act_Properties})
        action->setEnabled(enabled);
    // A run's list keeps its rows until the run is over.
    btn_Remove->setEnabled(enabled && !m_RunGoing);
    act_Remove->setEnabled(enabled && !m_RunGoing);
}

void Tfrm_Main::DisableRowButtons()
{
    // Only the buttons: the menu entries follow the selection events alone.
    for (QToolButton* button : {btn_Remove, btn_Properties, btn_Play})
        button->setEnabled(false);
}

void Tfrm_Main::OnSelectionChanged(const QItemSelection& selected, const QItemSelection& deselected)
{
    const std::vector<int> rows = SelectedRows();
    EnableRowCommands(!rows.empty());
    // Rows leaving the selection are reported before rows joining it.
    if (!deselected.isEmpty())
        sts_1->clear();
    if (!selected.isEmpty() && !rows.empty())
        sts_1->setText(reelsmith::TFileListModel::SelectionText(static_cast<int>(rows.size()), m_Files->SizeOf(rows)));
}

void Tfrm_Main::HeaderClick(int column)
{
    lw_Files->setUpdatesEnabled(false);
    m_Files->ClickColumn(column);
    ShowSortArrow(m_Files->SortColumn(), m_Files->SortDescending());
    lw_Files->setUpdatesEnabled(true);
}

void Tfrm_Main::ShowSortArrow(int column, bool descending)
{
    // The header draws Qt::AscendingOrder as a downward arrow; the list shows an up arrow for
    // ascending order, so the header is told the opposite order.
    QHeaderView* header = lw_Files->header();
    header->setSortIndicatorShown(true);
    header->setSortIndicator(column, descending ? Qt::AscendingOrder : Qt::DescendingOrder);
}

bool Tfrm_Main::SortArrowUp() const { return lw_Files->header()->sortIndicatorOrder() == Qt::DescendingOrder; }

void Tfrm_Main::btn_RemoveClick()
{
    if (RefusedDuringRun())
        return;
    const std::vector<int> rows = SelectedRows();
    if (rows.empty()) {
        DisableRowButtons();
        return;
    }
    lw_Files->setUpdatesEnabled(false);
    m_Files->RemoveRows(rows);
    lw_Files->setUpdatesEnabled(true);
    if (SelectedRows().empty()) {
        EnableRowCommands(false);
        sts_1->clear();
    }
    UpdateSize();
}

void Tfrm_Main::New1Click()
{
    if (m_Files->Count() == 0)
        return;
    SelectAll1Click();
    btn_RemoveClick();
}

void Tfrm_Main::SelectAll1Click() { lw_Files->selectAll(); }

void Tfrm_Main::Play1Click()
{
    const std::vector<int> rows = SelectedRows();
    if (rows.empty())
        return;
    const QString path = m_Files->Row(rows.front()).cell(FileCell::SourcePath);
    reelsmith::OpenExternally(this, QUrl::fromLocalFile(path), QStringLiteral("file"), reelsmith::DesktopOpener());
}

void Tfrm_Main::btn_PlayClick()
{
    const std::vector<int> rows = SelectedRows();
    if (rows.empty()) {
        DisableRowButtons();
        return;
    }
    if (m_Hooks.Preview)
        m_Hooks.Preview(*this, m_Files->Row(rows.front()).cell(FileCell::SourcePath));
}

void Tfrm_Main::btn_PropertiesClick()
{
    const std::vector<int> rows = SelectedRows();
    if (rows.empty()) {
        DisableRowButtons();
        return;
    }
    QCoreApplication::processEvents();
    if (m_Hooks.Properties) {
        const reelsmith::TFileListRow row = m_Files->Row(rows.front());  // a copy: the list may change meanwhile
        m_Hooks.Properties(*this, row);
    }
}

void Tfrm_Main::btn_AddClick()
{
    if (!RefusedDuringRun())
        RunHook(m_Hooks.AddFilesDialog);
}

void Tfrm_Main::AddFiles()
{
    RunHook(m_Hooks.AddingWindow);
    UpdateSize();
}

void Tfrm_Main::btn_BurnClick()
{
    if (RefusedDuringRun())
        return;
    if (m_Files->Count() == 0) {
        btn_AddClick();
        if (m_Files->Count() == 0)
            return;
    }
    RunHook(m_Hooks.Burn);
}

}  // namespace reelsmith
