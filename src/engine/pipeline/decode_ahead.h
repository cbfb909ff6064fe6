#pragma once
// Decoding ahead: a thread per input that takes the reader's packets in file order and decodes
// those of its audio and video streams while the loop filters, encodes and muxes earlier ones.
// The loop still takes one item per packet, in file order, and hands each frame on with the
// stream's clock as it stood after that frame, so the stages see what they would have seen had
// the loop decoded the packet itself, and the outputs do not depend on how far ahead it is.
// Only the decoders and the clocks of those streams are the thread's; the loop touches neither
// while it runs. Bounded in items and in the bytes of the frames it holds.

#include <atomic>
#include <optional>
#include <thread>
#include <vector>

#include "engine/job_records.h"
#include "engine/pipeline/bounded_queue.h"
#include "engine/pipeline/packet_queue.h"

namespace reelsmith {

class TInputReader;
class TInputReaders;

// Items and frame bytes a decoding thread keeps ahead of the loop (one larger item passes alone).
inline constexpr size_t kDecodeAheadItems = 16;
inline constexpr size_t kDecodeAheadBytes = size_t(32) << 20;

// A frame, or a failed call (frame null), with the stream's clock after it.
struct TDecodeEvent {
    TFramePtr frame;
    int error = 0;
    TInputClock clock;
};

// What decoding one packet (or draining the decoder at the end) gave, in order.
struct TDecodedPacket {
    int stream = -1;  // index in the file
    std::vector<TDecodeEvent> events;
    TInputClock after;
};

// One item per read item: the packet (its time offset applied when its stream is decoded
// here), a "try again" mark or the end; with what decoding the packet gave, and at the end the
// drains of every stream decoded here, in stream order.
struct TAheadItem {
    TQueuedPacket read;
    std::optional<TDecodedPacket> decoded;
    std::vector<TDecodedPacket> drains;
    size_t frameBytes = 0;

    size_t Bytes() const { return frameBytes + read.Bytes(); }
    static TAheadItem Closed();
};

class TDecodeAhead {
public:
    // streams: the file's streams by index; null where the stream is not decoded here.
    TDecodeAhead(TInputReader& reader, const TInputFile& file, std::vector<const TInputStream*> streams);
    ~TDecodeAhead();
    TDecodeAhead(const TDecodeAhead&) = delete;
    TDecodeAhead& operator=(const TDecodeAhead&) = delete;

    void Start();
    // The next item in file order; blocks until the thread has it.
    TAheadItem Next() { return m_Queue.Pop(); }
    // Before the reader stops: the thread ends at its next item, without draining.
    void RequestStop();
    void Join();
    bool Decodes(int stream) const
    {
        return stream >= 0 && size_t(stream) < m_Streams.size() && m_Streams[size_t(stream)].ist;
    }

private:
    struct TStream {
        const TInputStream* ist = nullptr;
        TInputClock clock;
        TPacketPtr scratch;
        TFramePtr frame;
    };

    void Run();
    TDecodedPacket Decode(int stream, const AVPacket* pkt, size_t* frameBytes);

    TInputReader& m_Reader;
    const TInputFile& m_File;
    std::vector<TStream> m_Streams;
    TBoundedQueue<TAheadItem> m_Queue;
    std::atomic<bool> m_Stopping{false};
    std::thread m_Thread;
};

// The decoding threads of a task's inputs (none for an input with nothing to decode here).
class TDecodeAheads {
public:
    explicit TDecodeAheads(TInputReaders& readers) : m_Readers(readers) {}
    ~TDecodeAheads() { StopAll(); }

    // Starts a thread for every input with an audio or video stream decoded in software; the
    // readers run already.
    void StartAll(const TJobGraph& graph);
    // Stops the threads and the readers they take from, in that order.
    void StopAll();
    TDecodeAhead* Of(int fileIndex) const
    {
        return size_t(fileIndex) < m_Threads.size() ? m_Threads[size_t(fileIndex)].get() : nullptr;
    }

private:
    TInputReaders& m_Readers;
    std::vector<std::unique_ptr<TDecodeAhead>> m_Threads;
};

// Whether a stream is decoded on its input's decoding thread: audio and video decoded in
// software, used by an output.
bool DecodedAhead(const TInputStream& ist);

}  // namespace reelsmith
