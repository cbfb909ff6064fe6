#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "choice_helpers.h"
#include "settings/option_builder.h"

using namespace reelsmith;
using reelsmith::test::Conversion;
using reelsmith::test::PositionOf;

namespace {

using TSetup = std::function<TOutputChoices()>;

struct TBuildCase {
    const char* Name;
    TSetup Setup;
    bool Audio;  // extraction instead of conversion
    std::string Expected;
};

TOutputChoices Extraction(const std::string& format)
{
    TOutputChoices c;
    c.AudioFormat = PositionOf(TChoiceList::AudioFormat, format);
    return c;
}

void Pick(TOutputChoices& c, int TOutputChoices::*field, TChoiceList list, const std::string& text)
{
    c.*field = PositionOf(list, text);
}

const std::vector<TBuildCase>& DocumentedCases()
{
    static const std::vector<TBuildCase> cases{
        {"AviMpeg4Mp3Defaults", [] { return Conversion("AVI", "MPEG4", "MP3"); }, false,
         "-b:a 32k -c:a libmp3lame -c:v mpeg4 -sn "},
        {"AviDivxOriginalRate", [] { return Conversion("AVI", "DivX", "MP3"); }, false,
         "-b:a 32k -c:a libmp3lame -c:v mpeg4 -tag:v DIVX -vstrict unofficial -r 15000/1001 -sn "},
        {"AviXvidScaled",
         [] {
             TOutputChoices c = Conversion("AVI", "xVid", "MP3");
             Pick(c, &TOutputChoices::VideoFrameSize, TChoiceList::VideoFrameSize, "1280x720");
             Pick(c, &TOutputChoices::VideoFrameRate, TChoiceList::VideoFrameRate, "25");
             Pick(c, &TOutputChoices::VideoBitrate, TChoiceList::VideoBitrate, "1500");
             Pick(c, &TOutputChoices::AudioSampleRate, TChoiceList::AudioSampleRate, "44100");
             Pick(c, &TOutputChoices::AudioChannel, TChoiceList::AudioChannel, "Stereo");
             Pick(c, &TOutputChoices::AudioBitrate, TChoiceList::AudioBitrate, "128");
             return c;
         },
         false, "-b:a 128k -b:v 1500k -ac 2 -ar 44100 -r 25 -c:a libmp3lame -c:v libxvid -vf \"scale=1280:720\"  -sn "},
        {"Mp4H264Aspect",
         [] {
             TOutputChoices c = Conversion("MP4", "H.264", "AAC");
             Pick(c, &TOutputChoices::VideoAspect, TChoiceList::VideoAspect, "16:9");
             Pick(c, &TOutputChoices::AudioSampleRate, TChoiceList::AudioSampleRate, "48000");
             Pick(c, &TOutputChoices::AudioChannel, TChoiceList::AudioChannel, "Stereo");
             Pick(c, &TOutputChoices::AudioBitrate, TChoiceList::AudioBitrate, "192");
             return c;
         },
         false,
         "-b:a 192k -aspect 16:9 -ac 2 -ar 48000 -c:a aac -astrict experimental "
         "-c:v libx264 -threads 8 -pix_fmt yuv420p -sn "},
        {"WebmVp8Ogg", [] { return Conversion("WebM", "VP8", "OGG"); }, false,
         "-b:a 32k -f webm  -c:a libvorbis -c:v libvpx -sn "},
        {"VobDvd",
         [] {
             TOutputChoices c = Conversion("VOB", "MPEG2", "MP2");
             Pick(c, &TOutputChoices::VideoFrameSize, TChoiceList::VideoFrameSize, "720x480");
             Pick(c, &TOutputChoices::VideoBitrate, TChoiceList::VideoBitrate, "5000");
             Pick(c, &TOutputChoices::VideoFrameRate, TChoiceList::VideoFrameRate, "30");
             Pick(c, &TOutputChoices::AudioSampleRate, TChoiceList::AudioSampleRate, "44100");
             Pick(c, &TOutputChoices::AudioBitrate, TChoiceList::AudioBitrate, "256");
             Pick(c, &TOutputChoices::AudioChannel, TChoiceList::AudioChannel, "Stereo");
             return c;
         },
         false,
         "-b:a 256k -b:v 5000k -ac 2 -ar 44100 -r 30 -c:a mp2 -target ntsc-dvd -c:v mpeg2video "
         "-vf \"scale=720:480\"  -sn "},
        {"MpgVcd", [] { return Conversion("MPG", "MPEG2", "MP2"); }, false,
         "-b:a 32k -c:a mp2 -target ntsc-vcd -c:v mpeg2video -sn "},
        {"MkvH265FlipDeinterlace",
         [] {
             TOutputChoices c = Conversion("MKV", "H.265", "AAC");
             Pick(c, &TOutputChoices::VideoFrameSize, TChoiceList::VideoFrameSize, "1920x1080");
             c.Effects.ef_VFlip = true;
             c.Effects.ef_Dein = true;
             return c;
         },
         false, "-b:a 32k -c:a aac -astrict experimental -c:v libx265 -vf \"scale=1920:1080,vflip,yadif\"  -sn "},
        {"MovRotate270Alone",
         [] {
             TOutputChoices c = Conversion("MOV", "MPEG4", "AAC");
             c.Effects.ef_Rotate = true;
             c.Effects.ef_Degrees = 2;
             return c;
         },
         false, "-b:a 32k -c:a aac -astrict experimental -c:v mpeg4 -vf \"transpose=0\" -sn "},
        {"ExtractMp3", [] { return Extraction("MP3"); }, true, "-b:a 32k -c:a libmp3lame -vn"},
        {"ExtractWav",
         [] {
             TOutputChoices c = Extraction("WAV");
             Pick(c, &TOutputChoices::AudioSampleRate, TChoiceList::AudioSampleRate, "44100");
             Pick(c, &TOutputChoices::AudioChannel, TChoiceList::AudioChannel, "Stereo");
             Pick(c, &TOutputChoices::AudioBitrate, TChoiceList::AudioBitrate, "192");
             return c;
         },
         true, "-b:a 192k -ac 2 -ar 44100 -vn"},
        {"ExtractFlacMono",
         [] {
             TOutputChoices c = Extraction("FLAC");
             Pick(c, &TOutputChoices::AudioChannel, TChoiceList::AudioChannel, "Mono");
             return c;
         },
         true, "-b:a 32k -ac 1 -c:a flac -vn"},
    };
    return cases;
}

class DocumentedStrings : public testing::TestWithParam<TBuildCase> {};

TEST_P(DocumentedStrings, BuildsExactly)
{
    const TBuildCase& row = GetParam();
    const TOutputChoices choices = row.Setup();
    EXPECT_EQ(row.Audio ? BuildAudioOptions(choices) : BuildVideoOptions(choices), row.Expected);
}

INSTANTIATE_TEST_SUITE_P(Table, DocumentedStrings, testing::ValuesIn(DocumentedCases()),
                         [](const auto& info) { return std::string(info.param.Name); });

}  // namespace

