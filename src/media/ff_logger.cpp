#include "media/ff_logger.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <ctime>
#include <memory>
#include <stdexcept>
#include <vector>

#include "base/main_thread_dispatcher.h"
#include "media/ffmpeg_api.h"
#include "media/string_format.h"

namespace reelsmith {

namespace {

// The one logger of the process, and the lock that FFmpeg's callback holds while it uses it.
std::atomic<TFFLogger*> gInstance{nullptr};
constinit std::mutex gCallbackLock;
constinit std::mutex gCreateLock;
// The instance's level, read by the callback before it takes the lock; INT_MIN while there is none.
std::atomic<int> gCallbackLevel{INT_MIN};
// Set while a handler runs on this thread: waits for handlers would wait for themselves.
thread_local bool gInHandler = false;
// TNoLogEvents alive on this thread.
thread_local int gNoEvents = 0;

// A repeated library line is held back this long after its last repeat (at most kHoldMax).
constexpr auto kHoldQuiet = std::chrono::milliseconds(100);
constexpr auto kHoldMax = std::chrono::milliseconds(1000);
constexpr auto kSlice = std::chrono::milliseconds(10);

constexpr const char* kLevelNames[] = {"Quiet", "Panic",   "Fatal", "Error", "Warning",
                                       "Info",  "Verbose", "Debug", "Trace"};

std::string Printf(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Printf(const char* format, ...)
{
    char buffer[256];
    va_list args;
    va_start(args, format);
    const int size = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return size < 0 ? std::string() : std::string(buffer, std::min(static_cast<size_t>(size), sizeof buffer - 1));
}

// Copies size bytes at address without touching them directly: false where the memory is
// not readable, instead of a fault.
bool ReadMemory(const void* address, void* out, size_t size)
{
    iovec local{out, size};
    iovec remote{const_cast<void*>(address), size};
    return process_vm_readv(getpid(), &local, 1, &remote, 1, 0) == static_cast<ssize_t>(size);
}

// The parent context of avcl, or null. The library also logs on "fake objects" (a pointer to
// a class pointer, for option parsing without an instance); there the parent field lies past
// the end of the object and holds whatever the stack held. FFmpeg's own default callback
// follows it and crashes (an invalid scale "flags" value is enough), so it is read here only
// when it leads to readable memory that holds a class of this library's version.
const AVClass** ParentContext(void* avcl, const AVClass* avc)
{
    const AVClass** parent = nullptr;
    if (!ReadMemory(static_cast<std::uint8_t*>(avcl) + avc->parent_log_context_offset, &parent, sizeof parent) ||
        !parent)
        return nullptr;
    const AVClass* parentClass = nullptr;
    AVClass copy{};
    char firstChar = 0;
    if (!ReadMemory(parent, &parentClass, sizeof parentClass) || !parentClass ||
        !ReadMemory(parentClass, &copy, sizeof copy) || copy.version != avc->version || !copy.class_name ||
        !ReadMemory(copy.class_name, &firstChar, 1))
        return nullptr;
    return parent;
}

// "[class @ 0x...] ", with the parent context's part first, as FFmpeg's own callback prints it.
std::string ContextPrefix(void* avcl)
{
    if (!avcl)
        return {};
    const AVClass* avc = *static_cast<const AVClass**>(avcl);
    if (!avc)
        return {};
    std::string prefix;
    if (avc->parent_log_context_offset) {
        if (const AVClass** parent = ParentContext(avcl, avc))
            prefix += Printf("[%s @ %p] ", (*parent)->item_name ? (*parent)->item_name(parent) : (*parent)->class_name,
                             static_cast<void*>(parent));
    }
    prefix += Printf("[%s @ %p] ", avc->item_name ? avc->item_name(avcl) : avc->class_name, avcl);
    return prefix;
}

// Splits at CR and LF; empty lines are dropped.
std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t end = std::min(text.find_first_of("\r\n", start), text.size());
        if (end > start)
            lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

}  // namespace

TLogLevel LogLevelOfFF(int ffLevel)
{
    const int n = ffLevel / 8;
    if (n < -1)
        return TLogLevel::llQuiet;
    if (n > 6)
        return TLogLevel::llTrace;
    return static_cast<TLogLevel>(n + 1);
}

const char* LogLevelName(TLogLevel level) { return kLevelNames[static_cast<int>(level)]; }

struct TFFLogger::TBatch {
    std::deque<TItem> Items;
    std::vector<std::string> Lines;
    TLogEvent OnLog;
    TMainThreadDispatcher* Dispatcher = nullptr;
    bool Trigger = false;
};

TFFLogger::TFFLogger() : FCreatorThread(std::this_thread::get_id())
{
    TFFLogger* none = nullptr;
    if (!gInstance.compare_exchange_strong(none, this))
        throw std::logic_error("Allow creating only one instance of TFFLogger.");
    gCallbackLevel = FFLevel();
    try {
        FThread = std::thread([this] { ThreadMain(); });
    } catch (...) {
        gCallbackLevel = INT_MIN;
        gInstance = nullptr;
        throw;
    }
}

TFFLogger::~TFFLogger()
{
    {
        // After this no library line reaches this logger; calls in progress have finished.
        std::lock_guard callback(gCallbackLock);
        TFFLogger* self = this;
        if (gInstance.compare_exchange_strong(self, nullptr))
            gCallbackLevel = INT_MIN;
    }
    std::unique_lock lock(FLock);
    ReleaseHeld();
    FClosing = true;
    FQueuedCond.notify_all();
    // The thread drains the queue before it ends; its main-thread events are served here.
    WaitUntil(lock, nullptr, [this] { return FThreadDone && FSyncCallers == 0; });
    lock.unlock();
    FThread.join();
    DeliverQueued();  // lines queued while the thread was ending
    std::lock_guard deliver(FDeliverLock);
    CloseFile();
}

void TFFLogger::Log(const void* Sender, TLogLevel level, const std::string& message)
{
    if (Skipping() || FFLogLevelOf(level) > FFLevel())
        return;
    TItem item;
    item.Sender = Sender;
    item.Level = level;
    item.Text.reserve(message.size());
    for (size_t i = 0; i < message.size(); ++i) {
        if (message[i] == '\r' && i + 1 < message.size() && message[i + 1] == '\n')
            continue;  // CR LF becomes LF
        item.Text += message[i] == '\r' ? '\n' : message[i];
    }
    while (!item.Text.empty() && item.Text.back() == '\n')
        item.Text.pop_back();
    if (Enqueue(std::move(item), false))
        DeliverNow();
}

void TFFLogger::LogFormat(const void* Sender, TLogLevel level, const char* format, ...)
{
    if (Skipping() || FFLogLevelOf(level) > FFLevel())
        return;
    va_list args;
    va_start(args, format);
    std::string text = StrFormatV(format, args);
    va_end(args);
    Log(Sender, level, text);
}

bool TFFLogger::Active() const
{
    std::lock_guard lock(FLock);
    return FActive;
}

void TFFLogger::SetActive(bool active)
{
    std::lock_guard lock(FLock);
    FActive = active;
    UpdateSkipping();
}

void TFFLogger::SetFFLevel(int ffLevel)
{
    FFFLevel = ffLevel;
    if (gInstance.load() == this)
        gCallbackLevel = ffLevel;
    if (ff().av_log_set_level)
        ff().av_log_set_level(ffLevel);
}

void TFFLogger::SetLogFlags(int flags)
{
    FLogFlags = flags;
    if (ff().av_log_set_flags)
        ff().av_log_set_flags(flags);
}

bool TFFLogger::LogToFile() const
{
    std::lock_guard lock(FLock);
    return FLogToFile;
}

void TFFLogger::SetLogToFile(bool toFile)
{
    std::lock_guard lock(FLock);
    FLogToFile = toFile;
    UpdateSkipping();
}

std::string TFFLogger::LogFile() const
{
    std::lock_guard lock(FLock);
    return FLogFile;
}

void TFFLogger::SetLogFile(std::string path)
{
    std::lock_guard lock(FLock);
    FLogFile = std::move(path);
    UpdateSkipping();
}

bool TFFLogger::Synchronous() const
{
    std::lock_guard lock(FLock);
    return FSynchronous;
}

void TFFLogger::SetSynchronous(bool synchronous)
{
    std::lock_guard lock(FLock);
    FSynchronous = synchronous;
    FQueuedCond.notify_all();  // lines left to synchronous callers go to the logger thread again
}

bool TFFLogger::TriggerEventInMainThread() const
{
    std::lock_guard lock(FLock);
    return FTriggerEventInMainThread;
}

void TFFLogger::SetTriggerEventInMainThread(bool trigger)
{
    std::lock_guard lock(FLock);
    FTriggerEventInMainThread = trigger;
}

void TFFLogger::SetOnLog(TLogEvent handler)
{
    std::unique_lock lock(FLock);
    FOnLog = std::move(handler);
    UpdateSkipping();
    if (!gInHandler)
        WaitUntil(lock, nullptr, [this] { return FEventsRunning == 0; });
}

void TFFLogger::SetDispatcher(TMainThreadDispatcher* dispatcher)
{
    std::unique_lock lock(FLock);
    TMainThreadDispatcher* old = FDispatcher;
    FDispatcher = dispatcher;
    if (!gInHandler)
        WaitUntil(lock, old, [this] { return FEventsRunning == 0; });
}

void TFFLogger::Flush()
{
    if (gInHandler || std::this_thread::get_id() == FThread.get_id())
        return;
    std::unique_lock lock(FLock);
    ReleaseHeld();
    const std::uint64_t target = FQueuedCount;
    FQueuedCond.notify_all();
    if (FSynchronous) {
        // The logger thread leaves these to the callers.
        lock.unlock();
        DeliverQueued();
        lock.lock();
    }
    WaitUntil(lock, nullptr, [&] { return FDeliveredCount >= target || FThreadDone; });
}

void TFFLogger::InstallCallback()
{
    if (gInstance.load() == this)
        gCallbackLevel = FFLevel();
    if (!ff().av_log_set_callback)
        return;
    ff().av_log_set_callback(&TFFLogger::LibraryCallback);
    ff().av_log_set_flags(LogFlags());
    ff().av_log_set_level(FFLevel());
}

void TFFLogger::UninstallCallback()
{
    if (ff().av_log_set_callback && ff().av_log_default_callback)
        ff().av_log_set_callback(ff().av_log_default_callback);
    std::lock_guard callback(gCallbackLock);  // calls that had begun have ended
}

void TFFLogger::LibraryCallback(void* avcl, int level, const char* format, va_list args)
{
    if (level > gCallbackLevel.load(std::memory_order_relaxed))
        return;
    TFFLogger* logger = nullptr;
    bool deliverNow = false;
    {
        std::lock_guard callback(gCallbackLock);
        logger = gInstance.load();
        if (!logger || level > logger->FFLevel() || logger->Skipping() || !ff().av_log_format_line2)
            return;
        std::string text(2048, '\0');
        for (;;) {
            int printPrefix = 0;  // the context prefix is ours, with the class name
            va_list copy;
            va_copy(copy, args);
            const int needed = ff().av_log_format_line2(avcl, level, format, copy, text.data(),
                                                        static_cast<int>(text.size()), &printPrefix);
            va_end(copy);
            if (needed < 0)
                return;
            if (static_cast<size_t>(needed) < text.size()) {
                text.resize(static_cast<size_t>(needed));
                break;
            }
            text.resize((static_cast<size_t>(needed) / 2048 + 1) * 2048);  // in steps of 2048 bytes
        }
        const std::string prefix = ContextPrefix(avcl);
        const bool fold = (logger->LogFlags() & kSkipRepeated) != 0;
        for (std::string& line : SplitLines(text)) {
            TItem item;
            item.Sender = avcl;
            item.Level = LogLevelOfFF(level);
            item.Prefix = prefix;
            item.Text = std::move(line);
            deliverNow = logger->Enqueue(std::move(item), fold) || deliverNow;
        }
    }
    // Delivery may wait for the main thread, so it runs without the callback lock; the
    // destructor waits for this caller (counted by Enqueue).
    if (deliverNow)
        logger->DeliverNow();
}

void TFFLogger::UpdateSkipping() { FSkipping = !(FActive && (FOnLog || (FLogToFile && !FLogFile.empty()))); }

bool TFFLogger::Enqueue(TItem item, bool foldRepeats)
{
    const auto now = std::chrono::steady_clock::now();
    item.NoEvent = gNoEvents > 0;
    std::lock_guard lock(FLock);
    if (foldRepeats && FHeld && FHeld->Sender == item.Sender && FHeld->Level == item.Level &&
        FHeld->Prefix == item.Prefix && FHeld->Text == item.Text && FHeld->NoEvent == item.NoEvent) {
        ++FHeld->Repeated;
        FHeldLast = now;
        return false;
    }
    item.Time = std::chrono::system_clock::now();
    item.ThreadID = static_cast<int>(::gettid());
    item.MainThread = FDispatcher ? FDispatcher->IsMainThread() : std::this_thread::get_id() == FCreatorThread;
    item.PrintLevel = (LogFlags() & kPrintLevel) != 0;
    ReleaseHeld();
    if (foldRepeats) {
        FHeld = std::move(item);
        FHeldFirst = FHeldLast = now;
    } else {
        FQueue.push_back(std::move(item));
        ++FQueuedCount;
    }
    FQueuedCond.notify_all();
    if (!FSynchronous || FQueue.empty())
        return false;
    ++FSyncCallers;
    return true;
}

void TFFLogger::DeliverNow()
{
    DeliverQueued();
    std::lock_guard lock(FLock);
    --FSyncCallers;
    FDeliveredCond.notify_all();
}

void TFFLogger::ReleaseHeld()
{
    if (!FHeld)
        return;
    FQueue.push_back(std::move(*FHeld));
    FHeld.reset();
    ++FQueuedCount;
}

void TFFLogger::DeliverQueued()
{
    TBatch batch;
    {
        // Taken before the queue, so batches reach the file in queue order.
        std::lock_guard deliver(FDeliverLock);
        std::string path;
        {
            std::lock_guard lock(FLock);
            if (FQueue.empty())
                return;
            batch.Items.swap(FQueue);
            if (FLogToFile)
                path = FLogFile;
            batch.OnLog = FOnLog;
            batch.Dispatcher = FDispatcher;
            batch.Trigger = FTriggerEventInMainThread;
            if (batch.OnLog)
                ++FEventsRunning;
        }
        for (const TItem& item : batch.Items) {
            std::string line = FormatLine(item);
            if (!path.empty() && !WriteToFile(path, line))
                path.clear();
            if (batch.OnLog)
                batch.Lines.push_back(std::move(line));
        }
        if (path.empty())
            CloseFile();
    }
    RunEvents(batch);
    std::lock_guard lock(FLock);
    FDeliveredCount += batch.Items.size();
    if (batch.OnLog)
        --FEventsRunning;
    FDeliveredCond.notify_all();
}

bool TFFLogger::WriteToFile(const std::string& path, const std::string& line)
{
    if (FFile >= 0 && FOpenFile != path)
        CloseFile();
    if (FFile < 0) {
        // Opened once, appending; the lock keeps other loggers from writing into it.
        FFile = ::open(path.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (FFile >= 0 && ::flock(FFile, LOCK_EX | LOCK_NB) != 0)
            CloseFile();
        FOpenFile = path;
    }
    bool written = FFile >= 0;
    const std::string data = line + "\n";
    for (size_t done = 0; written && done < data.size();) {
        const ssize_t n = ::write(FFile, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            written = false;
        else
            done += static_cast<size_t>(n);
    }
    if (!written) {
        CloseFile();
        std::lock_guard lock(FLock);
        FLogToFile = false;
        UpdateSkipping();
    }
    return written;
}

void TFFLogger::CloseFile()
{
    if (FFile >= 0)
        ::close(FFile);
    FFile = -1;
    FOpenFile.clear();
}

void TFFLogger::RunEvents(TBatch& batch)
{
    if (!batch.OnLog)
        return;
    const auto run = [&batch] {
        const bool outer = gInHandler;
        gInHandler = true;
        for (size_t i = 0; i < batch.Items.size(); ++i) {
            const TItem& item = batch.Items[i];
            if (item.NoEvent)
                continue;
            try {
                batch.OnLog(item.Sender, item.ThreadID, item.Level, batch.Lines[i]);
            } catch (...) {
                // A failing handler must not stop the delivery of later lines.
            }
        }
        gInHandler = outer;
    };
    if (batch.Trigger && batch.Dispatcher && !batch.Dispatcher->IsMainThread()) {
        {
            std::lock_guard lock(FLock);
            ++FMainCalls;
        }
        FDeliveredCond.notify_all();
        try {
            batch.Dispatcher->RunAndWait(run);
        } catch (...) {
        }
    } else {
        run();
    }
}

void TFFLogger::WaitUntil(std::unique_lock<std::mutex>& lock, TMainThreadDispatcher* serve,
                          const std::function<bool()>& done)
{
    while (!done()) {
        const std::uint64_t mainCalls = FMainCalls;
        TMainThreadDispatcher* current = FDispatcher;
        const bool serveOld = serve && serve->IsMainThread();
        const bool serveCurrent = current && current != serve && current->IsMainThread();
        if (serveOld || serveCurrent) {
            // The delivery may be waiting for this very thread.
            lock.unlock();
            if (serveOld)
                serve->ServePending();
            if (serveCurrent)
                current->ServePending();
            lock.lock();
            if (done())
                return;
        }
        FDeliveredCond.wait_for(lock, kSlice, [&] { return FMainCalls != mainCalls || done(); });
    }
}

void TFFLogger::ThreadMain()
{
    for (;;) {
        bool deliver = false;
        {
            std::unique_lock lock(FLock);
            // Synchronous callers deliver their own lines; this thread only releases held ones.
            // Without a held line there is nothing to time, so an idle logger does not wake.
            const auto ready = [this] { return (!FQueue.empty() && !FSynchronous) || FClosing; };
            if (FHeld)
                FQueuedCond.wait_for(lock, kSlice, ready);
            else
                FQueuedCond.wait(lock, [&] { return ready() || FHeld; });
            const auto now = std::chrono::steady_clock::now();
            if (FHeld && (FClosing || now - FHeldLast >= kHoldQuiet || now - FHeldFirst >= kHoldMax)) {
                ReleaseHeld();
                deliver = true;
            }
            if (FClosing && FQueue.empty() && !FHeld)
                break;
            deliver = deliver || !FSynchronous || FClosing;
        }
        if (deliver)
            DeliverQueued();
    }
    std::lock_guard lock(FLock);
    FThreadDone = true;
    FDeliveredCond.notify_all();
}

std::string LogLineMessage(const std::string& line)
{
    // "hh:mm:ss.mmm [thread]* message", as FormatLine writes it.
    const size_t close = line.find(']');
    if (close == std::string::npos)
        return line;
    size_t start = close + 1;
    if (start < line.size() && line[start] == '*')
        ++start;
    if (start < line.size() && line[start] == ' ')
        ++start;
    return line.substr(start);
}

std::string TFFLogger::FormatLine(const TItem& item)
{
    const std::time_t seconds = std::chrono::system_clock::to_time_t(item.Time);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(item.Time.time_since_epoch()).count() % 1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    std::string line =
        Printf("%02d:%02d:%02d.%03d [%.8x]%s ", local.tm_hour, local.tm_min, local.tm_sec, static_cast<int>(millis),
               static_cast<unsigned>(item.ThreadID), item.MainThread ? "*" : "");
    line += item.Prefix;
    if (item.PrintLevel)
        line += std::string("[") + LogLevelName(item.Level) + "] ";
    line += item.Text;
    if (item.Repeated > 1)
        line += Printf(" (repeated %d times)", item.Repeated);
    return line;
}

TFFLogger& FFLogger()
{
    static std::unique_ptr<TFFLogger> autoCreated;
    std::lock_guard lock(gCreateLock);
    if (TFFLogger* existing = gInstance.load())
        return *existing;
    autoCreated = std::make_unique<TFFLogger>();
    autoCreated->FAutoCreated = true;
    return *autoCreated;
}

TNoLogEvents::TNoLogEvents() { ++gNoEvents; }

TNoLogEvents::~TNoLogEvents() { --gNoEvents; }

}  // namespace reelsmith
