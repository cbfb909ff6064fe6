#pragma once
// The arithmetic of a run window's progress: percent, output size, clock and remaining time.
#include <QLocale>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

namespace reelsmith {

// current × 100 div total, only while total is positive and current below it.
std::optional<int> ProgressPercent(int64_t currentDuration, int64_t totalDuration);

// Up to 1048576 bytes "#,0" KB, above that "#,0.#0" MB.
QString FormatOutputSize(int64_t bytes, const QLocale& locale = QLocale());

// "hh:nn:ss" as a time of day: wraps after 24 hours; negative counts as 0.
QString FormatClock(double seconds);

inline constexpr const char* kCalculationText = "calculation...";
inline constexpr const char* kNotAvailableText = "N/A";
inline constexpr const char* kClockZero = "00:00:00";  // remaining time once a file or run ends

// The remaining-time label after a clock tick: nothing to change during a file's first
// five seconds, "N/A" while no output time (or no positive total) is known, else the
// estimate total / current × elapsed − elapsed.
std::optional<QString> RemainingText(int fileSeconds, int64_t lastTotalDuration, int64_t lastCurrentDuration);

// The same for several files converting at once: the longest of their estimates (the time
// until the last of them ends); nothing to change while each is in its first five seconds,
// "N/A" while none of the others has an estimate.
struct TFileClock {
    int Seconds = 0;
    int64_t TotalDuration = 0;
    int64_t CurrentDuration = 0;
};
std::optional<QString> RemainingTextOfFiles(const std::vector<TFileClock>& files);

}  // namespace reelsmith
