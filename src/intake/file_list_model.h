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

    // A header click: the same column toggles the direction, another column starts ascending.
    void ClickColumn(int column);
    // Re-sorts with the current column and direction.
    void Resort();
    int SortColumn() const { return m_SortColumn; }
    bool SortDescending() const { return m_SortDescending; }

    TFileTotals Totals() const;
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
    std::vector<TFileListRow> m_Rows;
    int m_SortColumn = 0;
    bool m_SortDescending = false;
};

}  // namespace reelsmith
