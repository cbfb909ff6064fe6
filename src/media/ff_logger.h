#pragma once
// The engine logger: the one logging point of the media components and, once the loader has
// installed it, the target of FFmpeg's own log output. Messages that pass the level filter
// become lines that go to a log file and an event handler. Usable from any thread.
//
// Delivery runs on the logger's own thread (or at once in the caller's thread with
// Synchronous), in the order the lines were queued. Handler events run on the main thread
// through a TMainThreadDispatcher when one is set. No lock is held while a handler runs or
// while the logger waits for the main thread, and a main thread that waits for the logger
// (Flush, SetDispatcher, SetOnLog, the destructor) serves its dispatcher meanwhile, so those
// waits cannot deadlock on each other.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdarg>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace reelsmith {

class TMainThreadDispatcher;

enum class TLogLevel { llQuiet, llPanic, llFatal, llError, llWarning, llInfo, llVerbose, llDebug, llTrace };

// FFmpeg's number of a level: quiet -8, panic 0, fatal 8 ... trace 56.
constexpr int FFLogLevelOf(TLogLevel level) { return 8 * static_cast<int>(level) - 8; }
// The level of an FFmpeg number: L / 8 below -1 is quiet, -1 to 6 is that value + 1, 7 and above is trace.
TLogLevel LogLevelOfFF(int ffLevel);
// "Quiet", "Panic", ... "Trace".
const char* LogLevelName(TLogLevel level);

// Sender (the component or FFmpeg context that logged), thread id, level, one formatted line.
using TLogEvent =
    std::function<void(const void* Sender, int AThreadID, TLogLevel ALogLevel, const std::string& ALogMsg)>;

// The message of a delivered line, without the time and thread in front.
std::string LogLineMessage(const std::string& line);

class TFFLogger {
public:
    // FFmpeg log flags (AV_LOG_SKIP_REPEATED, AV_LOG_PRINT_LEVEL).
    static constexpr int kSkipRepeated = 1;
    static constexpr int kPrintLevel = 2;

    // Throws std::logic_error "Allow creating only one instance of TFFLogger." when one exists.
    TFFLogger();
    // Delivers everything queued, then ends the logger thread.
    ~TFFLogger();
    TFFLogger(const TFFLogger&) = delete;
    TFFLogger& operator=(const TFFLogger&) = delete;

    // Queues one message when it is not skipped and level is within LogLevel.
    void Log(const void* Sender, TLogLevel level, const std::string& message);
    void LogFormat(const void* Sender, TLogLevel level, const char* format, ...) __attribute__((format(printf, 4, 5)));

    bool Active() const;
    void SetActive(bool active);
    // Messages of a more verbose level are dropped. Setting it passes it on to FFmpeg.
    TLogLevel LogLevel() const { return LogLevelOfFF(FFLevel()); }
    void SetLogLevel(TLogLevel level) { SetFFLevel(FFLogLevelOf(level)); }
    // The level as FFmpeg's number; the log-level option may set any number (e.g. 20).
    int FFLevel() const { return FFFLevel.load(std::memory_order_relaxed); }
    void SetFFLevel(int ffLevel);
    int LogFlags() const { return FLogFlags.load(std::memory_order_relaxed); }
    void SetLogFlags(int flags);
    bool LogToFile() const;
    void SetLogToFile(bool toFile);
    std::string LogFile() const;
    void SetLogFile(std::string path);
    bool Synchronous() const;
    void SetSynchronous(bool synchronous);
    bool TriggerEventInMainThread() const;
    void SetTriggerEventInMainThread(bool trigger);
    // Assigning waits for a handler call in progress, so the old handler's state may go afterwards.
    void SetOnLog(TLogEvent handler);
    // Where main-thread events run; null (the default): on the logger thread. The dispatcher must
    // outlive its use: setting another waits until no event runs through the old one.
    void SetDispatcher(TMainThreadDispatcher* dispatcher);
    // True for the default logger made on first request.
    bool AutoCreated() const { return FAutoCreated; }

