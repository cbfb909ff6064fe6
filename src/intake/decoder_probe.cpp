#include "intake/decoder_probe.h"

#include "base/program_paths.h"
#include "media/ffmpeg_api.h"

namespace reelsmith {

namespace {

// "H.264 / AVC / MPEG-4 AVC / MPEG-4 part 10 (h264)": the name users know, then the short one.
std::string CodecText(const AVStream* stream)
{
    const AVCodecID id = stream->codecpar->codec_id;
    const AVCodecDescriptor* descriptor = ff().avcodec_descriptor_get(id);
    const std::string name = descriptor ? descriptor->name : ff().avcodec_get_name(id);
    if (!descriptor || !descriptor->long_name || !*descriptor->long_name)
        return name;
    return std::string(descriptor->long_name) + " (" + name + ")";
}

std::string SampleFormatText(int format)
{
    const auto sampleFormat = static_cast<AVSampleFormat>(format);
    const int bytes = sampleFormat == AV_SAMPLE_FMT_NONE ? 0 : ff().av_get_bytes_per_sample(sampleFormat);
    if (bytes <= 0)
        return {};
    const AVSampleFormat packed = ff().av_get_packed_sample_fmt(sampleFormat);
    const bool floating = packed == AV_SAMPLE_FMT_FLT || packed == AV_SAMPLE_FMT_DBL;
    std::string text = std::to_string(bytes * 8) + (floating ? "-bit float" : "-bit integer");
    if (ff().av_sample_fmt_is_planar(sampleFormat))
        text += ", planar";
    return text;
}

void ReadCodecs(TFFDecoder& decoder, TProbedMedia& media)
{
    const AVFormatContext* context = decoder.FileHandle();
    if (!context)
        return;
    if (decoder.VideoStreamCount() > 0 && decoder.FirstVideoStreamIndex() >= 0)
        media.VideoCodec = CodecText(context->streams[decoder.FirstVideoStreamIndex()]);
    if (decoder.AudioStreamCount() <= 0 || decoder.FirstAudioStreamIndex() < 0)
        return;
    const AVStream* audio = context->streams[decoder.FirstAudioStreamIndex()];
    media.AudioCodec = CodecText(audio);
    media.AudioFormat = SampleFormatText(audio->codecpar->format);
    media.SampleRate = audio->codecpar->sample_rate;
    media.Channels = audio->codecpar->ch_layout.nb_channels;
    char layout[128] = {};
    if (ff().av_channel_layout_describe(&audio->codecpar->ch_layout, layout, sizeof layout) > 0)
        media.ChannelLayout = layout;
}

}  // namespace

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
    ReadCodecs(FFDecoder1, media);
    FFDecoder1.CloseFile();
    return media;
}

}  // namespace reelsmith
