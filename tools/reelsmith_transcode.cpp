// reelsmith-transcode [--input-options STR] [--threads N] [--priority idle|low|normal|high]
//                     INPUT OUTPUT [OUTPUT OPTION STRING]
// Converts one file with the engine and reports progress on stderr. The output appears under
// its name only when it is complete; Ctrl+C, SIGTERM or SIGHUP stop the conversion and remove
// the part written (a second signal ends the program at once).
// reelsmith-transcode --batch LIST --output-dir DIR [--format EXT] [--jobs N] [...] converts a
// list of files instead (transcode_batch.h).

#include <sys/stat.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "engine/custom_encoder.h"
#include "media/ff_logger.h"
#include "base/output_staging.h"
#include "base/same_file.h"
#include "base/termination_signals.h"
#include "media/ffmpeg_loader.h"
#include "transcode_batch.h"
#include "transcode_help.h"

using namespace reelsmith;

#if defined(__SANITIZE_ADDRESS__)
// libx265 keeps a copy of its parameters from x265_encoder_open that its close never
// frees; the engine's own allocations are still checked.
extern "C" const char* __lsan_default_suppressions() { return "leak:libx265.so\n"; }
#endif

namespace reelsmith {
namespace {

int Usage()
{
    std::fprintf(stderr,
                 "usage: reelsmith-transcode [--input-options STR] [--threads N] "
                 "[--priority idle|low|normal|high] INPUT OUTPUT [OUTPUT OPTION STRING]\n"
                 "       reelsmith-transcode --batch LIST --output-dir DIR [--format EXT] [--jobs N] "
                 "[OUTPUT OPTION STRING]\n"
                 "Try 'reelsmith-transcode --help' for more.\n");
    return 2;
}

bool ParsePriority(const std::string& text, TThreadPriority* priority)
{
    if (text == "idle")
        *priority = tpIdle;
    else if (text == "low")
        *priority = tpLowest;
    else if (text == "normal")
        *priority = tpNormal;
    else if (text == "high")
        *priority = tpHighest;
    else
        return false;
    return true;
}

void PrintProgress(const TProgressInfo& info)
{
    const double seconds = double(info.CurrentDuration) / 1e6;
    if (info.TotalDuration > 0 && info.TotalDuration > info.CurrentDuration)
        std::fprintf(stderr, "\r%3lld%%  ", (long long)(info.CurrentDuration * 100 / info.TotalDuration));
    else
        std::fprintf(stderr, "\r ---  ");
    if (info.CurrentSize >= 1024 * 1024)
        std::fprintf(stderr, "size %.2f MB  ", double(info.CurrentSize) / (1024.0 * 1024.0));
    else
        std::fprintf(stderr, "size %.1f KB  ", double(info.CurrentSize) / 1024.0);
    std::fprintf(stderr, "time %02d:%02d:%06.3f ", int(seconds / 3600), int(seconds / 60) % 60,
                 seconds - 60.0 * int(seconds / 60));
}

// A name that exists must be a regular file (or /dev/null, the usual sink of a test run):
// writing into a pipe with no reader would block for ever, and a folder or device is no file.
std::string OutputRefusal(const std::string& name)
{
    struct stat status {};
    if (name == "-" || ::stat(name.c_str(), &status) != 0 || S_ISREG(status.st_mode) || name == "/dev/null")
        return {};
    return name + ": the output exists and is not a regular file";
}

struct TToolArgs {
    std::string InputOptions;
    int Threads = 1;
    TThreadPriority Priority = tpNormal;
    std::string Input;
    std::string Output;
    std::string OutputOptions;
    bool Batch = false;
    TBatchArgs BatchArgs;
};

// A count of at least 1; false for anything else.
bool ParseCount(const char* text, int* count)
{
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || value < 1 || value > 256)
        return false;
    *count = static_cast<int>(value);
    return true;
}

// The batch form's options; false when arg is none of them.
bool ParseBatchOption(const std::string& arg, int argc, char** argv, int* i, TToolArgs* args, bool* wrong)
{
    if (*i + 1 >= argc)
        return false;
    TBatchArgs& batch = args->BatchArgs;
    if (arg == "--batch") {
        args->Batch = true;
        batch.List = argv[++*i];
    } else if (arg == "--output-dir") {
        batch.OutputDir = argv[++*i];
    } else if (arg == "--format") {
        batch.Format = argv[++*i];
    } else if (arg == "--jobs") {
        *wrong = !ParseCount(argv[++*i], &batch.Jobs) || *wrong;
    } else {
        return false;
    }
    return true;
}

// 0 when the arguments are usable; otherwise the status to end with.
int ParseArgs(int argc, char** argv, TToolArgs* args)
{
    std::vector<std::string> positional;
    bool wrong = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (ParseBatchOption(arg, argc, argv, &i, args, &wrong)) {
            continue;
        } else if (arg == "--input-options" && i + 1 < argc) {
            args->InputOptions = argv[++i];
        } else if (arg == "--threads" && i + 1 < argc) {
            args->Threads = std::atoi(argv[++i]);
        } else if (arg == "--priority" && i + 1 < argc) {
            if (!ParsePriority(argv[++i], &args->Priority))
                return Usage();
        } else if (arg == "--help" || arg == "-h") {
            std::fputs(kTranscodeHelp, stdout);
            return -1;
        } else if (arg == "--version") {
            std::fputs(kTranscodeVersion, stdout);
            return -1;
        } else {
            positional.push_back(arg);
        }
    }
    if (args->Batch) {
        TBatchArgs& batch = args->BatchArgs;
        if (wrong || batch.OutputDir.empty() || positional.size() > 1)
            return Usage();
        batch.InputOptions = args->InputOptions;
        batch.Priority = args->Priority;
        batch.OutputOptions = positional.empty() ? std::string() : positional[0];
        return 0;
    }
    if (wrong || positional.size() < 2 || positional.size() > 3)
        return Usage();
    args->Input = positional[0];
    args->Output = positional[1];
    if (positional.size() > 2)
        args->OutputOptions = positional[2];
    return 0;
}

