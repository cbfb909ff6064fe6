// Option strings of the option builder, typed commands and the edge cases of parsing,
// checked on the parsed options context.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "engine/options/custom_ffmpeg_opt.h"
#include "engine/engine_error.h"
#include "engine_test_support.h"
#include "parsed_values.h"

namespace reelsmith {
namespace {

using test::ParsedValue;
using TExpect = std::vector<std::pair<std::string, std::string>>;

struct ParseCase {
    const char* name;
    const char* options;
    TExpect expect;
    const char* presets = "";
};

class ParserTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::LoadEngineLibraries(); }
    void SetUp() override { test::ClearLog(); }
    int ParseOutput(const std::string& options, const std::string& presets = "")
    {
        return task.ParseOptions(o, options, presets, "output file", "out.avi", OPT_OUTPUT);
    }
    int ParseInput(const std::string& options, const std::string& presets = "")
    {
        return task.ParseOptions(o, options, presets, "input file", "in.avi", OPT_INPUT);
    }
    void ExpectValues(const TExpect& expect, const std::string& label)
    {
        for (const auto& [name, value] : expect)
            EXPECT_EQ(ParsedValue(o, streams, name), value) << label << ": " << name;
    }

    TCustomFFmpegOpt task;
    TOptionsContext o;
    test::TStreamSet streams;
};

