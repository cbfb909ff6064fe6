// The verdict of a run, its rows' statuses, the whole-run estimate and the remembered
// overwrite answer, driven by fake engine events on a fake clock.
#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <vector>

#include "runs/batch_estimate.h"
#include "runs/run_verdict.h"

using namespace reelsmith;

inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace {

constexpr int64_t kSecond = 1000000;

// One row of a fake run: its duration, how it ends, and the engine's message when it fails.
struct TFakeRow {
    double Seconds;
    TRowOutcome Outcome = TRowOutcome::Converted;
    const char* Message = "";
};

// What a fake run left: the tally, and the worst estimate error once a tenth was done.
struct TFakeResult {
    TRunTally Tally;
    double WorstError = 0;
    int FinalPercent = 0;
    std::vector<int> Percents;
};

// Converts at speed media seconds per wall second with a fixed overhead per row, reporting
// progress every half second of wall time; a row marked Stopped stops the run half-way.
TFakeResult RunFake(const std::vector<TFakeRow>& rows, double speed = 4.0, double overhead = 0.3)
{
    std::vector<int64_t> durations;
    double total = 0;
    for (const TFakeRow& row : rows) {
        durations.push_back(static_cast<int64_t>(row.Seconds * kSecond));
        if (row.Outcome == TRowOutcome::Converted)
            total += overhead + row.Seconds / speed;
    }
    TFakeResult result;
    result.Tally.Reset(static_cast<int>(rows.size()));
    TBatchEstimate batch(durations);
    double clock = 0;
    std::vector<std::pair<double, std::optional<double>>> estimates;  // (clock, estimate)
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
        const TFakeRow& row = rows[static_cast<size_t>(i)];
        if (row.Outcome == TRowOutcome::Skipped || row.Outcome == TRowOutcome::Failed) {
            clock += 0.01;
            batch.FinishRow(i, clock, false);
            result.Tally.SetRow(i, row.Outcome,
                                row.Outcome == TRowOutcome::Skipped ? QStringLiteral("output exists")
                                                                    : PlainReason(QString::fromLatin1(row.Message)));
            result.Percents.push_back(batch.Percent());
            continue;
        }
        clock += overhead;
        const double wall = row.Seconds / speed;
        const double end = row.Outcome == TRowOutcome::Stopped ? wall / 2 : wall;
        for (double t = 0.5; t < end; t += 0.5) {
            batch.Progress(i, static_cast<int64_t>(t * speed * kSecond), clock + t);
            estimates.emplace_back(clock + t, batch.RemainingSeconds());
        }
        clock += end;
        if (row.Outcome == TRowOutcome::Stopped) {
            result.Tally.StopRemaining();
            break;
        }
        batch.FinishRow(i, clock, true);
        result.Tally.SetRow(i, TRowOutcome::Converted);
        result.Percents.push_back(batch.Percent());
    }
    // From a tenth of the run to its last twentieth, where a report's half second is already
    // a large part of what is left.
    for (const auto& [at, estimate] : estimates) {
        if (at < total / 10 || total - at < total / 20)
            continue;
        if (!estimate)
            result.WorstError = INFINITY;
        else
            result.WorstError = std::max(result.WorstError, std::fabs(*estimate - (total - at)) / (total - at));
    }
    result.FinalPercent = batch.Percent();
    return result;
}

}  // namespace

