#include "intake/decoder_probe.h"

#include "base/program_paths.h"

namespace reelsmith {

bool TDecoderProbe::LibrariesLoaded() const { return FFDecoder1.AVLibLoaded(); }

bool TDecoderProbe::LoadLibraries(std::string& errorText)
{
    if (FFDecoder1.LoadAVLib(ProgramFolder()))
        return true;
    errorText = FFDecoder1.LastErrMsg();
    return false;
}

std::optional<TProbedMedia> TDecoderProbe::Probe(const std::string& path)
{
    if (!FFDecoder1.LoadFile(path))
        return std::nullopt;
    TProbedMedia media;
    media.Duration = FFDecoder1.FileStreamInfo().Duration;
    media.VideoStreamCount = FFDecoder1.VideoStreamCount();
    // Asked only when there is a stream 0, so an empty container logs no index error.
    media.Stream0IsVideo = FFDecoder1.StreamCount() > 0 && FFDecoder1.IsVideoStream(0);
    if (media.VideoStreamCount > 0 && media.Stream0IsVideo) {
        const TVideoStreamInfo video = FFDecoder1.GetVideoStreamInfos(0);
        media.FrameRateNum = video.FrameRate.num;
        media.FrameRateDen = video.FrameRate.den;
        media.BitRate = video.BitRate;
        media.Width = video.Width;
        media.Height = video.Height;
    }
    FFDecoder1.CloseFile();
    return media;
}

}  // namespace reelsmith
