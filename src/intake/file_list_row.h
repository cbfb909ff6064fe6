#pragma once
// One row of the main window's file list: a caption and eight text cells, written once
// by the adding routine and read by sorting, totals, the Properties window and the runs.
#include <QString>
#include <array>

namespace reelsmith {

enum class FileCell : int {
    DurationText,
    SizeText,
    SourcePath,
    DurationMicros,
    SizeBytes,
    FrameRateText,
    BitRateText,
    FrameSizeText,
};

struct TFileListRow {
    QString Caption;  // file name with extension
    std::array<QString, 8> Cells;

    const QString& cell(FileCell c) const { return Cells[static_cast<size_t>(c)]; }
    QString& cell(FileCell c) { return Cells[static_cast<size_t>(c)]; }
};

}  // namespace reelsmith
