// The update check against a local HTTP server that the test starts on 127.0.0.1: only a
// 2xx answer is data, an over-long answer is cut off early, a silent server runs into the
// time limit, and the result decides whether the user would be asked.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>

#include "support/local_http_server.h"
#include "update/update_check.h"
#include "update/version_compare.h"

using namespace reelsmith;
using reelsmith::test::LocalHttpServer;
using reelsmith::test::THttpReply;
using Clock = std::chrono::steady_clock;

namespace {

constexpr long kTestTimeLimitMs = 1500;

TDownloadLimits TestLimits()
{
    TDownloadLimits limits = TUpdateCheck::DefaultLimits();
    limits.TimeoutMs = kTestTimeLimitMs;
    return limits;
}

// Runs one whole check and waits for its end; the data handed over, if any.
struct TCheckOutcome {
    std::optional<std::string> Data;
    TDownloadResult Result;
};

TCheckOutcome RunCheck(const std::string& url)
{
    std::mutex lock;
    std::condition_variable doneChanged;
    bool done = false;
    TCheckOutcome outcome;
    TUpdateCheck check(
        url,
        [&](const std::string& data) {
            std::lock_guard guard(lock);
            outcome.Data = data;
        },
        TestLimits());
    check.SetOnDone([&](const TDownloadResult& result) {
        std::lock_guard guard(lock);
        outcome.Result = result;
        done = true;
        doneChanged.notify_all();
    });
    check.Start();
    std::unique_lock guard(lock);
    doneChanged.wait(guard, [&] { return done; });
    return outcome;
}

}  // namespace

TEST(UpdateCheck, EachServerAnswer)
{
    const std::string html = "<!DOCTYPE html><html><body>Not here</body></html>";
    const struct {
        const char* name;
        THttpReply reply;
        std::optional<std::string> data;  // what the check hands over
        bool asks;                        // whether the user would be asked to update
    } cases[] = {
        {"same version", {200, "6.0"}, "6.0", false},
        {"older", {200, "5.9"}, "5.9", false},
        {"newer minor", {200, "6.1"}, "6.1", true},
        {"newer major", {200, "7.0"}, "7.0", true},
        {"two-digit minor", {200, "6.10"}, "6.10", true},
        {"two-digit major", {200, "10.0"}, "10.0", true},
        {"line break after the version", {200, "6.1\n"}, "6.1\n", true},
        {"byte-order mark, blanks, CR LF", {200, "\xEF\xBB\xBF 7.0 \r\n"}, "\xEF\xBB\xBF 7.0 \r\n", true},
        {"a sign in the minor part", {200, "7.-1"}, "7.-1", false},
        {"over the cap of 32 bytes", {200, std::string(31, ' ') + "7.0"}, std::nullopt, false},
        {"no full stop", {200, "7"}, "7", false},
        {"empty answer", {204, ""}, "", false},
        {"HTML page", {200, html}, std::nullopt, false},
        {"server error with a version", {500, "7.0"}, std::nullopt, false},
        {"not found with a version", {404, "7.0"}, std::nullopt, false},
        {"10 MB answer", {200, "", 10 * 1024 * 1024}, std::nullopt, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LocalHttpServer server(c.reply);
        const auto started = Clock::now();
        const TCheckOutcome outcome = RunCheck(server.Url());
        EXPECT_EQ(outcome.Data, c.data) << outcome.Result.Error;
        EXPECT_EQ(outcome.Result.Status, c.reply.Status);
        EXPECT_EQ(outcome.Data && IsNewerVersion(kOwnVersion, *outcome.Data), c.asks);
        EXPECT_EQ(server.Requests(), 1);
        // Nothing here waits for the time limit, the huge answer included.
        EXPECT_LT(Clock::now() - started, std::chrono::milliseconds(kTestTimeLimitMs));
    }
}

TEST(UpdateCheck, SilentServerEndsAtTheTimeLimit)
{
    LocalHttpServer server({.NeverAnswer = true});
    const auto started = Clock::now();
    const TCheckOutcome outcome = RunCheck(server.Url());
    const auto took = Clock::now() - started;
    EXPECT_FALSE(outcome.Data);
    EXPECT_FALSE(outcome.Result.Success);
    EXPECT_EQ(outcome.Result.Status, -1);
    EXPECT_GE(took, std::chrono::milliseconds(kTestTimeLimitMs - 100));
    EXPECT_LT(took, std::chrono::milliseconds(kTestTimeLimitMs + 3000));
}

TEST(UpdateCheck, NoServerGivesNoData)
{
    std::string url;
    {
        LocalHttpServer server({200, "7.0"});
        url = server.Url();
    }  // the port is closed again
    const TCheckOutcome outcome = RunCheck(url);
    EXPECT_FALSE(outcome.Data);
    EXPECT_FALSE(outcome.Result.Success);
}

TEST(UpdateCheck, OnlyHttpAddressesAreFetched)
{
    const TDownloadResult result = DownloadText("file:///etc/hostname", TestLimits());
    EXPECT_FALSE(result.Success);
    EXPECT_TRUE(result.Body.empty());
}

// Closing the program during a check does not wait for the time limit.
TEST(UpdateCheck, DestroyingTheCheckStopsTheDownload)
{
    LocalHttpServer server({.NeverAnswer = true});
    TDownloadLimits limits = TUpdateCheck::DefaultLimits();  // 15 s
    bool gotData = false;
    const auto started = Clock::now();
    {
        TUpdateCheck check(
            server.Url(), [&](const std::string&) { gotData = true; }, limits);
        check.Start();
        while (server.Requests() == 0 && Clock::now() - started < std::chrono::seconds(5))
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_LT(Clock::now() - started, std::chrono::seconds(5));
    EXPECT_FALSE(gotData);
}
