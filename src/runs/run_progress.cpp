#include "runs/run_progress.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "base/qt/number_format.h"

namespace reelsmith {

namespace {

constexpr int64_t kMegabyte = 1048576;
constexpr int kEstimateAfterSeconds = 5;
constexpr int64_t kSecondsPerDay = 24 * 60 * 60;

// The time a file still needs at the pace of its elapsed seconds so far; nothing before its
// conversion reported any progress.
std::optional<double> SecondsLeft(int fileSeconds, int64_t totalDuration, int64_t currentDuration)
{
    if (currentDuration < 1 || totalDuration <= 0)
        return std::nullopt;
    const double elapsed = fileSeconds;
    return static_cast<double>(totalDuration) / static_cast<double>(currentDuration) * elapsed - elapsed;
}

}  // namespace

std::optional<int> ProgressPercent(int64_t currentDuration, int64_t totalDuration)
{
    if (totalDuration <= 0 || currentDuration >= totalDuration || currentDuration < 0)
        return std::nullopt;
    // Durations beyond a century would overflow the product; divide first for those.
    if (currentDuration <= INT64_MAX / 100)
        return static_cast<int>(currentDuration * 100 / totalDuration);
    return static_cast<int>(currentDuration / (totalDuration / 100));
}

QString FormatOutputSize(int64_t bytes, const QLocale& locale)
{
    if (bytes <= kMegabyte)
        return FormatGrouped0(static_cast<double>(bytes) / 1024, locale) + QStringLiteral(" KB");
    return FormatGroupedTwoDecimals(static_cast<double>(bytes) / kMegabyte, locale) + QStringLiteral(" MB");
}

QString FormatClock(double seconds)
{
    if (!(seconds > 0))
        seconds = 0;
    const int64_t whole = static_cast<int64_t>(std::min(seconds, 1e15)) % kSecondsPerDay;
    return QStringLiteral("%1:%2:%3")
        .arg(whole / 3600, 2, 10, QLatin1Char('0'))
        .arg(whole / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(whole % 60, 2, 10, QLatin1Char('0'));
}

std::optional<QString> RemainingText(int fileSeconds, int64_t lastTotalDuration, int64_t lastCurrentDuration)
{
    if (fileSeconds <= kEstimateAfterSeconds)
        return std::nullopt;
    const std::optional<double> left = SecondsLeft(fileSeconds, lastTotalDuration, lastCurrentDuration);
    return left ? FormatClock(*left) : QString::fromLatin1(kNotAvailableText);
}

std::optional<QString> RemainingTextOfFiles(const std::vector<TFileClock>& files)
{
    bool past = false;
    double longest = -1;
    for (const TFileClock& file : files) {
        if (file.Seconds <= kEstimateAfterSeconds)
            continue;
        past = true;
        if (const std::optional<double> left = SecondsLeft(file.Seconds, file.TotalDuration, file.CurrentDuration))
            longest = std::max(longest, *left);
    }
    if (!past)
        return std::nullopt;
    return longest < 0 ? QString::fromLatin1(kNotAvailableText) : FormatClock(longest);
}

}  // namespace reelsmith
