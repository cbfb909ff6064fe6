#pragma once
// The encoder component: a list of tasks, run one by one or side by side on worker
// threads, with progress and terminate events handed to the main thread.

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/custom_ffmpeg.h"
#include "engine/encoder_records.h"
#include "base/main_thread_dispatcher.h"
#include "base/thread_priority.h"
#include "media/ff_decoder.h"

namespace reelsmith {

class TCustomEncoder;

// One task: the job plus the caller's option records.
class TFFmpeg : public TCustomFFmpeg {
public:
    ~TFFmpeg() override;
    int InputCount() const { return FGraph.Fnb_input_files(); }
    // The information decoder of an input, created on first use.
    TCustomDecoder& DecoderOf(int inputIndex);

    std::vector<TInputOptions> FInputOptions;
    std::vector<TOutputOptions> FOutputOptions;
    TCustomEncoder* FParent = nullptr;
    // One per input index; each answers queries about that open input until the inputs close.
    std::vector<std::unique_ptr<TCustomDecoder>> FDecoders;

protected:
    void InputsClosing() override;
};

using TStartEvent = std::function<void(TCustomEncoder* sender, int taskIndex)>;
using TEncProgressEvent = std::function<void(TCustomEncoder* sender, const TProgressInfo* info)>;
using TTerminateEvent = std::function<void(TCustomEncoder* sender, const TTerminateInfo& info)>;
using TBeforeFindStreamInfoEvent = std::function<void(TCustomFFmpeg* sender, AVFormatContext* context)>;
using TEncPreviewBitmapEvent = std::function<void(TCustomEncoder* sender, const TPreviewInfo& info)>;
using TEncVideoHookEvent = std::function<void(TCustomEncoder* sender, THookInfo* info)>;
using TEncFrameHookEvent = std::function<void(TCustomEncoder* sender, TFrameHookInfo* info)>;
using TEncAudioHookEvent = std::function<void(TCustomEncoder* sender, int taskIndex, int64_t pts, const AVFrame* frame,
                                              int size, int sampleRate, int channels, int sampleFormat)>;

class TCustomEncoder {
public:
    TCustomEncoder();
    virtual ~TCustomEncoder();
    TCustomEncoder(const TCustomEncoder&) = delete;
    TCustomEncoder& operator=(const TCustomEncoder&) = delete;

    // True when every function of the encoder's library set is bound.
    static bool AVLibLoaded();
    // Loads the encoder's library set through the process-wide loader, looking in folder
    // first. False with LastErrMsg set to the loader's text on failure.
    bool LoadAVLib(const std::string& folder);

    int AddTask(const std::string& fileName, TInputOptions* options = nullptr);
    int SetOutput(int taskIndex, const std::string& fileName, TOutputOptions* options = nullptr);
    void RemoveTask(int taskIndex);
    void ClearTasks();
    void Start(int threadCount);
    void Pause();
    void Resume();
    void Stop(bool waitForStop);
    TFFmpeg* FFmpegs(int index) const;

    std::string LastErrMsg() const;
    int TasksCount() const;
    bool Working() const { return FWorking; }
    bool Paused() const { return FPaused; }
    bool Stepped() const { return FStepped; }
    bool Terminated() const { return FTerminated; }

    bool AutoReleaseTask = false;
    bool HaltOnInvalidOption = true;
    // After Stop, a task finishes its output (flushes its encoders, so the part written is
    // complete up to the stop); owners that discard a stopped output turn it off, since an
    // encoder's look-ahead can take seconds to drain.
    bool FinishOnStop = true;
    // Tasks decode their audio and video ahead on a thread per input (the outputs are the same).
    bool DecodeAhead = true;
    // ... and encode video on a thread of its own where the outputs stay the same.
    bool EncodeAhead = true;
    bool TriggerEventInMainThread = true;
    TThreadPriority ThreadPriority = tpNormal;
    void* UserData = nullptr;
    int ProgressInterval() const { return FProgressInterval; }
    void SetProgressInterval(int ms);
    int PreviewInterval() const { return FPreviewInterval; }
    void SetPreviewInterval(int ms);
    int ReadTimeout() const { return FReadTimeout; }
    void SetReadTimeout(int ms);
    int WriteTimeout() const { return FWriteTimeout; }
    void SetWriteTimeout(int ms);
    bool FrameRateEmulation() const;
    void SetFrameRateEmulation(bool on);
    // Preview pictures while converting: PreviewBitmap raises OnPreviewBitmap every
    // PreviewInterval; PreviewVideo is kept for a painter (none in this program).
    // PreviewAudio is stored and copied into the tasks; there is no player for it.
    bool PreviewVideo() const { return FPreviewVideo; }
    void SetPreviewVideo(bool on);
    bool PreviewBitmap() const { return FPreviewBitmap; }
    void SetPreviewBitmap(bool on);
    bool PreviewAudio() const { return FPreviewAudio; }
    void SetPreviewAudio(bool on);

