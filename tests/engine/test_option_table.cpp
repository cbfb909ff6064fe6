// The option table: its order, and that every entry's kind fits where it writes.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <type_traits>
#include <vector>

#include "engine/options/option_table.h"

namespace reelsmith {
namespace {

const std::vector<std::string> kExpectedOrder = {
    "L",
    "h",
    "?",
    "help",
    "-help",
    "version",
    "buildconf",
    "formats",
    "muxers",
    "demuxers",
    "devices",
    "codecs",
    "decoders",
    "encoders",
    "bsfs",
    "protocols",
    "filters",
    "pix_fmts",
    "layouts",
    "sample_fmts",
    "dispositions",
    "colors",
    "loglevel",
    "v",
    "report",
    "max_alloc",
    "cpuflags",
    "cpucount",
    "hide_banner",
    "f",
    "y",
    "n",
    "ignore_unknown",
    "copy_unknown",
    "recast_media",
    "c",
    "codec",
    "pre",
    "map",
    "map_channel",
    "map_metadata",
    "map_chapters",
    "t",
    "t_microsecond",
    "to",
    "to_microsecond",
    "fs",
    "ss",
    "ss_microsecond",
    "sseof",
    "seek_timestamp",
    "accurate_seek",
    "isync",
    "itsoffset",
    "itsoffset_microsecond",
    "itsscale",
    "timestamp",
    "metadata",
    "program",
    "dframes",
    "benchmark",
    "benchmark_all",
    "progress",
    "stdin",
    "timelimit",
    "dump",
    "hex",
    "re",
    "readrate",
    "target",
    "vsync",
    "frame_drop_threshold",
    "async",
    "adrift_threshold",
    "copyts",
    "start_at_zero",
    "copytb",
    "shortest",
    "bitexact",
    "apad",
    "dts_delta_threshold",
    "dts_error_threshold",
    "xerror",
    "abort_on",
    "copyinkf",
    "copypriorss",
    "frames",
    "tag",
    "q",
    "qscale",
    "profile",
    "filter",
    "filter_threads",
    "filter_script",
    "reinit_filter",
    "filter_complex",
    "filter_complex_threads",
    "lavfi",
    "filter_complex_script",
    "auto_conversion_filters",
    "stats",
    "stats_period",
    "attach",
    "dump_attachment",
    "stream_loop",
    "debug_ts",
    "max_error_rate",
    "discard",
    "disposition",
    "thread_queue_size",
    "find_stream_info",
    "bits_per_raw_sample",
    "vframes",
    "r",
    "fpsmax",
    "s",
    "aspect",
    "pix_fmt",
    "vn",
    "rc_override",
    "vcodec",
    "timecode",
    "pass",
    "passlogfile",
    "psnr",
    "vstats",
    "vstats_file",
    "vstats_version",
    "vf",
    "intra_matrix",
    "inter_matrix",
    "chroma_intra_matrix",
    "top",
    "vtag",
    "qphist",
    "fps_mode",
    "force_fps",
    "streamid",
    "force_key_frames",
    "ab",
    "b",
    "hwaccel",
    "hwaccel_device",
    "hwaccel_output_format",
    "hwaccels",
    "autorotate",
    "autoscale",
    "aframes",
    "aq",
    "ar",
    "ac",
    "an",
    "acodec",
    "atag",
    "vol",
    "sample_fmt",
    "channel_layout",
    "ch_layout",
    "af",
    "guess_layout_max",
    "sn",
    "scodec",
    "stag",
    "fix_sub_duration",
    "canvas_size",
    "muxdelay",
    "muxpreload",
    "sdp_file",
    "time_base",
    "enc_time_base",
    "bsf",
    "absf",
    "vbsf",
    "apre",
    "vpre",
    "spre",
    "fpre",
    "max_muxing_queue_size",
    "muxing_queue_data_threshold",
    "dcodec",
    "dn",
    "qsv_device",
    "init_hw_device",
    "filter_hw_device",
    "VideoHookBitsPixel",
    "TimeStart",
    "timestart",
    "TimeLength",
    "timelength",
    "AudioInputHook",
    "AudioOutputHook",
    "VideoInputHook",
    "VideoOutputHook",
    "FrameInputHook",
    "FrameOutputHook",
    "default",
};

TEST(OptionTable, HasEveryOptionInOrder)
{
    const std::vector<TOptionDef> table = BuildOptionTable();
    ASSERT_EQ(static_cast<int>(table.size()), kOptionTableSize);
    ASSERT_EQ(kExpectedOrder.size(), table.size());
    for (size_t i = 0; i < table.size(); ++i)
        EXPECT_EQ(table[i].name, kExpectedOrder[i]) << "entry " << i;
}

TEST(OptionTable, NamesAreUniqueAndHelped)
{
    std::set<std::string> seen;
    for (const TOptionDef& def : BuildOptionTable()) {
        EXPECT_TRUE(seen.insert(def.name).second) << def.name;
        EXPECT_NE(std::string(def.help), "") << def.name;
        EXPECT_EQ(std::string(def.name).find(':'), std::string::npos) << def.name;
    }
}

// The kind bits must match the type of the value written, and per-file values must live
// in the options context, or the value would be read as the wrong type.
TEST(OptionTable, KindsMatchTheirTargets)
{
    for (const TOptionDef& def : BuildOptionTable()) {
        const uint32_t f = def.flags;
        std::visit(
            [&](auto target) {
                using T = decltype(target);
                if constexpr (std::is_same_v<T, std::monostate>) {
                    ADD_FAILURE() << def.name << " writes nowhere";
                } else if constexpr (std::is_same_v<T, TOptionHandler>) {
                    EXPECT_FALSE(f & (OPT_OFFSET | OPT_SPEC)) << def.name;
                } else {
                    constexpr bool inContext = std::is_invocable_v<T, TOptionsContext&>;
                    using Field = std::remove_cvref_t<
                        std::invoke_result_t<T, std::conditional_t<inContext, TOptionsContext&, TGlobalOptions&>>>;
                    if (inContext) {
                        EXPECT_TRUE(f & (OPT_OFFSET | OPT_SPEC)) << def.name << " needs a context offset";
                    } else {
                        EXPECT_FALSE(f & (OPT_OFFSET | OPT_SPEC)) << def.name;
                    }
                    const bool perStream = std::is_same_v<Field, TPerStreamOption<std::string>> ||
                                           std::is_same_v<Field, TPerStreamOption<int>> ||
                                           std::is_same_v<Field, TPerStreamOption<int64_t>> ||
                                           std::is_same_v<Field, TPerStreamOption<float>> ||
                                           std::is_same_v<Field, TPerStreamOption<double>>;
                    EXPECT_EQ(perStream, (f & OPT_SPEC) != 0) << def.name;
                    const auto is = [](auto* tag) {
                        using V = std::remove_pointer_t<decltype(tag)>;
                        return std::is_same_v<Field, V> || std::is_same_v<Field, TPerStreamOption<V>>;
                    };
                    if (f & OPT_STRING)
                        EXPECT_TRUE(is(static_cast<std::string*>(nullptr))) << def.name;
                    else if (f & (OPT_BOOL | OPT_INT))
                        EXPECT_TRUE(is(static_cast<int*>(nullptr))) << def.name;
                    else if (f & (OPT_INT64 | OPT_TIME))
                        EXPECT_TRUE(is(static_cast<int64_t*>(nullptr))) << def.name;
                    else if (f & OPT_FLOAT)
                        EXPECT_TRUE(is(static_cast<float*>(nullptr))) << def.name;
                    else if (f & OPT_DOUBLE)
                        EXPECT_TRUE(is(static_cast<double*>(nullptr))) << def.name;
                    else
                        ADD_FAILURE() << def.name << " has no value kind";
                }
            },
            def.u);
    }
}

struct Restriction {
    const char* name;
    bool input;
    bool output;
};

TEST(OptionTable, InputOutputRestrictions)
{
    const Restriction cases[] = {
        {"f", true, true},           {"c", true, true},          {"b", false, true},
        {"aspect", false, true},     {"ac", true, true},         {"ar", true, true},
        {"r", true, true},           {"s", true, true},          {"pix_fmt", true, true},
        {"tag", true, true},         {"filter", false, true},    {"vf", false, true},
        {"af", false, true},         {"vn", true, true},         {"ss", true, true},
        {"t", true, true},           {"to", true, true},         {"to_microsecond", false, true},
        {"frames", false, true},     {"q", false, true},         {"map", false, true},
        {"target", false, true},     {"itsoffset", true, false}, {"sseof", true, false},
        {"autorotate", true, false}, {"TimeStart", true, true},  {"TimeLength", true, true},
    };
    const std::vector<TOptionDef> table = BuildOptionTable();
    for (const Restriction& r : cases) {
        const auto it = std::find_if(table.begin(), table.end(),
                                     [&](const TOptionDef& d) { return std::string(d.name) == r.name; });
        ASSERT_NE(it, table.end()) << r.name;
        EXPECT_EQ((it->flags & OPT_INPUT) != 0, r.input) << r.name;
        EXPECT_EQ((it->flags & OPT_OUTPUT) != 0, r.output) << r.name;
    }
}

}  // namespace
}  // namespace reelsmith
