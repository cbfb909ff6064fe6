// The steps of the transcode loop that work on the job records alone: when a progress report
// is due, the status line and -progress block it writes, and the counting of duplicated and
// dropped pictures of the frame-rate conversion.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "engine/pipeline/encode.h"
#include "engine/pipeline/transcode_report.h"
#include "engine_test_support.h"

namespace reelsmith {
namespace {

class LoopStages : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::LoadEngineLibraries(); }
};

TEST_F(LoopStages, ReportIsDueByIntervalAndWaitsForTheHeaders)
{
    struct TCase {
        const char* name;
        TReportState state;
        bool headerWritten;
        bool last;
        int64_t now;
        bool due;
        int64_t lastTimeAfter;
    };
    const int64_t interval = 500000;
    const TCase cases[] = {
        {"the first report goes out once the headers are written", {-1, 1}, true, false, 1000, true, 1000},
        {"the first report waits for the headers", {-1, 1}, false, false, 1000, false, 1000},
        {"a later report waits for the interval", {1000, 0}, true, false, 1000 + interval - 1, false, 1000},
        {"a later report goes out after the interval", {1000, 0}, true, false, 1000 + interval, true, 1000 + interval},
        {"the last report always goes out", {1000, 0}, false, true, 1001, true, 1000},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        TJobGraph graph;
        graph.Foutput_files.push_back(std::make_unique<TOutputFile>());
        graph.Foutput_files[0]->header_written = c.headerWritten;
        TReportState state = c.state;
        EXPECT_EQ(ReportDue(state, graph, interval, c.last, c.now), c.due);
        EXPECT_EQ(state.Flast_time, c.lastTimeAfter);
    }
}

TEST_F(LoopStages, StatusLineSaysWhatIsKnown)
{
    TReportValues known;
    known.totalSize = 2048;
    known.frameNumber = 25;
    known.fps = 12.4;
    known.quality = 2.0f;
    known.pts = 3723500000;  // 1:02:03.5
    known.bitRate = 4.4f;
    known.speed = 1.5;
    TFrameRateStats none;
    TFrameRateStats some{3, 2, 1000};
    EXPECT_EQ(StatusLine(known, none),
              "frame=   25 fps= 12 q=2.0 size=       2kB time=01:02:03.500 bitrate=   4.4kbits/s speed= 1.5x");
    EXPECT_EQ(StatusLine(TReportValues{}, some),
              "frame=    0 fps=0.0 q=-1.0 size=N/A time=N/A bitrate=N/A dup=3 drop=2 speed=N/A");
}

TEST_F(LoopStages, ProgressBlockEndsWithItsState)
{
    TReportValues values;
    values.script = "frame=7\n";
    values.totalSize = 1000;
    values.pts = -500000;
    values.speed = 2;
    const TFrameRateStats frames{1, 0, 1000};
    EXPECT_EQ(ProgressBlock(values, frames, false),
              "frame=7\nbitrate=N/A\ntotal_size=1000\nout_time_us=-500000\nout_time_ms=-500000\n"
              "out_time=-00:00:00.500000\ndup_frames=1\ndrop_frames=0\nspeed=   2x\nprogress=continue\n");
    const std::string unknown = ProgressBlock(TReportValues{}, frames, true);
    EXPECT_NE(unknown.find("out_time_us=N/A\nout_time_ms=N/A\nout_time=N/A\n"), std::string::npos);
    EXPECT_NE(unknown.find("speed=N/A\nprogress=end\n"), std::string::npos);
}

TEST_F(LoopStages, DuplicatesAreCountedAndTheWarningStepsUp)
{
    struct TCase {
        const char* name;
        TVideoFramePlan plan;
        float dtsErrorThreshold;
        bool kept;
        int64_t dup, drop;
        int warningAfter;
    };
    const TCase cases[] = {
        {"one picture for one frame", {1, 0}, 3600 * 30, true, 0, 0, 1000},
        {"a dropped frame counts nothing here", {0, 0}, 3600 * 30, true, 0, 0, 1000},
        {"three pictures are two duplicates", {3, 0}, 3600 * 30, true, 2, 0, 1000},
        {"repeats of the last picture count too", {3, 2}, 3600 * 30, true, 2, 0, 1000},
        {"past the warning the next one is ten times higher", {1002, 0}, 3600 * 30, true, 1001, 0, 10000},
        {"too many duplicates drop the frame", {31, 0}, 1, false, 0, 1, 1000},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        TFrameRateStats stats;
        TOutputStream ost;
        TGlobalOptions global;
        global.Fdts_error_threshold = c.dtsErrorThreshold;
        EXPECT_EQ(CountDuplicates(stats, ost, c.plan, global), c.kept);
        EXPECT_EQ(stats.Fnb_frames_dup, c.dup);
        EXPECT_EQ(stats.Fnb_frames_drop, c.drop);
        EXPECT_EQ(stats.FDupWarning, c.warningAfter);
    }
}

}  // namespace
}  // namespace reelsmith
