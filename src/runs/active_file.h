#pragma once
// One file of a run while it is taken: its row, an encoder of its own running its one task,
// its staged output and what its conversion said. A run keeps up to "Threads" of them; the
// encoder takes no task while it works, so a file that starts while others convert needs
// its own. When several files convert at once their lines go to Block and reach the run's
// log in one piece when the file ends, so the blocks of two files never mix.
#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <set>

#include "base/output_staging.h"
#include "engine/custom_encoder.h"
#include "runs/run_log.h"

namespace reelsmith {

enum class TFileStage {
    Free,        // no row
    Preparing,   // named, asked about, opened; its encoder not started
    Converting,  // its encoder runs
    Ending,      // the task ended; the encoder's final event closes the row
};

struct TActiveFile {
    int Row = -1;
    TFileStage Stage = TFileStage::Free;
    QString OutputPath;      // the name its output is to get, claimed against other files
    bool Overwrite = false;  // the user agreed to replace the existing output
    bool KeepBoth = false;   // … or to keep it and save the new one under a numbered name
    bool FileDone = false;   // converted and under its final name
    QString RowError;        // why the output is not there, for the not-converted report
    // The engine's warnings and errors while it converts, shown with its result.
    bool CollectEngineLines = false;
    QStringList EngineLines;
    int EngineLinesDropped = 0;
    // The task's contexts, taken before it starts: an engine line names its sender.
    std::set<const void*> Senders;
    QElapsedTimer SinceTaskEnded;  // how long the final event has been awaited
    int Seconds = 0;               // the file's clock
    int64_t LastTotalDuration = 0;
    int64_t LastCurrentDuration = 0;
    int64_t SourceDuration = 0;  // audio runs: the probed duration
    int64_t Size = 0;
    TRunLog Block;
    // Removed unless committed, also when the run goes. The encoder goes first.
    TStagedOutput Staged;
    TFFEncoder Encoder;

    bool Taken() const { return Stage != TFileStage::Free; }
    // A new row: everything of the previous one forgotten but the encoder's settings.
    void Begin(int row);
    // Back to free once the row is over.
    void End();
    // The contexts of the encoder's one task; called before it starts, when no worker reads them.
    void TakeSenders();
};

}  // namespace reelsmith
