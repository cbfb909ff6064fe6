#include <gtest/gtest.h>

#include "choice_helpers.h"
#include "settings/profile_catalogue.h"

using namespace reelsmith;
using reelsmith::test::PositionOf;

namespace {

// What the lists show after a profile was applied with "Original parameters" unchecked,
// starting from a first-start state. "" = the list's first entry ("Original").
struct TApplyCase {
    int Type;
    const char* Caption;
    const char* Format;
    const char* VideoEncoder;
    const char* FrameSize;
    const char* VideoBitrate;
    const char* FrameRate;
    const char* SampleRate;
    const char* AudioBitrate;
    const char* Channel;
    const char* AudioEncoder;
};

const TApplyCase kApplied[] = {
    {0, "AVI (*.avi)", "AVI", "MPEG4", "", "Original", "", "44100", "128", "Stereo", "MP3"},
    {0, "M4V (*.m4v)", "M4V", "MPEG4", "", "Original", "", "44100", "96", "Stereo", "AAC"},
    {0, "MKV (*.mkv)", "MKV", "MPEG4", "", "Original", "", "44100", "128", "Stereo", "MP3"},
    {0, "QuickTime (*.mov)", "MOV", "MPEG4", "", "Original", "", "44100", "128", "Stereo", "AAC"},
    {0, "MPEG4 (*.mp4)", "MP4", "MPEG4", "", "Original", "", "44100", "96", "Stereo", "AAC"},
    {0, "MPEG4 AVC (*.mp4)", "MP4", "H.264", "", "Original", "", "44100", "96", "Stereo", "AAC"},
    {0, "MPEG (*.mpg)", "MPG", "MPEG2", "", "Original", "", "44100", "128", "Stereo", "MP2"},
    {0, "VOB (*.vob)", "VOB", "MPEG2", "720x480", "5000", "30", "44100", "256", "Stereo", "MP2"},
    {0, "WebM (*.webm)", "WebM", "VP8", "", "Original", "", "44100", "128", "Stereo", "OGG"},
    {0, "WMV (*.wmv)", "WMV", "WMV", "", "Original", "", "44100", "128", "Stereo", "WMA"},
    {0, "DVD-Video (*.vob)", "VOB", "MPEG2", "720x480", "5000", "30", "44100", "192", "Stereo", "MP2"},
    {1, "HD AVI (*.avi)", "AVI", "H.264", "1920x1080", "10000", "", "48000", "192", "Stereo", "AC3"},
    {1, "HD XviD (*.avi)", "AVI", "xVid", "1920x1080", "9000", "", "44100", "128", "Stereo", "MP3"},
    {1, "HD MKV (*.mkv)", "MKV", "H.264", "1920x1080", "7000", "", "44100", "192", "Stereo", "MP3"},
    {1, "HD MPEG4 (*.mp4)", "MP4", "MPEG4", "1920x1080", "7000", "", "44100", "128", "Stereo", "AAC"},
    {1, "HD AVC (*.mp4)", "MP4", "H.264", "1920x1080", "7000", "", "44100", "192", "Stereo", "AAC"},
    {1, "HD MPEG (*.mpg)", "MPG", "MPEG2", "1920x1080", "10000", "", "44100", "128", "Stereo", "MP2"},
    {1, "HD TS (*.ts)", "TS", "H.264", "1920x1080", "7000", "", "44100", "192", "Stereo", "AC3"},
    {1, "HD VOB (*.vob)", "VOB", "MPEG2", "1920x1080", "10000", "", "44100", "384", "Stereo", "MP2"},
    {1, "HD WebM (*.webm)", "WebM", "VP8", "1920x1080", "4000", "", "44100", "128", "Stereo", "OGG"},
    {1, "HD WMV (*.wmv)", "WMV", "WMV", "1920x1080", "7000", "", "48000", "128", "Stereo", "WMA"},
    {2, "4K AVI (*.avi)", "AVI", "H.264", "4096x2160", "25000", "", "44100", "192", "Stereo", "AC3"},
    {2, "4K XviD (*.avi)", "AVI", "xVid", "4096x2160", "25000", "", "44100", "128", "Stereo", "MP3"},
    {2, "4K MKV (*.mkv)", "MKV", "H.264", "4096x2160", "25000", "", "44100", "192", "Stereo", "MP3"},
    {2, "4K MPEG4 (*.mp4)", "MP4", "MPEG4", "4096x2160", "25000", "", "44100", "128", "Stereo", "AAC"},
    {2, "4K AVC (*.mp4)", "MP4", "H.264", "4096x2160", "25000", "", "44100", "128", "Stereo", "AAC"},
    {2, "4K TS (*.ts)", "TS", "H.264", "4096x2160", "25000", "", "44100", "192", "Stereo", "AC3"},
    {2, "4K WebM (*.webm)", "WebM", "VP8", "4096x2160", "25000", "", "44100", "128", "Stereo", "OGG"},
    {3, "iPhone 5/6 MOV (*.mov)", "MOV", "MPEG4", "640x480", "1500", "", "44100", "128", "Stereo", "AAC"},
    {3, "iPhone 5/6 MPEG4 (*.mp4)", "MP4", "H.264", "640x480", "2000", "", "44100", "128", "Stereo", "AAC"},
    {3, "iPhone 5/6 HD (*.mp4)", "MP4", "H.264", "1920x1080", "7000", "", "48000", "160", "Stereo", "AAC"},
    {3, "iPhone 5/6 720p (*.mp4)", "MP4", "H.264", "1280x720", "7000", "", "48000", "160", "Stereo", "AAC"},
    {3, "iPhone 7/8/X HD (*.mp4)", "MP4", "H.264", "1920x1080", "9000", "", "48000", "160", "Stereo", "AAC"},
    {4, "iPad 4/Pro/Air MOV (*.mov)", "MOV", "MPEG4", "640x480", "1500", "", "44100", "128", "Stereo", "AAC"},
    {4, "iPad 4/Pro/Air HD (*.mp4)", "MP4", "H.264", "1920x1080", "9000", "", "48000", "160", "Stereo", "AAC"},
    {4, "iPad 4/Pro/Air 720p (*.mp4)", "MP4", "H.264", "1280x720", "3000", "", "48000", "160", "Stereo", "AAC"},
    {5, "Apple TV 2 DD (*.m4v)", "M4V", "H.264", "1280x720", "3000", "", "48000", "128", "Stereo", "AAC"},
    {5, "Apple TV 3/4 DD (*.m4v)", "M4V", "H.264", "1920x1200", "5000", "", "48000", "128", "Stereo", "AAC"},
    {5, "Apple TV MPEG4 (*.mp4)", "MP4", "H.264", "720x480", "1500", "", "48000", "128", "Stereo", "AAC"},
    {5, "Apple TV HD (*.mp4)", "MP4", "H.264", "1280x720", "3000", "25", "48000", "128", "Stereo", "AAC"},
};

std::string OrOriginal(const char* text) { return *text ? text : "Original"; }

int PositionInType(const TApplyCase& row)
{
    const auto captions = ProfileCaptions(row.Type);
    return PositionOf(captions, row.Caption);
}

class AppliedProfiles : public testing::TestWithParam<TApplyCase> {};

TEST_P(AppliedProfiles, SelectTheProfileEntries)
{
    const TApplyCase& row = GetParam();
    TOutputChoices c;
    c.VideoAspect = 2;  // a profile never touches the aspect
    ApplyProfile(c, row.Type, PositionInType(row), false);
    EXPECT_EQ(c.VideoFormatText(), row.Format);
    EXPECT_EQ(c.VideoEncoderText(), row.VideoEncoder);
    EXPECT_EQ(c.VideoFrameSizeText(), OrOriginal(row.FrameSize));
    EXPECT_EQ(c.VideoBitrateText(), row.VideoBitrate);
    EXPECT_EQ(c.VideoFrameRateText(), OrOriginal(row.FrameRate));
    EXPECT_EQ(c.AudioSampleRateText(), row.SampleRate);
    EXPECT_EQ(c.AudioBitrateText(), row.AudioBitrate);
    EXPECT_EQ(c.AudioChannelText(), row.Channel);
    EXPECT_EQ(c.AudioEncoderText(), row.AudioEncoder);
    EXPECT_EQ(c.VideoAspect, 2);
}

TEST_P(AppliedProfiles, OriginalParametersKeepOnlyContainerEncodersAndAudioBitrate)
{
    const TApplyCase& row = GetParam();
    TOutputChoices c;
    c.VideoAspect = 2;
    ApplyProfile(c, row.Type, PositionInType(row), true);
    EXPECT_EQ(c.VideoFormatText(), row.Format);
    EXPECT_EQ(c.VideoEncoderText(), row.VideoEncoder);
    EXPECT_EQ(c.AudioEncoderText(), row.AudioEncoder);
    EXPECT_EQ(c.AudioBitrateText(), row.AudioBitrate);
    for (int position :
         {c.VideoAspect, c.VideoFrameSize, c.VideoBitrate, c.VideoFrameRate, c.AudioSampleRate, c.AudioChannel})
        EXPECT_EQ(position, 0);
}

INSTANTIATE_TEST_SUITE_P(Catalogue, AppliedProfiles, testing::ValuesIn(kApplied),
                         [](const auto& info) { return "Profile" + std::to_string(info.index); });

TEST(ProfileCatalogue, HoldsEveryProfileOnceInTypeOrder)
{
    ASSERT_EQ(ProfileCatalogue().size(), std::size(kApplied));
    const std::size_t perType[] = {11, 10, 7, 5, 3, 4};
    for (int type = 0; type < 6; ++type)
        EXPECT_EQ(ProfileCaptions(type).size(), perType[type]) << type;
    for (std::size_t i = 0; i < std::size(kApplied); ++i)
        EXPECT_EQ(ProfileCatalogue()[i].Caption, kApplied[i].Caption);
    EXPECT_EQ(ChoiceEntries(TChoiceList::ProfileType),
              (TEntryList{"General", "HD Video", "4K Video", "iPhone", "iPad", "Apple TV"}));
}

TEST(ProfileCatalogue, IpadListsItsThreeProfiles)
{
    EXPECT_EQ(ProfileCaptions(4), (std::vector<std::string>{"iPad 4/Pro/Air MOV (*.mov)", "iPad 4/Pro/Air HD (*.mp4)",
                                                            "iPad 4/Pro/Air 720p (*.mp4)"}));
}

TEST(ProfileCatalogue, TypeOutsideTheListHasNoProfiles)
{
    for (int type : {-1, 6, 1000}) {
        EXPECT_TRUE(ProfileCaptions(type).empty());
        EXPECT_EQ(FindProfile(type, 0), nullptr);
    }
    EXPECT_EQ(FindProfile(0, 11), nullptr);
    EXPECT_EQ(FindProfile(0, -1), nullptr);
}

TEST(ProfileCatalogue, GeneralProfilesKeepTheUsersSizeAndRate)
{
    TOutputChoices c;
    c.VideoFrameSize = PositionOf(TChoiceList::VideoFrameSize, "1280x720");
    c.VideoFrameRate = PositionOf(TChoiceList::VideoFrameRate, "25");
    ApplyProfile(c, 0, 2, false);  // MKV
    EXPECT_EQ(c.VideoFrameSizeText(), "1280x720");
    EXPECT_EQ(c.VideoFrameRateText(), "25");
}

TEST(ProfileCatalogue, NoProfileSelectedStillResetsToOriginal)
{
    TOutputChoices c;
    c.SetVideoFormat(2);
    c.VideoEncoder = 2;
    c.VideoFrameSize = 5;
    c.AudioChannel = 1;
    c.AudioBitrate = 4;
    TOutputChoices expected = c;
    expected.VideoFrameSize = 0;
    expected.AudioChannel = 0;
    ApplyProfile(c, 0, -1, true);
    EXPECT_EQ(c, expected);

    ApplyProfile(c, 9, 0, false);
    EXPECT_EQ(c, expected);
}

}  // namespace
