// The engine logger: level filter, line format, FFmpeg's own lines, the log file, delivery from
// many threads, main-thread events and shutting down while the main thread is needed.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <fstream>
#include <memory>
#include <mutex>
#include <regex>
#include <sstream>
#include <thread>
#include <vector>

#include "base/main_thread_dispatcher.h"
#include "media/ff_logger.h"
#include "media/ffmpeg_loader.h"
#include "support/stderr_capture.h"
#include "support/test_media.h"

namespace reelsmith {
namespace {

using namespace std::chrono_literals;

struct TSeen {
    const void* Sender;
    int ThreadID;
    TLogLevel Level;
    std::string Line;
    std::thread::id RanOn;
};

// Records every event; thread-safe.
class TCollector {
public:
    TLogEvent Handler()
    {
        return [this](const void* sender, int threadID, TLogLevel level, const std::string& line) {
            std::lock_guard lock(FLock);
            FSeen.push_back({sender, threadID, level, line, std::this_thread::get_id()});
        };
    }
    std::vector<TSeen> Seen() const
    {
        std::lock_guard lock(FLock);
        return FSeen;
    }
    std::vector<std::string> Lines() const
    {
        std::vector<std::string> lines;
        for (const TSeen& seen : Seen())
            lines.push_back(seen.Line);
        return lines;
    }

private:
    mutable std::mutex FLock;
    std::vector<TSeen> FSeen;
};

// Ends the process when a test hangs, so a deadlock fails fast instead of running into the ctest time-out.
class TWatchdog {
public:
    explicit TWatchdog(std::chrono::seconds limit)
        : FThread([this, limit] {
              std::unique_lock lock(FLock);
              if (!FDone.wait_for(lock, limit, [this] { return FCancelled; })) {
                  std::fprintf(stderr, "deadlock: the test did not finish in time\n");
                  std::_Exit(1);
              }
          })
    {
    }
    ~TWatchdog()
    {
        {
            std::lock_guard lock(FLock);
            FCancelled = true;
        }
        FDone.notify_all();
        FThread.join();
    }

private:
    std::mutex FLock;
    std::condition_variable FDone;
    bool FCancelled = false;
    std::thread FThread;
};

// A queue dispatcher that tells when a call is waiting for the main thread.
class TCountingDispatcher : public TQueueDispatcher {
public:
    void RunAndWait(const std::function<void()>& call) override
    {
        if (!IsMainThread())
            ++FWaiting;
        TQueueDispatcher::RunAndWait(call);
    }
    void WaitForCaller()
    {
        while (FWaiting.load() == 0)
            std::this_thread::sleep_for(1ms);
    }

private:
    std::atomic<int> FWaiting{0};
};

std::vector<std::string> FileLines(const std::string& path)
{
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::string Hex8(int threadID)
{
    char text[16];
    std::snprintf(text, sizeof text, "%.8x", static_cast<unsigned>(threadID));
    return text;
}

// A context that FFmpeg's log call accepts: the class pointer first, and optionally a parent.
struct TFakeContext {
    const AVClass* Class;
    TFakeContext* Parent;
};

const char* FakeName(void* ctx) { return static_cast<TFakeContext*>(ctx)->Parent ? "child" : "parent"; }

const AVClass kParentClass = {"parent", &FakeName, nullptr, LIBAVUTIL_VERSION_INT};
const AVClass kChildClass = {
    "child", &FakeName, nullptr, LIBAVUTIL_VERSION_INT, 0, static_cast<int>(offsetof(TFakeContext, Parent))};

class FFLoggerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        // The tests make their own loggers; none may be created automatically by the load.
        FFLoader().SetInstallLogger(false);
        ASSERT_TRUE(FFLoader().Load(TLibrary::avUtil)) << FFLoader().LastErrMsg();
        FFLoader().SetInstallLogger(true);
    }
    void SetUp() override
    {
        logger = std::make_unique<TFFLogger>();
        logger->InstallCallback();
    }
    void TearDown() override { logger.reset(); }

