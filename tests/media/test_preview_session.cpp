// What the Preview window shows, without a display: slider arithmetic, the time text, and
// the session's frame stepping and slider moves against the decoder on generated media.
#include <gtest/gtest.h>

#include <fstream>
#include <random>

#include "decoder_test_support.h"
#include "media/preview_session.h"
#include "support/test_media.h"

using namespace reelsmith;
using reelsmith::test::MakeMedia;

namespace {

constexpr int64_t kStep = 40000;  // 25 fps

// 10 s at 25 fps, H.264 with B-frames, a key frame every 50 frames (every 2 s).
std::string TenSecondClip()
{
    return MakeMedia("preview-10s.mp4",
                     "-f lavfi -i testsrc=size=160x120:rate=25:duration=10 -c:v libx264 -bf 2 "
                     "-x264-params keyint=50:min-keyint=50:scenecut=0 -pix_fmt yuv420p");
}

TEST(PreviewSlider, ConfiguringFitsTheFrameCountAndKeepsTheRelativePlace)
{
    const struct {
        int64_t frames;
        int maximum, tick, page;
    } cases[] = {
        {250, 250, 25, 12}, {5, 5, 1, 2},   {9, 9, 1, 2},      {10, 10, 1, 5},
        {11, 11, 1, 5},     {99, 99, 9, 5}, {100, 100, 10, 5}, {0, 10, 1, 5},  // unknown: the fresh slider's 10 stays
    };
    for (const auto& item : cases) {
        const TSliderState slider = ConfigureSlider(TSliderState{}, item.frames);
        EXPECT_EQ(slider.Maximum, item.maximum) << item.frames;
        EXPECT_EQ(slider.TickFrequency, item.tick) << item.frames;
        EXPECT_EQ(slider.PageSize, item.page) << item.frames;
    }
    TSliderState halfway;
    halfway.Position = 5;
    EXPECT_EQ(ConfigureSlider(halfway, 250).Position, 125);
    TSliderState empty;
    empty.Maximum = 0;
    empty.Position = 0;
    EXPECT_EQ(ConfigureSlider(empty, 250).Position, 0);
}

TEST(PreviewSlider, PositionsAndTargets)
{
    EXPECT_EQ(SliderPositionFor(4000000, 10000000, 250), 100);
    EXPECT_EQ(SliderPositionFor(12000000, 10000000, 250), 250);  // capped
    EXPECT_EQ(SliderPositionFor(-40000, 10000000, 250), 0);
    EXPECT_EQ(SliderPositionFor(5, 0, 250), 0);
    EXPECT_EQ(SliderTarget(100, 250, 10000000), 4000000);
    EXPECT_EQ(SliderTarget(250, 250, 10000000), 10000000);
    EXPECT_EQ(SliderTarget(3, 0, 10000000), 0);
    EXPECT_EQ(EstimateFrames(10000000, 25, 1), 250);
    EXPECT_EQ(EstimateFrames(10000000, 30000, 1001), 300);
    EXPECT_EQ(EstimateFrames(10000000, 25, 0), 0);
    EXPECT_EQ(EstimateFrames(-1, 25, 1), 0);
}

TEST(PreviewSlider, TimeText)
{
    const struct {
        int64_t micros;
        const char* text;
    } cases[] = {
        {0, "00:00:00.000"},       {3723500000LL, "01:02:03.500"},  // 1 h 2 min 3.5 s
        {999, "00:00:00.000"},     {59999999, "00:00:59.999"},     {360000000000LL, "100:00:00.000"},
        {-40000, "-00:00:00.040"},
    };
    for (const auto& item : cases)
        EXPECT_EQ(FrameTimeText(item.micros), item.text) << item.micros;
}

class PreviewSessionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::RequireLibraries();
        ASSERT_TRUE(session.Open(TenSecondClip())) << session.LastErrMsg();
    }
    TPreviewSession session{""};
};