    // The main thread's call queue; by default a plain queue owned by the component,
    // whose main thread is the thread that created the component.
    TMainThreadDispatcher* Dispatcher() const { return FDispatcher; }
    void SetDispatcher(TMainThreadDispatcher* dispatcher);

    // A decoder created with the component, for the caller's own information queries.
    TFFDecoder& Decoder() { return *FDecoder; }

    TStartEvent OnStart;
    TEncProgressEvent OnProgress;
    TTerminateEvent OnTerminate;
    TBeforeFindStreamInfoEvent OnBeforeFindStreamInfo;
    // On the main thread when TriggerEventInMainThread.
    TEncPreviewBitmapEvent OnPreviewBitmap;
    // The hooks run on the task's own thread, never handed to the main thread.
    TEncVideoHookEvent OnVideoInputHook;
    TEncVideoHookEvent OnVideoOutputHook;
    TEncFrameHookEvent OnFrameInputHook;
    TEncFrameHookEvent OnFrameOutputHook;
    TEncAudioHookEvent OnAudioInputHook;
    TEncAudioHookEvent OnAudioOutputHook;

private:
    std::unique_ptr<TFFDecoder> FDecoder = std::make_unique<TFFDecoder>();  // outlives the tasks
    void ConnectHooks(TFFmpeg& task, const TOutputOptions& options);
    // A task's picture hook handed to a component event, one call at a time: the event sees
    // the component's copy of the record with the task's index; its answers go back.
    template <class TInfo, class TEvent>
    std::function<void(TCustomFFmpeg*, TInfo&)> PictureHook(const TEvent* event, std::mutex& lock, TInfo& shared);
    void BusyGuard(const char* operation) const;
    // Applies a setting to every task in the list, under the list lock.
    template <typename TApply>
    void ForEachTask(TApply&& apply)
    {
        std::lock_guard lock(FListLock);
        for (auto& task : FFFmpegList)
            if (task)
                apply(*task);
    }
    void PrepareTask(TFFmpeg& task) const;
    int IndexOf(const TCustomFFmpeg* task) const;
    void StartNextTask();
    void DoTerminate(TCustomFFmpeg* task);
    void EndRun();
    void DeliverTerminate(TTerminateInfo info, bool waitForHandOver);
    void DoProgress(TCustomFFmpeg* task, int frameNumber, int fps, float quality, float bitRate, int64_t size,
                    int64_t duration, int64_t total);
    void ConnectTask(TFFmpeg& task);
    void ReleaseSlot(int index);
    void RunOnMain(const std::function<void()>& call);

    mutable std::recursive_mutex FListLock;  // the task list against delivery threads
    std::vector<std::unique_ptr<TFFmpeg>> FFFmpegList;
    std::string FLastErrMsg;
    int FCompleteTasks = 0;
    int FCurrentTask = -1;
    std::atomic<int> FPendingTasks{0};
    std::atomic<bool> FTerminated{false};
    bool FThreadMode = false;
    std::atomic<bool> FWorking{false};
    std::atomic<bool> FPaused{false};
    std::atomic<bool> FStepped{false};
    std::atomic<bool> FThreadTerminated{true};
    std::atomic<bool> FClosing{false};  // set by the destructor: no event is raised any more
    TProgressInfo FProgressInfo;
    TTerminateInfo FTerminateInfo;
    std::mutex FProgressLock;
    std::recursive_mutex FTerminateLock;
    std::mutex FFindStreamLock;
    std::mutex FPreviewLock;
    std::mutex FVideoHookLock;
    std::mutex FFrameHookLock;
    std::mutex FAudioHookLock;
    TPreviewInfo FPreviewInfo;
    THookInfo FVideoHookInfo;
    TFrameHookInfo FFrameHookInfo;
    std::atomic<bool> FPreviewVideo{false};
    std::atomic<bool> FPreviewBitmap{false};
    std::atomic<bool> FPreviewAudio{false};
    std::atomic<int> FProgressInterval{500};
    std::atomic<int> FPreviewInterval{100};
    std::atomic<int> FReadTimeout{30000};
    std::atomic<int> FWriteTimeout{30000};
    std::unique_ptr<TQueueDispatcher> FOwnDispatcher;
    TMainThreadDispatcher* FDispatcher = nullptr;
    std::mutex FDeliveryLock;
    std::condition_variable FDeliveryDone;
    int FDeliveries = 0;
    uint64_t FNextTicket = 0;
    uint64_t FServingTicket = 0;
};

class TFFEncoder : public TCustomEncoder {};

}  // namespace reelsmith
