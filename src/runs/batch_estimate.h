#pragma once
// Where a whole run stands: the rows weighted by their durations, and the time left from the
// speed measured so far in this run (media seconds per wall second). The caller gives the
// wall time with every call, so a fake clock drives it in tests and the bench.
#include <cstdint>
#include <optional>
#include <vector>

namespace reelsmith {

class TBatchEstimate {
public:
    // Durations in microseconds, one per row; an unknown (non-positive) one weighs as the
    // average of the known ones, or one second when none is known.
    explicit TBatchEstimate(std::vector<int64_t> durations = {});

    // The row's conversion has reached currentDuration at wall time seconds.
    void Progress(int row, int64_t currentDuration, double seconds);
    // The row is over (converted, failed or skipped): all of its weight counts as done, and
    // for a converted row the part after its last progress report as converted.
    void FinishRow(int row, double seconds, bool converted);
    // The clock ran while nothing was converted (a question shown, paused): that time does
    // not count towards the speed.
    void Idle(double seconds);

    // 0..100 of the whole run's weight.
    int Percent() const;
    // Seconds left at the measured speed; nothing before enough of the run was measured.
    std::optional<double> RemainingSeconds() const;
    // Media seconds per wall second so far; 0 before anything was converted.
    double Speed() const;

private:
    double Weight(int row) const;
    double DoneWeight() const;

    std::vector<double> m_Weights;  // seconds of media per row
    std::vector<double> m_Done;     // seconds of media of each row counted as done
    double m_Total = 0;
    double m_Converted = 0;  // media seconds actually converted
    double m_Busy = 0;       // wall seconds that the conversions took
    double m_LastSeconds = 0;
};

}  // namespace reelsmith
