#pragma once
// The muxing stage: encoded or copied packets in, written into the output files (mux.cpp).

#include <string>

#include "engine/job_records.h"

namespace reelsmith {

// Marks the stream finished; with -shortest every stream of its file ends with it.
void FinishOutputStream(TJobGraph& graph, TOutputStream& ost);

// The byte position a file's writer has reached, buffered bytes included.
int64_t WritePosition(const AVIOContext* pb);

// How the end of the output files went: each failure counts, the first one said in plain
// words is the task's error.
struct TOutputsEnd {
    int failures = 0;
    std::string firstFailure;
    // Logs text and counts it as a failure.
    void Failed(const std::string& text);
};

}  // namespace reelsmith