TEST_F(PreviewSessionTest, OpensOnTheFirstFrameWithTheSliderFitted)
{
    EXPECT_TRUE(session.IsOpen());
    EXPECT_TRUE(session.HasFrame());
    EXPECT_EQ(session.Bitmap().Width, 160);
    EXPECT_EQ(session.Bitmap().Height, 120);
    EXPECT_EQ(session.TimeText(), "00:00:00.000");
    EXPECT_EQ(session.Frames(), 250);
    const TSliderState& slider = session.Slider();
    EXPECT_TRUE(slider.Enabled);
    EXPECT_EQ(slider.Maximum, 250);
    EXPECT_EQ(slider.TickFrequency, 25);
    EXPECT_EQ(slider.PageSize, 12);
    EXPECT_EQ(slider.Position, 0);
}

TEST_F(PreviewSessionTest, OneStepShowsTheNeighbourAndALargerMoveSeeksToTheFrameAtTheTarget)
{
    ASSERT_TRUE(session.MoveSlider(1));
    EXPECT_EQ(session.CurrentPTS(), kStep);
    ASSERT_TRUE(session.MoveSlider(0));
    EXPECT_EQ(session.CurrentPTS(), 0);
    ASSERT_TRUE(session.MoveSlider(137));  // not a key frame: decoded on from the one at 100
    EXPECT_EQ(session.CurrentPTS(), 137 * kStep);
    EXPECT_EQ(session.Slider().Position, 137);
    ASSERT_TRUE(session.MoveSlider(136));
    EXPECT_EQ(session.CurrentPTS(), 136 * kStep);
    ASSERT_TRUE(session.MoveSlider(100));  // a key frame
    EXPECT_EQ(session.CurrentPTS(), 100 * kStep);
    ASSERT_TRUE(session.MoveSlider(99));  // one step back across the key frame
    EXPECT_EQ(session.CurrentPTS(), 99 * kStep);
    ASSERT_TRUE(session.MoveSlider(112));  // a page
    EXPECT_EQ(session.CurrentPTS(), 112 * kStep);
}

TEST_F(PreviewSessionTest, ButtonsMoveTheSliderWithTheFrame)
{
    ASSERT_TRUE(session.NextFrame());
    ASSERT_TRUE(session.NextFrame());
    EXPECT_EQ(session.Slider().Position, 2);
    ASSERT_TRUE(session.NextKeyFrame());
    EXPECT_EQ(session.CurrentPTS(), 50 * kStep);
    EXPECT_EQ(session.Slider().Position, 50);
    // A slider step from there is one frame, not a seek back to where the slider was.
    ASSERT_TRUE(session.MoveSlider(49));
    EXPECT_EQ(session.CurrentPTS(), 49 * kStep);
    ASSERT_TRUE(session.PreviousKeyFrame());
    EXPECT_EQ(session.CurrentPTS(), 0);
}

TEST_F(PreviewSessionTest, TheLastFramesStepAsExpected)
{
    // Dragged to the end, past the last frame (9.96 s): the last frame shows.
    ASSERT_TRUE(session.MoveSlider(250));
    EXPECT_EQ(session.CurrentPTS(), 249 * kStep);
    EXPECT_EQ(session.Slider().Position, 250);
    // One step back puts the thumb onto the frame on show; the next one steps a frame.
    EXPECT_FALSE(session.MoveSlider(249));
    EXPECT_EQ(session.CurrentPTS(), 249 * kStep);
    ASSERT_TRUE(session.MoveSlider(248));
    EXPECT_EQ(session.CurrentPTS(), 248 * kStep);
    ASSERT_TRUE(session.MoveSlider(249));
    EXPECT_EQ(session.CurrentPTS(), 249 * kStep);
    // A step forward from the last frame finds none: the thumb goes back onto the frame.
    EXPECT_FALSE(session.MoveSlider(250));
    EXPECT_EQ(session.CurrentPTS(), 249 * kStep);
    EXPECT_EQ(session.Slider().Position, 249);
    // No key frame after the last one: the frame stays, also for the next frame after it.
    EXPECT_FALSE(session.NextKeyFrame());
    EXPECT_EQ(session.CurrentPTS(), 249 * kStep);
    ASSERT_TRUE(session.PreviousFrame());
    EXPECT_EQ(session.CurrentPTS(), 248 * kStep);
    ASSERT_TRUE(session.NextFrame());
    EXPECT_EQ(session.CurrentPTS(), 249 * kStep);
    EXPECT_FALSE(session.NextFrame());
    EXPECT_EQ(session.CurrentPTS(), 249 * kStep);
    ASSERT_TRUE(session.PreviousKeyFrame());
    EXPECT_EQ(session.CurrentPTS(), 200 * kStep);
}

