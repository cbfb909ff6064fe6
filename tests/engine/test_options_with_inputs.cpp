// Options that look at the inputs already open (-target without a norm, -map,
// -map_channel), preset files, and the per-stream routing of codec options.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>

#include "engine/options/codec_options.h"
#include "engine/options/custom_ffmpeg_opt.h"
#include "engine/engine_error.h"
#include "engine_test_support.h"
#include "parsed_values.h"
#include "support/test_media.h"

namespace reelsmith {
namespace {

class WithInputs : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::LoadEngineLibraries(); }
    void SetUp() override { test::ClearLog(); }

    // Opens a file the way the input side does as far as the options need it.
    void AddInput(const std::string& path)
    {
        AVFormatContext* raw = nullptr;
        ASSERT_EQ(ff().avformat_open_input(&raw, path.c_str(), nullptr, nullptr), 0) << path;
        auto file = std::make_unique<TInputFile>();
        file->ctx.reset(raw);
        ASSERT_GE(ff().avformat_find_stream_info(raw, nullptr), 0);
        file->ist_index = task.FGraph.Fnb_input_streams();
        file->nb_streams = static_cast<int>(raw->nb_streams);
        for (unsigned i = 0; i < raw->nb_streams; ++i) {
            auto ist = std::make_unique<TInputStream>();
            ist->st = raw->streams[i];
            ist->file_index = task.FGraph.Fnb_input_files();
            task.FGraph.Finput_streams.push_back(std::move(ist));
        }
        task.FGraph.Finput_files.push_back(std::move(file));
    }
    int ParseOutput(const std::string& options, const std::string& presets = "")
    {
        return task.ParseOptions(o, options, presets, "output file", "out.mpg", OPT_OUTPUT);
    }

    TCustomFFmpegOpt task;
    TOptionsContext o;
};

std::string PalClip()
{
    // AVI keeps the frame rate as the stream time base (1/25).
    return test::MakeMedia("pal_clip.avi",
                           "-f lavfi -i testsrc=size=64x48:rate=25:duration=0.2 -f lavfi -i "
                           "sine=duration=0.2 -ac 2 -c:v mpeg4 -c:a pcm_s16le");
}

std::string NtscClip()
{
    return test::MakeMedia("ntsc_clip.avi", "-f lavfi -i testsrc=size=64x48:rate=30000/1001:duration=0.2 -c:v mpeg4");
}

std::string OddRateClip()
{
    return test::MakeMedia("odd_rate_clip.avi", "-f lavfi -i testsrc=size=64x48:rate=12:duration=0.2 -c:v mpeg4");
}

TEST_F(WithInputs, TargetTakesTheNormOfThePalInput)
{
    AddInput(PalClip());
    test::TStreamSet streams;
    ASSERT_EQ(ParseOutput("-target dvd"), 0) << task.LastErrMsg();
    EXPECT_TRUE(test::LogContains("Assuming PAL for target.", TLogLevel::llInfo));
    EXPECT_EQ(test::ParsedValue(o, streams, "s@v"), "720x576");
    EXPECT_EQ(test::ParsedValue(o, streams, "r@v"), "25");
    EXPECT_EQ(test::ParsedValue(o, streams, "codec_opts:g"), "15");
}

TEST_F(WithInputs, TargetTakesTheNormOfTheNtscInput)
{
    AddInput(NtscClip());
    test::TStreamSet streams;
    ASSERT_EQ(ParseOutput("-target vcd"), 0) << task.LastErrMsg();
    EXPECT_TRUE(test::LogContains("Assuming NTSC for target."));
    EXPECT_EQ(test::ParsedValue(o, streams, "s@v"), "352x240");
}

TEST_F(WithInputs, TargetWithoutNormIsFatal)
{
    AddInput(OddRateClip());
    try {
        ParseOutput("-target dvd");
        FAIL() << "expected a fatal error";
    } catch (const TEngineError& e) {
        const std::string expected =
            "Could not determine norm (PAL/NTSC/NTSC-Film) for target.\r\n"
            "Please prefix target with \"pal-\", \"ntsc-\" or \"film-\"\r\n"
            "or set a framerate with \"-r xxx\".";
        EXPECT_EQ(e.what(), expected);
        EXPECT_EQ(task.LastErrMsg(), expected);
    }
}

TEST_F(WithInputs, MapSelectsStreamsOfOpenInputs)
{
    AddInput(PalClip());
    ASSERT_EQ(ParseOutput("-map 0:a -map 0:v? -map 0:s? -c:a pcm_s16le"), 0) << task.LastErrMsg();
    ASSERT_EQ(o.stream_maps.size(), 2u);
    EXPECT_EQ(o.stream_maps[0].file_index, 0);
    EXPECT_EQ(o.stream_maps[0].stream_index, 1);
    EXPECT_EQ(o.stream_maps[1].stream_index, 0);
    EXPECT_TRUE(test::LogContains("Stream map \"0:s?\" matches no streams; ignoring."));
}

TEST_F(WithInputs, NegativeMapDisablesEarlierMatches)
{
    AddInput(PalClip());
    ASSERT_EQ(ParseOutput("-map 0 -map -0:v"), 0) << task.LastErrMsg();
    ASSERT_EQ(o.stream_maps.size(), 2u);
    EXPECT_EQ(o.stream_maps[0].disabled, 1);
    EXPECT_EQ(o.stream_maps[1].disabled, 0);
}

