#pragma once
// The abort request of one burning job, and the test hook on the image reads of a burn.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

namespace reelsmith {

// The abort request of one job: a flag that waiting threads are woken by.
class TCancelSignal {
public:
    void Reset();
    void Request();
    bool Requested() const { return m_Requested.load(); }
    // Waits until the deadline or an abort request; true when aborted.
    bool WaitUntil(std::chrono::steady_clock::time_point deadline);
    bool WaitFor(std::chrono::steady_clock::duration timeout)
    {
        return WaitUntil(std::chrono::steady_clock::now() + timeout);
    }

private:
    std::atomic<bool> m_Requested{false};
    std::mutex m_Mutex;
    std::condition_variable m_Changed;
};

// Called on libburn's writer thread before each read, with the offset about to be read and
// the image size.
using TImageReadHook = std::function<void(std::int64_t offset, std::int64_t size)>;

}  // namespace reelsmith
