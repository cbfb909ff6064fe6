#include "engine/options/option_handlers.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "engine/options/custom_ffmpeg_opt.h"
#include "engine/engine_error.h"
#include "media/engine_log.h"
#include "engine/pipeline/hw_device.h"
#include "engine/options/log_level_option.h"
#include "engine/options/option_error.h"
#include "engine/options/presets.h"
#include "engine/text_file.h"

namespace reelsmith::handlers {

namespace {

constexpr int kMaxStreams = 1024;

std::string BaseName(const std::string& opt) { return opt.substr(0, opt.find(':')); }

// Text after the option name (":v", ":a:0"), empty when there is no specifier.
std::string SpecifierSuffix(const std::string& opt)
{
    const size_t colon = opt.find(':');
    return colon == std::string::npos ? std::string() : opt.substr(colon);
}

int Refuse(const std::string& text)
{
    EngineLog(TLogLevel::llError, text);
    SetOptionErrorText(text);
    return AVERROR(EINVAL);
}

// Seconds as a decimal number -> microseconds, applied through the microsecond option.
int ApplySeconds(TCustomFFmpegOpt& task, TOptionsContext* o, const std::string& opt, const std::string& arg,
                 const char* microsecondOption)
{
    double seconds = 0;
    try {
        seconds = StrToFloat(arg);
    } catch (const TConvertError& e) {
        EngineLog(TLogLevel::llError,
                  StrFormat("Invalid value \"%s\" for option \"%s\": %s", arg.c_str(), opt.c_str(), e.what()));
        return AVERROR(EINVAL);
    }
    const double us = std::round(seconds * 1e6);
    if (!(std::fabs(us) < 9.2e18)) {
        EngineLog(TLogLevel::llError, StrFormat("Invalid value \"%s\" for option \"%s\"", arg.c_str(), opt.c_str()));
        return AVERROR(EINVAL);
    }
    return task.ParseOption(o, microsecondOption, std::to_string(static_cast<long long>(us)));
}

}  // namespace

int opt_unsupported_info(TCustomFFmpegOpt&, TOptionsContext*, const std::string& opt, const std::string&)
{
    EngineLog(TLogLevel::llWarning, "options \"" + opt + "\" not supported, ignore");
    return 0;
}

int opt_unsupported(TCustomFFmpegOpt&, TOptionsContext*, const std::string& opt, const std::string&)
{
    return Refuse("options \"" + opt + "\" not supported");
}

int opt_loglevel(TCustomFFmpegOpt&, TOptionsContext*, const std::string&, const std::string& arg)
{
    return ApplyLogLevel(arg);
}

int opt_max_alloc(TCustomFFmpegOpt&, TOptionsContext*, const std::string&, const std::string& arg)
{
    char* tail = nullptr;
    const unsigned long long max = std::strtoull(arg.c_str(), &tail, 10);
    if (arg.empty() || *tail)
        return Refuse("Invalid max_alloc \"" + arg + "\".");
    ff().av_max_alloc(static_cast<size_t>(max));
    return 0;
}

int opt_cpuflags(TCustomFFmpegOpt&, TOptionsContext*, const std::string&, const std::string& arg)
{
    unsigned flags = ff().av_get_cpu_flags();
    const int ret = ff().av_parse_cpu_caps(&flags, arg.c_str());
    if (ret < 0)
        return ret;
    ff().av_force_cpu_flags(static_cast<int>(flags));
    return 0;
}

int opt_cpucount(TCustomFFmpegOpt&, TOptionsContext*, const std::string&, const std::string& arg)
{
    const int count = StrToInt(arg);
    if (count < -1)
        return Refuse("Invalid cpucount \"" + arg + "\".");
    ff().av_cpu_force_count(count);
    return 0;
}

int opt_recording_timestamp(TCustomFFmpegOpt& task, TOptionsContext* o, const std::string& opt, const std::string& arg)
{
    int64_t us = 0;
    if (ff().av_parse_time(&us, arg.c_str(), 0) < 0)
        throw TEngineError("Invalid date specification for \"" + opt + "\": \"" + arg + "\"");
    const time_t seconds = static_cast<time_t>(us / 1000000);
    struct tm utc {};
    char buf[128];
    if (!gmtime_r(&seconds, &utc) || !std::strftime(buf, sizeof buf, "creation_time=%Y-%m-%dT%H:%M:%S%z", &utc))
        return AVERROR(EINVAL);
    const int ret = task.ParseOption(o, "metadata", buf);
    EngineLog(TLogLevel::llWarning, opt + " is deprecated, set the \"creation_time\" metadata tag instead.");
    return ret;
}

int opt_data_frames(TCustomFFmpegOpt& task, TOptionsContext* o, const std::string&, const std::string& arg)
{
    return task.ParseOption(o, "frames:d", arg);
}

int opt_video_frames(TCustomFFmpegOpt& task, TOptionsContext* o, const std::string&, const std::string& arg)
{
    return task.ParseOption(o, "frames:v", arg);
}

int opt_audio_frames(TCustomFFmpegOpt& task, TOptionsContext* o, const std::string&, const std::string& arg)
{
    return task.ParseOption(o, "frames:a", arg);
}

// Opened with the first output, once the inputs it must not write are known.
int opt_progress(TCustomFFmpegOpt& task, TOptionsContext*, const std::string&, const std::string& arg)
{
    task.FGlobal.Fprogress_url = arg == "-" ? "pipe:" : arg;
    task.FGlobal.Fprogress_avio.reset();
    return 0;
}

int opt_vsync(TCustomFFmpegOpt& task, TOptionsContext*, const std::string&, const std::string& arg)
{
    EngineLog(TLogLevel::llWarning, "-vsync is deprecated. Use -fps_mode");
    static const struct {
        const char* name;
        int method;
    } kMethods[] = {{"cfr", VSYNC_CFR}, {"vfr", VSYNC_VFR}, {"passthrough", VSYNC_PASSTHROUGH}, {"drop", VSYNC_DROP}};
    for (const auto& m : kMethods) {
        if (ff().av_strcasecmp(arg.c_str(), m.name) == 0) {
            task.FGlobal.Fvideo_sync_method = m.method;
            return 0;
        }
    }
    if (ff().av_strcasecmp(arg.c_str(), "auto") == 0) {
        task.FGlobal.Fvideo_sync_method = VSYNC_AUTO;
        return 0;
    }
    const int number = StrToInt(arg);
    if (number < VSYNC_AUTO || number > VSYNC_VFR)
        return Refuse("The value for vsync was " + arg + " which is not within -1 - 2");
    EngineLog(TLogLevel::llWarning,
              "Passing a number to -vsync is deprecated, use a string argument as described in the manual.");
    task.FGlobal.Fvideo_sync_method = number;
    return 0;
}

int opt_qscale(TCustomFFmpegOpt& task, TOptionsContext* o, const std::string& opt, const std::string& arg)
{
    if (opt == "qscale") {
        EngineLog(TLogLevel::llWarning, "Please use -q:a or -q:v, -qscale is ambiguous");
        return task.ParseOption(o, "q:v", arg);
    }
    std::string name(1, 'q');
    name += SpecifierSuffix(opt);
    return task.ParseOption(o, name, arg);
}

int opt_profile(TCustomFFmpegOpt&, TOptionsContext* o, const std::string& opt, const std::string& arg)
{
    if (opt == "profile") {
        EngineLog(TLogLevel::llWarning, "Please use -profile:a or -profile:v, -profile is ambiguous");
        o->g.codec_opts.Set("profile:v", arg);
        return 0;
    }
    o->g.codec_opts.Set(opt, arg);
    return 0;
}

int opt_filter_threads(TCustomFFmpegOpt& task, TOptionsContext*, const std::string&, const std::string& arg)
{
    task.FGlobal.Ffilter_nbthreads = arg;
    return 0;
}

int opt_filter_complex(TCustomFFmpegOpt& task, TOptionsContext*, const std::string&, const std::string& arg)
{
    auto graph = std::make_unique<TFilterGraph>();
    graph->index = task.FGraph.Fnb_filtergraphs();
    graph->graph_desc = arg;
    task.FGraph.Ffiltergraphs.push_back(std::move(graph));
    return 0;
}

int opt_filter_complex_script(TCustomFFmpegOpt& task, TOptionsContext* o, const std::string& opt,
                              const std::string& arg)
{
    std::string text;
    if (const int ret = ReadOptionFile(arg, text); ret < 0) {
        EngineLog(TLogLevel::llError, "Error opening file " + arg + ".");
        return ret;
    }
    return opt_filter_complex(task, o, opt, text);
}

int opt_stats_period(TCustomFFmpegOpt& task, TOptionsContext*, const std::string&, const std::string& arg)
{
    int64_t us = 0;
    const int ret = ff().av_parse_time(&us, arg.c_str(), 1);
    if (ret < 0) {
        const std::string text = "Invalid interval value \"" + arg + "\": " + EngineErrorText(ret);
        EngineLog(TLogLevel::llError, text);
        SetOptionErrorText(text);
        return ret;
    }
    if (us <= 0)
        return Refuse("stats_period " + arg + " must be positive.");
    task.FReportInterval = us;
    EngineLog(TLogLevel::llInfo, "ffmpeg stats and -progress period set to " + arg + ".");
    return 0;
}

int opt_attach(TCustomFFmpegOpt&, TOptionsContext* o, const std::string&, const std::string& arg)
{
    o->attachments.push_back(arg);
    return 0;
}

int opt_video_codec(TCustomFFmpegOpt& task, TOptionsContext* o, const std::string&, const std::string& arg)
{
    return task.ParseOption(o, "c:v", arg);
}

int opt_audio_codec(TCustomFFmpegOpt& task, TOptionsContext* o, const std::string&, const std::string& arg)
{
    return task.ParseOption(o, "c:a", arg);
}

int opt_subtitle_codec(TCustomFFmpegOpt& task, TOptionsContext* o, const std::string&, const std::string& arg)
{
    return task.ParseOption(o, "c:s", arg);
}

int opt_data_codec(TCustomFFmpegOpt& task, TOptionsContext* o, const std::string&, const std::string& arg)
{
    return task.ParseOption(o, "c:d", arg);
}

int opt_timecode(TCustomFFmpegOpt& task, TOptionsContext* o, const std::string&, const std::string& arg)
{
    const int ret = task.ParseOption(o, "metadata:g", "timecode=" + arg);
    if (ret >= 0)
        o->g.codec_opts.Set("gop_timecode", arg);
    return ret;
}

int opt_vstats(TCustomFFmpegOpt& task, TOptionsContext* o, const std::string&, const std::string&)
{
    const time_t now = std::time(nullptr);
    struct tm local {};
    localtime_r(&now, &local);
    return opt_vstats_file(task, o, "vstats_file",
                           StrFormat("vstats_%02d%02d%02d.log", local.tm_hour, local.tm_min, local.tm_sec));
}

int opt_vstats_file(TCustomFFmpegOpt& task, TOptionsContext*, const std::string&, const std::string& arg)
{
    task.FGlobal.Fvstats_filename = arg;
    return 0;
}

int opt_video_filters(TCustomFFmpegOpt& task, TOptionsContext* o, const std::string&, const std::string& arg)
{
    return task.ParseOption(o, "filter:v", arg);
}

int opt_audio_filters(TCustomFFmpegOpt& task, TOptionsContext* o, const std::string&, const std::string& arg)
{
    return task.ParseOption(o, "filter:a", arg);
}

int opt_old2new(TCustomFFmpegOpt& task, TOptionsContext* o, const std::string& opt, const std::string& arg)
{
    // "vtag" -> "tag:v", "absf" -> "bsf:a": the first letter names the media kind.
    const std::string base = BaseName(opt);
    std::string modern = base.substr(1);
    modern.append(1, ':').append(1, base.front());
    return task.ParseOption(o, modern, arg);
}

int opt_streamid(TCustomFFmpegOpt& task, TOptionsContext* o, const std::string& opt, const std::string& arg)
{
    const size_t colon = arg.find(':');
    if (colon == std::string::npos)
        task.Fatal("Invalid value \"" + arg + "\" for option \"" + opt + "\", required syntax is \"index:value\"");
    const int index = StrToInt(arg.substr(0, colon));
    const long long value = StrToInt64(arg.substr(colon + 1));
    if (index < 0 || index >= kMaxStreams)
        task.Fatal(
            StrFormat("The value for %s was %d which is not within 0 - %d", opt.c_str(), index, kMaxStreams - 1));
    if (value < 0 || value > INT32_MAX)
        task.Fatal(StrFormat("The value for %s was %lld which is not within 0 - %d", opt.c_str(), value, INT32_MAX));
    if (static_cast<int>(o->streamid_map.size()) <= index)
        o->streamid_map.resize(index + 1, 0);
    o->streamid_map[index] = static_cast<int>(value);
    return 0;
}

int opt_bitrate(TCustomFFmpegOpt&, TOptionsContext* o, const std::string& opt, const std::string& arg)
{
    if (opt == "ab") {
        o->g.codec_opts.Set("b:a", arg);
    } else if (opt == "b") {
        EngineLog(TLogLevel::llWarning, "Please use -b:a or -b:v, -b is ambiguous");
        o->g.codec_opts.Set("b:v", arg);
    } else {
        o->g.codec_opts.Set(opt, arg);
    }
    return 0;
}

int opt_audio_qscale(TCustomFFmpegOpt& task, TOptionsContext* o, const std::string&, const std::string& arg)
{
    return task.ParseOption(o, "q:a", arg);
}

int opt_sdp_file(TCustomFFmpegOpt& task, TOptionsContext*, const std::string&, const std::string& arg)
{
    task.FGlobal.Fsdp_filename = arg;
    return 0;
}

int opt_preset(TCustomFFmpegOpt& task, TOptionsContext* o, const std::string&, const std::string& arg)
{
    return ApplyPresetFile(task, *o, arg);
}

int opt_qsv_device(TCustomFFmpegOpt& task, TOptionsContext* o, const std::string&, const std::string& arg)
{
    return opt_init_hw_device(task, o, "init_hw_device", "qsv=__qsv_device:hw_any,child_device=" + arg);
}

int opt_init_hw_device(TCustomFFmpegOpt& task, TOptionsContext*, const std::string&, const std::string& arg)
{
    if (arg == "list") {
        std::string names;
        for (AVHWDeviceType t = ff().av_hwdevice_iterate_types(AV_HWDEVICE_TYPE_NONE); t != AV_HWDEVICE_TYPE_NONE;
             t = ff().av_hwdevice_iterate_types(t))
            names += StrFormat("%s\n", ff().av_hwdevice_get_type_name(t));
        EngineLog(TLogLevel::llInfo, "Supported hardware device types:\n" + names);
        return 0;
    }
    const int ret = HWDeviceInitFromString(task.FGraph, arg);
    if (ret < 0)
        SetOptionErrorText("Invalid device specification \"" + arg + "\": " + EngineErrorText(ret));
    return ret;
}

int opt_filter_hw_device(TCustomFFmpegOpt& task, TOptionsContext*, const std::string&, const std::string& arg)
{
    if (task.FGraph.Ffilter_hw_device)
        return Refuse("Only one filter device can be used.");
    task.FGraph.Ffilter_hw_device = task.FGraph.FindHWDevice(arg);
    if (!task.FGraph.Ffilter_hw_device)
        return Refuse("Invalid filter device " + arg + ".");
    return 0;
}

int opt_video_hook_bits_pixel(TCustomFFmpegOpt& task, TOptionsContext*, const std::string& opt, const std::string& arg)
{
    try {
        if (task.SetVideoHookBitsPixel(StrToInt(arg)))
            return 0;
    } catch (const TConvertError&) {
    }
    EngineLog(TLogLevel::llError, "Invalid value \"" + arg + "\" for option \"" + opt + "\"");
    return AVERROR(EINVAL);
}

int opt_time_start(TCustomFFmpegOpt& task, TOptionsContext* o, const std::string& opt, const std::string& arg)
{
    return ApplySeconds(task, o, opt, arg, "ss_microsecond");
}

int opt_time_length(TCustomFFmpegOpt& task, TOptionsContext* o, const std::string& opt, const std::string& arg)
{
    return ApplySeconds(task, o, opt, arg, "t_microsecond");
}

int opt_hook_flag(TCustomFFmpegOpt&, TOptionsContext*, const std::string&, const std::string&) { return 0; }

int opt_default(TCustomFFmpegOpt& task, TOptionsContext* o, const std::string& opt, const std::string& arg)
{
    if (!o)
        return task.FFOptions.opt_default(opt, arg);
    return PassThroughInto(task, o->g, opt, arg, 0);
}

}  // namespace reelsmith::handlers
