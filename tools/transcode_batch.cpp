#include "transcode_batch.h"

#include <unistd.h>

#include <QString>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "base/output_staging.h"
#include "base/qt/file_name.h"
#include "base/termination_signals.h"
#include "batch_plan.h"
#include "engine/custom_encoder.h"
#include "media/ff_logger.h"
#include "runs/run_verdict.h"

namespace reelsmith {

namespace {

// One job: an encoder with one task, the staged output it writes, and the input it serves.
struct TJob {
    std::unique_ptr<TFFEncoder> Encoder;
    TStagedOutput Staged;
    int Item = -1;
    TTerminateInfo End;
    std::atomic<bool> Done{false};
};

// A reason that may join several engine messages, as one line that no tab or byte splits.
QString OneLine(QString reason)
{
    reason.replace(QLatin1String("\r\n"), QLatin1String("; ")).replace(QLatin1Char('\n'), QLatin1String("; "));
    return DisplayedFileName(reason);
}

// stdout: one line per input and the counts; stderr: a progress line when it is a terminal.
class TBatchReport {
public:
    explicit TBatchReport(int total) : m_Total(total), m_ShowProgress(::isatty(STDERR_FILENO) == 1) {}

    void Ended(const TBatchItem& item)
    {
        ClearProgress();
        const char* word = item.Outcome == TBatchOutcome::Converted ? "converted"
                           : item.Outcome == TBatchOutcome::Skipped ? "skipped"
                                                                    : "failed";
        std::printf("%s\t%s\t%s\n", word, DisplayedFileName(item.Source).toUtf8().constData(),
                    OneLine(item.Reason).toUtf8().constData());
        std::fflush(stdout);
        ++m_Ended;
        switch (item.Outcome) {
        case TBatchOutcome::Converted: ++m_Converted; break;
        case TBatchOutcome::Skipped: ++m_Skipped; break;
        default: ++m_Failed; break;
        }
    }
    void Progress(int active)
    {
        if (!m_ShowProgress)
            return;
        const std::string line = std::to_string(m_Ended) + " of " + std::to_string(m_Total) + " files done, " +
                                 std::to_string(active) + " converting";
        if (m_ProgressShown && line == m_LastProgress)
            return;
        std::fprintf(stderr, "\r\033[K%s", line.c_str());
        m_LastProgress = line;
        m_ProgressShown = true;
    }
    void Summary()
    {
        ClearProgress();
        std::printf("Converted: %d, failed: %d, skipped: %d\n", m_Converted, m_Failed, m_Skipped);
        std::fflush(stdout);
    }
    bool AllConverted() const { return m_Converted == m_Total; }

private:
    void ClearProgress()
    {
        if (m_ProgressShown)
            std::fputs("\r\033[K", stderr);
        m_ProgressShown = false;
    }

