#pragma once
// A bounded queue of read packets between an input's reader thread and the loop. Bounded in
// packets and in bytes (a single packet larger than the byte bound still passes, alone), so a
// 4K source cannot fill memory while the stages behind it are slower. Close() wakes every
// waiter: a reader blocked on a full queue ends, a taker gets the closing item.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>

#include "media/ffmpeg_handles.h"

namespace reelsmith {

// One item: a packet (status 0), a "nothing yet, try again" mark (AVERROR(EAGAIN)), or the end
// of the input with the read's code (AVERROR_EOF or an error).
struct TQueuedPacket {
    TPacketPtr pkt;
    int status = 0;
};

class TPacketQueue {
public:
    TPacketQueue(size_t maxPackets, size_t maxBytes);

    // Blocks while the queue is full; false (the item dropped) once the queue is closed.
    bool Push(TQueuedPacket item);
    // Blocks while the queue is empty; after Close an empty queue gives an AVERROR_EXIT end.
    TQueuedPacket Pop();
    bool Empty() const;
    void Close();
    // Waits up to the time for Close; true when closed.
    bool WaitClosedFor(std::chrono::milliseconds timeout);

private:
    bool Full() const { return !m_Items.empty() && (m_Items.size() >= m_MaxPackets || m_Bytes >= m_MaxBytes); }

    const size_t m_MaxPackets;
    const size_t m_MaxBytes;
    mutable std::mutex m_Mutex;
    std::condition_variable m_NotFull;
    std::condition_variable m_NotEmpty;
    std::deque<TQueuedPacket> m_Items;
    size_t m_Bytes = 0;
    bool m_Closed = false;
};

}  // namespace reelsmith
