#pragma once
// The encoding stage: filtered frames in, encoded packets out to the muxing stage
// (encode.cpp). The frame-rate conversion of video is planned here from the records alone;
// sending to the encoder and the hooks on the pictures about to be encoded are the task's.

#include "engine/job_records.h"
#include "engine/options/global_options.h"
#include "engine/pipeline/loop_state.h"

namespace reelsmith {

// What one filtered picture (or the end of the stream) becomes at the output's rate.
struct TVideoFramePlan {
    int64_t nbFrames = 1;   // pictures to encode; 0 drops the frame
    int64_t nb0Frames = 0;  // of them, repeats of the previous picture before this one
};

// Plans the pictures for nextPicture (null: the end of the stream) and moves the output's
// clock and its history of repeats; nextPicture->pts becomes the encoder's time base.
TVideoFramePlan PlanVideoFrames(const TJobGraph& graph, TOutputStream& ost, AVFrame* nextPicture,
                                const TGlobalOptions& global);

// Counts the drops and duplicates of a plan, with their log lines; false when the
// duplication is too large and the frame is dropped instead.
bool CountDuplicates(TFrameRateStats& stats, const TOutputStream& ost, const TVideoFramePlan& plan,
                     const TGlobalOptions& global);

// Whether -force_key_frames makes this picture (repeat: its copy number in the frame-rate
// conversion, 0 for the first) a key frame; moves the option's counters.
bool ForcedKeyFrame(TOutputStream& ost, const AVFrame* picture, int64_t repeat);

// Whether the stream's pictures pass through filters the user gave (-vf, -filter_script, -filter_complex).
bool UserFiltered(const TJobGraph& graph, const TOutputStream& ost);

// The encoder's quality of a packet (its side data), or -1.
int QualityOf(const AVPacket* pkt);

}  // namespace reelsmith
