#include "intake/file_list_model.h"

#include <QMimeData>
#include <algorithm>
#include <cstdint>
#include <numeric>

#include "base/qt/number_format.h"
#include "base/qt/file_name.h"

namespace reelsmith {

namespace {

// Row numbers of a drag inside the list, as decimal digits separated by blanks.
constexpr char kRowsMime[] = "application/x-reelsmith-file-rows";

int Compare(int64_t second, int64_t first) { return second < first ? -1 : (second > first ? 1 : 0); }

// Totals saturate instead of wrapping, whatever the cells hold.
int64_t SaturatingAdd(int64_t sum, int64_t value)
{
    int64_t result = 0;
    if (__builtin_add_overflow(sum, value, &result))
        return value > 0 ? INT64_MAX : INT64_MIN;
    return result;
}

int CompareCaptions(const TFileListRow& first, const TFileListRow& second)
{
    const int r = QString::compare(first.Caption.toUpper(), second.Caption.toUpper(), Qt::CaseInsensitive);
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

}  // namespace

TFileListModel::TFileListModel(QObject* parent) : QAbstractTableModel(parent) {}

int TFileListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : Count(); }

int TFileListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kFileColumnCount; }

QVariant TFileListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= Count())
        return {};
    const TFileListRow& row = Row(index.row());
    const auto column = static_cast<FileColumn>(index.column());
    if (column == FileColumn::Status && role == Qt::ToolTipRole)
        return row.StatusReason.isEmpty() ? row.Status : row.StatusReason;
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        switch (column) {
        case FileColumn::Status: return row.Status;
        case FileColumn::Name: return DisplayedFileName(row.Caption);
        case FileColumn::Duration: return row.cell(FileCell::DurationText);
        case FileColumn::Size: return row.cell(FileCell::SizeText);
        case FileColumn::Source: return DisplayedFileName(row.cell(FileCell::SourcePath));
        }
    }
    if (role == Qt::TextAlignmentRole) {
        const bool right = column == FileColumn::Duration || column == FileColumn::Size;
        return QVariant::fromValue(Qt::Alignment((right ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter));
    }
    return {};
}

QVariant TFileListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= kFileColumnCount)
        return {};
    if (role == Qt::DisplayRole) {
        static const char* const captions[kFileColumnCount] = {"Name", "Duration", "Size", "Source", "Status"};
        return QString::fromLatin1(captions[section]);
    }
    if (role == Qt::TextAlignmentRole) {
        const bool right = section == 1 || section == 2;
        return QVariant::fromValue(Qt::Alignment((right ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter));
    }
    return {};
}

Qt::ItemFlags TFileListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::ItemIsDropEnabled;  // between rows only: a row is never dropped onto another
    return QAbstractTableModel::flags(index) | Qt::ItemIsDragEnabled;
}

QStringList TFileListModel::mimeTypes() const { return {QString::fromLatin1(kRowsMime)}; }

QMimeData* TFileListModel::mimeData(const QModelIndexList& indexes) const
{
    QStringList rows;
    for (const QModelIndex& index : indexes)
        if (index.isValid() && index.column() == 0)
            rows << QString::number(index.row());
    auto* data = new QMimeData;
    data->setData(QString::fromLatin1(kRowsMime), rows.join(QLatin1Char(' ')).toLatin1());
    return data;
}

bool TFileListModel::dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int /*column*/,
                                  const QModelIndex& parent)
{
    if (!data || action != Qt::CopyAction || parent.isValid() || !data->hasFormat(QString::fromLatin1(kRowsMime)))
        return false;
    std::vector<int> rows;
    for (const QByteArray& number : data->data(QString::fromLatin1(kRowsMime)).split(' ')) {
        bool ok = false;
        const int value = number.toInt(&ok);
        if (ok)
            rows.push_back(value);
    }
    MoveRowsTo(rows, row);
    return !rows.empty();
}

bool TFileListModel::ContainsPath(const QString& sourcePath) const
{
    return std::any_of(m_Rows.begin(), m_Rows.end(),
                       [&](const TFileListRow& row) { return row.cell(FileCell::SourcePath) == sourcePath; });
}

void TFileListModel::Append(TFileListRow row)
{
    beginInsertRows({}, Count(), Count());
    m_Totals.SizeBytes = SaturatingAdd(m_Totals.SizeBytes, CellNumber(row, FileCell::SizeBytes));
    m_Totals.DurationMicros = SaturatingAdd(m_Totals.DurationMicros, CellNumber(row, FileCell::DurationMicros));
    m_Rows.push_back(std::move(row));
    endInsertRows();
}

void TFileListModel::Clear()
{
    if (m_Rows.empty())
        return;
    beginResetModel();
    m_Rows.clear();
    m_Totals = {};
    endResetModel();
}

void TFileListModel::RemoveRows(std::vector<int> indices)
{
    std::sort(indices.begin(), indices.end());
    indices.erase(std::unique(indices.begin(), indices.end()), indices.end());
    for (auto it = indices.rbegin(); it != indices.rend(); ++it) {
        if (*it < 0 || *it >= Count())
            continue;
        beginRemoveRows({}, *it, *it);
        m_Rows.erase(m_Rows.begin() + *it);
        endRemoveRows();
    }
    // Summed again rather than subtracted: a saturated sum cannot be taken apart.
    RecountTotals();
}

