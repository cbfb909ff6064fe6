#pragma once
// The media information records a decoder publishes about an open file.

#include <cstdint>
#include <string>

#include "media/ffmpeg_api.h"

namespace reelsmith {

struct TFileStreamInfo {
    int64_t StartTime = AV_NOPTS_VALUE;  // microseconds; the no-value marker when unknown
    int64_t Duration = -1;               // microseconds; -1 when unknown
    int BitRate = -1;
    int Year = -1;
    int Track = -1;
    std::string Title, Author, Copyright, Comment, Album, Genre;
};

// What video and audio streams report alike.
struct TMediaStreamInfo {
    std::string Language;
    std::string CodecName;
    int64_t StartTime = -1;        // stream time-base units
    int64_t StartTimeScaled = -1;  // microseconds
    int64_t Duration = -1;
    int64_t DurationScaled = -1;
    int BitRate = -1;
};

struct TVideoStreamInfo : TMediaStreamInfo {
    int Height = -1;
    int Width = -1;
    float SampleAspectRatio = -1.0f;
    float DisplayAspectRatio = -1.0f;
    AVRational SAR{0, 1};
    AVRational DAR{0, 1};
    AVPixelFormat PixFmt = AV_PIX_FMT_NONE;
    AVRational FrameRate{0, 1};
};

struct TAudioStreamInfo : TMediaStreamInfo {
    int Channels = -1;
    int SampleRate = -1;
    AVSampleFormat SampleFormat = AV_SAMPLE_FMT_NONE;
};

struct TSubtitleStreamInfo {
    std::string Language;
    std::string CodecName;
    int SubFormat = -1;  // 0 graphic, 1 text, -1 neither or unreadable
};

}  // namespace reelsmith
