#include <gtest/gtest.h>

#include "runs/run_progress.h"

using namespace reelsmith;

TEST(RunProgress, PercentOnlyBelowAPositiveTotal)
{
    EXPECT_EQ(ProgressPercent(0, 1000), 0);
    EXPECT_EQ(ProgressPercent(425, 1000), 42);
    EXPECT_EQ(ProgressPercent(999, 1000), 99);
    EXPECT_EQ(ProgressPercent(int64_t(1) << 60, (int64_t(1) << 60) + 100), 99);
    EXPECT_FALSE(ProgressPercent(1000, 1000));
    EXPECT_FALSE(ProgressPercent(1200, 1000));
    EXPECT_FALSE(ProgressPercent(10, 0));
    EXPECT_FALSE(ProgressPercent(10, -1));
}

TEST(RunProgress, SizeSwitchesToMegabytesAboveOneMegabyte)
{
    const QLocale c(QLocale::English, QLocale::UnitedStates);
    EXPECT_EQ(FormatOutputSize(0, c), "0 KB");
    EXPECT_EQ(FormatOutputSize(1536, c), "2 KB");
    EXPECT_EQ(FormatOutputSize(1048576, c), "1,024 KB");
    EXPECT_EQ(FormatOutputSize(1048577, c), "1.00 MB");
    EXPECT_EQ(FormatOutputSize(int64_t(1500) * 1048576, c), "1,500.00 MB");
}

TEST(RunProgress, ClockWrapsAfterADay)
{
    EXPECT_EQ(FormatClock(0), "00:00:00");
    EXPECT_EQ(FormatClock(3725), "01:02:05");
    EXPECT_EQ(FormatClock(86400 + 61), "00:01:01");
    EXPECT_EQ(FormatClock(-3), "00:00:00");
}

TEST(RunProgress, RemainingTime)
{
    EXPECT_FALSE(RemainingText(5, 100, 50));  // still "calculation..."
    EXPECT_EQ(RemainingText(6, 100, 0), "N/A");
    EXPECT_EQ(RemainingText(6, -1, 50), "N/A");  // unknown source duration
    EXPECT_EQ(RemainingText(10, 100, 50), "00:00:10");
    EXPECT_EQ(RemainingText(10, 100, 25), "00:00:30");
    EXPECT_EQ(RemainingText(10, 100, 200), "00:00:00");  // past the expected end
}

// Several files at once: the longest estimate of those past their first five seconds.
TEST(RunProgress, RemainingTimeOfSeveralFiles)
{
    EXPECT_FALSE(RemainingTextOfFiles({}));
    EXPECT_FALSE(RemainingTextOfFiles({{5, 100, 50}, {2, 100, 10}}));
    EXPECT_EQ(RemainingTextOfFiles({{6, 100, 0}, {3, 100, 50}}), "N/A");
    EXPECT_EQ(RemainingTextOfFiles({{10, 100, 50}, {10, 100, 25}}), "00:00:30");
    // A file without an estimate does not hide the others'.
    EXPECT_EQ(RemainingTextOfFiles({{10, 0, 50}, {10, 100, 50}}), "00:00:10");
}
