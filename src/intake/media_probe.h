#pragma once
// What the adding routine needs to know of a media file, and the component that finds
// it out. The program's probe is the decoder; tests put a fake in its place.
#include <cstdint>
#include <optional>
#include <string>

namespace reelsmith {

struct TProbedMedia {
    int64_t Duration = -1;  // microseconds; -1 when the container does not know it
    int VideoStreamCount = 0;
    bool Stream0IsVideo = false;
    // Figures of stream 0, meaningful only when it is a video stream.
    int FrameRateNum = 0;
    int FrameRateDen = 1;
    int64_t BitRate = 0;  // bits per second
    int Width = 0;
    int Height = 0;
    // Codecs and the first audio stream, for the Properties window; empty or 0 when none.
    std::string VideoCodec;  // of the first video stream: "H.264 / AVC / ... (h264)"
    std::string AudioCodec;
    std::string AudioFormat;  // the sample format in words: "16-bit integer", "32-bit float, planar"
    int SampleRate = 0;       // Hz
    int Channels = 0;
    std::string ChannelLayout;  // "stereo", "5.1"
};

class IMediaProbe {
public:
    virtual ~IMediaProbe() = default;
    virtual bool LibrariesLoaded() const = 0;
    // Loads the media libraries from the program folder; on failure fills `errorText`.
    virtual bool LoadLibraries(std::string& errorText) = 0;
    // Opens the file, reads its figures and closes it; nothing when it cannot be opened.
    virtual std::optional<TProbedMedia> Probe(const std::string& path) = 0;
};

}  // namespace reelsmith
