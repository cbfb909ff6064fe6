#include "base/main_thread_dispatcher.h"

#include <exception>

namespace reelsmith {

struct TQueueDispatcher::TCall {
    const std::function<void()>* call = nullptr;
    std::exception_ptr error;
    bool done = false;
    std::condition_variable finished;
};

TQueueDispatcher::TQueueDispatcher() : m_MainThread(std::this_thread::get_id()) {}

void TQueueDispatcher::SetWake(std::function<void()> wake) { wake_ = std::move(wake); }

bool TQueueDispatcher::IsMainThread() const { return std::this_thread::get_id() == m_MainThread; }

void TQueueDispatcher::RunAndWait(const std::function<void()>& call)
{
    if (IsMainThread()) {
        call();
        return;
    }
    TCall item;
    item.call = &call;
    std::unique_lock lock(m_Mutex);
    m_Queue.push_back(&item);
    m_Arrived.notify_all();
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
    std::unique_lock lock(m_Mutex);
    while (!m_Queue.empty()) {
        TCall* item = m_Queue.front();
        m_Queue.pop_front();
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
    std::lock_guard lock(m_Mutex);
    for (TCall* item : m_Queue) {
        item->done = true;
        item->finished.notify_all();
    }
    m_Queue.clear();
}

void TQueueDispatcher::WaitAndServe(std::chrono::milliseconds timeout)
{
    {
        std::unique_lock lock(m_Mutex);
        m_Arrived.wait_for(lock, timeout, [this] { return !m_Queue.empty(); });
    }
    ServePending();
}

}  // namespace reelsmith
