#include "settings/option_builder.h"
#include "base/text.h"

#include <algorithm>
#include <cctype>

namespace reelsmith {
namespace {

std::string BitRateOptions(const TOutputChoices& c)
{
    std::string text = "-b:a " + c.AudioBitrateText() + "k";
    if (c.VideoBitrate != 0)
        text += " -b:v " + c.VideoBitrateText() + "k";
    return text;
}

std::string ChannelOption(int position)
{
    if (position == 1)
        return " -ac 1";
    if (position == 2)
        return " -ac 2";
    return {};
}

std::string AudioCodecOption(const std::string& encoder)
{
    if (encoder == "MP3")
        return " -c:a libmp3lame";
    if (encoder == "AC3")
        return " -c:a ac3";
    if (encoder == "AAC")
        return " -c:a aac -astrict experimental";
    if (encoder == "MP2")
        return " -c:a mp2";
    if (encoder == "WMA")
        return " -c:a wmav2";
    return {};
}

std::string ContainerVideoCodec(const std::string& format)
{
    const std::string extension = "." + AsciiLowered(format);
    if (extension == ".mkv")
        return "libx264";
    if (extension == ".wmv")
        return "wmv2";
    if (extension == ".webm")
        return "libvpx";
    return {};
}

// Video codec options: the container's default, overridden by the chosen encoder.
std::string VideoCodecOptions(const TOutputChoices& c)
{
    std::string value = ContainerVideoCodec(c.VideoFormatText());
    const std::string encoder = c.VideoEncoderText();
    if (c.VideoEncoder > 0)
        value = AsciiLowered(encoder);

    std::string text;
    if (encoder == "MPEG4")
        value = "mpeg4";
    else if (encoder == "WMV")
        value = "wmv2";
    else if (encoder == "H.264")
        value = "libx264 -threads 8 -pix_fmt yuv420p";
    else if (encoder == "H.265")
        value = "libx265";
    else if (encoder == "MPEG2")
        value = "mpeg2video";
    else if (value == "xvid")
        value = "libxvid";
    else if (value == "divx") {
        value.clear();
        text = " -c:v mpeg4 -tag:v DIVX -vstrict unofficial";
        if (c.VideoFrameRate == 0)
            text += " -r 15000/1001";
    }
    if (!value.empty())
        text += " -c:v " + value;
    return text;
}

std::string TargetOption(const std::string& format)
{
    if (format == "VOB")
        return " -target ntsc-dvd";
    if (format == "MPG")
        return " -target ntsc-vcd";
    return {};
}

std::string TransposeList(const TEffects& e)
{
    if (!e.ef_Rotate)
        return {};
    switch (e.ef_Degrees) {
    case 0: return "transpose=1";
    case 1: return "transpose=1,transpose=1";
    case 2: return "transpose=0";
    default: return {};
    }
}

void AddFilter(std::string& chain, const char* filter)
{
    if (!chain.empty())
        chain += ",";
    chain += filter;
}

// Scaling and the picture effects, in their fixed order.
std::string FilterChain(const TOutputChoices& c)
{
    std::string chain;
    if (c.VideoFrameSize > 0) {
        std::string size = c.VideoFrameSizeText();
        std::replace_if(
            size.begin(), size.end(), [](char ch) { return ch == 'x' || ch == 'X'; }, ':');
        chain = "scale=" + size;
    }
    const TEffects& e = c.Effects;
    if (e.ef_VFlip)
        AddFilter(chain, "vflip");
    if (e.ef_HFlip)
        AddFilter(chain, "hflip");
    if (e.ef_Dein)
        AddFilter(chain, "yadif");
    if (e.ef_Negate)
        AddFilter(chain, "negate");
    return chain;
}

// A second -vf would replace the first, so a rotation joins the chain as its first filter:
// the picture is turned before it is scaled to the chosen frame size.
std::string VideoFilterOptions(const TOutputChoices& c)
{
    const std::string transpose = TransposeList(c.Effects);
    const std::string chain = FilterChain(c);
    if (chain.empty())
        return transpose.empty() ? std::string() : " -vf \"" + transpose + "\"";
    const std::string joined = transpose.empty() ? chain : transpose + "," + chain;
    return " -vf \"" + joined + "\" ";
}

}  // namespace

std::string BuildVideoOptions(const TOutputChoices& choices)
{
    const TOutputChoices c = choices.Normalized();
    const std::string format = c.VideoFormatText();
    std::string options = BitRateOptions(c);
    if (format == "WebM")
        options += " -f webm ";
    if (c.VideoAspect > 0)
        options += " -aspect " + c.VideoAspectText();
    options += ChannelOption(c.AudioChannel);
    if (c.AudioSampleRate > 0)
        options += " -ar " + c.AudioSampleRateText();
    if (c.VideoFrameRate > 0)
        options += " -r " + c.VideoFrameRateText();
    options += AudioCodecOption(c.AudioEncoderText());
    if (format == "WebM")
        options += " -c:a libvorbis";
    options += TargetOption(format);
    options += VideoCodecOptions(c);
    options += VideoFilterOptions(c);
    options += " -sn ";
    return options;
}

std::string BuildAudioOptions(const TOutputChoices& choices)
{
    const TOutputChoices c = choices.Normalized();
    std::string options = "-b:a " + c.AudioBitrateText() + "k";
    options += ChannelOption(c.AudioChannel);
    if (c.AudioSampleRate > 0)
        options += " -ar " + c.AudioSampleRateText();
    switch (c.AudioFormat) {
    case 0: options += " -c:a libmp3lame"; break;
    case 2: options += " -c:a libvorbis"; break;
    case 3: options += " -c:a flac"; break;
    case 4: options += " -c:a wmav2"; break;
    default: break;  // WAV keeps the container's own PCM codec
    }
    options += " -vn";
    return options;
}

}  // namespace reelsmith
