// Frame access: decoding order, seeking, key-frame and one-frame steps, end of stream,
// still pictures, and pictures identical to the ffmpeg tool's BGRA output.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "decoder_test_support.h"
#include "media/ff_decoder.h"
#include "support/test_media.h"

using namespace reelsmith;
using reelsmith::test::MakeMedia;

namespace {

constexpr int64_t kStep = 40000;  // 25 fps

// 2 s at 25 fps, key frames exactly every 10 frames (0, 0.4, ..., 1.6 s), with B-frames.
std::string MakeGopClip()
{
    return MakeMedia("frames-gop10.mp4",
                     "-f lavfi -i testsrc=size=160x120:rate=25:duration=2 -c:v libx264 "
                     "-bf 2 -x264-params keyint=10:min-keyint=10:scenecut=0 -pix_fmt yuv420p");
}

class FrameAccessTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::RequireLibraries();
        ASSERT_TRUE(decoder.LoadFile(MakeGopClip())) << decoder.LastErrMsg();
    }
    int64_t DecodedPTS()
    {
        EXPECT_TRUE(decoder.Decode()) << decoder.LastErrMsg();
        return decoder.FrameInfo().PTS;
    }
    TFFDecoder decoder;
};

TEST_F(FrameAccessTest, FramesComeInPresentationOrderFromZero)
{
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(DecodedPTS(), i * kStep) << "frame " << i;
    EXPECT_EQ(decoder.FrameInfo().Width, 160);
    EXPECT_EQ(decoder.FrameInfo().PixFmt, AV_PIX_FMT_YUV420P);
}

TEST_F(FrameAccessTest, SeekToZeroReturnsTheFirstFrame)
{
    for (int i = 0; i < 7; ++i)
        DecodedPTS();
    ASSERT_TRUE(decoder.Seek(0));
    EXPECT_FALSE(decoder.FrameInfo().Ready);
    EXPECT_EQ(DecodedPTS(), 0);
    EXPECT_TRUE(decoder.FrameInfo().IsKeyFrame);
}

TEST_F(FrameAccessTest, KeyFrameJumps)
{
    DecodedPTS();
    ASSERT_TRUE(decoder.DecodeNextKeyFrame());
    EXPECT_EQ(decoder.FrameInfo().PTS, 400000);
    EXPECT_TRUE(decoder.FrameInfo().IsKeyFrame);
    ASSERT_TRUE(decoder.DecodeNextKeyFrame());
    EXPECT_EQ(decoder.FrameInfo().PTS, 800000);
    ASSERT_TRUE(decoder.DecodePreviousKeyFrame());
    EXPECT_EQ(decoder.FrameInfo().PTS, 400000);
}

TEST_F(FrameAccessTest, PreviousKeyFrameWithNothingDecodedIsTheLastKeyFrame)
{
    ASSERT_TRUE(decoder.DecodePreviousKeyFrame()) << decoder.LastErrMsg();
    EXPECT_EQ(decoder.FrameInfo().PTS, 1600000);
    EXPECT_TRUE(decoder.FrameInfo().IsKeyFrame);
}

TEST_F(FrameAccessTest, PreviousFrameStepsBackOneFrame)
{
    DecodedPTS();
    DecodedPTS();
    ASSERT_TRUE(decoder.DecodePreviousFrame()) << decoder.LastErrMsg();
    EXPECT_EQ(decoder.FrameInfo().PTS, 0);
    // The first frame has nothing before it: it stays.
    ASSERT_TRUE(decoder.DecodePreviousFrame());
    EXPECT_EQ(decoder.FrameInfo().PTS, 0);

    // Across a key frame: from 0.44 s (frame 11) back to 0.40 s, then 0.36 s.
    ASSERT_TRUE(decoder.Seek(440000, sfBackward));
    while (decoder.Decode() && decoder.FrameInfo().PTS < 440000) {
    }
    ASSERT_EQ(decoder.FrameInfo().PTS, 440000);
    ASSERT_TRUE(decoder.DecodePreviousFrame());
    EXPECT_EQ(decoder.FrameInfo().PTS, 400000);
    ASSERT_TRUE(decoder.DecodePreviousFrame());
    EXPECT_EQ(decoder.FrameInfo().PTS, 360000);
}