namespace {

TOutputChoices Rotated(int degrees)
{
    TOutputChoices c = Conversion("MOV", "MPEG4", "AAC");
    c.Effects.ef_Rotate = true;
    c.Effects.ef_Degrees = degrees;
    return c;
}

const char* kMovHead = "-b:a 32k -c:a aac -astrict experimental -c:v mpeg4";

TEST(VideoOptions, RotationAloneGetsItsOwnFilterOption)
{
    const std::pair<int, std::string> cases[] = {
        {0, " -vf \"transpose=1\" -sn "},
        {1, " -vf \"transpose=1,transpose=1\" -sn "},
        {2, " -vf \"transpose=0\" -sn "},
        {3, " -sn "},
        {-1, " -sn "},
    };
    for (const auto& [degrees, tail] : cases)
        EXPECT_EQ(BuildVideoOptions(Rotated(degrees)), kMovHead + tail) << degrees;
}

// A second -vf would replace the first; the rotation must reach the one chain, first.
TEST(VideoOptions, RotationJoinsTheChainAheadOfScaleAndEffects)
{
    TOutputChoices c = Rotated(0);
    c.VideoFrameSize = PositionOf(TChoiceList::VideoFrameSize, "1280x720");
    c.Effects.ef_HFlip = true;
    const std::string options = BuildVideoOptions(c);
    EXPECT_EQ(options, std::string(kMovHead) + " -vf \"transpose=1,scale=1280:720,hflip\"  -sn ");
    EXPECT_EQ(options.find("-vf"), options.rfind("-vf"));

    TOutputChoices negated = Rotated(1);
    negated.Effects.ef_Negate = true;
    EXPECT_EQ(BuildVideoOptions(negated), std::string(kMovHead) + " -vf \"transpose=1,transpose=1,negate\"  -sn ");
}

TEST(VideoOptions, RotationOffKeepsDegreesOutOfTheString)
{
    TOutputChoices c = Rotated(2);
    c.Effects.ef_Rotate = false;
    EXPECT_EQ(BuildVideoOptions(c), std::string(kMovHead) + " -sn ");
}

TEST(VideoOptions, EffectsKeepTheirFixedOrder)
{
    TOutputChoices c = Conversion("MP4", "MPEG4", "AAC");
    c.Effects = {true, true, true, true, false, 0};
    EXPECT_EQ(BuildVideoOptions(c),
              "-b:a 32k -c:a aac -astrict experimental -c:v mpeg4 "
              "-vf \"vflip,hflip,yadif,negate\"  -sn ");
}

TEST(VideoOptions, CustomSlotScalesLikeAnyOtherSize)
{
    TOutputChoices c = Conversion("MP4", "MPEG4", "AAC");
    SelectCustomFrameSize(c, "1000x500");
    EXPECT_NE(BuildVideoOptions(c).find(" -vf \"scale=1000:500\"  -sn "), std::string::npos);
    c.CustomFrameSize = "640X360";
    EXPECT_NE(BuildVideoOptions(c).find("scale=640:360"), std::string::npos);
}

// The custom text comes from the settings file: anything but width x height would be spliced
// into the option string (a quote breaks out of the filter and adds options of its own).
TEST(VideoOptions, CustomSlotOtherThanWidthByHeightScalesToTheDefault)
{
    const char* const rejected[] = {
        "320x240\" -passlogfile /tmp/elsewhere -y \"",
        "320x240,drawtext=textfile=/etc/passwd",
        "320x240 ",
        "-320x240",
        "+320x240",
        "0x240",
        "320x0",
        "320x",
        "x240",
        "320",
        "320x240x2",
        "3.5x2",
        "99999999999x1",
        "",
    };
    for (const char* custom : rejected) {
        TOutputChoices c = Conversion("MP4", "MPEG4", "AAC");
        SelectCustomFrameSize(c, custom);
        const std::string options = BuildVideoOptions(c);
        EXPECT_NE(options.find(" -vf \"scale=7680:4800\"  -sn "), std::string::npos) << custom << " gave " << options;
        EXPECT_EQ(std::count(options.begin(), options.end(), '"'), 2) << custom;
    }
}

// Unselected encoder lists (a stored position beyond the end) fall back to the container.
TEST(VideoOptions, UnselectedEncodersUseTheContainerDefault)
{
    const std::pair<const char*, std::string> cases[] = {
        {"MKV", "-b:a 32k -c:v libx264 -sn "},
        {"WMV", "-b:a 32k -c:v wmv2 -sn "},
        {"WebM", "-b:a 32k -f webm  -c:a libvorbis -c:v libvpx -sn "},
        {"AVI", "-b:a 32k -sn "},
        {"VOB", "-b:a 32k -target ntsc-dvd -sn "},
    };
    for (const auto& [format, expected] : cases) {
        TOutputChoices c;
        c.SetVideoFormat(PositionOf(TChoiceList::VideoFormat, format));
        c.VideoEncoder = 7;
        c.AudioEncoder = 7;
        EXPECT_EQ(BuildVideoOptions(c), expected) << format;
    }
}

TEST(VideoOptions, EncoderChoicesGiveTheirCodecOptions)
{
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"MKV", "MPEG4", " -c:v mpeg4 -sn "},
        {"MKV", "xVid", " -c:v libxvid -sn "},
        {"TS", "H.265", " -c:v libx265 -sn "},
        {"WMV", "WMV", " -c:v wmv2 -sn "},
        {"AVI", "H.264", " -c:v libx264 -threads 8 -pix_fmt yuv420p -sn "},
    };
    for (const auto& [format, encoder, tail] : cases) {
        TOutputChoices c;
        c.SetVideoFormat(PositionOf(TChoiceList::VideoFormat, format));
        c.VideoEncoder = PositionOf(VideoEncodersOf(c.VideoFormat), encoder);
        const std::string options = BuildVideoOptions(c);
        EXPECT_EQ(options.substr(options.size() - std::string(tail).size()), tail) << format << encoder;
    }
}

