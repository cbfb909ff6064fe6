#pragma once
// The filtering stage while the loop runs: decoded frames into the graphs' sources, filtered
// frames out of their sinks to the encoders (filter_run.cpp). Building the graphs is the
// set-up's (filter_setup.cpp).

#include "engine/job_records.h"

namespace reelsmith {

// Whether a frame no longer fits the format the filter input was configured for.
bool InputFormatChanged(const TInputFilter& ifilter, const AVFrame* frame);

// Takes the frame's format as the filter input's own, for a graph about to be rebuilt.
void TakeInputFormat(TInputFilter& ifilter, const AVFrame* frame);

// Ends every filter input the stream feeds at pts (the stream's time base).
void CloseFilterInputs(TInputStream& ist, int64_t pts);

}  // namespace reelsmith