// The strings of the option builder (one per row of its table) and typed commands.
const ParseCase kOutputCases[] = {
    {"avi_mpeg4_mp3",
     "-b:a 32k -c:a libmp3lame -c:v mpeg4 -sn ",
     {{"codec_opts:b:a", "32k"},
      {"codec_opts:b:v", "-"},
      {"c@a", "libmp3lame"},
      {"c@v", "mpeg4"},
      {"c@s", "-"},
      {"sn", "1"},
      {"vn", "0"},
      {"sws_dict:flags", "bicubic"}}},
    {"avi_divx",
     "-b:a 32k -c:a libmp3lame -c:v mpeg4 -tag:v DIVX -vstrict unofficial -r 15000/1001 -sn ",
     {{"c@v", "mpeg4"},
      {"tag@v", "DIVX"},
      {"tag@a", "-"},
      {"codec_opts:vstrict", "unofficial"},
      {"r@v", "15000/1001"},
      {"sn", "1"}}},
    {"avi_xvid_scaled",
     "-b:a 128k -b:v 1500k -ac 2 -ar 44100 -r 25 -c:a libmp3lame -c:v libxvid -vf \"scale=1280:720\"  -sn ",
     {{"codec_opts:b:a", "128k"},
      {"codec_opts:b:v", "1500k"},
      {"ac@a", "2"},
      {"ar@a", "44100"},
      {"r@v", "25"},
      {"c@v", "libxvid"},
      {"filter@v", "scale=1280:720"},
      {"filter@a", "-"}}},
    {"mp4_h264",
     "-b:a 192k -aspect 16:9 -ac 2 -ar 48000 -c:a aac -astrict experimental -c:v libx264 -threads 8 -pix_fmt "
     "yuv420p -sn ",
     {{"aspect@v", "16:9"},
      {"ar@a", "48000"},
      {"c@a", "aac"},
      {"codec_opts:astrict", "experimental"},
      {"c@v", "libx264"},
      {"codec_opts:threads", "8"},
      {"pix_fmt@v", "yuv420p"}}},
    {"webm",
     "-b:a 32k -f webm  -c:a libvorbis -c:v libvpx -sn ",
     {{"f", "webm"}, {"c@a", "libvorbis"}, {"c@v", "libvpx"}}},
    {"mkv_h265_chain",
     "-b:a 32k -c:a aac -astrict experimental -c:v libx265 -vf \"scale=1920:1080,vflip,yadif\"  -sn ",
     {{"c@v", "libx265"}, {"filter@v", "scale=1920:1080,vflip,yadif"}}},
    {"mov_rotate",
     "-b:a 32k -c:a aac -astrict experimental -c:v mpeg4 -vf \"transpose=0\" -sn ",
     {{"filter@v", "transpose=0"}, {"c@v", "mpeg4"}}},
    {"rotate_then_chain",
     "-b:a 32k -c:v mpeg4 -vf \"transpose=1\" -vf \"scale=320:240\"  -sn ",
     {{"filter@v", "scale=320:240"}}},
    {"extract_mp3", "-b:a 32k -c:a libmp3lame -vn", {{"c@a", "libmp3lame"}, {"vn", "1"}, {"sn", "0"}}},
    {"extract_wav", "-b:a 192k -ac 2 -ar 44100 -vn", {{"codec_opts:b:a", "192k"}, {"ac@a", "2"}, {"ar@a", "44100"}}},
    {"extract_flac", "-b:a 32k -ac 1 -c:a flac -vn", {{"ac@a", "1"}, {"c@a", "flac"}}},
    {"command_example",
     "-b:a 96k -ac 2 -ar 44100 -c:a aac -c:v mpeg4 -sn ",
     {{"codec_opts:b:a", "96k"}, {"c@a", "aac"}, {"c@v", "mpeg4"}}},
    {"cut_copy", "-ss 1 -t 2 -c copy", {{"ss", "1000000"}, {"t", "2000000"}, {"c@v", "copy"}, {"c@a", "copy"}}},
    {"times", "-ss 00:01:02.5 -to 90 -t 1:30", {{"ss", "62500000"}, {"to", "90000000"}, {"t", "90000000"}}},
    {"microseconds",
     "-ss_microsecond 1500 -t_microsecond 250 -to_microsecond 9",
     {{"ss", "1500"}, {"t", "250"}, {"to", "9"}}},
    {"engine_seconds", "-TimeStart 12.5 -timelength 3", {{"ss", "12500000"}, {"t", "3000000"}}},
    {"pcm_audio", "-c:a pcm_s16le -vn", {{"c@a", "pcm_s16le"}, {"vn", "1"}}},
    {"last_match_wins", "-r 25 -r:v 30", {{"r@v", "30"}, {"r@a", "25"}}},
    {"specific_then_general", "-r:v 30 -r 25", {{"r@v", "25"}}},
    {"aliases",
     "-vcodec mpeg4 -acodec mp2 -scodec copy -vtag XVID -atag 0x55 -vframes 10 -aframes 5 -af volume=2 -aq 4",
     {{"c@v", "mpeg4"},
      {"c@a", "mp2"},
      {"c@s", "copy"},
      {"tag@v", "XVID"},
      {"tag@a", "0x55"},
      {"frames@v", "10"},
      {"frames@a", "5"},
      {"frames@s", "-"},
      {"filter@a", "volume=2"},
      {"q@a", "4"}}},
    {"bitrate_aliases", "-ab 128k -b:v 900k", {{"codec_opts:b:a", "128k"}, {"codec_opts:b:v", "900k"}}},
    {"ambiguous_bitrate", "-b 800k", {{"codec_opts:b:v", "800k"}, {"codec_opts:b", "-"}}},
    {"ambiguous_qscale", "-qscale 3", {{"q@v", "3"}, {"q@a", "-"}}},
    {"qscale_with_specifier", "-qscale:a 5", {{"q@a", "5"}, {"q@v", "-"}}},
    {"profile",
     "-profile main -profile:a aac_low",
     {{"codec_opts:profile:v", "main"}, {"codec_opts:profile:a", "aac_low"}}},
    {"timecode",
     "-timecode 01:00:00:00",
     {{"codec_opts:gop_timecode", "01:00:00:00"}, {"metadata", "g|timecode=01:00:00:00;"}}},
    {"bsf_alias", "-vbsf h264_mp4toannexb", {{"bsf@v", "h264_mp4toannexb"}}},
    {"avoption_routes",
     "-preset fast -movflags +faststart -sws_flags lanczos",
     {{"codec_opts:preset", "fast"}, {"format_opts:movflags", "+faststart"}, {"sws_dict:sws_flags", "lanczos"}}},
    {"swr_option", "-dither_method triangular", {{"swr_opts:dither_method", "triangular"}}},
    {"flags_append", "-flags +global_header -flags +bitexact", {{"codec_opts:flags", "+global_header+bitexact"}}},
    {"metadata",
     "-metadata \"title=Two Words\" -metadata:s:a language=eng",
     {{"metadata", "|title=Two Words;s:a|language=eng;"}}},
    {"quoted_filter_with_escaped_quotes",
     "-vf \"drawtext=text=\\\"hi there\\\"\" -sn",
     {{"filter@v", "drawtext=text=\"hi there\""}, {"sn", "1"}}},
    {"no_prefix_bool", "-noshortest -nosn", {{"sn", "0"}}},
    {"attach", "-attach cover.jpg", {{"attachments", "1"}}},
    {"ignored_hooks", "-AudioInputHook -VideoOutputHook -c:v mpeg4", {{"c@v", "mpeg4"}}},
    {"one_line_preset", "", {{"c@v", "mpeg4"}, {"codec_opts:b", "900k"}}, "vcodec=mpeg4<CRLF>b=900k"},
    {"preset_lines",
     "-c:v libx264",
     {{"c@v", "libx264"}, {"c@a", "mp2"}, {"codec_opts:g", "12"}},
     "# comment\r\n\r\nACODEC=mp2\r\n  g = 12  \nvcodec=mpeg4"},
};