TEST(VideoOptions, DivxWithAChosenRateAddsNoNtscRate)
{
    TOutputChoices c = Conversion("AVI", "DivX", "AC3");
    c.VideoFrameRate = PositionOf(TChoiceList::VideoFrameRate, "25");
    EXPECT_EQ(BuildVideoOptions(c), "-b:a 32k -r 25 -c:a ac3 -c:v mpeg4 -tag:v DIVX -vstrict unofficial -sn ");
}

TEST(AudioOptions, FormatsGiveTheirCodecs)
{
    const std::pair<int, std::string> cases[] = {
        {0, "-b:a 32k -c:a libmp3lame -vn"}, {1, "-b:a 32k -vn"},
        {2, "-b:a 32k -c:a libvorbis -vn"},  {3, "-b:a 32k -c:a flac -vn"},
        {4, "-b:a 32k -c:a wmav2 -vn"},      {5, "-b:a 32k -vn"},
    };
    for (const auto& [format, expected] : cases) {
        TOutputChoices c;
        c.AudioFormat = format;
        c.Effects.ef_VFlip = true;  // effects and video choices play no part
        c.VideoFrameSize = 3;
        EXPECT_EQ(BuildAudioOptions(c), expected) << format;
    }
}

}  // namespace

namespace {

// Stored positions beyond a list's end select nothing: empty text, and neither "Original"
// nor a chosen value.
TEST(VideoOptions, UnselectedListsGiveEmptyTexts)
{
    TOutputChoices c = Conversion("AVI", "DivX", "MP3");
    c.VideoBitrate = 30;
    c.AudioBitrate = 14;
    c.VideoFrameRate = 5;
    c.VideoAspect = 9;
    c.VideoFrameSize = 30;
    c.AudioSampleRate = 6;
    c.AudioChannel = 3;
    EXPECT_EQ(BuildVideoOptions(c), "-b:a k -b:v k -c:a libmp3lame -c:v mpeg4 -tag:v DIVX -vstrict unofficial -sn ");
    c.AudioFormat = 5;
    EXPECT_EQ(BuildAudioOptions(c), "-b:a k -vn");
}

}  // namespace