    std::unique_ptr<TFFLogger> logger;
    TCollector collector;
};

TEST(FFLogLevel, MapsFFmpegNumbersBothWays)
{
    const struct {
        int ffLevel;
        TLogLevel level;
    } cases[] = {
        {AV_LOG_QUIET, TLogLevel::llQuiet},     {-16, TLogLevel::llQuiet},
        {AV_LOG_PANIC, TLogLevel::llPanic},     {AV_LOG_FATAL, TLogLevel::llFatal},
        {AV_LOG_ERROR, TLogLevel::llError},     {20, TLogLevel::llError},
        {AV_LOG_WARNING, TLogLevel::llWarning}, {AV_LOG_INFO, TLogLevel::llInfo},
        {AV_LOG_VERBOSE, TLogLevel::llVerbose}, {AV_LOG_DEBUG, TLogLevel::llDebug},
        {AV_LOG_TRACE, TLogLevel::llTrace},     {1000, TLogLevel::llTrace},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LogLevelOfFF(c.ffLevel), c.level) << c.ffLevel;
    for (int n = 0; n <= static_cast<int>(TLogLevel::llTrace); ++n)
        EXPECT_EQ(LogLevelOfFF(FFLogLevelOf(static_cast<TLogLevel>(n))), static_cast<TLogLevel>(n));
    EXPECT_EQ(FFLogLevelOf(TLogLevel::llInfo), AV_LOG_INFO);
    EXPECT_STREQ(LogLevelName(TLogLevel::llWarning), "Warning");
    EXPECT_STREQ(LogLevelName(TLogLevel::llQuiet), "Quiet");
}

TEST_F(FFLoggerTest, OneInstancePerProcess)
{
    try {
        TFFLogger second;
        FAIL() << "a second logger was made";
    } catch (const std::logic_error& e) {
        EXPECT_STREQ(e.what(), "Allow creating only one instance of TFFLogger.");
    }
    EXPECT_EQ(&FFLogger(), logger.get());
    EXPECT_FALSE(logger->AutoCreated());
    EXPECT_TRUE(logger->Active());
    EXPECT_EQ(logger->LogLevel(), TLogLevel::llInfo);
    EXPECT_EQ(logger->LogFlags(), 3);
    EXPECT_FALSE(logger->LogToFile());
    EXPECT_TRUE(logger->LogFile().empty());
    EXPECT_FALSE(logger->Synchronous());
    EXPECT_TRUE(logger->TriggerEventInMainThread());
}

TEST_F(FFLoggerTest, LevelFilterAndLineFormat)
{
    logger->SetOnLog(collector.Handler());
    logger->Log(this, TLogLevel::llWarning, "careful");
    logger->Log(this, TLogLevel::llVerbose, "too chatty");
    logger->LogFormat(this, TLogLevel::llError, "code %d", -22);
    logger->Log(this, TLogLevel::llInfo, "two\r\nlines\r\n");
    int workerID = 0;
    std::thread([&] {
        workerID = static_cast<int>(::gettid());
        logger->Log(nullptr, TLogLevel::llInfo, "from a worker");
    }).join();
    logger->SetLogFlags(0);
    logger->Log(this, TLogLevel::llInfo, "no level name");
    logger->SetLogLevel(TLogLevel::llVerbose);
    logger->Log(this, TLogLevel::llVerbose, "now wanted");
    logger->Flush();

    const std::string time = R"(\d\d:\d\d:\d\d\.\d{3} )";
    const std::string me = "\\[" + Hex8(static_cast<int>(::gettid())) + "\\]\\* ";
    const std::string worker = "\\[" + Hex8(workerID) + "\\] ";
    const std::vector<std::string> expected = {
        time + me + "\\[Warning\\] careful", time + me + "\\[Error\\] code -22",
        time + me + "\\[Info\\] two\nlines", time + worker + "\\[Info\\] from a worker",
        time + me + "no level name",         time + me + "now wanted",
    };
    const std::vector<TSeen> seen = collector.Seen();
    ASSERT_EQ(seen.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_TRUE(std::regex_match(seen[i].Line, std::regex(expected[i]))) << seen[i].Line;
    EXPECT_EQ(seen[0].Sender, this);
    EXPECT_EQ(seen[0].Level, TLogLevel::llWarning);
    EXPECT_EQ(seen[3].ThreadID, workerID);
}

TEST_F(FFLoggerTest, InactiveOrWithoutSinkNothingIsDelivered)
{
    logger->Log(this, TLogLevel::llError, "nobody listens");
    logger->SetActive(false);
    logger->SetOnLog(collector.Handler());
    logger->Log(this, TLogLevel::llError, "switched off");
    logger->SetActive(true);
    logger->SetLogToFile(true);  // without a file name: still nothing to write to
    logger->SetOnLog(nullptr);
    logger->Log(this, TLogLevel::llError, "no file name");
    logger->SetOnLog(collector.Handler());
    logger->Log(this, TLogLevel::llError, "heard");
    logger->Flush();
    ASSERT_EQ(collector.Seen().size(), 1u);
    EXPECT_NE(collector.Seen()[0].Line.find("heard"), std::string::npos);
}

TEST_F(FFLoggerTest, LibraryLinesCarryTheirContextAndFoldRepeats)
{
    logger->SetOnLog(collector.Handler());
    TFakeContext parent{&kParentClass, nullptr};
    TFakeContext child{&kChildClass, &parent};
    char parentAddress[32], childAddress[32];
    std::snprintf(parentAddress, sizeof parentAddress, "%p", static_cast<void*>(&parent));
    std::snprintf(childAddress, sizeof childAddress, "%p", static_cast<void*>(&child));
    const std::string longText(5000, 'x');

    ff().av_log(&parent, AV_LOG_WARNING, "same %s\n", "line");
    ff().av_log(&parent, AV_LOG_WARNING, "same line\n");
    ff().av_log(&child, AV_LOG_ERROR, "first\n\nsecond\n");
    ff().av_log(&parent, AV_LOG_DEBUG, "filtered out\n");
    ff().av_log(nullptr, AV_LOG_INFO, "%s\n", longText.c_str());
    logger->SetLogFlags(TFFLogger::kPrintLevel);
    ff().av_log(&parent, AV_LOG_INFO, "again\n");
    ff().av_log(&parent, AV_LOG_INFO, "again\n");
    logger->Flush();

    const std::string parentTag = "[parent @ " + std::string(parentAddress) + "] ";
    const std::string childTag = parentTag + "[child @ " + std::string(childAddress) + "] ";
    const std::vector<std::string> tails = {
        parentTag + "[Warning] same line (repeated 2 times)",
        childTag + "[Error] first",
        childTag + "[Error] second",
        "[Info] " + longText,
        parentTag + "[Info] again",
        parentTag + "[Info] again",
    };
    const std::vector<TSeen> seen = collector.Seen();
    ASSERT_EQ(seen.size(), tails.size());
    for (size_t i = 0; i < tails.size(); ++i) {
        const std::string& line = seen[i].Line;
        ASSERT_GE(line.size(), tails[i].size());
        EXPECT_EQ(line.substr(line.size() - tails[i].size()), tails[i]) << line;
    }
    EXPECT_EQ(seen[0].Sender, &parent);
    EXPECT_EQ(seen[1].Sender, &child);
    EXPECT_EQ(seen[1].Level, TLogLevel::llError);
}

TEST_F(FFLoggerTest, HeldLineIsDeliveredWithoutAFlush)
{
    logger->SetOnLog(collector.Handler());
    ff().av_log(nullptr, AV_LOG_WARNING, "maybe repeated\n");
    for (int i = 0; i < 200 && collector.Seen().empty(); ++i)
        std::this_thread::sleep_for(10ms);
    ASSERT_EQ(collector.Seen().size(), 1u);
    EXPECT_NE(collector.Seen()[0].Line.find("maybe repeated"), std::string::npos);
}

TEST_F(FFLoggerTest, LogFileIsAppendedAndAWriteFailureTurnsItOff)
{
    test::TempFolder folder;
    const std::string path = folder.file("engine.log");
    std::ofstream(path) << "earlier line\n";
    logger->SetLogFile(path);
    logger->SetLogToFile(true);
    logger->Log(this, TLogLevel::llError, "first");
    logger->Log(this, TLogLevel::llWarning, "second");
    logger->Flush();
    std::vector<std::string> lines = FileLines(path);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "earlier line");
    EXPECT_NE(lines[1].find("[Error] first"), std::string::npos);
    EXPECT_NE(lines[2].find("[Warning] second"), std::string::npos);

    const std::string fresh = folder.file("fresh.log");
    logger->SetLogFile(fresh);
    logger->Log(this, TLogLevel::llError, "third");
    logger->Flush();
    EXPECT_EQ(FileLines(fresh).size(), 1u);
    EXPECT_EQ(FileLines(path).size(), 3u);

    logger->SetLogFile(folder.file("no/such/folder/x.log"));
    logger->Log(this, TLogLevel::llError, "lost");
    logger->Flush();
    EXPECT_FALSE(logger->LogToFile());
}

// Lines logged under TNoLogEvents reach the file but not the handler, on that thread only
// and only while it lives.
TEST_F(FFLoggerTest, LinesUnderNoLogEventsStayInTheFileOnly)
{
    test::TempFolder folder;
    const std::string path = folder.file("engine.log");
    TCollector collector;
    logger->SetOnLog(collector.Handler());
    logger->SetLogFile(path);
    logger->SetLogToFile(true);
    logger->Log(this, TLogLevel::llError, "before");
    {
        const TNoLogEvents own;
        logger->Log(this, TLogLevel::llError, "own");
        std::thread([this] { logger->Log(this, TLogLevel::llError, "other thread"); }).join();
        {
            const TNoLogEvents nested;
            logger->Log(this, TLogLevel::llError, "nested");
        }
        logger->Log(this, TLogLevel::llError, "own again");
    }
    logger->Log(this, TLogLevel::llError, "after");
    logger->Flush();
    std::vector<std::string> seen;
    for (const std::string& line : collector.Lines())
        seen.push_back(LogLineMessage(line));
    EXPECT_EQ(seen, (std::vector<std::string>{"[Error] before", "[Error] other thread", "[Error] after"}));
    EXPECT_EQ(FileLines(path).size(), 6u);
}

TEST_F(FFLoggerTest, ManyThreadsLoseNothingAndKeepTheirOrder)
{
    TWatchdog watchdog(60s);
    test::TempFolder folder;
    logger->SetLogFile(folder.file("threads.log"));
    logger->SetLogToFile(true);
    logger->SetOnLog(collector.Handler());
    logger->SetLogFlags(0);  // distinct lines anyway; no folding delay
    constexpr int kThreads = 4;
    constexpr int kLines = 400;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < kLines; ++i) {
                if (i % 2)
                    logger->LogFormat(nullptr, TLogLevel::llInfo, "t%d n%d", t, i);
                else
                    ff().av_log(nullptr, AV_LOG_INFO, "t%d n%d\n", t, i);
            }
        });
    for (std::thread& thread : threads)
        thread.join();
    logger->Flush();

    const auto check = [&](const std::vector<std::string>& lines, const char* where) {
        ASSERT_EQ(lines.size(), static_cast<size_t>(kThreads * kLines)) << where;
        std::vector<int> next(kThreads, 0);
        for (const std::string& line : lines) {
            int t = -1, n = -1;
            ASSERT_EQ(std::sscanf(line.c_str() + line.rfind(" t") + 1, "t%d n%d", &t, &n), 2) << line;
            ASSERT_TRUE(t >= 0 && t < kThreads) << line;
            EXPECT_EQ(n, next[t]++) << where << ": " << line;
        }
    };
    check(collector.Lines(), "handler");
    check(FileLines(folder.file("threads.log")), "file");
}