TEST_F(FrameAccessTest, EndOfStreamDeliversEveryFrameThenReportsEof)
{
    int frames = 0;
    while (decoder.Decode())
        ++frames;
    EXPECT_EQ(frames, 50);  // delayed B-frames included
    EXPECT_TRUE(decoder.Eof());
    EXPECT_EQ(decoder.LastErrMsg(), "TFFDecoder.Decode() for video: stream eof reached.");
    EXPECT_FALSE(decoder.Decode());
    ASSERT_TRUE(decoder.Seek(0));
    EXPECT_FALSE(decoder.Eof());
    EXPECT_EQ(DecodedPTS(), 0);
}

TEST_F(FrameAccessTest, CopyToBitmapNeedsAFrame)
{
    TRGBPicture bitmap;
    EXPECT_FALSE(decoder.CopyToBitmap(bitmap));
    EXPECT_EQ(decoder.LastErrMsg(), "picture not ready, please decode first");
}

TEST_F(FrameAccessTest, StreamChoiceIsChecked)
{
    EXPECT_FALSE(decoder.Decode(3));
    EXPECT_EQ(decoder.LastErrMsg(), "stream index #3 is invalid.");
    decoder.CloseFile();
    EXPECT_FALSE(decoder.Decode());
    EXPECT_EQ(decoder.LastErrMsg(), "file not loaded.");
    EXPECT_FALSE(decoder.Seek(0));
}

TEST(FrameAccess, StillPictureStaysAndCannotBeSought)
{
    test::RequireLibraries();
    TFFDecoder decoder;
    ASSERT_TRUE(decoder.LoadFile(MakeMedia("frames-still.jpg", "-f lavfi -i testsrc=size=160x120:rate=1 -frames:v 1")));
    EXPECT_EQ(decoder.FormatName(), "image2");
    ASSERT_TRUE(decoder.Decode());
    ASSERT_TRUE(decoder.Decode());
    EXPECT_EQ(decoder.FrameInfo().Width, 160);
    EXPECT_FALSE(decoder.Seek(0));
    EXPECT_EQ(decoder.LastErrMsg(), "\"image2\" format cannot to be seeked.");
}

TEST(FrameAccess, NoVideoStream)
{
    test::RequireLibraries();
    TFFDecoder decoder;
    ASSERT_TRUE(decoder.LoadFile(MakeMedia("probe-audio.mp3", "-f lavfi -i sine=duration=1 -c:a libmp3lame")));
    EXPECT_FALSE(decoder.Decode());
    EXPECT_EQ(decoder.LastErrMsg(), "no video stream.");
}

// The picture of frame `index` as the ffmpeg tool writes it in BGRA.
std::string ReferenceBGRA(const std::string& path, int index)
{
    test::TempFolder folder;
    const std::string out = folder.file("frame.bgra");
    const int status = test::RunCommand("ffmpeg -nostdin -v error -i " + test::ShellQuote(path) +
                                        " -vf 'select=eq(n\\," + std::to_string(index) +
                                        ")' -frames:v 1 -f rawvideo -pix_fmt bgra -y " + test::ShellQuote(out));
    EXPECT_EQ(status, 0);
    std::ifstream in(out, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

struct TPictureCase {
    const char* name;
    const char* args;
};

// An RGB source (lossless, BGR0 in the decoder) converts without any arithmetic; the
// YUV 4:2:0 one goes through the same scaler with the same (bicubic) flags as the tool.
const TPictureCase kPictureCases[] = {
    {"pictures-rgb.mkv", "-f lavfi -i testsrc=size=96x64:rate=25:duration=1 -c:v ffv1 -pix_fmt bgr0"},
    {"pictures-yuv.mp4", "-f lavfi -i testsrc=size=160x120:rate=25:duration=1 -c:v libx264 -pix_fmt yuv420p"},
};

TEST(FrameAccess, PicturesEqualTheToolsBGRAOutput)
{
    test::RequireLibraries();
    for (const TPictureCase& item : kPictureCases) {
        SCOPED_TRACE(item.name);
        const std::string path = MakeMedia(item.name, item.args);
        TFFDecoder decoder;
        ASSERT_TRUE(decoder.LoadFile(path));
        for (int i = 0; i < 4; ++i)
            ASSERT_TRUE(decoder.Decode());
        TRGBPicture bitmap;
        ASSERT_TRUE(decoder.CopyToBitmap(bitmap)) << decoder.LastErrMsg();
        ASSERT_EQ(bitmap.Stride, bitmap.Width * 4);
        const std::string expected = ReferenceBGRA(path, 3);
        ASSERT_EQ(expected.size(), bitmap.Bytes.size());
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), bitmap.Bytes.begin(),
                               [](char a, uint8_t b) { return static_cast<uint8_t>(a) == b; }));
        for (size_t p = 3; p < bitmap.Bytes.size(); p += 4)
            ASSERT_EQ(bitmap.Bytes[p], 0xFF) << "alpha at byte " << p;
    }
}

