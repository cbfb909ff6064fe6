#pragma once
// A bounded queue between two threads of a task, bounded in items and in bytes (a single item
// larger than the byte bound still passes, alone), so a 4K source cannot fill memory while the
// stage behind it is slower. Close() wakes every waiter: a producer blocked on a full queue
// ends, a taker gets Item::Closed().
//
// Item provides `size_t Bytes() const` and `static Item Closed()`.

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>

namespace reelsmith {

template <class Item>
class TBoundedQueue {
public:
    TBoundedQueue(size_t maxItems, size_t maxBytes)
        : m_MaxItems(std::max<size_t>(maxItems, 1)), m_MaxBytes(std::max<size_t>(maxBytes, 1))
    {
    }

    // Blocks while the queue is full; false (the item dropped) once the queue is closed.
    bool Push(Item item)
    {
        {
            std::unique_lock lock(m_Mutex);
            m_NotFull.wait(lock, [this] { return m_Closed || !Full(); });
            if (m_Closed)
                return false;
            m_Bytes += item.Bytes();
            m_Items.push_back(std::move(item));
        }
        m_NotEmpty.notify_one();
        return true;
    }

    // Blocks while the queue is empty; after Close an empty queue gives Item::Closed().
    Item Pop()
    {
        Item item;
        {
            std::unique_lock lock(m_Mutex);
            m_NotEmpty.wait(lock, [this] { return m_Closed || !m_Items.empty(); });
            if (m_Items.empty())
                return Item::Closed();
            item = std::move(m_Items.front());
            m_Items.pop_front();
            m_Bytes -= item.Bytes();
        }
        m_NotFull.notify_one();
        return item;
    }

    bool Empty() const
    {
        std::lock_guard lock(m_Mutex);
        return m_Items.empty();
    }

    void Close()
    {
        {
            std::lock_guard lock(m_Mutex);
            m_Closed = true;
        }
        m_NotFull.notify_all();
        m_NotEmpty.notify_all();
    }

    // Waits up to the time for Close; true when closed.
    bool WaitClosedFor(std::chrono::milliseconds timeout)
    {
        std::unique_lock lock(m_Mutex);
        return m_NotFull.wait_for(lock, timeout, [this] { return m_Closed; });
    }

private:
    bool Full() const { return !m_Items.empty() && (m_Items.size() >= m_MaxItems || m_Bytes >= m_MaxBytes); }

    const size_t m_MaxItems;
    const size_t m_MaxBytes;
    mutable std::mutex m_Mutex;
    std::condition_variable m_NotFull;
    std::condition_variable m_NotEmpty;
    std::deque<Item> m_Items;
    size_t m_Bytes = 0;
    bool m_Closed = false;
};

}  // namespace reelsmith
