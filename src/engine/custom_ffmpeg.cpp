#include "engine/custom_ffmpeg.h"

#include <algorithm>
#include <filesystem>

#include "engine/engine_error.h"
#include "engine/pipeline/loop_state.h"
#include "media/engine_log.h"
#include "base/main_thread_dispatcher.h"
#include "engine/options/option_def.h"

namespace reelsmith {

namespace {
int64_t Now() { return ff().av_gettime_relative(); }
}  // namespace

TCustomFFmpeg::TCustomFFmpeg() : FLoop(std::make_unique<TLoopState>()) {}

TCustomFFmpeg::~TCustomFFmpeg()
{
    EndBeforeDestruction();
    TranscodeCleanup();
}

// A derived job calls this first in its own destructor, so that the conversion (which may call
// back into it) has ended before any of its members go.
void TCustomFFmpeg::EndBeforeDestruction()
{
    if (FDestructionEnded)
        return;
    FDestructionEnded = true;
    if (FOnDestroy)
        FOnDestroy(this);
    Stop(true);
    if (FThread.joinable() && FThread.get_id() != std::this_thread::get_id())
        FThread.join();
    else if (FThread.joinable())
        FThread.detach();
    if (FTerminator.joinable())
        FTerminator.join();
}

std::string TCustomFFmpeg::FatalMessage() const
{
    std::lock_guard lock(FControlLock);
    return FFatalMessage;
}

AVFormatContext* TCustomFFmpeg::InputContext(int index) const
{
    if (index < 0 || index >= FGraph.Fnb_input_files())
        return nullptr;
    return FGraph.Finput_files[index]->ctx.get();
}

bool TCustomFFmpeg::OutputWritesFile(int index) const
{
    if (index < 0 || index >= FGraph.Fnb_output_files())
        return false;
    const AVOutputFormat* format = FGraph.Foutput_files[index]->format;
    return format && !(format->flags & AVFMT_NOFILE);
}

int TCustomFFmpeg::AddInputFile(const std::string& fileName, const std::string& options, const std::string& presets)
{
    TOptionsContext o;
    int ret = ParseOptions(o, options, presets, "input file", fileName, OPT_INPUT);
    if (ret < 0)
        return ret;
    return OpenInput(o, fileName);
}

int TCustomFFmpeg::AddOutputFile(const std::string& fileName, const std::string& options, const std::string& presets)
{
    TOptionsContext o;
    int ret = ParseOptions(o, options, presets, "output file", fileName, OPT_OUTPUT);
    if (ret < 0)
        return ret;
    return OpenOutput(o, fileName);
}

void TCustomFFmpeg::StartConvert(bool useThread, TThreadPriority priority)
{
    if (FConverting || FTerminated)
        return;
    if (FGraph.Fnb_output_files() == 0) {
        const std::string text = "At least one output file must be specified";
        EngineLog(TLogLevel::llError, text);
        {
            std::lock_guard lock(FControlLock);
            FFatalMessage = text;
        }
        FFatalException = true;
        FConverting = false;
        FTerminated = true;
        if (FOnTerminate)
            FOnTerminate(this);
        return;
    }
    FConverting = true;
    FIo.Broken = false;
    FFinished = false;
    FSuspended = 0;
    FStep = 0;
    FPauseTime = 0;
    FTotalPauseTime = 0;
    FSuspender.Set();
    FStopEvent.Reset();
    if (!useThread) {
        ConversionBody();
        FStopEvent.Set();
        return;
    }
    FThread = std::thread([this, priority] {
        ApplyThreadPriority(priority);
        ConversionBody();
        FStopEvent.Set();
    });
}

void TCustomFFmpeg::Pause()
{
    std::lock_guard lock(FControlLock);
    if (!FConverting || FSuspended != 0 || FStep != 0)
        return;
    FSuspended = 1;
    FPauseTime = Now();
    FSuspender.Reset();
    std::lock_guard hooks(FLoop->hooks.FHookLock);
    if (FLoop->hooks.FWavePlayer)
        FLoop->hooks.FWavePlayer->Pause();
}

void TCustomFFmpeg::Resume()
{
    std::lock_guard lock(FControlLock);
    if (FSuspended != 1 && FStep != 1)
        return;
    FSuspended = 0;
    FStep = 0;
    FTotalPauseTime += Now() - FPauseTime;
    FSuspender.Set();
    std::lock_guard hooks(FLoop->hooks.FHookLock);
    if (FLoop->hooks.FWavePlayer)
        FLoop->hooks.FWavePlayer->Resume();
}

void TCustomFFmpeg::Stop(bool waitForStop)
{
    bool neverStarted;
    {
        std::lock_guard lock(FControlLock);
        if (FSuspended == 1)
            FSuspended = 0;
        if (FStep == 1)
            FStep = 0;
        FIo.Broken = true;
        FSuspender.Set();
        neverStarted = FSuspended < 0 && FStep < 0;
    }
    if (!waitForStop || neverStarted)
        return;
    if (FThread.joinable() && FThread.get_id() == std::this_thread::get_id())
        return;  // a handler of this task's own events: the loop ends when it returns
    const bool onMain = FDispatcher && FDispatcher->IsMainThread();
    while (!FStopEvent.WaitFor(std::chrono::milliseconds(20)))
        if (onMain)
            FDispatcher->ServePending();
}

void TCustomFFmpeg::TerminateUnstarted(bool waitForStop)
{
    if (FConverting || FTerminated || FTerminator.joinable())
        return;
    FTerminator = std::thread([this] {
        FConverting = false;
        FTerminated = true;
        if (FOnTerminate)
            FOnTerminate(this);
    });
    if (waitForStop)
        FTerminator.join();
}

void TCustomFFmpeg::SetFrameRateEmulation(bool on)
{
    const bool was = FRateEmulation.exchange(on);
    if (on && !was && FConverting && FLoop->FTranscodeStart)
        FTotalPauseTime = Now() - FLoop->FTranscodeStart;  // go on from the position reached
}

bool TCustomFFmpeg::FrameRateEmulation() const { return FRateEmulation; }

int TCustomFFmpeg::ReadInterrupt()
{
    if (FIo.Broken) {
        EngineLog(TLogLevel::llInfo, "reading/writing broken");
        FIo.ReadTimedOut = false;  // stopped, not timed out
        return 1;
    }
    // The loop's readers end when the loop has what it needs: a read in flight is not waited for.
    if (FLoop->readers.Stopping())
        return 1;
    const int64_t last = std::min<int64_t>(FIo.LastRead, FLoop->readers.OldestRead());
    const int timeout = FReadTimeout;
    if (last != INT64_MAX && timeout > 0 && Now() - last > int64_t(timeout) * 1000) {
        EngineLog(TLogLevel::llInfo, last == 0 ? "connecting/reading canceled" : "connecting/reading timeout");
        FIo.ReadTimedOut = last != 0;
        return 1;
    }
    return 0;
}

std::string TCustomFFmpeg::ReadErrorText(int code) const
{
    if (code == AVERROR_EXIT && FIo.ReadTimedOut)
        return StrFormat("No data could be read for %g seconds (read time-out)", FReadTimeout.load() / 1000.0);
    return EngineErrorText(code);
}

int TCustomFFmpeg::WriteInterrupt()
{
    const int64_t last = FIo.LastWrite;
    const int timeout = FWriteTimeout;
    if (last != INT64_MAX && timeout > 0 && Now() - last > int64_t(timeout) * 1000) {
        EngineLog(TLogLevel::llInfo, last == 0 ? "connecting/writing canceled" : "connecting/writing timeout");
        return 1;
    }
    return 0;
}

void TCustomFFmpeg::RunProtected(const char* /*step*/, const std::function<void()>& body)
{
    try {
        body();
    } catch (const TEngineError& e) {
        EngineLog(TLogLevel::llQuiet, e.what());
        std::lock_guard lock(FControlLock);
        FFatalException = true;
        FFatalMessage = e.what();
    } catch (const std::exception& e) {
        EngineLog(TLogLevel::llQuiet, e.what());
        std::lock_guard lock(FControlLock);
        FFatalException = true;
        FFatalMessage = e.what();
    }
}

void TCustomFFmpeg::ConversionBody()
{
    FFinished = false;
    RunProtected("transcode", [this] {
        if (TranscodeInit() < 0)
            throw TEngineError(FLastErrMsg);
        Transcode();
    });
    ClosePreviewAudio();
    RunProtected("cleanup", [this] { TranscodeCleanup(); });
    if (FFatalException)
        RemoveCreatedFiles();
    RunProtected("terminate", [this] { EndTask(); });
}

void TCustomFFmpeg::RemoveCreatedFiles()
{
    for (const std::string& path : FIo.CreatedFiles) {
        std::error_code error;
        std::filesystem::remove(path, error);
    }
    FIo.CreatedFiles.clear();
}

void TCustomFFmpeg::EndTask()
{
    FConverting = false;
    FTerminated = true;
    if (FOnTerminate)
        FOnTerminate(this);
}

}  // namespace reelsmith
