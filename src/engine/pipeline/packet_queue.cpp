#include "engine/pipeline/packet_queue.h"

#include <algorithm>

namespace reelsmith {

namespace {
size_t SizeOf(const TQueuedPacket& item) { return item.pkt && item.pkt->size > 0 ? size_t(item.pkt->size) : 0; }
}  // namespace

TPacketQueue::TPacketQueue(size_t maxPackets, size_t maxBytes)
    : m_MaxPackets(std::max<size_t>(maxPackets, 1)), m_MaxBytes(std::max<size_t>(maxBytes, 1))
{
}

bool TPacketQueue::Push(TQueuedPacket item)
{
    {
        std::unique_lock lock(m_Mutex);
        m_NotFull.wait(lock, [this] { return m_Closed || !Full(); });
        if (m_Closed)
            return false;
        m_Bytes += SizeOf(item);
        m_Items.push_back(std::move(item));
    }
    m_NotEmpty.notify_one();
    return true;
}

TQueuedPacket TPacketQueue::Pop()
{
    TQueuedPacket item;
    {
        std::unique_lock lock(m_Mutex);
        m_NotEmpty.wait(lock, [this] { return m_Closed || !m_Items.empty(); });
        if (m_Items.empty()) {
            item.status = AVERROR_EXIT;
            return item;
        }
        item = std::move(m_Items.front());
        m_Items.pop_front();
        m_Bytes -= SizeOf(item);
    }
    m_NotFull.notify_one();
    return item;
}

bool TPacketQueue::Empty() const
{
    std::lock_guard lock(m_Mutex);
    return m_Items.empty();
}

void TPacketQueue::Close()
{
    {
        std::lock_guard lock(m_Mutex);
        m_Closed = true;
    }
    m_NotFull.notify_all();
    m_NotEmpty.notify_all();
}

bool TPacketQueue::WaitClosedFor(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_Mutex);
    return m_NotFull.wait_for(lock, timeout, [this] { return m_Closed; });
}

}  // namespace reelsmith
