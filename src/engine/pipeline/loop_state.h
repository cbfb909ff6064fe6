#pragma once
// The state a running task keeps between steps of its loop, one record per stage. Only the
// stage files touch it; the task holds it privately, so the records can later move with
// their stage onto a thread of its own.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "engine/pipeline/decode_ahead.h"
#include "engine/pipeline/input_reader.h"
#include "engine/preview_audio.h"
#include "media/ffmpeg_handles.h"
#include "media/format_converter.h"

namespace reelsmith {

// Frame-rate conversion of the video outputs (encode.cpp); the report shows the counts.
struct TFrameRateStats {
    int64_t Fnb_frames_dup = 0;
    int64_t Fnb_frames_drop = 0;
    int FDupWarning = 1000;  // the next count of duplicates that earns a warning
};

// What the decoders gave over the run (decode.cpp): frames and subtitles, and failed calls.
// Too many failures fail the run (-max_error_rate).
struct TDecodeStats {
    int64_t Fdecoded = 0;
    int64_t Ffailed = 0;
};

// When the progress report last went out (transcode_report.cpp).
struct TReportState {
    int64_t Flast_time = -1;
    int Ffirst_report = 1;
};

// Hooks and previews of decoded and about-to-be-encoded pictures and audio (task_hooks.cpp).
// The converters and bitmaps are the worker's alone; the post-hooks and the player are
// shared with the caller's thread under FHookLock.
struct THookState {
    TFormatConverter FInputVideoHook;
    TFormatConverter FOutputVideoHook;
    TRGBPicture FHookBitmap;
    TSwsContextPtr FFromBitmap;
    int64_t FPreviewLastTime = 0;
    unsigned FPostHooks = 0;
    bool FPostHooksChanged = false;
    std::mutex FHookLock;
    std::unique_ptr<TPreviewAudio> FWavePlayer;  // created on the first audio frame, under FHookLock
    std::atomic<int64_t> FPreviewAudioBytes{0};
};

// Everything of the loop besides the job graph and the option values.
struct TLoopState {
    bool FTranscodeInitialized = false;
    bool FTranscodeCleanuped = false;
    int64_t FTranscodeStart = 0;
    TFrameRateStats frames;
    TDecodeStats decoding;
    TReportState report;
    THookState hooks;
    TInputReaders readers;  // running between the start of the loop and its end
    TDecodeAheads decodeAhead{readers};  // stops its threads, then the readers, when it goes
};

}  // namespace reelsmith
