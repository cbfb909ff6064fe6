// Every string the option builders can make for the format, encoder and effect choices
// parses as output options, and the codecs it names reach the right streams.
#include <gtest/gtest.h>

#include <string>

#include "engine/options/custom_ffmpeg_opt.h"
#include "engine_test_support.h"
#include "parsed_values.h"
#include "settings/choice_lists.h"
#include "settings/option_builder.h"

namespace reelsmith {
namespace {

class BuilderStrings : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::LoadEngineLibraries(); }

    // Parses and returns the context's view of one stream kind's codec; fails on errors.
    void ExpectParses(const std::string& options, TOptionsContext& o)
    {
        TCustomFFmpegOpt task;
        ASSERT_EQ(task.ParseOptions(o, options, "", "output file", "out", OPT_OUTPUT), 0) << options << "\n"
                                                                                          << task.LastErrMsg();
        EXPECT_TRUE(task.LastErrMsg().empty()) << options;
    }
    test::TStreamSet streams;
};

// The text after the last " -c:<kind> " of the string (up to the next blank), or "-".
std::string LastCodec(const std::string& options, char kind)
{
    const std::string marker = std::string(" -c:") + kind + " ";
    const size_t at = options.rfind(marker);
    if (at == std::string::npos)
        return "-";
    const size_t start = at + marker.size();
    return options.substr(start, options.find(' ', start) - start);
}

TEST_F(BuilderStrings, EveryConversionChoiceParses)
{
    const int formats = static_cast<int>(ChoiceEntries(TChoiceList::VideoFormat).size());
    int parsed = 0;
    for (int format = 0; format < formats; ++format) {
        const int videoEncoders = static_cast<int>(VideoEncodersOf(format).size());
        const int audioEncoders = static_cast<int>(AudioEncodersOf(format).size());
        for (int v = -1; v < videoEncoders; ++v) {
            for (int a = -1; a < audioEncoders; ++a) {
                for (int variant = 0; variant < 3; ++variant) {
                    TOutputChoices c;
                    c.SetVideoFormat(format);
                    c.VideoEncoder = v;
                    c.AudioEncoder = a;
                    c.VideoAspect = variant;
                    c.VideoFrameSize = variant * 7;
                    c.VideoFrameRate = variant;
                    c.VideoBitrate = variant * 5;
                    c.AudioChannel = variant;
                    c.AudioSampleRate = variant * 2;
                    c.Effects.ef_Rotate = variant == 1;
                    c.Effects.ef_Degrees = 1;
                    c.Effects.ef_VFlip = variant == 2;
                    c.Effects.ef_Dein = variant == 2;
                    const std::string options = BuildVideoOptions(c);
                    TOptionsContext o;
                    ExpectParses(options, o);
                    // Without -target the codecs named last are the ones the streams get.
                    if (options.find("-target") == std::string::npos) {
                        EXPECT_EQ(test::ParsedValue(o, streams, "c@v"), LastCodec(options, 'v')) << options;
                        EXPECT_EQ(test::ParsedValue(o, streams, "c@a"), LastCodec(options, 'a')) << options;
                    }
                    EXPECT_EQ(test::ParsedValue(o, streams, "sn"), "1") << options;
                    ++parsed;
                }
            }
        }
    }
    EXPECT_GT(parsed, 100);
}

TEST_F(BuilderStrings, EveryExtractionChoiceParses)
{
    const int formats = static_cast<int>(ChoiceEntries(TChoiceList::AudioFormat).size());
    for (int format = 0; format < formats; ++format) {
        for (int channel = 0; channel < 3; ++channel) {
            TOutputChoices c;
            c.AudioFormat = format;
            c.AudioChannel = channel;
            c.AudioSampleRate = channel * 2;
            const std::string options = BuildAudioOptions(c);
            TOptionsContext o;
            ExpectParses(options, o);
            EXPECT_EQ(test::ParsedValue(o, streams, "vn"), "1") << options;
            EXPECT_EQ(test::ParsedValue(o, streams, "c@a"), LastCodec(options, 'a')) << options;
        }
    }
}

}  // namespace
}  // namespace reelsmith
