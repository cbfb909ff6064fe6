#include "engine/custom_encoder.h"

#include <stdexcept>
#include <thread>
#include <type_traits>
#include <utility>

#include "base/text.h"
#include "engine/engine_error.h"
#include "media/engine_log.h"
#include "media/ffmpeg_loader.h"

namespace reelsmith {

namespace {

std::string ReplaceIgnoringCase(std::string text, const std::string& from, const std::string& to)
{
    const std::string needle = AsciiLowered(from);
    size_t pos = 0;
    while ((pos = AsciiLowered(text).find(needle, pos)) != std::string::npos) {
        text.replace(pos, from.size(), to);
        pos += to.size() - 1;
    }
    return text;
}

// A file record's option string and presets (none without a record); the record takes the
// file's name when it names none.
template <class TRecord>
std::pair<std::string, std::string> OptionsOf(TRecord* options, const std::string& fileName)
{
    if (!options)
        return {};
    if (options->FileName.empty())
        options->FileName = fileName;
    return {options->Options, options->Presets};
}

}  // namespace

TCustomEncoder::TCustomEncoder()
    : FOwnDispatcher(std::make_unique<TQueueDispatcher>()), FDispatcher(FOwnDispatcher.get())
{
}

TCustomEncoder::~TCustomEncoder()
{
    // Workers still read the handlers while they stop: silence them with a flag instead of
    // writing the handlers under their feet.
    FClosing = true;
    FPendingTasks = 0;
    std::vector<std::unique_ptr<TFFmpeg>> tasks;
    {
        std::lock_guard lock(FListLock);
        tasks.swap(FFFmpegList);
    }
    for (auto& task : tasks)
        if (task)
            task->Stop(true);
    // Terminate deliveries still under way refer to this component.
    std::unique_lock lock(FDeliveryLock);
    while (FDeliveries > 0) {
        lock.unlock();
        if (FDispatcher->IsMainThread())
            FDispatcher->ServePending();
        lock.lock();
        FDeliveryDone.wait_for(lock, std::chrono::milliseconds(10));
    }
    lock.unlock();
    tasks.clear();
}

bool TCustomEncoder::AVLibLoaded()
{
    const FFApi& api = ff();
    bool complete = true;
#define RS_FF_FUNCTION(lib, member, symbol, required, ...)                      \
    if (TLibrary::lib != TLibrary::myUtil && TLibrary::lib != TLibrary::SDL2 && \
        TLibrary::lib != TLibrary::libSoundTouch && (required) && !api.member)  \
        complete = false;
#include "media/ffmpeg_function_list.inc"
#undef RS_FF_FUNCTION
    return complete;
}

bool TCustomEncoder::LoadAVLib(const std::string& folder)
{
    TFFLoader& loader = FFLoader();
    loader.SetLibraryPath(folder);
    if (loader.Load(EncoderLibraries))
        return true;
    std::lock_guard lock(FListLock);
    FLastErrMsg = loader.LastErrMsg();
    return false;
}

std::string TCustomEncoder::LastErrMsg() const
{
    std::lock_guard lock(FListLock);
    return FLastErrMsg;
}

int TCustomEncoder::TasksCount() const
{
    std::lock_guard lock(FListLock);
    return static_cast<int>(FFFmpegList.size());
}

TFFmpeg* TCustomEncoder::FFmpegs(int index) const
{
    std::lock_guard lock(FListLock);
    return FFFmpegList.at(static_cast<size_t>(index)).get();
}

void TCustomEncoder::BusyGuard(const char* operation) const
{
    if (FWorking)
        throw std::logic_error(StrFormat("Cannot %s while working.", operation));
}

int TCustomEncoder::IndexOf(const TCustomFFmpeg* task) const
{
    std::lock_guard lock(FListLock);
    for (size_t i = 0; i < FFFmpegList.size(); ++i)
        if (FFFmpegList[i].get() == task)
            return static_cast<int>(i);
    return -1;
}

void TCustomEncoder::RunOnMain(const std::function<void()>& call)
{
    if (TriggerEventInMainThread)
        FDispatcher->RunAndWait(call);
    else
        call();
}

void TCustomEncoder::SetDispatcher(TMainThreadDispatcher* dispatcher)
{
    FDispatcher = dispatcher ? dispatcher : FOwnDispatcher.get();
    ForEachTask([&](TFFmpeg& task) { task.FDispatcher = FDispatcher; });
}

void TCustomEncoder::ConnectTask(TFFmpeg& task)
{
    task.FOnProgress = [this](TCustomFFmpeg* sender, int, int frame, int fps, float q, float br, int64_t size,
                              int64_t dur, int64_t total) { DoProgress(sender, frame, fps, q, br, size, dur, total); };
    task.FOnTerminate = [this](TCustomFFmpeg* sender) { DoTerminate(sender); };
}

TFFmpeg::~TFFmpeg()
{
    EndBeforeDestruction();
    InputsClosing();
}

TCustomDecoder& TFFmpeg::DecoderOf(int inputIndex)
{
    if (FDecoders.size() <= size_t(inputIndex))
        FDecoders.resize(size_t(inputIndex) + 1);
    if (!FDecoders[size_t(inputIndex)])
        FDecoders[size_t(inputIndex)] = std::make_unique<TCustomDecoder>();
    return *FDecoders[size_t(inputIndex)];
}

void TFFmpeg::InputsClosing()
{
    for (auto& decoder : FDecoders)
        if (decoder)
            decoder->CloseFile();
}

int TCustomEncoder::AddTask(const std::string& fileName, TInputOptions* options)
{
    if (!AVLibLoaded())
        throw std::logic_error("FFmpeg libraries not loaded.");
    BusyGuard("AddTask");
    auto task = std::make_unique<TFFmpeg>();
    task->FPreviewInterval = int64_t(FPreviewInterval) * 1000;
    task->FReportInterval = int64_t(FProgressInterval) * 1000;
    task->FParent = this;
    task->FDispatcher = FDispatcher;
    task->FPreviewAudio = FPreviewAudio.load();
    task->SetPostHook(phPreview, FPreviewVideo);
    task->SetPostHook(phBitmap, FPreviewBitmap);
    task->FOnPreviewBitmap = [this](TCustomFFmpeg* sender, const TRGBPicture& bitmap, int frame, int64_t pts) {
        if (FClosing || !OnPreviewBitmap)
            return;
        std::lock_guard lock(FPreviewLock);
        FPreviewInfo = TPreviewInfo{IndexOf(sender), &bitmap, frame, pts};
        RunOnMain([this] {
            if (!FClosing && OnPreviewBitmap)
                OnPreviewBitmap(this, FPreviewInfo);
        });
    };
    task->FOnBeforeFindStreamInfo = [this](TCustomFFmpeg* sender, AVFormatContext* context) {
        if (FClosing || !OnBeforeFindStreamInfo)
            return;
        std::lock_guard lock(FFindStreamLock);
        RunOnMain([&] { OnBeforeFindStreamInfo(sender, context); });
    };
    try {
        PrepareTask(*task);
        const auto [opts, presets] = OptionsOf(options, fileName);
        if (options)
            task->FInputOptions.push_back(*options);
        const int ret = task->AddInputFile(fileName, opts, presets);
        if (ret < 0) {
            std::lock_guard lock(FListLock);
            FLastErrMsg = task->LastErrMsg();
            return ret;
        }
        const int input = task->InputCount() - 1;
        task->DecoderOf(input).UseOpenedContext(task->FGraph.Finput_files[size_t(input)]->ctx.get());
        ConnectTask(*task);
        std::lock_guard lock(FListLock);
        FFFmpegList.push_back(std::move(task));
        return static_cast<int>(FFFmpegList.size()) - 1;
    } catch (const TEngineError& e) {
        std::lock_guard lock(FListLock);
        FLastErrMsg = e.what();
        return -1;
    }
}

// Each parse starts clean and with the component's current halting rule and time-outs.
void TCustomEncoder::PrepareTask(TFFmpeg& task) const
{
    task.ClearLastErrMsg();
    task.HaltOnInvalidOption = HaltOnInvalidOption;
    task.FFinishOnStop = FinishOnStop;
    task.FDecodeAhead = DecodeAhead;
    task.FEncodeAhead = EncodeAhead;
    task.FReadTimeout = FReadTimeout.load();
    task.FWriteTimeout = FWriteTimeout.load();
}

int TCustomEncoder::SetOutput(int taskIndex, const std::string& fileName, TOutputOptions* options)
{
    BusyGuard("SetOutput");
    TFFmpeg* task = FFmpegs(taskIndex);
    if (!task) {
        std::lock_guard lock(FListLock);
        FLastErrMsg = StrFormat("The task #%d had been released.", taskIndex);
        return -1;
    }
    // A failed output leaves the hooks of the task as they were.
    struct THooks {
        TVideoHookEvent videoIn, videoOut;
        TFrameHookEvent frameIn, frameOut;
        TAudioHookEvent audioIn, audioOut;
    } const saved{task->FOnVideoInputHook,  task->FOnVideoOutputHook, task->FOnFrameInputHook,
                  task->FOnFrameOutputHook, task->FOnAudioInputHook,  task->FOnAudioOutputHook};
    auto restoreHooks = [&] {
        task->FOnVideoInputHook = saved.videoIn;
        task->FOnVideoOutputHook = saved.videoOut;
        task->FOnFrameInputHook = saved.frameIn;
        task->FOnFrameOutputHook = saved.frameOut;
        task->FOnAudioInputHook = saved.audioIn;
        task->FOnAudioOutputHook = saved.audioOut;
    };
    try {
        PrepareTask(*task);
        const auto [opts, presets] = OptionsOf(options, fileName);
        if (options) {
            task->FOutputOptions.push_back(*options);
            task->SetVideoHookBitsPixel(options->VideoHookBitsPixel);
            ConnectHooks(*task, *options);
        }
        std::string text = " " + opts + " ";
        for (const char* hook : {"AudioInputHook", "AudioOutputHook", "VideoInputHook", "VideoOutputHook",
                                 "FrameInputHook", "FrameOutputHook"})
            text = ReplaceIgnoringCase(text, std::string(" -") + hook + " ", std::string(" -") + hook + " ");
        const int ret = task->AddOutputFile(fileName, Trimmed(text, " "), presets);
        if (ret < 0) {
            std::lock_guard lock(FListLock);
            FLastErrMsg = task->LastErrMsg();
            if (options && !task->FOutputOptions.empty())
                task->FOutputOptions.pop_back();
            restoreHooks();
        }
        return ret;
    } catch (const TEngineError& e) {
        std::lock_guard lock(FListLock);
        FLastErrMsg = task->LastErrMsg().empty() || task->LastErrMsg() == e.what()
                          ? std::string(e.what())
                          : task->LastErrMsg() + "\r\n" + e.what();
        if (options && !task->FOutputOptions.empty())
            task->FOutputOptions.pop_back();
        restoreHooks();
        return -1;
    }
}

template <class TInfo, class TEvent>
std::function<void(TCustomFFmpeg*, TInfo&)> TCustomEncoder::PictureHook(const TEvent* event, std::mutex& lock,
                                                                        TInfo& shared)
{
    return [this, event, &lock, &shared](TCustomFFmpeg* sender, TInfo& info) {
        if (FClosing || !*event)
            return;
        std::lock_guard guard(lock);
        shared = info;
        shared.TaskIndex = IndexOf(sender);
        (*event)(this, &shared);
        if constexpr (std::is_same_v<TInfo, THookInfo>) {
            info.Update = shared.Update;
            info.StopHook = shared.StopHook;
        }
    };
}

void TCustomEncoder::ConnectHooks(TFFmpeg& task, const TOutputOptions& options)
{
    auto audio = [this](const TEncAudioHookEvent* event) {
        return [this, event](TCustomFFmpeg* sender, int64_t pts, const AVFrame* f, int size, int rate, int channels,
                             int format) {
            if (FClosing || !*event)
                return;
            std::lock_guard lock(FAudioHookLock);
            (*event)(this, IndexOf(sender), pts, f, size, rate, channels, format);
        };
    };
    if (options.VideoInputHook)
        task.FOnVideoInputHook = PictureHook(&OnVideoInputHook, FVideoHookLock, FVideoHookInfo);
    if (options.VideoOutputHook)
        task.FOnVideoOutputHook = PictureHook(&OnVideoOutputHook, FVideoHookLock, FVideoHookInfo);
    if (options.FrameInputHook)
        task.FOnFrameInputHook = PictureHook(&OnFrameInputHook, FFrameHookLock, FFrameHookInfo);
    if (options.FrameOutputHook)
        task.FOnFrameOutputHook = PictureHook(&OnFrameOutputHook, FFrameHookLock, FFrameHookInfo);
    if (options.AudioInputHook)
        task.FOnAudioInputHook = audio(&OnAudioInputHook);
    if (options.AudioOutputHook)
        task.FOnAudioOutputHook = audio(&OnAudioOutputHook);
}

void TCustomEncoder::SetPreviewVideo(bool on)
{
    FPreviewVideo = on;
    ForEachTask([&](TFFmpeg& task) { task.SetPostHook(phPreview, on); });
}

void TCustomEncoder::SetPreviewBitmap(bool on)
{
    FPreviewBitmap = on;
    ForEachTask([&](TFFmpeg& task) { task.SetPostHook(phBitmap, on); });
}

void TCustomEncoder::SetPreviewAudio(bool on)
{
    FPreviewAudio = on;
    ForEachTask([&](TFFmpeg& task) { task.FPreviewAudio = on; });
}

void TCustomEncoder::RemoveTask(int taskIndex)
{
    BusyGuard("RemoveTask");
    std::unique_ptr<TFFmpeg> removed;
    {
        std::lock_guard lock(FListLock);
        removed = std::move(FFFmpegList.at(static_cast<size_t>(taskIndex)));
        FFFmpegList.erase(FFFmpegList.begin() + taskIndex);
    }
}

void TCustomEncoder::ClearTasks()
{
    if (FWorking && !FTerminated)
        throw std::logic_error("Cannot ClearTasks while working.");
    std::vector<std::unique_ptr<TFFmpeg>> tasks;
    {
        std::lock_guard lock(FListLock);
        tasks.swap(FFFmpegList);
        FLastErrMsg.clear();
    }
    tasks.clear();
    FCompleteTasks = 0;
    FCurrentTask = -1;
    FPendingTasks = 0;
    FTerminated = false;
    FThreadMode = false;
    FWorking = false;
    FPaused = false;
    FStepped = false;
}

void TCustomEncoder::Start(int threadCount)
{
    BusyGuard("StartTask");
    {
        std::lock_guard lock(FTerminateLock);
        FCompleteTasks = 0;
        FCurrentTask = 0;
        FPendingTasks = TasksCount();
        FTerminated = false;
        FThreadMode = threadCount > 0;
        FWorking = true;
        FPaused = false;
        FStepped = false;
    }
    int n = threadCount;
    while (FPendingTasks > 0) {
        {
            std::lock_guard lock(FTerminateLock);
            StartNextTask();
        }
        if (FThreadMode && --n <= 0)
            break;
    }
}

void TCustomEncoder::StartNextTask()
{
    TFFmpeg* task = nullptr;
    while (FPendingTasks > 0) {
        --FPendingTasks;
        if (FCurrentTask < TasksCount() && (task = FFmpegs(FCurrentTask)))
            break;
        ++FCurrentTask;
    }
    if (!task)
        return;
    const int index = FCurrentTask;
    ++FCurrentTask;
    if (!FClosing && OnStart)
        OnStart(this, index);
    task->StartConvert(FThreadMode, ThreadPriority);
}

void TCustomEncoder::Pause()
{
    if (!FWorking || FPaused || FStepped)
        return;
    ForEachTask([](TFFmpeg& task) { task.Pause(); });
    FPaused = true;
}

void TCustomEncoder::Resume()
{
    if (!FWorking || (!FPaused && !FStepped))
        return;
    ForEachTask([](TFFmpeg& task) { task.Resume(); });
    FPaused = false;
    FStepped = false;
}

void TCustomEncoder::Stop(bool waitForStop)
{
    FPendingTasks = 0;
    if (!FWorking)
        return;
    for (int i = 0; i < TasksCount(); ++i) {
        TFFmpeg* task = FFmpegs(i);
        if (!task)
            continue;
        if (task->Converting())
            task->Stop(waitForStop);
        else if (!task->Terminated() && !task->Started()) {
            task->TerminateUnstarted(false);
            while (waitForStop && !task->Terminated()) {
                if (FDispatcher->IsMainThread())
                    FDispatcher->ServePending();
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        }
    }
}

void TCustomEncoder::DoProgress(TCustomFFmpeg* task, int frameNumber, int fps, float quality, float bitRate,
                                int64_t size, int64_t duration, int64_t total)
{
    if (FClosing || !OnProgress)
        return;
    std::lock_guard lock(FProgressLock);
    FProgressInfo.TaskIndex = IndexOf(task);
    FProgressInfo.FileIndex = -1;
    FProgressInfo.FrameNumber = frameNumber;
    FProgressInfo.FPS = fps;
    FProgressInfo.Quality = quality;
    FProgressInfo.BitRate = bitRate;
    FProgressInfo.CurrentSize = size;
    FProgressInfo.CurrentDuration = duration;
    FProgressInfo.TotalDuration = total;
    RunOnMain([this] {
        if (!FClosing && OnProgress)
            OnProgress(this, &FProgressInfo);
    });
}

void TCustomEncoder::DoTerminate(TCustomFFmpeg* task)
{
    std::lock_guard lock(FTerminateLock);
    FThreadTerminated = true;
    if (!FClosing && OnTerminate) {
        FTerminateInfo.TaskIndex = IndexOf(task);
        FTerminateInfo.Finished = task->Finished();
        FTerminateInfo.Exception = task->FatalException();
        FTerminateInfo.ExceptionMsg = task->FatalException() ? task->FatalMessage() : std::string();
        if (FThreadMode || !FWorking) {
            FThreadTerminated = false;
            DeliverTerminate(FTerminateInfo, false);
        } else {
            RunOnMain([this] { OnTerminate(this, FTerminateInfo); });
        }
    }
    ++FCompleteTasks;
    if (FPendingTasks < 1) {
        if (FCompleteTasks >= TasksCount())
            EndRun();
    } else if (FThreadMode) {
        StartNextTask();
    }
}

void TCustomEncoder::EndRun()
{
    FTerminated = true;
    if (FClosing || !OnTerminate)
        return;
    FTerminateInfo = TTerminateInfo{-1, true, false, {}};
    if (FThreadMode || !FWorking)
        DeliverTerminate(FTerminateInfo, true);
    else
        RunOnMain([this] { OnTerminate(this, FTerminateInfo); });
}

void TCustomEncoder::DeliverTerminate(TTerminateInfo info, bool waitForHandOver)
{
    // Deliveries run in the order they were handed over, so the final event can never
    // overtake a task event that is still being delivered (several tasks may end at once).
    uint64_t ticket;
    {
        std::lock_guard lock(FDeliveryLock);
        ++FDeliveries;
        ticket = FNextTicket++;
    }
    TTerminateEvent event = OnTerminate;
    const bool onMain = TriggerEventInMainThread;
    std::thread([this, info = std::move(info), waitForHandOver, event, onMain, ticket] {
        {
            std::unique_lock lock(FDeliveryLock);
            FDeliveryDone.wait(lock, [&] { return FServingTicket == ticket; });
        }
        if (waitForHandOver)
            while (!FThreadTerminated)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (event && !FClosing) {
            if (onMain)
                FDispatcher->RunAndWait([&] { event(this, info); });
            else
                event(this, info);
        }
        if (info.TaskIndex >= 0 && AutoReleaseTask)
            ReleaseSlot(info.TaskIndex);
        FThreadTerminated = true;
        std::lock_guard lock(FDeliveryLock);
        ++FServingTicket;
        --FDeliveries;
        FDeliveryDone.notify_all();
    }).detach();
}

void TCustomEncoder::ReleaseSlot(int index)
{
    std::unique_ptr<TFFmpeg> released;
    {
        std::lock_guard lock(FListLock);
        if (index < static_cast<int>(FFFmpegList.size()))
            released = std::move(FFFmpegList[index]);
    }
}

void TCustomEncoder::SetProgressInterval(int ms)
{
    FProgressInterval = std::max(ms, 10);
    ForEachTask([&](TFFmpeg& task) { task.FReportInterval = int64_t(FProgressInterval) * 1000; });
}

void TCustomEncoder::SetPreviewInterval(int ms)
{
    FPreviewInterval = std::max(ms, 10);
    ForEachTask([&](TFFmpeg& task) { task.FPreviewInterval = int64_t(FPreviewInterval) * 1000; });
}

void TCustomEncoder::SetReadTimeout(int ms)
{
    FReadTimeout = ms;
    ForEachTask([&](TFFmpeg& task) { task.FReadTimeout = ms; });
}

void TCustomEncoder::SetWriteTimeout(int ms)
{
    FWriteTimeout = ms;
    ForEachTask([&](TFFmpeg& task) { task.FWriteTimeout = ms; });
}

bool TCustomEncoder::FrameRateEmulation() const
{
    std::lock_guard lock(FListLock);
    for (auto& task : FFFmpegList)
        if (task && task->FrameRateEmulation())
            return true;
    return false;
}

void TCustomEncoder::SetFrameRateEmulation(bool on)
{
    ForEachTask([&](TFFmpeg& task) { task.SetFrameRateEmulation(on); });
}

}  // namespace reelsmith
