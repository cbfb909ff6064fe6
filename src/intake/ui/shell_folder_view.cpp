#include "intake/ui/shell_folder_view.h"

#include <QDateTime>
#include <QDir>
#include <QFileIconProvider>
#include <QHeaderView>
#include <QKeyEvent>
#include <QListView>
#include <QLocale>
#include <QMimeDatabase>
#include <QStackedWidget>
#include <QStandardItemModel>
#include <QStandardPaths>
#include <QTreeView>
#include <QVBoxLayout>

#include "intake/accepted_extensions.h"

namespace reelsmith {

namespace {

constexpr int kPathRole = Qt::UserRole + 1;
constexpr int kFolderRole = Qt::UserRole + 2;

QString SizeText(qint64 bytes)
{
    const qint64 kb = (bytes + 1023) / 1024;
    return QLocale().toString(kb) + QStringLiteral(" KB");
}

// The type by extension; a media extension the database files under another kind
// (".ts" as a translation catalogue, ".dat" as data) still reads as video, or as audio for
// the audio files ("MP3 audio", never "MP3 video").
QString TypeName(const QFileInfo& info)
{
    static const QMimeDatabase mimes;
    const QMimeType type = mimes.mimeTypeForFile(info, QMimeDatabase::MatchExtension);
    const std::string name = info.fileName().toStdString();
    if (!reelsmith::HasAcceptedMediaExtension(name))
        return type.comment();
    const bool audio = reelsmith::HasAudioExtension(name);
    if (type.name().startsWith(audio ? QLatin1String("audio/") : QLatin1String("video/")))
        return type.comment();
    return info.suffix().toUpper() + (audio ? QStringLiteral(" audio") : QStringLiteral(" video"));
}

QList<QStandardItem*> MakeRow(const QFileInfo& info, const QString& name, const QFileIconProvider& icons)
{
    const bool folder = info.isDir();
    auto* nameItem = new QStandardItem(icons.icon(info), name);
    nameItem->setData(info.absoluteFilePath(), kPathRole);
    nameItem->setData(folder, kFolderRole);
    nameItem->setToolTip(info.absoluteFilePath());
    auto* size = new QStandardItem(folder ? QString() : SizeText(info.size()));
    size->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto* type = new QStandardItem(folder ? QStringLiteral("Folder") : TypeName(info));
    auto* modified = new QStandardItem(QLocale().toString(info.lastModified(), QLocale::ShortFormat));
    return {nameItem, size, type, modified};
}

}  // namespace

TShellFolderView::TShellFolderView(QWidget* parent) : QWidget(parent)
{
    fModel = new QStandardItemModel(this);
    fSelection = new QItemSelectionModel(fModel, this);

    fDetails = new QTreeView(this);
    fDetails->setRootIsDecorated(false);
    fDetails->setItemsExpandable(false);
    fDetails->setUniformRowHeights(true);
    fDetails->setAllColumnsShowFocus(true);
    fList = new QListView(this);
    fList->setMovement(QListView::Static);
    fList->setResizeMode(QListView::Adjust);

    for (QAbstractItemView* view :
         {static_cast<QAbstractItemView*>(fDetails), static_cast<QAbstractItemView*>(fList)}) {
        view->setModel(fModel);
        view->setSelectionModel(fSelection);
        view->setSelectionMode(QAbstractItemView::ExtendedSelection);
        view->setSelectionBehavior(QAbstractItemView::SelectRows);
        view->setEditTriggers(QAbstractItemView::NoEditTriggers);
        view->installEventFilter(this);
        connect(view, &QAbstractItemView::activated, this, [this](const QModelIndex& index) { Activate(index.row()); });
    }
    connect(fSelection, &QItemSelectionModel::selectionChanged, this, &TShellFolderView::SelectionChanged);

    fStack = new QStackedWidget(this);
    fStack->addWidget(fDetails);
    fStack->addWidget(fList);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(fStack);
    SetViewStyle(vsList);
}

QString TShellFolderView::DefaultFolder()
{
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    if (!desktop.isEmpty() && QFileInfo(desktop).isDir())
        return desktop;
    return QDir::homePath();
}

bool TShellFolderView::Navigate(const QString& folder)
{
    const QFileInfo info(folder);
    if (folder.isEmpty() || !info.isDir() || !QDir(info.absoluteFilePath()).isReadable())
        return false;
    Fill(QDir::cleanPath(info.absoluteFilePath()));
    emit FolderChanged(fFolder);
    return true;
}

void TShellFolderView::Refresh()
{
    if (!fFolder.isEmpty() && !Navigate(fFolder))
        Navigate(DefaultFolder());
}

void TShellFolderView::SetNameFilters(const QStringList& masks)
{
    fMasks = masks;
    if (!fFolder.isEmpty())
        Fill(fFolder);
}

void TShellFolderView::Fill(const QString& folder)
{
    fFolder = folder;
    fSelection->clear();
    fModel->clear();
    fModel->setHorizontalHeaderLabels(
        {QStringLiteral("Name"), QStringLiteral("Size"), QStringLiteral("Type"), QStringLiteral("Date modified")});
    const QFileIconProvider icons;
    QDir dir(folder);
    if (!dir.isRoot()) {
        QList<QStandardItem*> up =
            MakeRow(QFileInfo(dir.absoluteFilePath(QStringLiteral(".."))), QStringLiteral(".."), icons);
        up.first()->setData(QFileInfo(dir.absolutePath()).absolutePath(), kPathRole);
        fModel->appendRow(up);
    }
    const QDir::SortFlags order = QDir::Name | QDir::IgnoreCase;
    const auto folders = dir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, order);
    for (const QFileInfo& info : folders)
        fModel->appendRow(MakeRow(info, info.fileName(), icons));
    dir.setNameFilters(fMasks);  // QDir matches masks without regard to letter case
    const auto files = dir.entryInfoList(QDir::Files | QDir::Hidden, order);
    for (const QFileInfo& info : files)
        fModel->appendRow(MakeRow(info, info.fileName(), icons));
    fDetails->header()->resizeSection(0, 280);
    emit SelectionChanged();
}