class OutputStrings : public ParserTest, public ::testing::WithParamInterface<ParseCase> {};

TEST_P(OutputStrings, ParseIntoTheContext)
{
    const ParseCase& c = GetParam();
    ASSERT_EQ(ParseOutput(c.options, c.presets), 0) << c.options << "\n" << task.LastErrMsg();
    ExpectValues(c.expect, c.options);
}

INSTANTIATE_TEST_SUITE_P(Builder, OutputStrings, ::testing::ValuesIn(kOutputCases),
                         [](const auto& info) { return std::string(info.param.name); });

// -target settings and their order against the user's options (no input is open, so the
// norm comes from the prefix).
const ParseCase kTargetCases[] = {
    {"vob_builder",
     "-b:a 256k -b:v 5000k -ac 2 -ar 44100 -r 30 -c:a mp2 -target ntsc-dvd -c:v mpeg2video -vf "
     "\"scale=720:480\"  -sn ",
     {{"c@v", "mpeg2video"},
      {"c@a", "ac3"},
      {"f", "dvd"},
      {"s@v", "720x480"},
      {"r@v", "30000/1001"},
      {"ar@a", "48000"},
      {"ac@a", "2"},
      {"pix_fmt@v", "yuv420p"},
      {"codec_opts:b:v", "5000k"},
      {"codec_opts:b:a", "256k"},
      {"codec_opts:g", "18"},
      {"codec_opts:maxrate:v", "9000000"},
      {"codec_opts:minrate:v", "0"},
      {"codec_opts:bufsize:v", "1835008"},
      {"format_opts:packetsize", "2048"},
      {"format_opts:muxrate", "10080000"},
      {"filter@v", "scale=720:480"}}},
    {"mpg_builder",
     "-b:a 32k -c:a mp2 -target ntsc-vcd -c:v mpeg2video -sn ",
     {{"c@v", "mpeg2video"},
      {"c@a", "mp2"},
      {"f", "vcd"},
      {"s@v", "352x240"},
      {"r@v", "30000/1001"},
      {"ar@a", "44100"},
      {"ac@a", "2"},
      {"codec_opts:b:v", "1150000"},
      {"codec_opts:minrate:v", "1150000"},
      {"codec_opts:bufsize:v", "327680"},
      {"codec_opts:b:a", "32k"},
      {"format_opts:packetsize", "2324"},
      {"format_opts:muxrate", "1411200"},
      {"mux_preload", "0.440000"}}},
    {"rate_after_target_wins", "-target ntsc-dvd -r 25", {{"r@v", "25"}}},
    {"rate_before_target_loses", "-r 25 -target ntsc-dvd", {{"r@v", "30000/1001"}}},
    {"user_bitrate_after", "-target ntsc-dvd -b:v 4000k", {{"codec_opts:b:v", "4000k"}}},
    {"user_bitrate_before", "-b:v 4000k -target ntsc-dvd", {{"codec_opts:b:v", "4000k"}}},
    {"pal_svcd",
     "-target pal-svcd",
     {{"c@v", "mpeg2video"},
      {"f", "svcd"},
      {"s@v", "480x576"},
      {"r@v", "25"},
      {"codec_opts:g", "15"},
      {"codec_opts:maxrate:v", "2516000"},
      {"codec_opts:scan_offset", "1"},
      {"format_opts:packetsize", "2324"},
      {"ac@a", "-"}}},
    {"film_dvd", "-target film-dvd", {{"s@v", "720x480"}, {"r@v", "24000/1001"}, {"codec_opts:g", "18"}}},
    {"ntsc_dv",
     "-target ntsc-dv",
     {{"f", "dv"}, {"s@v", "720x480"}, {"pix_fmt@v", "yuv411p"}, {"ar@a", "48000"}, {"ac@a", "2"}, {"c@v", "-"}}},
    {"pal_dv", "-target pal-dv", {{"s@v", "720x576"}, {"pix_fmt@v", "yuv420p"}, {"r@v", "25"}}},
};