// Everything the tool says on stderr. Each error is printed once: the engine logs an error
// where it happens (a fatal one also where the task catches it) and hands the same text back
// as its last error or the task's exception.
// The temporary output name reads as the name the user gave, and a message never continues
// the progress line.
class TConsole {
public:
    // Names in messages: "from" is shown as "to".
    void ShowNameAs(std::string from, std::string to)
    {
        std::lock_guard lock(m_Mutex);
        if (!from.empty() && from != to)
            m_Names.emplace_back(std::move(from), std::move(to));
    }
    // A line of the logger (the library's or the engine's).
    void Logged(const std::string& message) { Print(message, false); }
    // The final error: printed unless the logger printed that very text already.
    void Final(const std::string& message) { Print(message, true); }
    void Progress(const TProgressInfo& info)
    {
        std::lock_guard lock(m_Mutex);
        PrintProgress(info);
        m_InProgressLine = true;
    }
    void EndProgressLine()
    {
        std::lock_guard lock(m_Mutex);
        if (m_InProgressLine)
            std::fputc('\n', stderr);
        m_InProgressLine = false;
    }

private:
    void Print(std::string message, bool onlyOnce)
    {
        std::lock_guard lock(m_Mutex);
        while (!message.empty() && (message.back() == '\n' || message.back() == '\r'))
            message.pop_back();
        for (const auto& [from, to] : m_Names)
            for (std::size_t at = message.find(from); at != std::string::npos; at = message.find(from, at + to.size()))
                message.replace(at, from.size(), to);
        // The engine logs a fatal error where it happens and again where the task catches it.
        if ((onlyOnce && m_Printed.count(message)) || message == m_Last)
            return;
        m_Printed.insert(message);
        m_Last = message;
        if (m_InProgressLine)
            std::fputc('\n', stderr);
        m_InProgressLine = false;
        std::fprintf(stderr, "%s\n", message.c_str());
    }

