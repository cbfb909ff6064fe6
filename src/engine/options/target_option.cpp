// -target: the settings of video CD, super video CD, DVD and DV outputs.
#include <cmath>
#include <span>
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
    for (const auto& [prefix, norm] :
         {std::pair{"pal-", TNorm::Pal}, std::pair{"ntsc-", TNorm::Ntsc}, std::pair{"film-", TNorm::Film}})
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
        task.Fatal(
            "Could not determine norm (PAL/NTSC/NTSC-Film) for target.\r\n"
            "Please prefix target with \"pal-\", \"ntsc-\" or \"film-\"\r\n"
            "or set a framerate with \"-r xxx\".");
    return norm;
}

// One setting of a target, in the order the settings are applied: a table option parsed now
// or a codec/format AVOption collected for later; the PAL value and, where it differs, the
// NTSC and film one. kRate stands for the norm's frame rate.
enum TSettingKind { kTableOption, kAVOption };
struct TTargetSetting {
    TSettingKind kind;
    const char* key;
    const char* pal;
    const char* other = nullptr;
};
const char kRate[] = "(the norm's frame rate)";

const TTargetSetting kVcd[] = {{kTableOption, "c:v", "mpeg1video"}, {kTableOption, "c:a", "mp2"},
                               {kTableOption, "f", "vcd"},          {kTableOption, "s", "352x288", "352x240"},
                               {kTableOption, "r", kRate},          {kAVOption, "g", "15", "18"},
                               {kAVOption, "b:v", "1150000"},       {kAVOption, "maxrate:v", "1150000"},
                               {kAVOption, "minrate:v", "1150000"}, {kAVOption, "bufsize:v", "327680"},
                               {kAVOption, "b:a", "224000"},        {kTableOption, "ar", "44100"},
                               {kTableOption, "ac", "2"},           {kAVOption, "packetsize", "2324"},
                               {kAVOption, "muxrate", "1411200"}};

const TTargetSetting kSvcd[] = {{kTableOption, "c:v", "mpeg2video"}, {kTableOption, "c:a", "mp2"},
                                {kTableOption, "f", "svcd"},         {kTableOption, "s", "480x576", "480x480"},
                                {kTableOption, "r", kRate},          {kTableOption, "pix_fmt", "yuv420p"},
                                {kAVOption, "g", "15", "18"},        {kAVOption, "b:v", "2040000"},
                                {kAVOption, "maxrate:v", "2516000"}, {kAVOption, "minrate:v", "0"},
                                {kAVOption, "bufsize:v", "1835008"}, {kAVOption, "scan_offset", "1"},
                                {kAVOption, "b:a", "224000"},        {kTableOption, "ar", "44100"},
                                {kAVOption, "packetsize", "2324"}};

const TTargetSetting kDvd[] = {{kTableOption, "c:v", "mpeg2video"}, {kTableOption, "c:a", "ac3"},
                               {kTableOption, "f", "dvd"},          {kTableOption, "s", "720x576", "720x480"},
                               {kTableOption, "r", kRate},          {kTableOption, "pix_fmt", "yuv420p"},
                               {kAVOption, "g", "15", "18"},        {kAVOption, "b:v", "6000000"},
                               {kAVOption, "maxrate:v", "9000000"}, {kAVOption, "minrate:v", "0"},
                               {kAVOption, "bufsize:v", "1835008"}, {kAVOption, "packetsize", "2048"},
                               {kAVOption, "muxrate", "10080000"},  {kAVOption, "b:a", "448000"},
                               {kTableOption, "ar", "48000"}};

const TTargetSetting kDv[] = {{kTableOption, "f", "dv"},
                              {kTableOption, "s", "720x576", "720x480"},
                              {kTableOption, "pix_fmt", "yuv420p", "yuv411p"},
                              {kTableOption, "r", kRate},
                              {kTableOption, "ar", "48000"},
                              {kTableOption, "ac", "2"}};

struct TTargetTable {
    const char* type;
    std::span<const TTargetSetting> settings;
};

const TTargetTable kTargets[] = {{"vcd", kVcd}, {"svcd", kSvcd}, {"dvd", kDvd}, {"dv", kDv}};

const TTargetTable* FindTarget(const std::string& type)
{
    for (const TTargetTable& target : kTargets)
        if (type == target.type)
            return &target;
    return nullptr;
}

void WriteTarget(TTargetWriter& w, const TTargetTable& target, bool pal, const char* rate)
{
    for (const TTargetSetting& setting : target.settings) {
        const char* value = pal || !setting.other ? setting.pal : setting.other;
        if (value == kRate)
            value = rate;
        if (setting.kind == kTableOption)
            w.Option(setting.key, value);
        else
            w.Codec(setting.key, value);
    }
}

}  // namespace

int opt_target(TCustomFFmpegOpt& task, TOptionsContext* o, const std::string&, const std::string& arg)
{
    const TTarget target = SplitTarget(arg);
    const std::string& type = target.type;
    const TTargetTable* table = FindTarget(type);
    if (!table) {
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
    WriteTarget(w, *table, pal, rate);
    if (type == "vcd")
        o->mux_preload = 0.44f;  // (36000 + 3 * 1200) / 90000 seconds

    task.FFOptions.codec_opts.CopyInto(o->g.codec_opts, AV_DICT_DONT_OVERWRITE);
    task.FFOptions.format_opts.CopyInto(o->g.format_opts, AV_DICT_DONT_OVERWRITE);
    task.FFOptions.InitOpts();
    return 0;
}

}  // namespace reelsmith::handlers
