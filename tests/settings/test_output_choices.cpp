#include <gtest/gtest.h>

#include "choice_helpers.h"
#include "settings/output_choices.h"

using namespace reelsmith;
using reelsmith::test::PositionOf;

namespace {

struct TRefillCase {
    const char* Format;
    TEntryList VideoEncoders;
    TEntryList AudioEncoders;
};

const TRefillCase kRefills[] = {
    {"AVI", {"MPEG4", "H.264", "DivX", "xVid"}, {"MP3", "AC3"}},
    {"M4V", {"MPEG4", "H.264"}, {"AAC"}},
    {"MKV", {"MPEG4", "H.264", "H.265", "xVid"}, {"MP3", "AAC"}},
    {"MOV", {"MPEG4", "H.264", "H.265"}, {"AAC"}},
    {"MP4", {"MPEG4", "H.264", "H.265"}, {"AAC", "AC3"}},
    {"MPG", {"MPEG2"}, {"MP2"}},
    {"TS", {"H.264", "H.265"}, {"AC3"}},
    {"VOB", {"MPEG2"}, {"MP2", "AC3"}},
    {"WebM", {"VP8"}, {"OGG"}},
    {"WMV", {"WMV"}, {"WMA"}},
};

TEST(EncoderRefill, EachFormatOffersItsEncodersAndSelectsTheFirst)
{
    ASSERT_EQ(ChoiceEntries(TChoiceList::VideoFormat).size(), std::size(kRefills));
    for (const TRefillCase& row : kRefills) {
        const int format = PositionOf(TChoiceList::VideoFormat, row.Format);
        EXPECT_EQ(VideoEncodersOf(format), row.VideoEncoders) << row.Format;
        EXPECT_EQ(AudioEncodersOf(format), row.AudioEncoders) << row.Format;
        TOutputChoices c;
        c.VideoEncoder = 3;
        c.AudioEncoder = 1;
        c.SetVideoFormat(format);
        EXPECT_EQ(c.VideoEncoderText(), row.VideoEncoders.front()) << row.Format;
        EXPECT_EQ(c.AudioEncoderText(), row.AudioEncoders.front()) << row.Format;
    }
}

TEST(EncoderRefill, FormatOutsideTheListLeavesBothEncodersUnselected)
{
    TOutputChoices c;
    c.SetVideoFormat(10);
    EXPECT_EQ(c.VideoEncoder, -1);
    EXPECT_EQ(c.AudioEncoder, -1);
    EXPECT_EQ(c.VideoFormatText(), "");
    EXPECT_EQ(c.VideoEncoderText(), "");
    EXPECT_TRUE(VideoEncodersOf(-1).empty());
}

TEST(ChoiceLists, SizesAndStartPositions)
{
    EXPECT_EQ(ChoiceEntries(TChoiceList::VideoFrameSize).size(), 30u);
    EXPECT_EQ(ChoiceEntries(TChoiceList::VideoFrameSize).back(), "7680x4800");
    EXPECT_EQ(ChoiceEntries(TChoiceList::VideoBitrate).size(), 30u);
    EXPECT_EQ(ChoiceEntries(TChoiceList::AudioBitrate).front(), "32");
    EXPECT_EQ(ChoiceEntries(TChoiceList::Threads), (TEntryList{"1", "2", "3", "4", "5", "6", "7", "8"}));
    EXPECT_EQ(EntryText(ChoiceEntries(TChoiceList::CPUUsage), DefaultPosition(TChoiceList::CPUUsage)), "Normal");
    const TOutputChoices fresh;
    EXPECT_EQ(fresh.CPUUsage, DefaultPosition(TChoiceList::CPUUsage));
    EXPECT_EQ(fresh.VideoFrameSizeText(), "Original");
    EXPECT_EQ(fresh.ThreadsText(), "1");
}

TEST(ChoiceLists, PositionBeyondTheEndReadsAsEmpty)
{
    TOutputChoices c;
    c.VideoBitrate = 30;
    c.AudioBitrate = -1;
    c.VideoFrameSize = 99;
    c.Threads = 8;
    EXPECT_EQ(c.VideoBitrateText(), "");
    EXPECT_EQ(c.AudioBitrateText(), "");
    EXPECT_EQ(c.VideoFrameSizeText(), "");
    EXPECT_EQ(c.ThreadsText(), "");
}

struct TCustomCase {
    const char* Name;
    std::string Entered;
    std::string CustomBefore;
    std::string ExpectedSelected;
    std::string ExpectedCustom;
    bool ExpectLastSelected;
};

TEST(CustomFrameSize, SelectsExistingEntriesAndReplacesOnlyTheLastSlot)
{
    const TCustomCase cases[] = {
        {"existing fixed size", "1280x720", "7680x4800", "1280x720", "7680x4800", false},
        {"new size", "1000x500", "7680x4800", "1000x500", "1000x500", true},
        {"same custom size again", "1000x500", "1000x500", "1000x500", "1000x500", true},
        {"new size replaces old custom", "800x450", "1000x500", "800x450", "800x450", true},
        {"Original is not a size", "Original", "7680x4800", "Original", "Original", true},
    };
    for (const TCustomCase& row : cases) {
        TOutputChoices c;
        c.CustomFrameSize = row.CustomBefore;
        SelectCustomFrameSize(c, row.Entered);
        EXPECT_EQ(c.VideoFrameSizeText(), row.ExpectedSelected) << row.Name;
        EXPECT_EQ(c.CustomFrameSize, row.ExpectedCustom) << row.Name;
        EXPECT_EQ(c.VideoFrameSize == 29, row.ExpectLastSelected) << row.Name;
        EXPECT_EQ(c.VideoFrameSizeEntries().size(), 30u) << row.Name;
    }
}

TEST(EffectsSummary, NamesTheEffectsThatAreOnAndClearingTurnsThemAllOff)
{
    struct TCase {
        TEffects Effects;
        const char* Summary;
    };
    const TCase cases[] = {
        {{}, ""},
        {{false, false, true, false, false, 2}, "Negate"},  // degrees alone rotate nothing
        {{true, true, true, true, true, 1},
         "Vertically flip, Horizontally flip, Negate, Deinterlace, Rotate 180 degrees"},
        {{false, false, false, false, true, 2}, "Rotate 270 degrees"},
        {{false, false, false, false, true, 7}, ""},  // the builder rotates nothing for it either
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(EffectsSummary(c.Effects), c.Summary);
        const TEffects cleared = WithoutEffects(c.Effects);
        EXPECT_EQ(EffectsSummary(cleared), "");
        EXPECT_EQ(cleared.ef_Degrees, c.Effects.ef_Degrees);
    }
}

}  // namespace
