#pragma once
// How a run ends in words: each row's outcome with one plain reason, the counts line, the
// list of inputs not converted, the window title, and the remembered overwrite answer. No
// Qt widgets, no engine: the run core feeds it and the windows show what it says.
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

#include "intake/rejected_input.h"

namespace reelsmith {

enum class TRowOutcome { None, Converted, Failed, Skipped, Stopped };

struct TRowStatus {
    TRowOutcome Outcome = TRowOutcome::None;
    QString Reason;  // plain words; empty for a converted row

    bool operator==(const TRowStatus&) const = default;
};

// "converted", "failed", "skipped", "stopped"; empty for None.
QString OutcomeText(TRowOutcome outcome);

// One plain reason for a message that the run logged about a row ("Unknown encoder 'x'" →
// "unknown encoder 'x'", "Invalid data found..." → "damaged or incomplete file"); a message
// with no plain form is given back with its first letter in lower case.
QString PlainReason(const QString& message);

// Plain words for an engine message that says nothing to a user, or empty for one that
// stays as it is ("Codec AVOption b ... has not been used for any stream" for a source
// without audio; "Unable to parse option value "-1" as pixel format" for a damaged file).
QString PlainEngineLine(const QString& line);

enum class TRunEnding { Finished, FinishedWithErrors, Stopped };

class TRunTally {
public:
    // A new run of rowCount rows: every row back to None.
    void Reset(int rowCount);
    void SetRow(int index, TRowOutcome outcome, const QString& reason = QString());
    // An input of the command line that gave no row: counted as failed.
    void AddNotAdded(const TRejectedInput& input);
    // Stop: the row under way and every row not reached become Stopped.
    void StopRemaining();

    const std::vector<TRowStatus>& Rows() const { return m_Rows; }
    int Converted() const;
    int Failed() const;
    // Skipped and stopped rows: not converted, and no failure of their own.
    int Skipped() const;
    bool AllConverted() const { return Failed() == 0 && Skipped() == 0; }

    // "Converted: N, failed: N, skipped: N"
    QString CountsLine() const;
    // "NAME: reason" for every input not converted, in list order, the inputs not added first.
    QStringList NotConvertedLines(const QStringList& rowNames) const;
    TRunEnding Ending(bool stopped) const;

private:
    std::vector<TRowStatus> m_Rows;
    TRejectedInputs m_NotAdded;
};

// "Finished", "Finished with errors", "Stopped"
QString EndingTitle(TRunEnding ending);
// "Run time: hh:mm:ss"
QString RunTimeLine(double seconds);

// The overwrite question's answers, and what a run does with an existing output.
enum class TOverwriteAnswer { Yes, YesToAll, No, NoToAll, KeepBoth };
enum class TOverwriteAction { Replace, Skip, KeepBoth };

// "… to all" holds for the rest of the run; the other answers hold for one file.
class TOverwriteMemory {
public:
    std::optional<TOverwriteAction> Remembered() const { return m_Remembered; }
    TOverwriteAction Answer(TOverwriteAnswer answer);

private:
    std::optional<TOverwriteAction> m_Remembered;
};

}  // namespace reelsmith