// Stepping over the last frames: back one frame at a time from the last one, forward again
// to the end, and no "next key frame" after the last key frame, in the containers and
// codecs users bring (B-frames, packed AVI timestamps, program streams).
TEST(FrameAccess, LastFramesStepBackAndForthInEveryContainer)
{
    test::RequireLibraries();
    const TPictureCase cases[] = {
        {"last-h264.mkv", "-f lavfi -i testsrc=size=160x120:rate=25:duration=3 -c:v libx264 -bf 3 -g 25"},
        {"last-mpeg4.avi", "-f lavfi -i testsrc=size=160x120:rate=25:duration=3 -c:v mpeg4 -bf 2 -g 25"},
        {"last-mpeg2.mpg", "-f lavfi -i testsrc=size=160x120:rate=25:duration=3 -c:v mpeg2video -bf 2 -g 25"},
        {"last-h264.mp4", "-f lavfi -i testsrc=size=160x120:rate=25:duration=3 -c:v libx264 -bf 3 -g 25"},
    };
    for (const TPictureCase& item : cases) {
        SCOPED_TRACE(item.name);
        TFFDecoder decoder;
        ASSERT_TRUE(decoder.LoadFile(MakeMedia(item.name, item.args)));
        std::vector<int64_t> times;
        std::vector<int64_t> keys;
        while (decoder.Decode()) {
            times.push_back(decoder.FrameInfo().PTS);
            if (decoder.FrameInfo().IsKeyFrame)
                keys.push_back(times.back());
        }
        ASSERT_EQ(times.size(), 75u);
        for (size_t i = 1; i < times.size(); ++i)
            ASSERT_EQ(times[i] - times[i - 1], kStep) << "frame " << i;
        const size_t last = times.size() - 1;
        ASSERT_EQ(decoder.FrameInfo().PTS, times[last]);  // the end keeps the last frame
        for (size_t back = 1; back <= 30; ++back) {
            ASSERT_TRUE(decoder.DecodePreviousFrame()) << decoder.LastErrMsg();
            ASSERT_EQ(decoder.FrameInfo().PTS, times[last - back]) << back << " back";
        }
        for (size_t i = last - 29; i <= last; ++i) {
            ASSERT_TRUE(decoder.Decode());
            ASSERT_EQ(decoder.FrameInfo().PTS, times[i]);
        }
        EXPECT_FALSE(decoder.Decode());
        EXPECT_FALSE(decoder.DecodeNextKeyFrame());  // none after the last frame: it stays
        EXPECT_EQ(decoder.FrameInfo().PTS, times[last]);
        // The key frame before the last frame (which can be a key frame itself), and from
        // there the next one, when there is one.
        const auto after = std::lower_bound(keys.begin(), keys.end(), times[last]);
        ASSERT_NE(after, keys.begin());
        const int64_t before = *(after - 1);
        ASSERT_TRUE(decoder.DecodePreviousKeyFrame());
        EXPECT_EQ(decoder.FrameInfo().PTS, before);
        EXPECT_TRUE(decoder.FrameInfo().IsKeyFrame);
        if (after != keys.end()) {
            ASSERT_TRUE(decoder.DecodeNextKeyFrame());
            EXPECT_EQ(decoder.FrameInfo().PTS, *after);
        } else {
            EXPECT_FALSE(decoder.DecodeNextKeyFrame());
            EXPECT_EQ(decoder.FrameInfo().PTS, before);
        }
        ASSERT_TRUE(decoder.DecodeFrameAt(1000 * kStep));  // past the end: the last frame
        EXPECT_EQ(decoder.FrameInfo().PTS, times[last]);
    }
}