    int m_Total;
    int m_Ended = 0;
    int m_Converted = 0;
    int m_Failed = 0;
    int m_Skipped = 0;
    bool m_ShowProgress;
    bool m_ProgressShown = false;
    std::string m_LastProgress;
};

// The engine's lines go to stderr only when asked for: side by side they would mix files, and
// each input's line on stdout already says why it failed.
void RouteLog()
{
    TFFLogger& logger = FFLogger();
    logger.SetTriggerEventInMainThread(false);
    logger.SetLogFlags(TFFLogger::kSkipRepeated);
    if (std::getenv("REELSMITH_VERBOSE")) {
        logger.SetOnLog([](const void*, int, TLogLevel, const std::string& line) {
            std::fprintf(stderr, "%s\n", LogLineMessage(line).c_str());
        });
    } else {
        logger.SetLogLevel(TLogLevel::llError);
    }
}

// An engine message in plain words, naming the output where it names the temporary file.
QString ReasonOf(const std::string& message, const TJob& job, const TBatchItem& item)
{
    QString text = QString::fromStdString(message);
    if (!job.Staged.TempPath().empty())
        text.replace(FileNameText(job.Staged.TempPath()), item.Output);
    return PlainReason(text);
}

// Sets the job's task up for item; empty on success, else the reason it cannot start.
QString StartJob(TJob& job, TBatchItem& item, const TBatchArgs& args, TMainThreadDispatcher& dispatcher)
{
    job.Encoder = std::make_unique<TFFEncoder>();
    job.Done = false;
    job.End = {};
    TFFEncoder& encoder = *job.Encoder;
    encoder.SetDispatcher(&dispatcher);
    encoder.ThreadPriority = args.Priority;
    encoder.FinishOnStop = false;  // a stopped job's part is removed anyway
    encoder.OnTerminate = [&job](TCustomEncoder*, const TTerminateInfo& info) {
        if (info.TaskIndex >= 0)
            job.End = info;
        else
            job.Done = true;
    };
    if (!job.Staged.Begin(FileNameString(item.Output)))
        return PlainReason(QString::fromStdString(job.Staged.Error()));
    TInputOptions in;
    in.Options = args.InputOptions;
    const int task = encoder.AddTask(FileNameString(item.Source), &in);
    if (task < 0)
        return ReasonOf(encoder.LastErrMsg(), job, item);
    TOutputOptions out;
    out.Options = args.OutputOptions;
    // "file:" keeps a colon in the name from reading as a protocol.
    if (encoder.SetOutput(task, "file:" + job.Staged.TempPath(), &out) < 0)
        return ReasonOf(encoder.LastErrMsg(), job, item);
    if (!encoder.FFmpegs(task)->OutputWritesFile(0))
        return QStringLiteral("the options make the muxer write files of its own, which a batch does not take");
    encoder.Start(1);
    return {};
}

// A caller error of the component (an operation while working) must not end the batch.
QString TryStartJob(TJob& job, TBatchItem& item, const TBatchArgs& args, TMainThreadDispatcher& dispatcher)
{
    try {
        return StartJob(job, item, args, dispatcher);
    } catch (const std::exception& error) {
        return ReasonOf(error.what(), job, item);
    }
}

// The end of a job's task: committed under its planned name, or failed with its reason.
void FinishJob(TJob& job, TBatchItem& item)
{
    if (!job.End.Finished) {
        item.Outcome = TBatchOutcome::Failed;
        item.Reason = ReasonOf(job.End.Exception ? job.End.ExceptionMsg : "the conversion did not finish", job, item);
        job.Staged.Discard();
    } else if (!job.Staged.Commit(TCommitMode::KeepExisting)) {
        item.Outcome = TBatchOutcome::Failed;
        item.Reason = ReasonOf(job.Staged.Error(), job, item);
    } else {
        item.Outcome = TBatchOutcome::Converted;
        item.Reason = DisplayedFileName(FileNameText(job.Staged.FinalPath()));
    }
    job.Encoder.reset();
    job.Item = -1;
}

int ActiveJobs(const std::vector<std::unique_ptr<TJob>>& jobs)
{
    int active = 0;
    for (const auto& job : jobs)
        active += job->Item >= 0 ? 1 : 0;
    return active;
}

// A signal: every job stopped and its part removed, every input not converted named, and
// the program ended by that signal.
[[noreturn]] void StopAll(std::vector<std::unique_ptr<TJob>>& jobs, std::vector<TBatchItem>& items,
                          TQueueDispatcher& dispatcher, TBatchReport& report, int signal)
{
    for (auto& job : jobs)
        if (job->Item >= 0)
            job->Encoder->Stop(false);
    for (auto& job : jobs)
        while (job->Item >= 0 && !job->Done)
            dispatcher.WaitAndServe(std::chrono::milliseconds(20));
    const QString stopped = QStringLiteral("stopped by SIG") + QString::fromLatin1(sigabbrev_np(signal));
    for (auto& job : jobs) {
        job->Staged.Discard();
        job->Encoder.reset();
        job->Item = -1;
    }
    for (TBatchItem& item : items)
        if (item.Outcome == TBatchOutcome::Pending) {
            item.Outcome = TBatchOutcome::Skipped;
            item.Reason = stopped;
            report.Ended(item);
        }
    report.Summary();
    std::fprintf(stderr, "Stopped by SIG%s; the parts written were removed\n", sigabbrev_np(signal));
    EndBySignal(signal);
}

// Converts the pending items, Jobs at a time, reporting each as it ends.
void RunJobs(std::vector<TBatchItem>& items, const TBatchArgs& args, TBatchReport& report)
{
    // The dispatcher outlives the jobs' encoders: stopping tasks still uses it.
    TQueueDispatcher dispatcher;
    std::vector<std::unique_ptr<TJob>> jobs;
    for (int i = 0; i < std::max(args.Jobs, 1); ++i)
        jobs.push_back(std::make_unique<TJob>());
    size_t next = 0;
    for (;;) {
        if (const int signal = TerminationSignal())
            StopAll(jobs, items, dispatcher, report, signal);
        for (auto& job : jobs)
            if (job->Item >= 0 && job->Done) {
                TBatchItem& item = items[static_cast<size_t>(job->Item)];
                FinishJob(*job, item);
                report.Ended(item);
            }
        for (auto& job : jobs) {
            while (job->Item < 0 && next < items.size()) {
                TBatchItem& item = items[next];
                if (item.Outcome == TBatchOutcome::Pending) {
                    job->Item = static_cast<int>(next);
                    if (const QString refusal = TryStartJob(*job, item, args, dispatcher); !refusal.isEmpty()) {
                        job->Staged.Discard();
                        job->Encoder.reset();
                        job->Item = -1;
                        item.Outcome = TBatchOutcome::Failed;
                        item.Reason = refusal;
                    }
                }
                if (item.Outcome != TBatchOutcome::Pending)
                    report.Ended(item);
                ++next;
            }
        }
        const int active = ActiveJobs(jobs);
        if (active == 0 && next >= items.size())
            return;
        report.Progress(active);
        dispatcher.WaitAndServe(std::chrono::milliseconds(20));
    }
}

}  // namespace

int RunBatch(const TBatchArgs& args)
{
    QStringList sources;
    QString error;
    if (!ReadBatchList(FileNameText(args.List), &sources, &error)) {
        std::fprintf(stderr, "reelsmith-transcode: %s\n", error.toUtf8().constData());
        return 1;
    }
    if (sources.isEmpty()) {
        std::fprintf(stderr, "reelsmith-transcode: nothing to convert: the list is empty\n");
        TBatchReport(0).Summary();
        return 2;
    }
    QString format = QString::fromStdString(args.Format);
    while (format.startsWith(QLatin1Char('.')))
        format.remove(0, 1);
    if (!MakeOutputFolder(FileNameText(args.OutputDir), &error)) {
        std::fprintf(stderr, "reelsmith-transcode: %s\n", error.toUtf8().constData());
        TBatchReport report(static_cast<int>(sources.size()));
        for (const QString& source : sources)
            report.Ended({source, {}, TBatchOutcome::Failed, QStringLiteral("the output folder cannot be created")});
        report.Summary();
        return 1;
    }
    std::vector<TBatchItem> items = PlanBatch(sources, FileNameText(args.OutputDir), format);
    bool anyToConvert = false;
    for (const TBatchItem& item : items)
        anyToConvert = anyToConvert || item.Outcome == TBatchOutcome::Pending;

    TBatchReport report(static_cast<int>(items.size()));
    RouteLog();
    TFFEncoder loader;
    if (anyToConvert && !loader.LoadAVLib("")) {
        std::fprintf(stderr, "reelsmith-transcode: cannot load the FFmpeg libraries: %s\n",
                     loader.LastErrMsg().c_str());
        for (TBatchItem& item : items)
            if (item.Outcome == TBatchOutcome::Pending)
                item = {
                    item.Source, {}, TBatchOutcome::Failed, QStringLiteral("the FFmpeg libraries cannot be loaded")};
    }
    RunJobs(items, args, report);
    FFLogger().Flush();
    report.Summary();
    if (items.empty() || (!anyToConvert && std::none_of(items.begin(), items.end(), [](const TBatchItem& item) {
            return item.Outcome == TBatchOutcome::Skipped;
        })))
        return 2;
    return report.AllConverted() ? 0 : 1;
}

}  // namespace reelsmith