TEST(PreviewSession, StillPictureKeepsTheSliderDisabled)
{
    test::RequireLibraries();
    TPreviewSession session("");
    ASSERT_TRUE(session.Open(MakeMedia("preview-still.jpg", "-f lavfi -i testsrc=size=160x120:rate=1 -frames:v 1")));
    EXPECT_TRUE(session.HasFrame());
    EXPECT_FALSE(session.Slider().Enabled);
    EXPECT_TRUE(session.NextFrame());
    EXPECT_TRUE(session.PreviousFrame());
    EXPECT_TRUE(session.PreviousKeyFrame());
    EXPECT_FALSE(session.NextKeyFrame());
    EXPECT_FALSE(session.MoveSlider(5));
    EXPECT_EQ(session.Bitmap().Width, 160);
}

TEST(PreviewSession, AudioOnlyOpensWithNothingShown)
{
    test::RequireLibraries();
    TPreviewSession session("");
    ASSERT_TRUE(session.Open(MakeMedia("preview-audio.mp3", "-f lavfi -i sine=duration=2 -c:a libmp3lame")));
    EXPECT_TRUE(session.IsOpen());
    EXPECT_FALSE(session.HasVideo());
    EXPECT_FALSE(session.HasFrame());
    EXPECT_FALSE(session.Slider().Enabled);
    EXPECT_FALSE(session.NextFrame());
    EXPECT_FALSE(session.PreviousKeyFrame());
    EXPECT_EQ(session.TimeText(), "00:00:00.000");
}

TEST(PreviewSession, AFileThatIsNotMediaIsRefusedWithTheDecodersText)
{
    test::RequireLibraries();
    test::TempFolder folder;
    const std::string path = folder.file("notes.mp4");
    std::ofstream(path) << "these are notes, not a video\n";
    TPreviewSession session("");
    EXPECT_FALSE(session.Open(path));
    EXPECT_EQ(session.LastErrMsg(), path + ": Invalid data found when processing input");
    EXPECT_FALSE(session.IsOpen());
    EXPECT_FALSE(session.NextFrame());
    EXPECT_FALSE(session.HasFrame());
}

// Damaged inputs end every operation: opened or refused, stepped to the end and back.
TEST(PreviewSession, DamagedFilesNeitherCrashNorHang)
{
    test::RequireLibraries();
    test::TempFolder folder;
    std::vector<std::string> paths;
    std::mt19937 random(12345);
    std::string noise(256 * 1024, '\0');
    for (char& c : noise)
        c = static_cast<char>(random());
    paths.push_back(folder.file("noise.mpg"));
    std::ofstream(paths.back(), std::ios::binary) << noise;
    for (const char* name : {"preview-cut.mkv", "preview-cut.mpg", "preview-cut.mp4"}) {
        const std::string whole = MakeMedia(std::string("whole-") + name,
                                            "-f lavfi -i testsrc=size=160x120:rate=25:duration=4 -g 25 -q:v 4 "
                                            "-c:v mpeg2video");
        std::ifstream in(whole, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), {});
        paths.push_back(folder.file(name));
        std::ofstream(paths.back(), std::ios::binary) << bytes.substr(0, bytes.size() * 2 / 5);
    }
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        TPreviewSession session("");
        if (!session.Open(path))
            continue;
        int steps = 0;
        while (session.NextFrame() && ++steps < 1000) {
        }
        EXPECT_LT(steps, 1000);
        session.PreviousFrame();
        session.PreviousKeyFrame();
        session.NextKeyFrame();
        session.MoveSlider(session.Slider().Maximum / 2);
        session.MoveSlider(session.Slider().Maximum);
    }
}

}  // namespace
