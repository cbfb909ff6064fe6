#pragma once
// The decoding stage: packets of one input stream in, frames out to the filter graphs
// (decode.cpp). What needs only the stream's record is here; the steps that reach the
// hooks and the filters are private members of the task.

#include "engine/job_records.h"

namespace reelsmith {

// Moves the stream's clock (AV_TIME_BASE units) to the packet about to be processed; at the
// end of the stream pkt is null.
void AdvanceInputClock(TInputStream& ist, const AVPacket* pkt);

// Gives a decoded frame its time stamp: audio on a sample-exact time line in 1/sample_rate,
// video at its best-effort time in the stream's time base. pkt is the packet sent last
// (null when draining).
void StampDecodedFrame(TInputStream& ist, AVFrame* frame, const AVPacket* pkt);

// How far a video packet (null: none, at the end) moves the stream's clock (AV_TIME_BASE
// units): its own duration, else one frame at the decoder's or the stream's base rate.
int64_t VideoPacketDuration(const TInputStream& ist, const AVPacket* pkt);

}  // namespace reelsmith