    std::mutex m_Mutex;
    std::set<std::string> m_Printed;
    std::string m_Last;
    std::vector<std::pair<std::string, std::string>> m_Names;
    bool m_InProgressLine = false;
};

// The output, staged when it is a local file: the engine writes the temporary file, which
// becomes the output only when the conversion finished.
class TToolOutput {
public:
    bool Begin(const std::string& output)
    {
        const std::optional<std::string> local = LocalPathOf(output);
        struct stat existing {};
        if (!local || (::stat(local->c_str(), &existing) == 0 && S_ISCHR(existing.st_mode))) {
            m_EngineName = output;  // another protocol, or a device such as /dev/null: written as it is
            return true;
        }
        if (!m_Staged.Begin(*local))
            return false;
        // "file:" keeps a colon in the name from reading as a protocol.
        m_EngineName = "file:" + m_Staged.TempPath();
        return true;
    }
    // The muxer writes its own files under the name it was given: no staging then.
    void Unstage(const std::string& output)
    {
        m_Staged.Discard();
        m_EngineName = output;
    }
    bool Staged() const { return m_Staged.Staged(); }
    const std::string& EngineName() const { return m_EngineName; }
    TStagedOutput& Staging() { return m_Staged; }

private:
    TStagedOutput m_Staged;
    std::string m_EngineName;
};

// Adds the task and sets its output; -1 with the error printed when either is refused.
int PrepareTask(TFFEncoder& encoder, const TToolArgs& args, TToolOutput& output)
{
    TInputOptions in;
    in.Options = args.InputOptions;
    const int task = encoder.AddTask(args.Input, &in);
    if (task < 0)
        return -1;
    TOutputOptions out;
    out.Options = args.OutputOptions;
    if (encoder.SetOutput(task, output.EngineName(), &out) < 0)
        return -1;
    if (!output.Staged() || encoder.FFmpegs(task)->OutputWritesFile(0))
        return task;
    // Nothing was opened for writing yet: set the output up again under its own name.
    encoder.RemoveTask(task);
    output.Unstage(args.Output);
    return PrepareTask(encoder, args, output);
}

// The library's lines go through the engine's logger, as in the desktop program: FFmpeg's
// own default callback crashes on some option errors (see ParentContext in the logger).
TFFLogger& RouteLogToConsole(TConsole& console)
{
    TFFLogger& logger = FFLogger();
    logger.SetTriggerEventInMainThread(false);
    logger.SetLogFlags(TFFLogger::kSkipRepeated);  // lines as FFmpeg prints them, without a level
    logger.SetOnLog(
        [&console](const void*, int, TLogLevel, const std::string& line) { console.Logged(LogLineMessage(line)); });
    if (!std::getenv("REELSMITH_VERBOSE"))
        logger.SetLogLevel(TLogLevel::llError);
    return logger;
}

// The output refused, or begun (staged when it is a local file) with its names set for messages.
bool BeginOutput(const TToolArgs& args, TToolOutput& output, TConsole& console)
{
    if (const std::string refusal = OutputRefusal(args.Output); !refusal.empty()) {
        console.Final(refusal);
        return false;
    }
    if (!output.Begin(args.Output)) {
        console.Final(output.Staging().Error());
        return false;
    }
    if (output.Staged()) {
        console.ShowNameAs("file:" + output.Staging().TempPath(), args.Output);
        console.ShowNameAs(output.Staging().TempPath(), args.Output);
    }
    return true;
}