TEST_F(FFLoggerTest, ShutdownDeliversEverythingQueued)
{
    test::TempFolder folder;
    const std::string path = folder.file("shutdown.log");
    logger->SetLogFile(path);
    logger->SetLogToFile(true);
    std::thread worker([&] {
        for (int i = 0; i < 2000; ++i)
            logger->LogFormat(nullptr, TLogLevel::llInfo, "line %d", i);
    });
    worker.join();
    ff().av_log(nullptr, AV_LOG_WARNING, "held back as a possible repeat\n");
    logger.reset();  // no Flush
    const std::vector<std::string> lines = FileLines(path);
    ASSERT_EQ(lines.size(), 2001u);
    EXPECT_NE(lines[1999].find("line 1999"), std::string::npos);
    EXPECT_NE(lines[2000].find("held back"), std::string::npos);
}

TEST_F(FFLoggerTest, SynchronousDeliversInTheCallersThread)
{
    TWatchdog watchdog(30s);
    logger->SetOnLog(collector.Handler());
    logger->Log(this, TLogLevel::llError, "queued before");
    logger->SetSynchronous(true);
    logger->Flush();  // the logger thread leaves queued lines to synchronous callers
    ASSERT_EQ(collector.Seen().size(), 1u);
    std::thread([&] { logger->Log(this, TLogLevel::llError, "at once"); }).join();
    ASSERT_EQ(collector.Seen().size(), 2u);  // no Flush needed
    EXPECT_NE(collector.Seen()[1].Line.find("at once"), std::string::npos);
    EXPECT_NE(collector.Seen()[1].RanOn, std::this_thread::get_id());
}

