#include "runs/active_file.h"

#include "engine/job_records.h"

namespace reelsmith {

void TActiveFile::Begin(int row)
{
    Row = row;
    Stage = TFileStage::Preparing;
    OutputPath.clear();
    Overwrite = false;
    KeepBoth = false;
    FileDone = false;
    RowError.clear();
    CollectEngineLines = false;
    EngineLines.clear();
    EngineLinesDropped = 0;
    Senders.clear();
    Seconds = 0;
    LastTotalDuration = 0;
    LastCurrentDuration = 0;
    SourceDuration = 0;
    Size = 0;
    Block = TRunLog();
}

void TActiveFile::End()
{
    Row = -1;
    Stage = TFileStage::Free;
    OutputPath.clear();
    CollectEngineLines = false;
}

void TActiveFile::TakeSenders()
{
    Senders.clear();
    if (Encoder.TasksCount() < 1)
        return;
    TFFmpeg* task = Encoder.FFmpegs(0);
    if (!task)
        return;
    Senders.insert(task);
    const TJobGraph& graph = task->FGraph;
    for (const auto& file : graph.Finput_files)
        if (file)
            Senders.insert(file->ctx.get());
    for (const auto& stream : graph.Finput_streams)
        if (stream)
            Senders.insert(stream->dec_ctx.get());
    for (const auto& file : graph.Foutput_files)
        if (file)
            Senders.insert(file->ctx.get());
    for (const auto& stream : graph.Foutput_streams)
        if (stream)
            Senders.insert(stream->enc_ctx.get());
    Senders.erase(nullptr);
}

}  // namespace reelsmith
