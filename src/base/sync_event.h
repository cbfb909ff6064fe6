#pragma once
// A manual-reset event: Set releases every waiter until Reset.

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace reelsmith {

class TSyncEvent {
public:
    explicit TSyncEvent(bool signalled = false) : m_Signalled(signalled) {}

    void Set()
    {
        {
            std::lock_guard lock(m_Mutex);
            m_Signalled = true;
        }
        m_Cv.notify_all();
    }
    void Reset()
    {
        std::lock_guard lock(m_Mutex);
        m_Signalled = false;
    }
    bool IsSet() const
    {
        std::lock_guard lock(m_Mutex);
        return m_Signalled;
    }
    void Wait()
    {
        std::unique_lock lock(m_Mutex);
        m_Cv.wait(lock, [this] { return m_Signalled; });
    }
    // True when signalled within the time.
    bool WaitFor(std::chrono::milliseconds timeout)
    {
        std::unique_lock lock(m_Mutex);
        return m_Cv.wait_for(lock, timeout, [this] { return m_Signalled; });
    }

private:
    mutable std::mutex m_Mutex;
    std::condition_variable m_Cv;
    bool m_Signalled;
};

}  // namespace reelsmith
