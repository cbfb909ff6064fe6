#include "engine/options/ff_options.h"

#include "media/engine_log.h"
#include "engine/options/option_def.h"
#include "engine/options/option_error.h"

namespace reelsmith {

namespace {

constexpr int kSearchFlags = AV_OPT_SEARCH_CHILDREN | AV_OPT_SEARCH_FAKE_OBJ;

// Options without any flag bit are internal to their class and cannot be set by the user.
const AVOption* FindAVOption(const AVClass* cls, const std::string& name)
{
    const AVOption* o = ff().av_opt_find(&cls, name.c_str(), nullptr, 0, kSearchFlags);
    return (o && o->flags) ? o : nullptr;
}

// "+flag" or "-flag" for a flags option adds to what is already set.
int DictFlags(const AVOption* o, const std::string& arg)
{
    return (o->type == AV_OPT_TYPE_FLAGS && !arg.empty() && (arg[0] == '-' || arg[0] == '+')) ? AV_DICT_APPEND : 0;
}

bool IsScalerGeometryOption(const std::string& opt)
{
    return opt == "srcw" || opt == "srch" || opt == "dstw" || opt == "dsth" || opt == "src_format" ||
           opt == "dst_format";
}

}  // namespace

const TOptionDef* FindOption(const std::vector<TOptionDef>& table, const std::string& name)
{
    const size_t colon = name.find(':');
    const std::string_view base = std::string_view(name).substr(0, colon);
    for (const TOptionDef& def : table)
        if (base == def.name)
            return &def;
    return nullptr;
}

TFFOptions::TFFOptions() = default;

void TFFOptions::InitOpts()
{
    codec_opts.Clear();
    format_opts.Clear();
    swr_opts.Clear();
    sws_dict.Clear();
    sws_dict.Set("flags", "bicubic");
}

void TFFOptions::Reset()
{
    InitOpts();
    OptionParseContext.global_opts = TOptionGroup{};
    OptionParseContext.file_opts = TOptionGroup{};
}

void TFFOptions::FinishFileGroup()
{
    TOptionGroup& g = OptionParseContext.file_opts;
    g.codec_opts = codec_opts.Build();
    g.format_opts = format_opts.Build();
    g.sws_dict = sws_dict.Build();
    g.swr_opts = swr_opts.Build();
    InitOpts();
}

const TFFOptions::TRouting& TFFOptions::RoutingOf(const std::string& opt)
{
    // The answer depends on the name and on whether a specifier follows (a name with a
    // colon is never an option, so the kind-letter rule cannot match it).
    const size_t colon = opt.find(':');
    const std::string cacheKey = colon == std::string::npos ? opt : opt.substr(0, colon + 1);
    if (const auto it = routing_.find(cacheKey); it != routing_.end())
        return it->second;
    const std::string name = opt.substr(0, std::min(colon, size_t{127}));
    TRouting r;
    r.codec = FindAVOption(ff().avcodec_get_class(), name);
    if (!r.codec && !opt.empty() && (opt[0] == 'v' || opt[0] == 'a' || opt[0] == 's'))
        r.codec = FindAVOption(ff().avcodec_get_class(), opt.substr(1));
    r.format = FindAVOption(ff().avformat_get_class(), name);
    if (!r.codec && !r.format) {
        r.scaler = FindAVOption(ff().sws_get_class(), name);
        if (!r.scaler)
            r.resampler = FindAVOption(ff().swr_get_class(), name);
    }
    return routing_.emplace(cacheKey, r).first->second;
}

int TFFOptions::opt_default(const std::string& opt, const std::string& arg)
{
    if (opt == "debug" || opt == "fdebug")
        SetEngineLogLevel(TLogLevel::llDebug);

    const TRouting& r = RoutingOf(opt);
    if (r.codec)
        codec_opts.Set(opt, arg, DictFlags(r.codec, arg));
    if (r.format)
        format_opts.Set(opt, arg, DictFlags(r.format, arg));
    if (r.scaler) {
        if (IsScalerGeometryOption(opt)) {
            const char* text = "Directly using swscale dimensions/format options is not supported, please use "
                               "the -s or -pix_fmt options";
            EngineLog(TLogLevel::llError, text);
            SetOptionErrorText(text);
            return AVERROR(EINVAL);
        }
        sws_dict.Set(opt, arg, DictFlags(r.scaler, arg));
    }
    if (r.resampler)
        swr_opts.Set(opt, arg, DictFlags(r.resampler, arg));
    if (r.codec || r.format || r.scaler || r.resampler)
        return 0;
    SetOptionErrorText("Option not found \"" + opt + "\"");
    return AVERROR_OPTION_NOT_FOUND;
}

int TFFOptions::parse_options(const std::vector<std::string>& words, const std::vector<TOptionDef>& table,
                              bool haltOnInvalidOption)
{
    TOptionParseContext& octx = OptionParseContext;
    const size_t n = words.size();
    size_t i = 0;
    while (i < n) {
        const std::string& word = words[i++];
        EngineLog(TLogLevel::llDebug, "Reading option \"" + word + "\" ...");
        if (word.size() < 2 || word[0] != '-') {
            if (haltOnInvalidOption) {
                SetOptionErrorText(word.empty() ? std::string("Failed to parse options")
                                                : "Failed to parse options on \"" + word + "\"");
                return AVERROR(EINVAL);
            }
            EngineLog(TLogLevel::llWarning, "Invalid option \"" + word + "\" found while parsing options, ignore");
            continue;
        }
        const std::string name = word.substr(1);

        if (const TOptionDef* po = FindOption(table, name)) {
            std::string arg = "1";
            if ((po->flags & OPT_EXIT) && (po->flags & HAS_ARG)) {
                arg = i < n ? words[i++] : std::string();  // the argument is optional here
            } else if (po->flags & HAS_ARG) {
                if (i >= n) {
                    EngineLog(TLogLevel::llError, "Missing argument for option \"" + name + "\".");
                    return AVERROR(EINVAL);
                }
                arg = words[i++];
            }
            TOptionGroup& group = po->IsPerFile() ? octx.file_opts : octx.global_opts;
            group.opts.push_back({po, name, arg});
            EngineLog(TLogLevel::llDebug, StrFormat(" matched as option \"%s\" (%s) with argument \"%s\".", po->name,
                                                    po->help, arg.c_str()));
            continue;
        }

        if (i < n) {
            const int ret = opt_default(name, words[i]);
            if (ret >= 0) {
                EngineLog(TLogLevel::llDebug,
                          " matched as AVOption \"" + name + "\" with argument \"" + words[i] + "\".");
                ++i;
                continue;
            }
            if (ret != AVERROR_OPTION_NOT_FOUND) {
                EngineLog(TLogLevel::llError,
                          "Error parsing option \"" + name + "\" with argument \"" + words[i] + "\".");
                return ret;
            }
        }

        if (name.size() > 2 && name.compare(0, 2, "no") == 0) {
            const TOptionDef* po = FindOption(table, name.substr(2));
            if (po && (po->flags & OPT_BOOL)) {
                TOptionGroup& group = po->IsPerFile() ? octx.file_opts : octx.global_opts;
                group.opts.push_back({po, name, "0"});
                EngineLog(TLogLevel::llDebug, StrFormat(" matched as option \"%s\" (%s) with argument 0.", po->name,
                                                        po->help));
                continue;
            }
        }

        EngineLog(TLogLevel::llError, "Unrecognized option \"" + name + "\".");
        if (haltOnInvalidOption) {
            // Without a following word the passthrough was not asked, so say it here.
            SetOptionErrorText("Option not found \"" + name + "\"");
            return AVERROR_OPTION_NOT_FOUND;
        }
    }
    FinishFileGroup();
    return 0;
}

}  // namespace reelsmith