TEST_F(FFLoggerTest, EventsRunOnTheMainThreadThroughTheDispatcher)
{
    TWatchdog watchdog(30s);
    TQueueDispatcher dispatcher;
    logger->SetDispatcher(&dispatcher);
    logger->SetOnLog(collector.Handler());
    std::thread worker([&] {
        for (int i = 0; i < 50; ++i)
            logger->LogFormat(nullptr, TLogLevel::llInfo, "event %d", i);
    });
    worker.join();
    logger->Log(nullptr, TLogLevel::llInfo, "from the main thread");
    logger->Flush();  // serves the dispatcher while it waits
    const std::vector<TSeen> seen = collector.Seen();
    ASSERT_EQ(seen.size(), 51u);
    for (int i = 0; i < 50; ++i) {
        EXPECT_NE(seen[i].Line.find("] [Info] event " + std::to_string(i)), std::string::npos) << seen[i].Line;
        EXPECT_EQ(seen[i].RanOn, std::this_thread::get_id());
    }
    EXPECT_NE(seen[50].Line.find("]* [Info] from the main thread"), std::string::npos) << seen[50].Line;
    logger->SetDispatcher(nullptr);
}

// Each wait of the main thread happens while the logger thread is blocked handing an event to
// that same main thread; none of them may hang.
TEST_F(FFLoggerTest, MainThreadWaitsNeverDeadlockOnPendingEvents)
{
    TWatchdog watchdog(30s);
    const struct {
        const char* name;
        std::function<void(std::unique_ptr<TFFLogger>&, TCollector&)> wait;
    } cases[] = {
        {"destroy", [](std::unique_ptr<TFFLogger>& l, TCollector&) { l.reset(); }},
        {"flush", [](std::unique_ptr<TFFLogger>& l, TCollector&) { l->Flush(); }},
        {"unset dispatcher", [](std::unique_ptr<TFFLogger>& l, TCollector&) { l->SetDispatcher(nullptr); }},
        {"unset handler", [](std::unique_ptr<TFFLogger>& l, TCollector&) { l->SetOnLog(nullptr); }},
        {"log and flush from the handler",
         [](std::unique_ptr<TFFLogger>& l, TCollector& c) {
             TFFLogger* raw = l.get();
             auto record = c.Handler();
             l->SetOnLog([raw, record](const void* s, int id, TLogLevel level, const std::string& line) {
                 record(s, id, level, line);
                 if (line.find("echo") == std::string::npos)
                     raw->Log(nullptr, TLogLevel::llInfo, "echo");
                 raw->Flush();
             });
             l.reset();
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        logger.reset();
        logger = std::make_unique<TFFLogger>();
        TCollector seen;
        TCountingDispatcher dispatcher;
        logger->SetDispatcher(&dispatcher);
        logger->SetOnLog(seen.Handler());
        std::thread([&] { logger->Log(nullptr, TLogLevel::llInfo, "waiting for main"); }).join();
        dispatcher.WaitForCaller();  // the logger thread now waits for this thread
        c.wait(logger, seen);
        if (logger) {
            logger->SetDispatcher(nullptr);
            logger->SetOnLog(nullptr);
        }
        ASSERT_FALSE(seen.Seen().empty());
        EXPECT_NE(seen.Seen()[0].Line.find("waiting for main"), std::string::npos);
        for (const TSeen& s : seen.Seen())
            EXPECT_EQ(s.RanOn, std::this_thread::get_id());
        logger.reset();
    }
    logger = std::make_unique<TFFLogger>();
}

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST_F(FFLoggerTest, LoaderKeepsLibraryOutputOffTheConsoleAndRestoresItBeforeUnloading)
{
    // A second handle keeps avutil mapped across the loader's unload, so its callback state survives.
    void* own = dlopen("libavutil.so.57", RTLD_NOW);
    ASSERT_NE(own, nullptr);
    using TLogCall = void (*)(void*, int, const char*, ...);
    const auto rawLog = reinterpret_cast<TLogCall>(dlsym(own, "av_log"));
    ASSERT_NE(rawLog, nullptr);

    test::TempFolder folder;
    const std::string captured = folder.file("stderr.txt");
    logger->SetOnLog(collector.Handler());
    {
        TStderrCapture capture(captured);
        ASSERT_TRUE(FFLoader().Load(TLibrary::avUtil));  // installs the logger again
        rawLog(nullptr, AV_LOG_ERROR, "for the logger\n");
        logger->Flush();
        FFLoader().Unload(TLibrary::avUtil);
        rawLog(nullptr, AV_LOG_ERROR, "for the console\n");
    }
    const std::string console = ReadAll(captured);
    EXPECT_EQ(console.find("for the logger"), std::string::npos) << console;
    EXPECT_NE(console.find("for the console"), std::string::npos) << console;
    ASSERT_EQ(collector.Lines().size(), 1u);
    EXPECT_NE(collector.Lines()[0].find("for the logger"), std::string::npos);

    ASSERT_TRUE(FFLoader().Load(TLibrary::avUtil));
    dlclose(own);
}

}  // namespace
}  // namespace reelsmith
