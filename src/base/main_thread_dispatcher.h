#pragma once
// How worker threads hand calls to the main thread. The windows implement it with Qt;
// headless users (tests, the command-line tool) use the plain queue below.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace reelsmith {

class TMainThreadDispatcher {
public:
    virtual ~TMainThreadDispatcher() = default;
    virtual bool IsMainThread() const = 0;
    // Runs call on the main thread and returns when it has returned (directly when the
    // caller is the main thread). An exception of the call is rethrown to the caller.
    virtual void RunAndWait(const std::function<void()>& call) = 0;
    // Runs the calls other threads are waiting on; main thread only.
    virtual void ServePending() = 0;
};

// A plain call queue; the main thread is the thread that created it.
class TQueueDispatcher : public TMainThreadDispatcher {
public:
    TQueueDispatcher();
    // Called on the worker's thread after each call is queued, e.g. to wake an event loop.
    void SetWake(std::function<void()> wake);
    // Releases every waiting worker without running its call (the receiver is going away).
    void Abandon();
    bool IsMainThread() const override;
    void RunAndWait(const std::function<void()>& call) override;
    void ServePending() override;
    // Waits up to timeout for a call to arrive, then serves what is pending.
    void WaitAndServe(std::chrono::milliseconds timeout);

private:
    struct TCall;
    std::thread::id m_MainThread;
    std::mutex m_Mutex;
    std::condition_variable m_Arrived;
    std::deque<TCall*> m_Queue;
    std::function<void()> wake_;
};

}  // namespace reelsmith