void TFileListModel::SetStatus(const QString& sourcePath, const QString& status, const QString& reason)
{
    for (int i = 0; i < Count(); ++i) {
        TFileListRow& row = m_Rows[static_cast<size_t>(i)];
        if (row.cell(FileCell::SourcePath) != sourcePath)
            continue;
        row.Status = status;
        row.StatusReason = reason;
        const QModelIndex cell = index(i, static_cast<int>(FileColumn::Status));
        emit dataChanged(cell, cell);
    }
}

void TFileListModel::ClearStatuses()
{
    for (TFileListRow& row : m_Rows) {
        row.Status.clear();
        row.StatusReason.clear();
    }
    if (!m_Rows.empty())
        emit dataChanged(index(0, static_cast<int>(FileColumn::Status)),
                         index(Count() - 1, static_cast<int>(FileColumn::Status)));
}

void TFileListModel::ClickColumn(int column)
{
    if (column < 0 || column >= kFileColumnCount)
        return;
    m_SortDescending = column == m_SortColumn && !m_UserOrder ? !m_SortDescending : false;
    m_SortColumn = column;
    m_UserOrder = false;
    Resort();
}

int64_t TFileListModel::CellNumber(const TFileListRow& row, FileCell cell)
{
    bool ok = false;
    const qlonglong value = row.cell(cell).toLongLong(&ok);
    return ok ? value : 0;
}

int TFileListModel::CompareRows(const TFileListRow& a, const TFileListRow& b, int column, bool descending)
{
    // r compares the second row against the first; a clear descending flag negates it.
    int r = 0;
    switch (static_cast<FileColumn>(column)) {
    case FileColumn::Duration:
        r = Compare(CellNumber(b, FileCell::DurationMicros), CellNumber(a, FileCell::DurationMicros));
        break;
    case FileColumn::Size: r = Compare(CellNumber(b, FileCell::SizeBytes), CellNumber(a, FileCell::SizeBytes)); break;
    case FileColumn::Name:
    case FileColumn::Source: r = CompareCaptions(b, a); break;
    case FileColumn::Status: {
        const int byStatus = QString::compare(b.Status, a.Status);
        r = byStatus != 0 ? (byStatus < 0 ? -1 : 1) : CompareCaptions(b, a);
        break;
    }
    }
    return descending ? r : -r;
}

void TFileListModel::Resort()
{
    if (m_Rows.size() < 2 || m_UserOrder)
        return;
    std::vector<int> order(m_Rows.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [this](int a, int b) {
        return CompareRows(m_Rows[static_cast<size_t>(a)], m_Rows[static_cast<size_t>(b)], m_SortColumn,
                           m_SortDescending) < 0;
    });
    Reorder(order);
}

void TFileListModel::MoveRowsTo(std::vector<int> rows, int destination)
{
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    rows.erase(std::remove_if(rows.begin(), rows.end(), [this](int row) { return row < 0 || row >= Count(); }),
               rows.end());
    if (rows.empty())
        return;
    if (destination < 0 || destination > Count())
        destination = Count();
    std::vector<bool> moving(m_Rows.size(), false);
    for (int row : rows)
        moving[static_cast<size_t>(row)] = true;
    std::vector<int> order;
    order.reserve(m_Rows.size());
    for (int i = 0; i <= Count(); ++i) {
        if (i == destination)
            order.insert(order.end(), rows.begin(), rows.end());
        if (i < Count() && !moving[static_cast<size_t>(i)])
            order.push_back(i);
    }
    m_UserOrder = true;
    Reorder(order);
}

void TFileListModel::Reorder(const std::vector<int>& order)
{
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<TFileListRow> sorted;
    sorted.reserve(m_Rows.size());
    std::vector<int> newPosition(m_Rows.size());
    for (size_t i = 0; i < order.size(); ++i) {
        sorted.push_back(std::move(m_Rows[static_cast<size_t>(order[i])]));
        newPosition[static_cast<size_t>(order[i])] = static_cast<int>(i);
    }
    m_Rows = std::move(sorted);
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& index : before)
        after.append(index.isValid() ? this->index(newPosition[static_cast<size_t>(index.row())], index.column())
                                     : QModelIndex());
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void TFileListModel::RecountTotals()
{
    m_Totals = {};
    for (const TFileListRow& row : m_Rows) {
        m_Totals.SizeBytes = SaturatingAdd(m_Totals.SizeBytes, CellNumber(row, FileCell::SizeBytes));
        m_Totals.DurationMicros = SaturatingAdd(m_Totals.DurationMicros, CellNumber(row, FileCell::DurationMicros));
    }
}

int64_t TFileListModel::SizeOf(const std::vector<int>& indices) const
{
    int64_t sum = 0;
    for (int index : indices)
        if (index >= 0 && index < Count())
            sum = SaturatingAdd(sum, CellNumber(Row(index), FileCell::SizeBytes));
    return sum;
}

QString TFileListModel::StatusText(const QLocale& locale) const
{
    const TFileTotals totals = Totals();
    return QStringLiteral("Files: %1 (Size: %2, Duration: %3)")
        .arg(Count())
        .arg(FormatSizeMBorGB(totals.SizeBytes, locale), FormatDuration(totals.DurationMicros));
}

QString TFileListModel::SelectionText(int count, int64_t bytes, const QLocale& locale)
{
    return QStringLiteral("Selected: %1%2%3")
        .arg(count)
        .arg(count == 1 ? QStringLiteral(" file, ") : QStringLiteral(" files, "), FormatSizeMBorGB(bytes, locale));
}

}  // namespace reelsmith
