#pragma once
// A manual-reset event: Set releases every waiter until Reset.

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace reelsmith {

class TSyncEvent {
public:
    explicit TSyncEvent(bool signalled = false) : signalled_(signalled) {}

    void Set()
    {
        {
            std::lock_guard lock(mutex_);
            signalled_ = true;
        }
        cv_.notify_all();
    }
    void Reset()
    {
        std::lock_guard lock(mutex_);
        signalled_ = false;
    }
    bool IsSet() const
    {
        std::lock_guard lock(mutex_);
        return signalled_;
    }
    void Wait()
    {
        std::unique_lock lock(mutex_);
        cv_.wait(lock, [this] { return signalled_; });
    }
    // True when signalled within the time.
    bool WaitFor(std::chrono::milliseconds timeout)
    {
        std::unique_lock lock(mutex_);
        return cv_.wait_for(lock, timeout, [this] { return signalled_; });
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    bool signalled_;
};

}  // namespace reelsmith