void TShellFolderView::SetViewStyle(TViewStyle style)
{
    fStyle = style;
    if (style == vsDetails) {
        fStack->setCurrentWidget(fDetails);
        return;
    }
    const bool icons = style == vsIcons;
    fList->setViewMode(icons ? QListView::IconMode : QListView::ListMode);
    fList->setFlow(icons ? QListView::LeftToRight : QListView::TopToBottom);
    fList->setWrapping(true);
    fList->setWordWrap(icons);
    fList->setIconSize(icons ? QSize(48, 48) : QSize(16, 16));
    fList->setGridSize(icons ? QSize(104, 88) : QSize());
    fList->setSpacing(icons ? 0 : 1);
    fStack->setCurrentWidget(fList);
}

QAbstractItemView* TShellFolderView::ActiveView() const
{
    return fStyle == vsDetails ? static_cast<QAbstractItemView*>(fDetails) : fList;
}

int TShellFolderView::ItemCount() const { return fModel->rowCount(); }

int TShellFolderView::SelectedCount() const { return static_cast<int>(fSelection->selectedRows().size()); }

bool TShellFolderView::IsSelected(int item) const { return fSelection->isRowSelected(item); }

QString TShellFolderView::DisplayName(int item) const { return fModel->item(item, 0)->text(); }

QString TShellFolderView::FullPath(int item) const { return fModel->item(item, 0)->data(kPathRole).toString(); }

bool TShellFolderView::IsFolder(int item) const { return fModel->item(item, 0)->data(kFolderRole).toBool(); }

void TShellFolderView::SelectAll() { ActiveView()->selectAll(); }

void TShellFolderView::SetSelected(int item, bool selected)
{
    const auto flags =
        (selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect) | QItemSelectionModel::Rows;
    fSelection->select(fModel->index(item, 0), flags);
}

void TShellFolderView::Activate(int item)
{
    if (item < 0 || item >= ItemCount())
        return;
    if (IsFolder(item))
        Navigate(FullPath(item));
    else
        emit FileActivated(item);
}

bool TShellFolderView::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyRelease) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->matches(QKeySequence::SelectAll)) {
            SelectAll();
            return true;
        }
    }
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Backspace) {
            QDir up(fFolder);
            if (up.cdUp())
                Navigate(up.absolutePath());
            return true;
        }
        if (key->key() == Qt::Key_F5) {
            Refresh();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace reelsmith
