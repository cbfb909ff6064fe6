#include "burn/cancel_signal.h"

namespace reelsmith {

void TCancelSignal::Reset()
{
    std::lock_guard lock(m_Mutex);
    m_Requested = false;
}

void TCancelSignal::Request()
{
    {
        std::lock_guard lock(m_Mutex);
        m_Requested = true;
    }
    m_Changed.notify_all();
}

bool TCancelSignal::WaitUntil(std::chrono::steady_clock::time_point deadline)
{
    std::unique_lock lock(m_Mutex);
    return m_Changed.wait_until(lock, deadline, [this] { return m_Requested.load(); });
}

}  // namespace reelsmith
