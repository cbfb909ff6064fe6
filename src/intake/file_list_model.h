#pragma once
// The main window's file list as a table model: rows, the four shown columns, sorting by
// the header rules, totals and selection sums. GUI-free, so all of it is testable headless.
#include <QAbstractTableModel>
#include <QLocale>
#include <cstdint>
#include <vector>

#include "intake/file_list_row.h"

namespace reelsmith {

enum class FileColumn : int { Name = 0, Duration = 1, Size = 2, Source = 3, Status = 4 };
inline constexpr int kFileColumnCount = 5;

struct TFileTotals {
    int64_t SizeBytes = 0;
    int64_t DurationMicros = 0;
};

class TFileListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit TFileListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Rows are dragged within the list to set the order of the run: they carry their row
    // numbers and are dropped between rows (never onto one). Copy is the only action, so
    // the view never removes what it dragged: the drop itself moves the rows.
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                      const QModelIndex& parent) override;
    Qt::DropActions supportedDropActions() const override { return Qt::CopyAction; }

    int Count() const { return static_cast<int>(m_Rows.size()); }
    const TFileListRow& Row(int index) const { return m_Rows.at(static_cast<size_t>(index)); }
    bool ContainsPath(const QString& sourcePath) const;

    // Appends rows as they come; the caller re-sorts with Resort() when a batch is done.
    void Append(TFileListRow row);
    void Clear();
    // Removes the given rows (any order, duplicates ignored), from the last to the first.
    void RemoveRows(std::vector<int> indices);

    // The last run's outcome for the rows of a source (its reason shown as a tooltip), and
    // every row's cleared when the next run starts.
    void SetStatus(const QString& sourcePath, const QString& status, const QString& reason);
    void ClearStatuses();

    // Moves the rows (any order, duplicates ignored), kept in their list order, to stand
    // before row `destination` (Count() or -1: the end). The list is then in the user's order:
    // new rows are appended and Resort() leaves it until the next header click.
    void MoveRowsTo(std::vector<int> rows, int destination);
    bool UserOrder() const { return m_UserOrder; }

    // A header click: the same column toggles the direction, another column starts ascending
    // (any column, after the user has set the order).
    void ClickColumn(int column);
    // Re-sorts with the current column and direction.
    void Resort();
    int SortColumn() const { return m_SortColumn; }
    bool SortDescending() const { return m_SortDescending; }

    // Kept as rows come and go (after the last of a removal), so the status line can follow
    // every row the Adding window adds.
    TFileTotals Totals() const { return m_Totals; }
    int64_t SizeOf(const std::vector<int>& indices) const;

    // "Files: n (Size: s, Duration: d)" for the left status label.
    QString StatusText(const QLocale& locale = QLocale()) const;
    // "Selected: n file(s), s" for the right status label.
    static QString SelectionText(int count, int64_t bytes, const QLocale& locale = QLocale());

    // The 64-bit value of a digits cell; anything else counts as 0.
    static int64_t CellNumber(const TFileListRow& row, FileCell cell);
    // Negative when a belongs before b under the given column and direction.
    static int CompareRows(const TFileListRow& a, const TFileListRow& b, int column, bool descending);

private:
    void RecountTotals();
    // Puts the rows in the given order (order[i] is the old position of the new row i),
    // carrying the selection and other persistent indexes along.
    void Reorder(const std::vector<int>& order);

    std::vector<TFileListRow> m_Rows;
    TFileTotals m_Totals;
    int m_SortColumn = 0;
    bool m_SortDescending = false;
    bool m_UserOrder = false;
};

}  // namespace reelsmith
