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
    if (const auto it = m_Routing.find(cacheKey); it != m_Routing.end())
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
    return m_Routing.emplace(cacheKey, r).first->second;
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
            const char* text =
                "Directly using swscale dimensions/format options is not supported, please use "
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

namespace {

// A word that is no option: refused when halting, else skipped with a warning. 0 or -22.
int InvalidWord(const std::string& word, bool haltOnInvalidOption)
{
    if (haltOnInvalidOption) {
        SetOptionErrorText(word.empty() ? std::string("Failed to parse options")
                                        : "Failed to parse options on \"" + word + "\"");
        return AVERROR(EINVAL);
    }
    EngineLog(TLogLevel::llWarning, "Invalid option \"" + word + "\" found while parsing options, ignore");
    return 0;
}

// An option of the table with its argument (words[i], which i then passes) in its group. 0 or -22
// when a needed argument is missing.
int TakeTableOption(TOptionParseContext& octx, const TOptionDef& po, const std::string& name,
                    const std::vector<std::string>& words, size_t& i)
{
    std::string arg = "1";
    if ((po.flags & OPT_EXIT) && (po.flags & HAS_ARG)) {
        arg = i < words.size() ? words[i++] : std::string();  // the argument is optional here
    } else if (po.flags & HAS_ARG) {
        if (i >= words.size()) {
            EngineLog(TLogLevel::llError, "Missing argument for option \"" + name + "\".");
            SetOptionErrorText("Missing argument for option \"" + name + "\"");
            return AVERROR(EINVAL);
        }
        arg = words[i++];
    }
    TOptionGroup& group = po.IsPerFile() ? octx.file_opts : octx.global_opts;
    group.opts.push_back({&po, name, arg});
    EngineLog(TLogLevel::llDebug,
              StrFormat(" matched as option \"%s\" (%s) with argument \"%s\".", po.name, po.help, arg.c_str()));
    return 0;
}

// "-noX" for a boolean option X of the table: X with argument 0. False when it is no such word.
bool TakeNegatedBool(TOptionParseContext& octx, const std::vector<TOptionDef>& table, const std::string& name)
{
    if (name.size() <= 2 || name.compare(0, 2, "no") != 0)
        return false;
    const TOptionDef* po = FindOption(table, name.substr(2));
    if (!po || !(po->flags & OPT_BOOL))
        return false;
    TOptionGroup& group = po->IsPerFile() ? octx.file_opts : octx.global_opts;
    group.opts.push_back({po, name, "0"});
    EngineLog(TLogLevel::llDebug, StrFormat(" matched as option \"%s\" (%s) with argument 0.", po->name, po->help));
    return true;
}

// An AVOption of the libraries with its argument. 1 when taken, 0 when no library has it, or
// the negative code of a refused value.
int TakeAVOption(TFFOptions& options, const std::string& name, const std::string& arg)
{
    const int ret = options.opt_default(name, arg);
    if (ret >= 0) {
        EngineLog(TLogLevel::llDebug, " matched as AVOption \"" + name + "\" with argument \"" + arg + "\".");
        return 1;
    }
    if (ret != AVERROR_OPTION_NOT_FOUND) {
        EngineLog(TLogLevel::llError, "Error parsing option \"" + name + "\" with argument \"" + arg + "\".");
        return ret;
    }
    return 0;
}

}  // namespace

int TFFOptions::parse_options(const std::vector<std::string>& words, const std::vector<TOptionDef>& table,
                              bool haltOnInvalidOption)
{
    TOptionParseContext& octx = OptionParseContext;
    size_t i = 0;
    while (i < words.size()) {
        const std::string& word = words[i++];
        EngineLog(TLogLevel::llDebug, "Reading option \"" + word + "\" ...");
        if (word.size() < 2 || word[0] != '-') {
            if (const int ret = InvalidWord(word, haltOnInvalidOption); ret < 0)
                return ret;
            continue;
        }
        const std::string name = word.substr(1);
        if (const TOptionDef* po = FindOption(table, name)) {
            if (const int ret = TakeTableOption(octx, *po, name, words, i); ret < 0)
                return ret;
            continue;
        }
        if (i < words.size()) {
            const int taken = TakeAVOption(*this, name, words[i]);
            if (taken < 0)
                return taken;
            if (taken > 0) {
                ++i;
                continue;
            }
        }
        if (TakeNegatedBool(octx, table, name))
            continue;
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
