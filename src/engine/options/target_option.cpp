// -target: the settings of video CD, super video CD, DVD and DV outputs.
#include <cmath>
#include <utility>

#include "engine/options/custom_ffmpeg_opt.h"
#include "media/engine_log.h"
#include "engine/options/option_error.h"
#include "engine/options/option_handlers.h"

namespace reelsmith::handlers {

namespace {

enum class TNorm { Pal, Ntsc, Film, Unknown };

bool StartsWith(const std::string& text, const char* prefix)
{
    return text.compare(0, std::char_traits<char>::length(prefix), prefix) == 0;
}

// The norm of the first video stream of the open inputs whose time base reads as a
// PAL or NTSC rate.
TNorm GuessNorm(const TJobGraph& graph)
{
    for (const auto& file : graph.Finput_files) {
        if (!file->ctx)
            continue;
        for (unsigned i = 0; i < file->ctx->nb_streams; ++i) {
            const AVStream* st = file->ctx->streams[i];
            if (st->codecpar->codec_type != AVMEDIA_TYPE_VIDEO || st->time_base.num <= 0)
                continue;
            const long long rate = std::llround(st->time_base.den * 1000.0 / st->time_base.num);
            if (rate == 25000)
                return TNorm::Pal;
            if (rate == 29970 || rate == 23976)
                return TNorm::Ntsc;
        }
    }
    return TNorm::Unknown;
}

// Table options are written now; codec and format options are collected and added later
// without replacing what the file already has.
class TTargetWriter {
public:
    TTargetWriter(TCustomFFmpegOpt& task, TOptionsContext* o) : m_Task(task), m_Options(o) {}

    void Option(const char* name, const std::string& value) { m_Task.ParseOption(m_Options, name, value); }
    void Codec(const char* key, const std::string& value)
    {
        // The scratch dictionaries of the parse collect the target's AVOptions.
        m_Task.FFOptions.opt_default(key, value);
    }

private:
    TCustomFFmpegOpt& m_Task;
    TOptionsContext* m_Options;
};

struct TTarget {
    TNorm norm = TNorm::Unknown;
    std::string type;  // vcd, svcd, dvd or dv
};

// "[pal-|ntsc-|film-]type".
TTarget SplitTarget(const std::string& arg)
{
    for (const auto& [prefix, norm] : {std::pair{"pal-", TNorm::Pal}, std::pair{"ntsc-", TNorm::Ntsc},
                                       std::pair{"film-", TNorm::Film}})
        if (StartsWith(arg, prefix))
            return {norm, arg.substr(std::char_traits<char>::length(prefix))};
    return {TNorm::Unknown, arg};
}

// A target without a norm takes the one the open inputs suggest; without any, it is fatal.
TNorm ResolveNorm(TCustomFFmpegOpt& task, TNorm norm)
{
    if (norm == TNorm::Unknown) {
        norm = GuessNorm(task.FGraph);
        if (norm != TNorm::Unknown)
            EngineLog(TLogLevel::llInfo,
                      std::string("Assuming ") + (norm == TNorm::Pal ? "PAL" : "NTSC") + " for target.");
    }
    if (norm == TNorm::Unknown)
        task.Fatal("Could not determine norm (PAL/NTSC/NTSC-Film) for target.\r\n"
                   "Please prefix target with \"pal-\", \"ntsc-\" or \"film-\"\r\n"
                   "or set a framerate with \"-r xxx\".");
    return norm;
}

void WriteVcd(TTargetWriter& w, bool pal, const char* rate, TOptionsContext* o)
{
    w.Option("c:v", "mpeg1video");
    w.Option("c:a", "mp2");
    w.Option("f", "vcd");
    w.Option("s", pal ? "352x288" : "352x240");
    w.Option("r", rate);
    w.Codec("g", pal ? "15" : "18");
    w.Codec("b:v", "1150000");
    w.Codec("maxrate:v", "1150000");
    w.Codec("minrate:v", "1150000");
    w.Codec("bufsize:v", "327680");
    w.Codec("b:a", "224000");
    w.Option("ar", "44100");
    w.Option("ac", "2");
    w.Codec("packetsize", "2324");
    w.Codec("muxrate", "1411200");
    o->mux_preload = 0.44f;  // (36000 + 3 * 1200) / 90000 seconds
}

void WriteSvcd(TTargetWriter& w, bool pal, const char* rate)
{
    w.Option("c:v", "mpeg2video");
    w.Option("c:a", "mp2");
    w.Option("f", "svcd");
    w.Option("s", pal ? "480x576" : "480x480");
    w.Option("r", rate);
    w.Option("pix_fmt", "yuv420p");
    w.Codec("g", pal ? "15" : "18");
    w.Codec("b:v", "2040000");
    w.Codec("maxrate:v", "2516000");
    w.Codec("minrate:v", "0");
    w.Codec("bufsize:v", "1835008");
    w.Codec("scan_offset", "1");
    w.Codec("b:a", "224000");
    w.Option("ar", "44100");
    w.Codec("packetsize", "2324");
}

void WriteDvd(TTargetWriter& w, bool pal, const char* rate)
{
    w.Option("c:v", "mpeg2video");
    w.Option("c:a", "ac3");
    w.Option("f", "dvd");
    w.Option("s", pal ? "720x576" : "720x480");
    w.Option("r", rate);
    w.Option("pix_fmt", "yuv420p");
    w.Codec("g", pal ? "15" : "18");
    w.Codec("b:v", "6000000");
    w.Codec("maxrate:v", "9000000");
    w.Codec("minrate:v", "0");
    w.Codec("bufsize:v", "1835008");
    w.Codec("packetsize", "2048");
    w.Codec("muxrate", "10080000");
    w.Codec("b:a", "448000");
    w.Option("ar", "48000");
}

void WriteDv(TTargetWriter& w, bool pal, const char* rate)
{
    w.Option("f", "dv");
    w.Option("s", pal ? "720x576" : "720x480");
    w.Option("pix_fmt", pal ? "yuv420p" : "yuv411p");
    w.Option("r", rate);
    w.Option("ar", "48000");
    w.Option("ac", "2");
}

}  // namespace

int opt_target(TCustomFFmpegOpt& task, TOptionsContext* o, const std::string&, const std::string& arg)
{
    const TTarget target = SplitTarget(arg);
    const std::string& type = target.type;
    if (type != "vcd" && type != "svcd" && type != "dvd" && type != "dv") {
        const std::string text = "Unknown target: " + type;
        EngineLog(TLogLevel::llError, text);
        SetOptionErrorText(text);
        return AVERROR(EINVAL);
    }
    const TNorm norm = ResolveNorm(task, target.norm);
    const bool pal = norm == TNorm::Pal;
    const char* rate = pal ? "25" : norm == TNorm::Ntsc ? "30000/1001" : "24000/1001";

    task.FFOptions.InitOpts();
    task.FFOptions.sws_dict.Clear();
    TTargetWriter w(task, o);
    if (type == "vcd")
        WriteVcd(w, pal, rate, o);
    else if (type == "svcd")
        WriteSvcd(w, pal, rate);
    else if (type == "dvd")
        WriteDvd(w, pal, rate);
    else
        WriteDv(w, pal, rate);

    task.FFOptions.codec_opts.CopyInto(o->g.codec_opts, AV_DICT_DONT_OVERWRITE);
    task.FFOptions.format_opts.CopyInto(o->g.format_opts, AV_DICT_DONT_OVERWRITE);
    task.FFOptions.InitOpts();
    return 0;
}

}  // namespace reelsmith::handlers