TEST(RunVerdict, ATableOfRunsEndsInItsCountsTitleAndReasons)
{
    using O = TRowOutcome;
    struct Case {
        const char* Name;
        std::vector<TFakeRow> Rows;
        bool Stopped;
        const char* Counts;
        TRunEnding Ending;
        QStringList NotConverted;
    };
    const Case cases[] = {
        {"all good", {{10}, {20}, {30}}, false, "Converted: 3, failed: 0, skipped: 0", TRunEnding::Finished, {}},
        {"failures",
         {{10},
          {20, O::Failed, "Unknown encoder 'libx26'"},
          {5, O::Failed, "Invalid data found when processing input"}},
         false,
         "Converted: 1, failed: 2, skipped: 0",
         TRunEnding::FinishedWithErrors,
         {"b: unknown encoder 'libx26'", "c: damaged or incomplete file"}},
        {"skips",
         {{10, O::Skipped}, {20}},
         false,
         "Converted: 1, failed: 0, skipped: 1",
         TRunEnding::Finished,
         {"a: output exists"}},
        {"stop in the middle",
         {{10}, {20, O::Stopped}, {30}},
         true,
         "Converted: 1, failed: 0, skipped: 2",
         TRunEnding::Stopped,
         {"b: stopped", "c: stopped"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const TFakeResult result = RunFake(c.Rows);
        EXPECT_EQ(result.Tally.CountsLine(), QString::fromLatin1(c.Counts));
        EXPECT_EQ(result.Tally.Ending(c.Stopped), c.Ending);
        EXPECT_EQ(result.Tally.NotConvertedLines({"a", "b", "c"}), c.NotConverted);
        EXPECT_EQ(result.Tally.AllConverted(), c.NotConverted.isEmpty());
    }
}

TEST(RunVerdict, RowStatusesAndInputsNotAdded)
{
    TRunTally tally;
    tally.Reset(3);
    tally.SetRow(0, TRowOutcome::Converted, QStringLiteral("ignored"));
    tally.SetRow(1, TRowOutcome::Failed, QStringLiteral("no audio track"));
    tally.SetRow(7, TRowOutcome::Failed, QStringLiteral("out of range"));  // ignored
    tally.AddNotAdded({QStringLiteral("/x/gone.mp4"), QStringLiteral("not found")});
    tally.StopRemaining();
    EXPECT_EQ(tally.Rows(), (std::vector<TRowStatus>{{TRowOutcome::Converted, {}},
                                                     {TRowOutcome::Failed, QStringLiteral("no audio track")},
                                                     {TRowOutcome::Stopped, QStringLiteral("stopped")}}));
    EXPECT_EQ(tally.CountsLine(), QStringLiteral("Converted: 1, failed: 2, skipped: 1"));
    EXPECT_EQ(tally.NotConvertedLines({"a", "b", "c"}),
              (QStringList{"/x/gone.mp4: not found", "b: no audio track", "c: stopped"}));
    EXPECT_EQ(EndingTitle(tally.Ending(false)), QStringLiteral("Finished with errors"));
    tally.Reset(1);
    EXPECT_EQ(tally.CountsLine(), QStringLiteral("Converted: 0, failed: 0, skipped: 0"));
    EXPECT_EQ(OutcomeText(TRowOutcome::Stopped), QStringLiteral("stopped"));
}

TEST(RunVerdict, PlainReasons)
{
    const std::pair<const char*, const char*> cases[] = {
        {"Applying parameters... Error! Unknown encoder 'libx26'", "unknown encoder 'libx26'"},
        {"Output file #0 does not contain any stream", "no audio track"},
        {"Stream map \"0:a\" matches no streams.", "no audio track"},
        {"Stream map \"0:s:1\" matches no streams.", "no subtitle track"},
        {"Stream map \"1\" matches no streams.", "a stream the command maps is not in the file"},
        {"Loading file... Error! Invalid data found when processing input", "damaged or incomplete file"},
        {"Unable to parse option value \"-1\" as pixel format", "damaged or incomplete file"},
        {"the output \"a.mkv\" already exists", "output exists"},
        {"Cannot create folder \"/x\". Permission denied", "the destination folder cannot be created"},
        {"Adding task... Error! Something Else.", "something Else"},
        {"the source is gone (deleted or moved during the run)",
         "the source is gone (deleted or moved during the run)"},
    };
    for (const auto& [message, reason] : cases)
        EXPECT_EQ(PlainReason(QString::fromLatin1(message)), QString::fromLatin1(reason)) << message;
}

TEST(RunVerdict, RunTimeLine) { EXPECT_EQ(RunTimeLine(3725.4), QStringLiteral("Run time: 01:02:05")); }

TEST(BatchEstimate, TheBarIsWeightedByDurationsAndTheEstimateHoldsAfterATenth)
{
    using O = TRowOutcome;
    struct Case {
        const char* Name;
        std::vector<TFakeRow> Rows;
        std::vector<int> Percents;  // after each row that ended
    };
    const Case cases[] = {
        {"all good", {{100}, {300}, {600}}, {10, 40, 100}},
        // A file that will fail at once cannot be foreseen: these fail before the tenth.
        {"failures", {{100, O::Failed}, {300, O::Failed}, {600}}, {10, 40, 100}},
        {"skips", {{500, O::Skipped}, {500}}, {50, 100}},
        {"one long file first", {{6000}, {100}, {100}, {100}, {100}}, {93, 95, 96, 98, 100}},
        {"one long file last", {{100}, {100}, {100}, {100}, {6000}}, {1, 3, 4, 6, 100}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const TFakeResult result = RunFake(c.Rows);
        EXPECT_EQ(result.Percents, c.Percents);
        EXPECT_EQ(result.FinalPercent, 100);
        EXPECT_LE(result.WorstError, 0.2);
    }
}

TEST(BatchEstimate, StopLeavesTheBarWhereItWas)
{
    const TFakeResult result = RunFake({{100}, {200, TRowOutcome::Stopped}, {300}});
    EXPECT_EQ(result.FinalPercent, 33);  // 100 s, and the 98 s of 200 s reported before Stop, of 600 s
}

TEST(BatchEstimate, NothingBeforeEnoughWasMeasuredAndPausesDoNotCount)
{
    TBatchEstimate batch({100 * kSecond, 0});  // the unknown one weighs as the known average
    EXPECT_FALSE(batch.RemainingSeconds());
    batch.Progress(0, 1 * kSecond, 1.0);
    EXPECT_FALSE(batch.RemainingSeconds());
    batch.Progress(0, 10 * kSecond, 5.0);  // 2 media seconds per second
    ASSERT_TRUE(batch.RemainingSeconds());
    EXPECT_DOUBLE_EQ(*batch.RemainingSeconds(), 95.0);
    batch.Idle(65.0);  // a minute paused
    batch.Progress(0, 12 * kSecond, 66.0);
    EXPECT_DOUBLE_EQ(batch.Speed(), 2.0);
    EXPECT_EQ(batch.Percent(), 6);
}

TEST(OverwriteMemory, ToAllAnswersHoldForTheRestOfTheRun)
{
    using A = TOverwriteAnswer;
    using R = TOverwriteAction;
    struct Case {
        const char* Name;
        std::vector<A> Answers;
        std::vector<R> Actions;
        std::optional<R> Remembered;
    };
    const Case cases[] = {
        {"yes, no, keep both: each once", {A::Yes, A::No, A::KeepBoth}, {R::Replace, R::Skip, R::KeepBoth}, {}},
        {"yes to all", {A::No, A::YesToAll}, {R::Skip, R::Replace}, R::Replace},
        {"no to all", {A::Yes, A::NoToAll}, {R::Replace, R::Skip}, R::Skip},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TOverwriteMemory memory;
        std::vector<R> actions;
        for (A answer : c.Answers)
            actions.push_back(memory.Answer(answer));
        EXPECT_EQ(actions, c.Actions);
        EXPECT_EQ(memory.Remembered(), c.Remembered);
    }
}

TEST(RunVerdict, PlainWordsForTheEngineLinesThatSayNothingToAUser)
{
    const std::pair<const char*, const char*> cases[] = {
        {"Codec AVOption b (set bitrate (in bits/s)) specified for output file #0 (/o/a.mp4) has not been used for "
         "any stream. The most likely reason is either wrong type (e.g. a video option with no video streams) or "
         "that it is a private option of some encoder which was not actually used for any stream.",
         "The setting \"b\" was not used: the file has no stream it applies to (for example, no audio track)."},
        {"Unable to parse option value \"-1\" as pixel format",
         "The file is damaged or incomplete: its picture format cannot be read."},
        {"Codec AVOption b (set bitrate) specified for input file #0 (/i.mp4) has not been used for any stream.", ""},
        {"Past duration 0.999 too large", ""},
    };
    for (const auto& [line, plain] : cases)
        EXPECT_EQ(PlainEngineLine(QString::fromLatin1(line)), QString::fromLatin1(plain)) << line;
}
