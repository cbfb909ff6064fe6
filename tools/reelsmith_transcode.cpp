// reelsmith-transcode [--input-options STR] [--threads N] [--priority idle|low|normal|high]
//                     INPUT OUTPUT [OUTPUT OPTION STRING]
// Converts one file with the engine and reports progress on stderr.

#include <sys/stat.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/custom_encoder.h"
#include "media/ff_logger.h"
#include "media/ffmpeg_loader.h"
#include "transcode_help.h"

using namespace reelsmith;

#if defined(__SANITIZE_ADDRESS__)
// libx265 keeps a copy of its parameters from x265_encoder_open that its close never
// frees; the engine's own allocations are still checked.
extern "C" const char* __lsan_default_suppressions() { return "leak:libx265.so\n"; }
#endif

namespace {

int Usage()
{
    std::fprintf(stderr, "usage: reelsmith-transcode [--input-options STR] [--threads N] "
                         "[--priority idle|low|normal|high] INPUT OUTPUT [OUTPUT OPTION STRING]\n"
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
    if (::stat(name.c_str(), &status) != 0 || S_ISREG(status.st_mode) || name == "/dev/null")
        return {};
    return name + ": the output exists and is not a regular file";
}

}  // namespace

int main(int argc, char** argv)
{
    std::string inputOptions;
    int threads = 1;
    TThreadPriority priority = tpNormal;
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--input-options" && i + 1 < argc) {
            inputOptions = argv[++i];
        } else if (arg == "--threads" && i + 1 < argc) {
            threads = std::atoi(argv[++i]);
        } else if (arg == "--priority" && i + 1 < argc) {
            if (!ParsePriority(argv[++i], &priority))
                return Usage();
        } else if (arg == "--help" || arg == "-h") {
            std::fputs(kTranscodeHelp, stdout);
            return 0;
        } else if (arg == "--version") {
            std::fputs(kTranscodeVersion, stdout);
            return 0;
        } else {
            positional.push_back(arg);
        }
    }
    if (positional.size() < 2 || positional.size() > 3)
        return Usage();

    // The dispatcher must outlive the encoder: stopping tasks in its destructor still uses it.
    TQueueDispatcher dispatcher;
    TFFEncoder encoder;
    // The library's lines go through the engine's logger, as in the desktop program: FFmpeg's
    // own default callback crashes on some option errors (see ParentContext in the logger).
    TFFLogger& logger = FFLogger();
    logger.SetTriggerEventInMainThread(false);
    logger.SetLogFlags(TFFLogger::kSkipRepeated);  // lines as FFmpeg prints them, without a level
    logger.SetOnLog([](const void*, int, TLogLevel, const std::string& line) {
        std::fprintf(stderr, "%s\n", LogLineMessage(line).c_str());
    });
    if (!std::getenv("REELSMITH_VERBOSE"))
        logger.SetLogLevel(TLogLevel::llError);
    if (!encoder.LoadAVLib("")) {
        std::fprintf(stderr, "Cannot load the FFmpeg libraries: %s\n", encoder.LastErrMsg().c_str());
        return 1;
    }

    encoder.SetDispatcher(&dispatcher);
    TTerminateInfo taskEnd;
    std::atomic<bool> done{false};
    encoder.OnProgress = [](TCustomEncoder*, const TProgressInfo* info) { PrintProgress(*info); };
    encoder.OnTerminate = [&](TCustomEncoder*, const TTerminateInfo& info) {
        if (info.TaskIndex >= 0)
            taskEnd = info;
        else
            done = true;
    };
    encoder.ThreadPriority = priority;

    TInputOptions in;
    in.Options = inputOptions;
    const int task = encoder.AddTask(positional[0], &in);
    if (task < 0) {
        logger.Flush();
        std::fprintf(stderr, "%s\n", encoder.LastErrMsg().c_str());
        return 1;
    }
    if (const std::string refusal = OutputRefusal(positional[1]); !refusal.empty()) {
        std::fprintf(stderr, "%s\n", refusal.c_str());
        return 1;
    }
    TOutputOptions out;
    out.Options = positional.size() > 2 ? positional[2] : std::string();
    if (encoder.SetOutput(task, positional[1], &out) < 0) {
        logger.Flush();
        std::fprintf(stderr, "%s\n", encoder.LastErrMsg().c_str());
        return 1;
    }
    encoder.Start(threads);
    while (!done)
        dispatcher.WaitAndServe(std::chrono::milliseconds(20));
    logger.Flush();
    std::fprintf(stderr, "\n");
    if (taskEnd.Finished)
        return 0;
    std::fprintf(stderr, "%s\n", taskEnd.Exception ? taskEnd.ExceptionMsg.c_str() : "The conversion did not finish.");
    return 1;
}
