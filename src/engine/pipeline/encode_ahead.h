#pragma once
// Encoding a video stream on a thread of its own: the loop hands it the pictures it would have
// encoded itself, in the same order, and muxes the packets that come back, in the order they
// came, whenever it passes by. Each encoder gets exactly the pictures it got before, so its
// packets are the same; they reach the muxer a little later and interleaved differently with
// the other streams' packets, which muxers that interleave by time stamp (see
// EncodedAheadFormat) write the same way. Bounded in pictures and their bytes.

#include <condition_variable>
#include <cstdio>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/pipeline/bounded_queue.h"
#include "media/ffmpeg_handles.h"

namespace reelsmith {

// Pictures a video encoding thread may be given ahead of what it has encoded, and their bytes.
inline constexpr size_t kEncodeAheadPictures = 4;
inline constexpr size_t kEncodeAheadBytes = size_t(32) << 20;

// A picture to encode (null: the queue closed).
struct TEncodeJob {
    TFramePtr frame;

    size_t Bytes() const;
    static TEncodeJob Closed() { return {}; }
};

// An encoded packet, or the failure that ends the thread's work (pkt null, error < 0).
struct TEncodedPacket {
    TPacketPtr pkt;
    int error = 0;
};

class TEncodeAhead {
public:
    // enc: the open encoder, the thread's alone from Start to Stop; passLog: -pass 1's log or null.
    TEncodeAhead(AVCodecContext* enc, FILE* passLog);
    ~TEncodeAhead();
    TEncodeAhead(const TEncodeAhead&) = delete;
    TEncodeAhead& operator=(const TEncodeAhead&) = delete;

    void Start();
    // Hands a picture over; blocks while the thread has enough. False once it failed or stopped.
    bool Encode(TFramePtr frame);
    // The packets encoded so far, in order, without waiting.
    std::vector<TEncodedPacket> TakeReady();
    // Waits until every picture handed over is encoded, then ends the thread; the encoder is the
    // caller's again. Returns the packets not taken yet.
    std::vector<TEncodedPacket> Finish();
    // Ends the thread at its next picture; what it has not encoded is dropped.
    void Stop();

private:
    void Run();
    void Put(TEncodedPacket packet);

    AVCodecContext* m_Enc;
    FILE* m_PassLog;
    TBoundedQueue<TEncodeJob> m_Jobs;
    std::mutex m_Mutex;
    std::condition_variable m_Done;
    std::deque<TEncodedPacket> m_Ready;
    uint64_t m_Given = 0;    // the loop's count
    uint64_t m_Encoded = 0;  // under m_Mutex
    bool m_Failed = false;   // under m_Mutex
    std::thread m_Thread;
};

// Whether a video output's encoder may run ahead: a muxer that interleaves by time stamp, no
// file size limit or -shortest on its file (both read how far the muxer got), and no hook that
// may paint a picture the encoder is still reading.
bool EncodedAheadFormat(const AVOutputFormat* format);

}  // namespace reelsmith
