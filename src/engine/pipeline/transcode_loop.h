#pragma once
// The loop that drives the stages (transcode_loop.cpp): which output needs data next,
// which input to read for it, and when everything is written.

#include <string>

#include "engine/job_records.h"

namespace reelsmith {

// Whether a simple graph's input has no known format yet (a stream the probe could not read):
// the graph is then configured with the first decoded frame instead of at the start.
bool FormatUnknown(const TFilterGraph& fg);

// Whether any output stream still takes data; outputs past their size or frame limit are
// finished on the way.
bool NeedOutput(TJobGraph& graph);

// The output stream that most needs data: the smallest muxed time among those not done.
TOutputStream* ChooseOutput(TJobGraph& graph);

// Clears the "try again" marks of inputs and outputs; true when there were any, so the
// loop waits a moment instead of ending.
bool ResetWaitingInputs(TJobGraph& graph);

// Applies the input's -itsoffset and the stream's -itsscale to a packet just read.
void ApplyInputTimeOffset(const TInputFile& ifile, const TInputStream& ist, AVPacket* pkt);

// The "Stream mapping:" line of an output stream; ist is its source, null for a graph's output.
std::string StreamMappingLine(const TOutputStream& ost, const TInputStream* ist);

}  // namespace reelsmith
