#pragma once
// The queue of read packets between an input's reader thread and the stage that takes them.

#include "engine/pipeline/bounded_queue.h"
#include "media/ffmpeg_handles.h"

namespace reelsmith {

// One item: a packet (status 0), a "nothing yet, try again" mark (AVERROR(EAGAIN)), or the end
// of the input with the read's code (AVERROR_EOF or an error; AVERROR_EXIT: the queue closed).
struct TQueuedPacket {
    TPacketPtr pkt;
    int status = 0;

    size_t Bytes() const { return pkt && pkt->size > 0 ? size_t(pkt->size) : 0; }
    static TQueuedPacket Closed() { return TQueuedPacket{nullptr, AVERROR_EXIT}; }
};

using TPacketQueue = TBoundedQueue<TQueuedPacket>;

}  // namespace reelsmith
