#include "runs/batch_estimate.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace reelsmith {

namespace {

constexpr double kMicros = 1e6;
// The speed of the first seconds says little (opening files, encoders warming up): an estimate
// needs this much media converted, and this much wall time.
constexpr double kMinConvertedSeconds = 2.0;
constexpr double kMinBusySeconds = 3.0;

}  // namespace

TBatchEstimate::TBatchEstimate(std::vector<int64_t> durations)
{
    double known = 0;
    int knownCount = 0;
    for (const int64_t duration : durations)
        if (duration > 0) {
            known += static_cast<double>(duration) / kMicros;
            ++knownCount;
        }
    const double fallback = knownCount > 0 ? known / knownCount : 1.0;
    for (const int64_t duration : durations)
        m_Weights.push_back(duration > 0 ? static_cast<double>(duration) / kMicros : fallback);
    m_Done.assign(m_Weights.size(), 0.0);
    m_Total = std::accumulate(m_Weights.begin(), m_Weights.end(), 0.0);
}

double TBatchEstimate::Weight(int row) const
{
    return row >= 0 && row < static_cast<int>(m_Weights.size()) ? m_Weights[static_cast<size_t>(row)] : 0.0;
}

void TBatchEstimate::Progress(int row, int64_t currentDuration, double seconds)
{
    m_Busy += std::max(0.0, seconds - m_LastSeconds);
    m_LastSeconds = std::max(m_LastSeconds, seconds);
    if (Weight(row) <= 0)
        return;
    double& done = m_Done[static_cast<size_t>(row)];
    const double now = std::clamp(static_cast<double>(currentDuration) / kMicros, 0.0, Weight(row));
    if (now > done) {
        m_Converted += now - done;
        done = now;
    }
}

void TBatchEstimate::FinishRow(int row, double seconds, bool converted)
{
    m_Busy += std::max(0.0, seconds - m_LastSeconds);
    m_LastSeconds = std::max(m_LastSeconds, seconds);
    if (Weight(row) <= 0)
        return;
    double& done = m_Done[static_cast<size_t>(row)];
    if (converted)
        m_Converted += Weight(row) - done;
    done = Weight(row);
}

void TBatchEstimate::Idle(double seconds) { m_LastSeconds = std::max(m_LastSeconds, seconds); }

double TBatchEstimate::DoneWeight() const { return std::accumulate(m_Done.begin(), m_Done.end(), 0.0); }

int TBatchEstimate::Percent() const
{
    if (m_Total <= 0)
        return 0;
    return std::clamp(static_cast<int>(DoneWeight() * 100 / m_Total), 0, 100);
}

double TBatchEstimate::Speed() const { return m_Busy > 0 ? m_Converted / m_Busy : 0.0; }

std::optional<double> TBatchEstimate::RemainingSeconds() const
{
    if (m_Converted < kMinConvertedSeconds || m_Busy < kMinBusySeconds)
        return std::nullopt;
    return std::max(0.0, m_Total - DoneWeight()) / Speed();
}

}  // namespace reelsmith