    // Waits until everything logged so far has been delivered. Not from a handler.
    void Flush();

    // Points FFmpeg's log output at this logger and passes on LogFlags and the level (the loader
    // does this after loading avutil).
    void InstallCallback();
    // Gives FFmpeg back its default callback and waits for calls in progress (before unloading).
    static void UninstallCallback();

private:
    friend TFFLogger& FFLogger();
    struct TItem {
        std::chrono::system_clock::time_point Time;
        int ThreadID = 0;
        bool MainThread = false;
        TLogLevel Level = TLogLevel::llInfo;
        const void* Sender = nullptr;
        std::string Prefix;  // "[class @ 0x...] " of FFmpeg contexts
        std::string Text;
        bool PrintLevel = false;
        bool NoEvent = false;  // logged under TNoLogEvents
        int Repeated = 1;
    };
    struct TBatch;

    static void LibraryCallback(void* avcl, int level, const char* format, va_list args);
    bool Skipping() const { return FSkipping.load(std::memory_order_relaxed); }
    void UpdateSkipping();  // FLock held
    // Queues (or holds back, for folding repeats) one line; true when the caller must deliver
    // at once (Synchronous) and then call DeliverNow.
    bool Enqueue(TItem item, bool foldRepeats);
    void DeliverNow();
    void ReleaseHeld();  // FLock held
    void DeliverQueued();
    bool WriteToFile(const std::string& path, const std::string& line);  // FDeliverLock held
    void CloseFile();                                                    // FDeliverLock held
    void RunEvents(TBatch& batch);
    // Waits for done() under FLock; on serve's main thread serves its calls meanwhile.
    void WaitUntil(std::unique_lock<std::mutex>& lock, TMainThreadDispatcher* serve, const std::function<bool()>& done);
    void ThreadMain();
    static std::string FormatLine(const TItem& item);

    mutable std::mutex FLock;  // properties, queue, counters
    std::condition_variable FQueuedCond;
    std::condition_variable FDeliveredCond;
    std::deque<TItem> FQueue;
    std::optional<TItem> FHeld;  // last library line, held back while it repeats
    std::chrono::steady_clock::time_point FHeldFirst, FHeldLast;
    std::uint64_t FQueuedCount = 0;
    std::uint64_t FDeliveredCount = 0;
    int FEventsRunning = 0;  // batches whose handler calls have not ended
    // Batches handed to the main thread so far: a main thread waiting here serves them at
    // once instead of at the end of its wait slice.
    std::uint64_t FMainCalls = 0;
    int FSyncCallers = 0;  // callers delivering at once
    bool FClosing = false;
    bool FThreadDone = false;

    bool FActive = true;
    bool FLogToFile = false;
    std::string FLogFile;
    bool FSynchronous = false;
    bool FTriggerEventInMainThread = true;
    TLogEvent FOnLog;
    TMainThreadDispatcher* FDispatcher = nullptr;
    std::atomic<int> FFFLevel{32};
    std::atomic<int> FLogFlags{kSkipRepeated | kPrintLevel};
    std::atomic<bool> FSkipping{true};
    std::thread::id FCreatorThread;
    bool FAutoCreated = false;

    std::mutex FDeliverLock;  // file writes, in queue order
    int FFile = -1;
    std::string FOpenFile;

    std::thread FThread;
};

// The default logger: the one that exists, or one made (and marked created automatically) on first request.
TFFLogger& FFLogger();

// While one lives on a thread, the lines logged on that thread still reach the log file but
// raise no OnLog event. The handler is one for the process and belongs to a run; a window that
// uses the libraries on the main thread beside it (Preview) keeps its lines out of the run's log.
class TNoLogEvents {
public:
    TNoLogEvents();
    ~TNoLogEvents();
    TNoLogEvents(const TNoLogEvents&) = delete;
    TNoLogEvents& operator=(const TNoLogEvents&) = delete;
};

}  // namespace reelsmith