// Serves the engine's hand-overs until its run has ended; a termination signal stops it.
void ServeUntilDone(TQueueDispatcher& dispatcher, TFFEncoder& encoder, const std::atomic<bool>& done)
{
    bool stopping = false;
    while (!done) {
        dispatcher.WaitAndServe(std::chrono::milliseconds(20));
        if (!stopping && TerminationSignal()) {
            stopping = true;
            encoder.Stop(false);
        }
    }
}

// The end of a run: a signal removes the part written, a failed task says why, a finished
// one is committed under its name. The exit status.
int FinishRun(const TToolArgs& args, TToolOutput& output, TConsole& console, const TTerminateInfo& taskEnd)
{
    if (const int signal = TerminationSignal()) {
        const bool staged = output.Staged();
        output.Staging().Discard();
        const std::string stopped = std::string("Stopped by SIG") + sigabbrev_np(signal);
        console.Final(staged ? stopped + "; the part written was removed, nothing is saved as " + args.Output
                             : stopped);
        EndBySignal(signal);
    }
    if (!taskEnd.Finished) {
        console.Final(taskEnd.Exception ? taskEnd.ExceptionMsg : "The conversion did not finish.");
        return 1;
    }
    if (output.Staged() && !output.Staging().Commit(TCommitMode::Replace)) {
        console.Final(output.Staging().Error());
        return 1;
    }
    return 0;
}

}  // namespace
}  // namespace reelsmith

int main(int argc, char** argv)
{
    TToolArgs args;
    if (const int status = ParseArgs(argc, argv, &args))
        return status < 0 ? 0 : status;
    InstallTerminationHandlers();
    if (args.Batch)
        return RunBatch(args.BatchArgs);

    // Refused before anything is opened for writing, so an input is never overwritten.
    const std::string writtenInput = InputWrittenBy(args.Output, {args.Input});
    if (!writtenInput.empty()) {
        std::fprintf(stderr, "%s: the output is the same file as the input %s; the input is never overwritten\n",
                     args.Output.c_str(), writtenInput.c_str());
        return 1;
    }

    // The dispatcher must outlive the encoder: stopping tasks in its destructor still uses it.
    TQueueDispatcher dispatcher;
    TFFEncoder encoder;
    TConsole console;
    TFFLogger& logger = RouteLogToConsole(console);
    if (!encoder.LoadAVLib("")) {
        logger.Flush();
        console.Final("Cannot load the FFmpeg libraries: " + encoder.LastErrMsg());
        return 1;
    }

    encoder.SetDispatcher(&dispatcher);
    TTerminateInfo taskEnd;
    std::atomic<bool> done{false};
    encoder.OnProgress = [&console](TCustomEncoder*, const TProgressInfo* info) { console.Progress(*info); };
    encoder.OnTerminate = [&](TCustomEncoder*, const TTerminateInfo& info) {
        if (info.TaskIndex >= 0)
            taskEnd = info;
        else
            done = true;
    };
    encoder.ThreadPriority = args.Priority;
    encoder.FinishOnStop = false;  // a stopped conversion's part is removed anyway
    // The benchmarks compare decoding and encoding ahead with doing both on the loop's thread.
    if (const char* ahead = std::getenv("REELSMITH_DECODE_AHEAD"); ahead && std::string_view(ahead) == "0")
        encoder.DecodeAhead = false;
    if (const char* ahead = std::getenv("REELSMITH_ENCODE_AHEAD"); ahead && std::string_view(ahead) == "0")
        encoder.EncodeAhead = false;

    TToolOutput output;
    if (!BeginOutput(args, output, console))
        return 1;
    if (PrepareTask(encoder, args, output) < 0) {
        logger.Flush();
        console.Final(encoder.LastErrMsg());
        return 1;
    }
    if (const int signal = TerminationSignal())
        EndBySignal(signal);  // removes the staged file

    encoder.Start(args.Threads);
    ServeUntilDone(dispatcher, encoder, done);
    logger.Flush();
    console.EndProgressLine();
    return FinishRun(args, output, console, taskEnd);
}
