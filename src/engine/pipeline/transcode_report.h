#pragma once
// The progress report (transcode_report.cpp): when it is due, the values gathered from the
// outputs, the status line and the -progress block.

#include <cstdint>
#include <string>

#include "engine/job_records.h"
#include "engine/pipeline/loop_state.h"

namespace reelsmith {

// What one report says.
struct TReportValues {
    int64_t totalSize = -1;  // bytes of the first output file; -1 when unknown
    int64_t frameNumber = -1;
    double fps = -1;
    float quality = -1;
    int64_t pts = INT64_MIN + 1;  // the furthest muxed time; INT64_MIN + 1 when none
    int64_t progressTime = 0;
    float bitRate = -1;
    double speed = -1;
    std::string script;  // the per-stream lines of the -progress block
};

// Whether a report is due at curTime (microseconds); the last one always is. The first waits
// until every header is written.
bool ReportDue(TReportState& state, const TJobGraph& graph, int64_t interval, bool isLastReport, int64_t curTime);

// Gathers the values from the outputs, seconds after the start.
TReportValues CollectReport(const TJobGraph& graph, double seconds);

// The status line: "frame=... fps=... q=... size=... time=... bitrate=... speed=...".
std::string StatusLine(const TReportValues& values, const TFrameRateStats& frames);

// The complete -progress block, its per-stream lines first.
std::string ProgressBlock(const TReportValues& values, const TFrameRateStats& frames, bool isLastReport);

}  // namespace reelsmith
