// The pixel format an encoder gets for a requested one, and the warning when it is replaced:
// the rows were checked against the reference tool (-pix_fmt X -c:v ENCODER).
#include <gtest/gtest.h>

#include <string>

#include "engine/pipeline/pixel_format_choice.h"
#include "engine_test_support.h"

namespace reelsmith {
namespace {

class PixelFormatChoice : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::LoadEngineLibraries(); }
};

AVPixelFormat Format(const char* name) { return *name ? ff().av_get_pix_fmt(name) : AV_PIX_FMT_NONE; }

TEST_F(PixelFormatChoice, RequestedFormatOrTheEncodersBestMatch)
{
    struct TCase {
        const char* encoder;
        const char* requested;
        int strictness;
        const char* chosen;
        bool warned;
    };
    const int normal = FF_COMPLIANCE_NORMAL, unofficial = FF_COMPLIANCE_UNOFFICIAL;
    const TCase cases[] = {
        {"mpeg4", "yuv420p", normal, "yuv420p", false},
        {"mpeg4", "yuv422p", normal, "yuv420p", true},
        {"mpeg4", "gray", normal, "yuv420p", true},
        {"mpeg2video", "yuva420p", normal, "yuv420p", true},
        // JPEG at normal strictness takes only full-range formats; unofficial allows the others.
        {"mjpeg", "yuv420p", normal, "yuvj420p", true},
        {"mjpeg", "yuv422p", normal, "yuvj422p", true},
        {"mjpeg", "yuvj444p", normal, "yuvj444p", false},
        {"mjpeg", "yuv420p", unofficial, "yuv420p", false},
        {"libx264", "yuv422p", normal, "yuv422p", false},
        {"libx264", "rgb24", normal, "yuv444p", true},
        // Encoders without 4:2:0, and image encoders.
        {"huffyuv", "yuv420p", normal, "yuv422p", true},
        {"prores_ks", "yuv420p", normal, "yuv422p10le", true},
        {"dvvideo", "yuv444p", normal, "yuv420p", true},
        {"ffv1", "yuv420p", normal, "yuv420p", false},
        {"png", "yuv420p", normal, "rgb24", true},
        {"png", "yuva420p", normal, "rgba", true},
        {"gif", "yuv420p", normal, "bgr8", true},
        // Nothing requested: a format of the encoder, without a warning; an encoder that names no
        // formats takes what was asked for.
        {"mpeg4", "", normal, "yuv420p", false},
        {"rawvideo", "yuv422p", normal, "yuv422p", false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::string(c.encoder) + " " + c.requested);
        const AVCodec* codec = ff().avcodec_find_encoder_by_name(c.encoder);
        ASSERT_NE(codec, nullptr);
        const TPixelFormatChoice choice = ChoosePixelFormat(codec, c.strictness, Format(c.requested));
        EXPECT_EQ(choice.format, Format(c.chosen));
        if (c.warned)
            EXPECT_EQ(choice.warning, std::string("Incompatible pixel format '") + c.requested + "' for codec '" +
                                          c.encoder + "', auto-selecting format '" + c.chosen + "'");
        else
            EXPECT_EQ(choice.warning, "");
    }
}

// The format filter before the encoder: the chosen format (its warning logged), every format the
// encoder takes when none was asked for, the request itself with "+", or no filter at all.
TEST_F(PixelFormatChoice, FormatFilterList)
{
    const AVCodec* mjpeg = ff().avcodec_find_encoder_by_name("mjpeg");
    const AVCodec* huffyuv = ff().avcodec_find_encoder_by_name("huffyuv");
    const AVCodec* rawvideo = ff().avcodec_find_encoder_by_name("rawvideo");
    test::ClearLog();
    EXPECT_EQ(OutputPixelFormatList(mjpeg, FF_COMPLIANCE_NORMAL, AV_PIX_FMT_YUV420P, false), "yuvj420p");
    EXPECT_TRUE(
        test::LogContains("Incompatible pixel format 'yuv420p' for codec 'mjpeg', auto-selecting format "
                          "'yuvj420p'",
                          TLogLevel::llWarning));
    EXPECT_EQ(OutputPixelFormatList(mjpeg, FF_COMPLIANCE_NORMAL, AV_PIX_FMT_NONE, false), "yuvj420p|yuvj422p|yuvj444p");
    EXPECT_EQ(OutputPixelFormatList(huffyuv, FF_COMPLIANCE_NORMAL, AV_PIX_FMT_NONE, false), "yuv422p|rgb24|bgra");
    EXPECT_EQ(OutputPixelFormatList(huffyuv, FF_COMPLIANCE_NORMAL, AV_PIX_FMT_YUV420P, true), "yuv420p");
    EXPECT_EQ(OutputPixelFormatList(huffyuv, FF_COMPLIANCE_NORMAL, AV_PIX_FMT_NONE, true), "");
    EXPECT_EQ(OutputPixelFormatList(rawvideo, FF_COMPLIANCE_NORMAL, AV_PIX_FMT_NONE, false), "");
}

}  // namespace
}  // namespace reelsmith
