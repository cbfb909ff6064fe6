#pragma once
// The reader threads of a task: one per input file, each reading its packets in file order
// into a bounded queue while the loop decodes, filters, encodes and muxes. The loop still
// chooses which input to take the next packet from and takes them in the order it would have
// read them, so the outputs do not depend on how far ahead a reader is.

#include <atomic>
#include <climits>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#include "engine/pipeline/packet_queue.h"

namespace reelsmith {

// Packets a reader keeps ahead of the loop unless -thread_queue_size says otherwise, and the
// bytes it keeps at most whatever the count.
inline constexpr int kReadAheadPackets = 32;
inline constexpr size_t kReadAheadBytes = size_t(16) << 20;

class TInputReader {
public:
    TInputReader(AVFormatContext* ctx, size_t maxPackets, size_t maxBytes);
    ~TInputReader();
    TInputReader(const TInputReader&) = delete;
    TInputReader& operator=(const TInputReader&) = delete;

    void Start();
    // The next packet in file order, a "try again" mark, or the end of the input; blocks
    // until the reader has it.
    TQueuedPacket Next() { return m_Queue.Pop(); }
    // Ends the thread: a read in flight is cut off by the task's read interrupt (see
    // TInputReaders::Stopping), a wait on the full queue ends at once.
    void Stop();
    // When the read in flight started (INT64_MAX: none), for the read time-out.
    int64_t ReadStart() const { return m_ReadStart; }

private:
    void Run();

    AVFormatContext* m_Ctx;
    TPacketQueue m_Queue;
    std::atomic<int64_t> m_ReadStart{INT64_MAX};
    std::thread m_Thread;
};

class TInputReaders {
public:
    ~TInputReaders() { StopAll(); }

    // One reader per context, started at once; queueSizes: -thread_queue_size of each (<= 0: the default).
    void StartAll(const std::vector<AVFormatContext*>& inputs, const std::vector<int>& queueSizes);
    void StopAll();
    // Ends the reader threads but keeps the readers: a taker still waiting on one gets its
    // remaining packets, then the end. StopAll frees them.
    void StopThreads();
    bool Running() const { return !m_Readers.empty(); }
    TInputReader& Of(int fileIndex) { return *m_Readers[size_t(fileIndex)]; }
    // The start of the oldest read in flight (INT64_MAX: none).
    int64_t OldestRead() const;
    // True while the readers are being stopped: the task's read interrupt then cuts off their reads.
    bool Stopping() const { return m_Stopping; }

private:
    std::vector<std::unique_ptr<TInputReader>> m_Readers;
    std::atomic<bool> m_Stopping{false};
};

}  // namespace reelsmith
