#pragma once
// One row of the main window's file list: a caption and eight text cells, written once
// by the adding routine and read by sorting, totals, the Properties window and the runs;
// and the outcome of the last run for the row, set by that run.
#include <QString>
#include <array>

#include "intake/media_probe.h"

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
    QString Status;        // "converted", "failed", "skipped", "stopped", or empty
    QString StatusReason;  // why it was not converted, in plain words
    TProbedMedia Media;    // what the probe found, for the Properties window

    const QString& cell(FileCell c) const { return Cells[static_cast<size_t>(c)]; }
    QString& cell(FileCell c) { return Cells[static_cast<size_t>(c)]; }
};

}  // namespace reelsmith
