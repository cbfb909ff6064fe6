#pragma once
// The decoding stage: packets of one input stream in, frames out to the filter graphs
// (decode.cpp). What needs only the stream's record is here; the steps that reach the
// hooks and the filters are private members of the task.

#include "engine/job_records.h"

namespace reelsmith {

// Moves the stream's clock (AV_TIME_BASE units) to the packet about to be processed; at the
// end of the stream pkt is null.
void AdvanceInputClock(const TInputStream& ist, TInputClock& clock, const AVPacket* pkt);

// Gives a decoded frame its time stamp: audio on a sample-exact time line in 1/sample_rate,
// video at its best-effort time in the stream's time base. pkt is the packet sent last
// (null when draining).
void StampDecodedFrame(const TInputStream& ist, TInputClock& clock, AVFrame* frame, const AVPacket* pkt);

// How far a video packet (null: none, at the end) moves the stream's clock (AV_TIME_BASE
// units): its own duration, else one frame at the decoder's or the stream's base rate.
int64_t VideoPacketDuration(const TInputStream& ist, const AVPacket* pkt);

// Where decoding one packet goes, in the order it happens: failed calls, and frames with the
// stream's clock as it stands after each.
class IDecodeSink {
public:
    virtual ~IDecodeSink() = default;
    virtual void DecodeFailed(int ret, const TInputClock& clock) = 0;
    // The sink may take the frame's data; the frame is unreferenced after the call.
    virtual void FrameDecoded(AVFrame* frame, const TInputClock& clock) = 0;
};

// Decodes one packet of an audio or video stream (null: drains the decoder at the end of the
// stream): moves the clock, sends the packet and hands every frame to the sink, stamped. It
// touches nothing but the stream's decoder, the clock, scratch and frame, so it can run on a
// thread of its own while the loop goes on with earlier frames.
void DecodeStreamPacket(const TInputStream& ist, TInputClock& clock, AVPacket* scratch, AVFrame* frame,
                        const AVPacket* pkt, IDecodeSink& sink);

}  // namespace reelsmith
