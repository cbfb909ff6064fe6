#pragma once
// The work of a batch, decided before any conversion starts: the list read, and each input's
// output named in list order with the desktop runs' rules (never a source, "name (1).ext" for a
// second input of the same name). Naming everything first makes every input's output the same
// whatever number of jobs converts them, and the same again in a rerun, where an output that
// exists is kept and its input skipped.
#include <QString>
#include <QStringList>
#include <vector>

namespace reelsmith {

enum class TBatchOutcome { Pending, Converted, Failed, Skipped };

struct TBatchItem {
    QString Source;
    QString Output;  // empty when the input cannot be converted at all
    TBatchOutcome Outcome = TBatchOutcome::Pending;
    QString Reason;  // plain words; for a converted input, its output
};

// The paths of a ".fls" list, or of standard input for "-" (one path a line, relative ones
// taken from the current folder). False with error set when the list cannot be read.
bool ReadBatchList(const QString& list, QStringList* paths, QString* error);

// Every input's output in folder, with extension ("mkv"; empty keeps each source's own).
// Inputs that are missing, not files, or whose output exists are decided here already.
std::vector<TBatchItem> PlanBatch(const QStringList& sources, const QString& folder, const QString& extension);

// Creates folder when missing; false with error set in plain words when it cannot be made.
bool MakeOutputFolder(const QString& folder, QString* error);

}  // namespace reelsmith