TEST_F(FrameAccessTest, VideoFiltersShapeTheFramesAndKeepTheirFormat)
{
    decoder.SetVideoFilters("crop=80:60:0:0,format=rgb24");
    EXPECT_EQ(DecodedPTS(), 0);
    EXPECT_EQ(decoder.FrameInfo().Width, 80);
    EXPECT_EQ(decoder.FrameInfo().Height, 60);
    EXPECT_EQ(decoder.FrameInfo().PixFmt, AV_PIX_FMT_YUV420P);  // back in the decoder's format
    EXPECT_EQ(DecodedPTS(), kStep);

    // A chain that changes the frame rate, rebuilt when the text changes and after a seek.
    decoder.SetVideoFilters("fps=5");
    EXPECT_EQ(DecodedPTS(), 0);
    EXPECT_EQ(decoder.FrameInfo().Width, 160);
    EXPECT_EQ(DecodedPTS(), 200000);
    ASSERT_TRUE(decoder.Seek(1000000, sfBackward));
    EXPECT_EQ(DecodedPTS(), 800000);  // the key frame before 1 s, then every fifth frame
    EXPECT_EQ(DecodedPTS(), 1000000);
    int frames = 2;
    while (decoder.Decode())
        ++frames;
    EXPECT_EQ(frames, 6);  // 0.8 to 1.8 s, the last one given up by the chain at the end
    EXPECT_TRUE(decoder.Eof());
}

TEST_F(FrameAccessTest, AChainThatCannotBeBuiltIsGivenUp)
{
    decoder.SetVideoFilters("nosuchfilter");
    EXPECT_EQ(DecodedPTS(), 0);  // the frame as decoded
    EXPECT_EQ(decoder.LastErrMsg().rfind("Error while configuring the filtergraph: ", 0), 0u) << decoder.LastErrMsg();
    EXPECT_EQ(decoder.VideoFilters(), "");
    EXPECT_EQ(DecodedPTS(), kStep);
}

TEST(FormatConverter, RejectsUnknownBitDepths)
{
    TFormatConverter converter;
    EXPECT_EQ(converter.BitsPixel(), 32);
    EXPECT_THROW(converter.SetBitsPixel(12), std::invalid_argument);
    converter.SetBitsPixel(15);
    EXPECT_EQ(converter.BitsPixel(), 16);
    EXPECT_EQ(converter.BMPPixFmt(), AV_PIX_FMT_BGR555LE);
    EXPECT_EQ(converter.BitmapPixelFormat(), TBitmapPixelFormat::Bits15);
}

// The bitmap format set directly: 8-bit to 32-bit only.
TEST(FormatConverter, RejectsBitmapFormatsOutsideEightToThirtyTwoBits)
{
    TFormatConverter converter;
    converter.SetBitmapPixelFormat(TBitmapPixelFormat::Bits24);
    EXPECT_EQ(converter.BitsPixel(), 24);
    EXPECT_EQ(converter.BMPPixFmt(), AV_PIX_FMT_BGR24);
    for (const TBitmapPixelFormat bad : {TBitmapPixelFormat::Device, TBitmapPixelFormat::Bits1,
                                         TBitmapPixelFormat::Bits4, TBitmapPixelFormat::Custom}) {
        try {
            converter.SetBitmapPixelFormat(bad);
            ADD_FAILURE() << "accepted " << static_cast<int>(bad);
        } catch (const std::invalid_argument& e) {
            EXPECT_EQ(std::string(e.what()), "Invalid PixelFormat " + std::to_string(static_cast<int>(bad)));
        }
    }
    EXPECT_EQ(converter.BitsPixel(), 24);
}

}  // namespace