TEST_F(WithInputs, MapErrorsAreFatal)
{
    AddInput(PalClip());
    struct Case {
        const char* options;
        std::string text;
    };
    const Case cases[] = {
        {"-map 0:s", "Stream map \"0:s\" matches no streams.\r\nTo ignore this, add a trailing \"?\" to the map."},
        {"-map 3", "Invalid input file index: 3."},
        {"-map 0:v,5", "Invalid sync file index: 5."},
        {"-map [out", "Invalid output link label: [out."},
        {"-map 0:zz", "check_stream_specifier: " + EngineErrorText(AVERROR(EINVAL))},
    };
    for (const Case& c : cases) {
        TOptionsContext ctx;
        try {
            task.ParseOptions(ctx, c.options, "", "output file", "x.mkv", OPT_OUTPUT);
            ADD_FAILURE() << c.options << " should fail";
        } catch (const TEngineError& e) {
            EXPECT_EQ(e.what(), c.text) << c.options;
        }
    }
}

TEST_F(WithInputs, MapLabelOfAFilterGraph)
{
    ASSERT_EQ(ParseOutput("-filter_complex \"[0:v]null[out]\" -map [out]"), 0);
    ASSERT_EQ(o.stream_maps.size(), 1u);
    EXPECT_EQ(o.stream_maps[0].linklabel, "out");
}

TEST_F(WithInputs, MapChannel)
{
    AddInput(PalClip());
    ASSERT_EQ(ParseOutput("-map_channel 0.1.1 -map_channel -1 -map_channel 0.1.7?"), 0) << task.LastErrMsg();
    ASSERT_EQ(o.audio_channel_maps.size(), 2u);
    EXPECT_EQ(o.audio_channel_maps[0].channel_idx, 1);
    EXPECT_EQ(o.audio_channel_maps[1].file_idx, -1);
    TOptionsContext ctx;
    EXPECT_THROW(task.ParseOptions(ctx, "-map_channel 0.0.0", "", "output file", "x", OPT_OUTPUT), TEngineError);
    EXPECT_EQ(task.LastErrMsg(), "mapchan: stream #0.0 is not an audio stream.");
}

TEST_F(WithInputs, PresetFiles)
{
    test::TempFolder folder;
    const std::string path = folder.file("x.ffpreset");
    std::ofstream(path) << "# video settings\nvcodec=mpeg4\ng=30\n\nbogus\n";
    const int ret = ParseOutput("-fpre " + path);
    EXPECT_EQ(ret, AVERROR(EINVAL));
    EXPECT_TRUE(test::LogContains("Parse preset file: " + path));
    EXPECT_TRUE(test::LogContains(path + ": Invalid syntax: \"bogus\""));

    std::ofstream(path, std::ios::trunc) << "vcodec=mpeg4\ng=30\n";
    TOptionsContext ctx;
    ASSERT_EQ(task.ParseOptions(ctx, "-vpre " + path, "", "output file", "x", OPT_OUTPUT), 0) << task.LastErrMsg();
    test::TStreamSet streams;
    EXPECT_EQ(test::ParsedValue(ctx, streams, "c@v"), "mpeg4");
    EXPECT_EQ(test::ParsedValue(ctx, streams, "codec_opts:g"), "30");

    TOptionsContext missing;
    EXPECT_LT(task.ParseOptions(missing, "-apre " + folder.file("none"), "", "output file", "x", OPT_OUTPUT), 0);
    EXPECT_NE(task.LastErrMsg().find("File for preset"), std::string::npos);
}

// Which codec options reach which encoder: the kind letter in front and the specifier.
TEST_F(WithInputs, CodecOptionsPerStream)
{
    ASSERT_EQ(ParseOutput("-c:v mpeg4 -tag:v DIVX -vstrict unofficial -astrict experimental -threads 8 -b:v 900k "
                          "-b:a 64k -g 12"),
              0);
    test::TStreamSet streams;
    struct Case {
        char kind;
        AVCodecID codec;
        const char* key;
        const char* value;  // null: absent
    };
    const Case cases[] = {
        {'v', AV_CODEC_ID_MPEG4, "strict", "unofficial"},
        {'a', AV_CODEC_ID_MP2, "strict", "experimental"},
        {'v', AV_CODEC_ID_MPEG4, "threads", "8"},
        {'a', AV_CODEC_ID_MP2, "threads", "8"},
        {'v', AV_CODEC_ID_MPEG4, "b", "900k"},
        {'a', AV_CODEC_ID_MP2, "b", "64k"},
        {'v', AV_CODEC_ID_MPEG4, "g", "12"},
        {'a', AV_CODEC_ID_MP2, "g", nullptr},
        {'v', AV_CODEC_ID_MPEG4, "vstrict", nullptr},
    };
    for (const Case& c : cases) {
        const TDictionary opts =
            FilterCodecOpts(o.g.codec_opts, c.codec, streams.ctx(), streams.stream(c.kind), nullptr);
        const char* value = opts.Get(c.key);
        if (c.value) {
            EXPECT_STREQ(value, c.value) << c.kind << " " << c.key;
        } else {
            EXPECT_EQ(value, nullptr) << c.kind << " " << c.key;
        }
    }
}

TEST_F(WithInputs, CodecOptionWithInvalidSpecifier)
{
    ASSERT_EQ(ParseOutput("-b:zz 1"), 0);
    test::TStreamSet streams;
    EXPECT_THROW(FilterCodecOpts(o.g.codec_opts, AV_CODEC_ID_MPEG4, streams.ctx(), streams.stream('v'), nullptr),
                 TEngineError);
}

}  // namespace
}  // namespace reelsmith
