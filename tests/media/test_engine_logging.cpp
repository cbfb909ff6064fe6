// The default logger as the program uses it: installed by the loader, set by the engine's
// log-level option, keeping the libraries' own output off the console.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <fstream>
#include <mutex>
#include <sstream>

#include "engine/options/custom_ffmpeg_opt.h"
#include "engine/options/option_error.h"
#include "media/ff_logger.h"
#include "media/ffmpeg_loader.h"
#include "support/stderr_capture.h"
#include "support/test_media.h"

namespace reelsmith {
namespace {

class EngineLoggingTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(FFLoader().Load(EncoderLibraries)) << FFLoader().LastErrMsg(); }
    void SetUp() override
    {
        FFLogger().SetLogFlags(3);
        FFLogger().SetLogLevel(TLogLevel::llInfo);
    }
    void TearDown() override
    {
        FFLogger().SetOnLog(nullptr);
        SetUp();
    }
    static int Parse(const std::string& options)
    {
        TCustomFFmpegOpt task;
        TOptionsContext o;
        return task.ParseOptions(o, options, "", "output file", "x", OPT_OUTPUT);
    }
    // Lines the default logger delivers while `action` runs.
    static std::vector<std::string> Delivered(const std::function<void()>& action)
    {
        std::mutex lock;
        std::vector<std::string> lines;
        FFLogger().SetOnLog([&](const void*, int, TLogLevel, const std::string& line) {
            std::lock_guard guard(lock);
            lines.push_back(line);
        });
        action();
        FFLogger().Flush();
        FFLogger().SetOnLog(nullptr);
        return lines;
    }
};

TEST_F(EngineLoggingTest, TheLoaderInstallsTheDefaultLogger)
{
    EXPECT_TRUE(FFLogger().AutoCreated());
    EXPECT_EQ(ff().av_log_get_level(), AV_LOG_INFO);
    EXPECT_EQ(ff().av_log_get_flags(), 3);
}

TEST_F(EngineLoggingTest, LogLevelOptionReachesTheLoggerAndTheLibraries)
{
    const struct {
        const char* options;
        int ffLevel;
        int flags;
    } cases[] = {
        {"-loglevel debug", AV_LOG_DEBUG, 3},              // a bare level keeps the flags
        {"-v repeat+level+warning", AV_LOG_WARNING, 2},    // unsigned first word starts from none
        {"-loglevel +repeat+verbose", AV_LOG_VERBOSE, 2},  // repeated lines printed
        {"-loglevel -level+info", AV_LOG_INFO, 1},
        {"-loglevel level+20", 20, 2},  // any number
        {"-c:v mpeg4 -loglevel trace -an", AV_LOG_TRACE, 3},
    };
    for (const auto& c : cases) {
        SetUp();
        ASSERT_EQ(Parse(c.options), 0) << c.options;
        EXPECT_EQ(FFLogger().FFLevel(), c.ffLevel) << c.options;
        EXPECT_EQ(FFLogger().LogLevel(), LogLevelOfFF(c.ffLevel)) << c.options;
        EXPECT_EQ(FFLogger().LogFlags(), c.flags) << c.options;
        EXPECT_EQ(ff().av_log_get_level(), c.ffLevel) << c.options;
        EXPECT_EQ(ff().av_log_get_flags(), c.flags) << c.options;
    }

    SetUp();
    EXPECT_EQ(Parse("-loglevel loud"), AVERROR(EINVAL));
    EXPECT_EQ(OptionErrorText().rfind("Invalid loglevel \"loud\". Possible levels are numbers or:\r\n", 0), 0u);
    EXPECT_EQ(FFLogger().LogLevel(), TLogLevel::llInfo);
    EXPECT_EQ(FFLogger().LogFlags(), 3);
}

TEST_F(EngineLoggingTest, DebugLinesPassOnlyAfterTheOptionAsksForThem)
{
    const auto logDebug = [] { ff().av_log(nullptr, AV_LOG_DEBUG, "a debug line\n"); };
    EXPECT_TRUE(Delivered(logDebug).empty());
    ASSERT_EQ(Parse("-loglevel debug"), 0);
    const std::vector<std::string> lines = Delivered(logDebug);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("[Debug] a debug line"), std::string::npos) << lines[0];
}

TEST_F(EngineLoggingTest, DamagedFileWarningsStayOffTheConsole)
{
    test::TempFolder folder;
    const std::string damaged = folder.file("damaged.mp4");
    std::ofstream(damaged) << std::string(64, '\0') << "ftypisom" << std::string(4000, 'z');
    const auto open = [&] {
        AVFormatContext* ctx = nullptr;
        EXPECT_LT(ff().avformat_open_input(&ctx, damaged.c_str(), nullptr, nullptr), 0);
    };

    const std::string console = folder.file("stderr.txt");
    {
        TStderrCapture capture(console);
        open();  // with the defaults: no handler, no file
        FFLogger().Flush();
    }
    std::ifstream in(console);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(), "");
    EXPECT_EQ(::access(FFLogger().LogFile().c_str(), F_OK), -1);

    // The same lines reach a handler, named after the demuxer's class.
    const std::vector<std::string> lines = Delivered(open);
    ASSERT_FALSE(lines.empty());
    bool named = false;
    for (const std::string& line : lines)
        named = named || line.find("[mov,mp4,m4a,3gp,3g2,mj2 @ 0x") != std::string::npos;
    EXPECT_TRUE(named) << lines[0];
}

}  // namespace
}  // namespace reelsmith
