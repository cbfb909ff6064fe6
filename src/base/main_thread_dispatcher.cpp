#include "base/main_thread_dispatcher.h"

#include <exception>

namespace reelsmith {

struct TQueueDispatcher::TCall {
    const std::function<void()>* call = nullptr;
    std::exception_ptr error;
    bool done = false;
    std::condition_variable finished;
};

TQueueDispatcher::TQueueDispatcher() : mainThread_(std::this_thread::get_id()) {}

void TQueueDispatcher::SetWake(std::function<void()> wake) { wake_ = std::move(wake); }

bool TQueueDispatcher::IsMainThread() const { return std::this_thread::get_id() == mainThread_; }

void TQueueDispatcher::RunAndWait(const std::function<void()>& call)
{
    if (IsMainThread()) {
        call();
        return;
    }
    TCall item;
    item.call = &call;
    std::unique_lock lock(mutex_);
    queue_.push_back(&item);
    arrived_.notify_all();
    if (wake_) {
        lock.unlock();
        wake_();
        lock.lock();
    }
    item.finished.wait(lock, [&] { return item.done; });
    if (item.error)
        std::rethrow_exception(item.error);
}

void TQueueDispatcher::ServePending()
{
    std::unique_lock lock(mutex_);
    while (!queue_.empty()) {
        TCall* item = queue_.front();
        queue_.pop_front();
        lock.unlock();
        try {
            (*item->call)();
        } catch (...) {
            item->error = std::current_exception();
        }
        lock.lock();
        item->done = true;
        item->finished.notify_all();
    }
}

void TQueueDispatcher::Abandon()
{
    std::lock_guard lock(mutex_);
    for (TCall* item : queue_) {
        item->done = true;
        item->finished.notify_all();
    }
    queue_.clear();
}

void TQueueDispatcher::WaitAndServe(std::chrono::milliseconds timeout)
{
    {
        std::unique_lock lock(mutex_);
        arrived_.wait_for(lock, timeout, [this] { return !queue_.empty(); });
    }
    ServePending();
}

}  // namespace reelsmith