class TargetStrings : public ParserTest, public ::testing::WithParamInterface<ParseCase> {};

TEST_P(TargetStrings, ApplyTheTargetSettings)
{
    const ParseCase& c = GetParam();
    ASSERT_EQ(ParseOutput(c.options, c.presets), 0) << c.options << "\n" << task.LastErrMsg();
    ExpectValues(c.expect, c.options);
}

INSTANTIATE_TEST_SUITE_P(Target, TargetStrings, ::testing::ValuesIn(kTargetCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Failures: the code, the text the caller sees and the log line that explains it.
struct FailCase {
    const char* name;
    const char* options;
    bool input;
    int code;
    const char* optionError;  // LastErrMsg is this, CR LF and the code's error text; null: not checked
    const char* logged;       // fragment of a logged line, or null
};

const FailCase kFailCases[] = {
    {"unknown_option", "-xyz 1", false, AVERROR_OPTION_NOT_FOUND, "Option not found \"xyz\"",
     "Unrecognized option \"xyz\"."},
    {"unknown_last_word", "-c:v mpeg4 -xyz", false, AVERROR_OPTION_NOT_FOUND, "Option not found \"xyz\"", nullptr},
    {"no_prefix_unknown", "-nofoo", false, AVERROR_OPTION_NOT_FOUND, "Option not found \"nofoo\"", nullptr},
    {"not_an_option", "-c:v mpeg4 stray", false, AVERROR(EINVAL), "Failed to parse options on \"stray\"", nullptr},
    {"lone_dash", "- x", false, AVERROR(EINVAL), "Failed to parse options on \"-\"", nullptr},
    {"empty_quoted_word", "\"\"", false, AVERROR(EINVAL), "Failed to parse options", nullptr},
    {"missing_argument", "-c:v", false, AVERROR(EINVAL), "Missing argument for option \"c:v\"",
     "Missing argument for option \"c:v\"."},
    {"output_option_to_input", "-target ntsc-dvd", true, AVERROR(EINVAL), nullptr,
     "Option target (specify target file type"},
    {"input_option_to_output", "-itsoffset 2", false, AVERROR(EINVAL), nullptr,
     "cannot be applied to output file out.avi -- you are trying to apply an input option to an output file or "
     "vice versa. Move this option before the file it belongs to."},
    {"unknown_target", "-target foo", false, AVERROR(EINVAL), nullptr, "Unknown target: foo"},
    {"scaler_geometry", "-srcw 100", false, AVERROR(EINVAL),
     "Directly using swscale dimensions/format options is not supported, please use the -s or -pix_fmt "
     "options",
     "Error parsing option \"srcw\" with argument \"100\"."},
    {"unsupported_report", "-report", false, AVERROR(EINVAL), nullptr, "options \"report\" not supported"},
    {"unsupported_stdin", "-stdin", false, AVERROR(EINVAL), nullptr, "options \"stdin\" not supported"},
    {"stats_period_zero", "-stats_period 0", false, AVERROR(EINVAL), nullptr, "stats_period 0 must be positive."},
    {"bad_loglevel", "-loglevel loud", false, AVERROR(EINVAL), nullptr,
     "Invalid loglevel \"loud\". Possible levels are numbers or:\r\n\"quiet\"\r\n"},
    {"preset_without_value", "", false, AVERROR(EINVAL), "Invalid syntax: \"vcodec=\"", "Invalid syntax: \"vcodec=\""},
};

class FailingStrings : public ParserTest, public ::testing::WithParamInterface<FailCase> {};

TEST_P(FailingStrings, FailWithTheirTexts)
{
    const FailCase& c = GetParam();
    const std::string presets = std::string(c.name) == "preset_without_value" ? "vcodec=" : "";
    const int ret = c.input ? ParseInput(c.options, presets) : ParseOutput(c.options, presets);
    EXPECT_EQ(ret, c.code) << c.options;
    if (c.optionError) {
        const std::string optionError = c.optionError;
        EXPECT_EQ(task.LastErrMsg(), (optionError.empty() ? "" : optionError + "\r\n") + EngineErrorText(c.code))
            << c.options;
    } else {
        EXPECT_FALSE(task.LastErrMsg().empty());
    }
    if (c.logged) {
        EXPECT_TRUE(test::LogContains(c.logged)) << c.options << " should log " << c.logged;
    }
}

INSTANTIATE_TEST_SUITE_P(Errors, FailingStrings, ::testing::ValuesIn(kFailCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ParserTest, UnknownTargetTextReachesTheCaller)
{
    const std::string kInvalid = "Invalid argument / Invalid data found when processing input";
    EXPECT_EQ(ParseOutput("-target foo"), AVERROR(EINVAL));
    EXPECT_EQ(task.LastErrMsg(), "Unknown target: foo\r\nFailed to set value \"foo\" for option \"target\": " +
                                     kInvalid + "\r\n" + kInvalid);
}

TEST_F(ParserTest, HaltingOffIgnoresInvalidWords)
{
    task.HaltOnInvalidOption = false;
    EXPECT_EQ(ParseOutput("stray -xyz -c:v mpeg4 -nofoo"), 0);
    EXPECT_EQ(ParsedValue(o, streams, "c@v"), "mpeg4");
    EXPECT_TRUE(test::LogContains("Invalid option \"stray\" found while parsing options, ignore"));
    EXPECT_TRUE(test::LogContains("Unrecognized option \"nofoo\"."));
    EXPECT_TRUE(task.LastErrMsg().empty());
}

TEST_F(ParserTest, HaltingOffSkipsTheUnknownOptionWordOnly)
{
    // "-xyz 1": the passthrough refuses the pair, the word is skipped and "1" is read next.
    task.HaltOnInvalidOption = false;
    EXPECT_EQ(ParseOutput("-xyz 1 -c:v mpeg4"), 0);
    EXPECT_TRUE(test::LogContains("Invalid option \"1\" found while parsing options, ignore"));
    EXPECT_EQ(ParsedValue(o, streams, "c@v"), "mpeg4");
}

TEST_F(ParserTest, HaltingOffTurnsFailuresIntoSuccess)
{
    task.HaltOnInvalidOption = false;
    EXPECT_EQ(ParseOutput("-target foo"), 0);
    EXPECT_TRUE(task.LastErrMsg().empty());
}

TEST_F(ParserTest, ConversionErrorsEndTheCall)
{
    try {
        ParseOutput("-ac two");
        FAIL() << "expected a conversion error";
    } catch (const TConvertError& e) {
        EXPECT_STREQ(e.what(), "'two' is not a valid integer value");
    }
    TOptionsContext other;
    EXPECT_THROW(task.ParseOptions(other, "-t abc", "", "output file", "x", OPT_OUTPUT), TEngineError);
    try {
        TOptionsContext third;
        task.ParseOptions(third, "-t abc", "", "output file", "x", OPT_OUTPUT);
    } catch (const TEngineError& e) {
        EXPECT_STREQ(e.what(), "Invalid duration specification for \"t\": \"abc\"");
    }
}

TEST_F(ParserTest, InputOptions)
{
    ASSERT_EQ(ParseInput("-noautorotate -itsoffset 2 -re -f mpegts -c:v h264 -thread_queue_size 64"), 0)
        << task.LastErrMsg();
    EXPECT_EQ(ParsedValue(o, streams, "autorotate@v"), "0");
    EXPECT_EQ(o.input_ts_offset, 2000000);
    EXPECT_EQ(o.rate_emu, 1);
    EXPECT_EQ(o.format, "mpegts");
    EXPECT_EQ(o.thread_queue_size, 64);
    EXPECT_EQ(ParsedValue(o, streams, "c@v"), "h264");
}

TEST_F(ParserTest, AutorotateTakesAnArgument)
{
    ASSERT_EQ(ParseInput("-autorotate 0 -ss 3"), 0);
    EXPECT_EQ(ParsedValue(o, streams, "autorotate@v"), "0");
    EXPECT_EQ(o.start_time, 3000000);
}

TEST_F(ParserTest, InitialContextValues)
{
    ASSERT_EQ(ParseOutput(""), 0);
    EXPECT_EQ(o.start_time, kNoPtsValue);
    EXPECT_EQ(o.recording_time, INT64_MAX);
    EXPECT_EQ(o.limit_filesize, INT64_MAX);
    EXPECT_EQ(o.chapters_input_file, INT_MAX);
    EXPECT_EQ(o.accurate_seek, 1);
    EXPECT_EQ(o.input_sync_ref, -1);
    EXPECT_EQ(o.thread_queue_size, -1);
    EXPECT_FLOAT_EQ(o.mux_max_delay, 0.7f);
    EXPECT_STREQ(o.g.sws_dict.Get("flags"), "bicubic");
}

TEST_F(ParserTest, GlobalOptionsReachTheTask)
{
    ASSERT_EQ(ParseOutput("-y -n -vol 512 -async 1 -copyts -filter_threads 3 -stats_period 0.25 -xerror "
                          "-vsync cfr -filter_complex \"[0:v]null[out]\""),
              0)
        << task.LastErrMsg();
    EXPECT_EQ(task.FGlobal.Ffile_overwrite, 1);
    EXPECT_EQ(task.FGlobal.Fno_file_overwrite, 1);
    EXPECT_EQ(task.FGlobal.Faudio_volume, 512);
    EXPECT_EQ(task.FGlobal.Faudio_sync_method, 1);
    EXPECT_EQ(task.FGlobal.Fcopy_ts, 1);
    EXPECT_EQ(task.FGlobal.Ffilter_nbthreads, "3");
    EXPECT_EQ(task.FGlobal.Fexit_on_error, 1);
    EXPECT_EQ(task.FGlobal.Fvideo_sync_method, VSYNC_CFR);
    EXPECT_EQ(task.FReportInterval, 250000);
    ASSERT_EQ(task.FGraph.Fnb_filtergraphs(), 1);
    EXPECT_EQ(task.FGraph.Ffiltergraphs[0]->graph_desc, "[0:v]null[out]");
    EXPECT_TRUE(test::LogContains("-vsync is deprecated. Use -fps_mode"));
    EXPECT_TRUE(test::LogContains("ffmpeg stats and -progress period set to 0.25."));
}

TEST_F(ParserTest, WarningsOfAliasesAndUnsupportedOptions)
{
    ASSERT_EQ(ParseOutput("-b 800k -hide_banner -qscale 2 -profile high -h"), 0) << task.LastErrMsg();
    EXPECT_TRUE(test::LogContains("Please use -b:a or -b:v, -b is ambiguous", TLogLevel::llWarning));
    EXPECT_TRUE(test::LogContains("options \"hide_banner\" not supported, ignore", TLogLevel::llWarning));
    EXPECT_TRUE(test::LogContains("options \"h\" not supported, ignore", TLogLevel::llWarning));
    EXPECT_TRUE(test::LogContains("Please use -q:a or -q:v, -qscale is ambiguous", TLogLevel::llWarning));
    EXPECT_TRUE(test::LogContains("Please use -profile:a or -profile:v, -profile is ambiguous", TLogLevel::llWarning));
}

TEST_F(ParserTest, LogLevelOptionSetsLibraryLevelAndFlags)
{
    const int savedLevel = ff().av_log_get_level();
    const int savedFlags = ff().av_log_get_flags();
    struct Case {
        const char* arg;
        int level;
        int flags;
    };
    const Case cases[] = {
        {"debug", AV_LOG_DEBUG, savedFlags},
        {"repeat+level+warning", AV_LOG_WARNING, AV_LOG_PRINT_LEVEL},
        {"-repeat+error", AV_LOG_ERROR, savedFlags | AV_LOG_SKIP_REPEATED},
        {"level+32", 32, AV_LOG_PRINT_LEVEL},
        {"24", 24, savedFlags},
    };
    for (const Case& c : cases) {
        ff().av_log_set_flags(savedFlags);
        TOptionsContext ctx;
        ASSERT_EQ(task.ParseOptions(ctx, std::string("-loglevel ") + c.arg, "", "output file", "x", OPT_OUTPUT), 0)
            << c.arg;
        EXPECT_EQ(ff().av_log_get_level(), c.level) << c.arg;
        EXPECT_EQ(ff().av_log_get_flags(), c.flags) << c.arg;
    }
    ff().av_log_set_level(savedLevel);
    ff().av_log_set_flags(savedFlags);
}

TEST_F(ParserTest, PresetErrorsCarryTheLine)
{
    EXPECT_EQ(ParseOutput("", "nosuchoption=1"), AVERROR_OPTION_NOT_FOUND);
    EXPECT_EQ(task.LastErrMsg(),
              "Option not found \"nosuchoption\"\r\nInvalid option or argument: \"nosuchoption=1\", parsed as "
              "\"nosuchoption\" = \"1\"\r\n" +
                  EngineErrorText(AVERROR_OPTION_NOT_FOUND));
}

TEST_F(ParserTest, HardwareDeviceOptions)
{
    // No such device here: the option fails with the device text, nothing is added.
    EXPECT_LT(ParseOutput("-qsv_device /dev/null/none"), 0);
    EXPECT_NE(
        task.LastErrMsg().find("Invalid device specification \"qsv=__qsv_device:hw_any,child_device=/dev/null/none\""),
        std::string::npos)
        << task.LastErrMsg();
    EXPECT_EQ(task.FGraph.Fhw_devices.size(), 0u);

    TOptionsContext other;
    EXPECT_EQ(task.ParseOptions(other, "-init_hw_device nosuchtype", "", "output file", "x", OPT_OUTPUT),
              AVERROR(ENOSYS));
    TOptionsContext third;
    EXPECT_EQ(task.ParseOptions(third, "-filter_hw_device missing", "", "output file", "x", OPT_OUTPUT),
              AVERROR(EINVAL));
    EXPECT_NE(task.LastErrMsg().find("Invalid filter device missing."), std::string::npos);
    TOptionsContext fourth;
    EXPECT_EQ(task.ParseOptions(fourth, "-init_hw_device list", "", "output file", "x", OPT_OUTPUT), 0);
}

TEST_F(ParserTest, VideoHookBitsPixel)
{
    ASSERT_EQ(ParseOutput("-VideoHookBitsPixel 24"), 0);
    EXPECT_EQ(task.VideoHookBitsPixel(), 24);
    TOptionsContext other;
    EXPECT_EQ(task.ParseOptions(other, "-VideoHookBitsPixel 7", "", "output file", "x", OPT_OUTPUT), AVERROR(EINVAL));
    TOptionsContext third;
    EXPECT_EQ(task.ParseOptions(third, "-VideoHookBitsPixel many", "", "output file", "x", OPT_OUTPUT),
              AVERROR(EINVAL));
    EXPECT_EQ(task.VideoHookBitsPixel(), 24);
    TOptionsContext fourth;
    EXPECT_EQ(task.ParseOptions(fourth, "-TimeStart soon", "", "input file", "x", OPT_INPUT), AVERROR(EINVAL));
}

TEST_F(ParserTest, NothingLeaksIntoTheNextFile)
{
    ASSERT_EQ(ParseOutput("-target pal-dvd -threads 4"), 0);
    TOptionsContext second;
    ASSERT_EQ(task.ParseOptions(second, "-c:v mpeg4", "", "output file", "b.avi", OPT_OUTPUT), 0);
    EXPECT_EQ(second.g.codec_opts.Get("g"), nullptr);
    EXPECT_EQ(second.g.codec_opts.Get("threads"), nullptr);
    EXPECT_EQ(second.g.format_opts.Get("packetsize"), nullptr);
}

}  // namespace
}  // namespace reelsmith
