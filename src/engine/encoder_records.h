#pragma once
// The records that cross the encoder component's boundary.

#include <cstdint>
#include <string>

extern "C" {
#include <libavutil/frame.h>
}

namespace reelsmith {

using TPathFileName = std::string;

struct TInputOptions {
    TPathFileName FileName;
    std::string Options;
    std::string Presets;
    int32_t Tag = 0;
    void* Data = nullptr;
    void Reset() { *this = TInputOptions{}; }
};

struct TOutputOptions {
    TPathFileName FileName;
    std::string Options;
    std::string Presets;
    bool AudioInputHook = false;
    bool AudioOutputHook = false;
    bool VideoInputHook = false;
    bool VideoOutputHook = false;
    int32_t VideoHookBitsPixel = 32;
    bool FrameInputHook = false;
    bool FrameOutputHook = false;
    int32_t Tag = 0;
    void* Data = nullptr;
    void Reset() { *this = TOutputOptions{}; }
};

struct TProgressInfo {
    int32_t TaskIndex = 0;
    int32_t FileIndex = -1;
    int32_t FrameNumber = -1;
    int32_t FPS = -1;
    float Quality = -1;
    float BitRate = -1;
    int64_t CurrentSize = 0;
    int64_t CurrentDuration = 0;
    int64_t TotalDuration = -1;
};

struct TTerminateInfo {
    int32_t TaskIndex = -1;
    bool Finished = false;
    bool Exception = false;
    std::string ExceptionMsg;
};

// Raw picture handed to the frame hooks.
struct TFrameHookInfo {
    int32_t TaskIndex = 0;
    int32_t FrameNumber = 0;
    const AVFrame* Picture = nullptr;
    int PixFmt = -1;
    int Width = 0;
    int Height = 0;
    int64_t PTS = 0;
};

}  // namespace reelsmith
