#include "engine/options/custom_ffmpeg_opt.h"

#include <type_traits>

#include "engine/engine_error.h"
#include "media/engine_log.h"
#include "engine/options/log_level_option.h"
#include "engine/options/option_error.h"
#include "engine/options/option_table.h"
#include "engine/options/word_splitter.h"

namespace reelsmith {

namespace {

// The index of the first word naming `target` the way matching would find it, or npos.
size_t LocateOption(const std::vector<std::string>& words, const std::vector<TOptionDef>& table, const char* target)
{
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (word.size() < 2 || word[0] != '-')
            continue;
        const std::string name = word.substr(1);
        const TOptionDef* po = FindOption(table, name);
        if (!po && name.compare(0, 2, "no") == 0)
            po = FindOption(table, name.substr(2));
        if ((po && std::string_view(po->name) == target) || (!po && name == target))
            return i;
        if (!po || (po->flags & HAS_ARG))
            ++i;  // skip its argument
    }
    return std::string::npos;
}

std::string StreamSpecifierOf(const std::string& opt)
{
    const size_t colon = opt.find(':');
    return colon == std::string::npos ? std::string() : opt.substr(colon + 1);
}

int64_t ParseDuration(const std::string& opt, const std::string& arg)
{
    int64_t us = 0;
    if (ff().av_parse_time(&us, arg.c_str(), 1) < 0)
        throw TEngineError("Invalid duration specification for \"" + opt + "\": \"" + arg + "\"");
    return us;
}

template <typename T>
void ReadValue(T& dst, const TOptionDef& po, const std::string& opt, const std::string& arg)
{
    if constexpr (std::is_same_v<T, std::string>) {
        dst = arg;
    } else if constexpr (std::is_same_v<T, int>) {
        dst = StrToInt(arg);
    } else if constexpr (std::is_same_v<T, int64_t>) {
        dst = (po.flags & OPT_TIME) ? ParseDuration(opt, arg) : StrToInt64(arg);
    } else if constexpr (std::is_same_v<T, float>) {
        dst = static_cast<float>(StrToFloat(arg));
    } else {
        static_assert(std::is_same_v<T, double>);
        dst = StrToFloat(arg);
    }
}

template <typename T>
struct IsPerStream : std::false_type {
};
template <typename T>
struct IsPerStream<TPerStreamOption<T>> : std::true_type {
};

}  // namespace

TCustomFFmpegOpt::TCustomFFmpegOpt() = default;
TCustomFFmpegOpt::~TCustomFFmpegOpt() = default;

const std::vector<TOptionDef>& TCustomFFmpegOpt::Options()
{
    if (FOptionTable.empty())
        FOptionTable = BuildOptionTable();
    return FOptionTable;
}

void TCustomFFmpegOpt::Fatal(const std::string& text)
{
    FLastErrMsg = text;
    EngineLog(TLogLevel::llFatal, text);
    throw TEngineError(text);
}

bool TCustomFFmpegOpt::SetVideoHookBitsPixel(int bitsPixel)
{
    if (bitsPixel != 16 && bitsPixel != 24 && bitsPixel != 32)
        return false;
    FVideoHookBitsPixel = bitsPixel;
    return true;
}

int TCustomFFmpegOpt::WriteOption(TOptionsContext* o, const TOptionDef& po, const std::string& opt,
                                  const std::string& arg)
{
    return std::visit(
        [&](auto target) -> int {
            using Target = decltype(target);
            if constexpr (std::is_same_v<Target, std::monostate>) {
                return AVERROR(EINVAL);
            } else if constexpr (std::is_same_v<Target, TOptionHandler>) {
                if (po.IsPerFile() && !o)
                    return AVERROR(EINVAL);  // a per-file handler needs a file
                const int ret = target(*this, o, opt, arg);
                if (ret < 0) {
                    const std::string msg = StrFormat("Failed to set value \"%s\" for option \"%s\": %s", arg.c_str(),
                                                      opt.c_str(), EngineErrorText(ret).c_str());
                    AppendOptionErrorText(msg);
                    EngineLog(TLogLevel::llError, msg);
                }
                return ret;
            } else if constexpr (std::is_member_object_pointer_v<Target>) {
                using Owner =
                    std::conditional_t<std::is_invocable_v<Target, TOptionsContext&>, TOptionsContext, TGlobalOptions>;
                Owner* owner = nullptr;
                if constexpr (std::is_same_v<Owner, TOptionsContext>)
                    owner = o;
                else
                    owner = &FGlobal;
                if (!owner)
                    return AVERROR(EINVAL);  // a per-file value needs a file
                auto& field = owner->*target;
                using Field = std::remove_reference_t<decltype(field)>;
                if constexpr (IsPerStream<Field>::value)
                    ReadValue(field.Append(StreamSpecifierOf(opt)), po, opt, arg);
                else
                    ReadValue(field, po, opt, arg);
                return 0;
            }
        },
        po.u);
}

int TCustomFFmpegOpt::ParseOption(TOptionsContext* o, const std::string& opt, const std::string& arg)
{
    const TOptionDef* po = FindOption(Options(), opt);
    if (!po)
        po = FindOption(Options(), "default");
    return WriteOption(o, *po, opt, arg);
}

int TCustomFFmpegOpt::ApplyGroup(TOptionsContext* o, TOptionGroup& group, const std::string& groupName,
                                 const std::string& fileName, uint32_t ioFlag)
{
    for (const TOption& entry : group.opts) {
        if (ioFlag && !(entry.opt->flags & ioFlag)) {
            EngineLog(TLogLevel::llError,
                      StrFormat("Option %s (%s) cannot be applied to %s %s -- you are trying to apply an input option "
                                "to an output file or vice versa. Move this option before the file it belongs to.",
                                entry.key.c_str(), entry.opt->help, groupName.c_str(), fileName.c_str()));
            return AVERROR(EINVAL);
        }
        EngineLog(TLogLevel::llDebug, StrFormat("Applying option %s (%s) with argument %s.", entry.key.c_str(),
                                                entry.opt->help, entry.val.c_str()));
        if (const int ret = WriteOption(o, *entry.opt, entry.key, entry.val); ret < 0)
            return ret;
    }
    return 0;
}

int TCustomFFmpegOpt::ParseOptions(TOptionsContext& o, const std::string& options, const std::string& presets,
                                   const std::string& kind, const std::string& fileName, uint32_t ioFlag)
{
    // Each file starts from fresh groups and dictionaries, so nothing of an earlier
    // file (or of -target and preset scratch work) leaks into this one.
    FFOptions.Reset();
    ClearOptionErrorText();
    const std::vector<TOptionDef>& table = Options();

    int ret = 0;
    if (!options.empty()) {
        EngineLog(TLogLevel::llInfo, "ParseOptions for " + kind + ": " + options);
        const std::vector<std::string> words = SplitOptionWords(options);

        size_t idx = LocateOption(words, table, "loglevel");
        if (idx == std::string::npos)
            idx = LocateOption(words, table, "v");
        if (idx != std::string::npos && idx + 1 < words.size())
            ApplyLogLevel(words[idx + 1]);

        ClearOptionErrorText();
        ret = FFOptions.parse_options(words, table, HaltOnInvalidOption);
        if (ret >= 0 && !FFOptions.OptionParseContext.global_opts.opts.empty())
            ret = ApplyGroup(nullptr, FFOptions.OptionParseContext.global_opts, "global", fileName, 0);
    } else {
        FFOptions.parse_options({}, table, HaltOnInvalidOption);
    }
    o.g = std::move(FFOptions.OptionParseContext.file_opts);
    FFOptions.OptionParseContext.file_opts = TOptionGroup{};

    if (ret >= 0)
        ret = ApplyPresets(o, presets, kind);
    if (ret >= 0 && !o.g.opts.empty())
        ret = ApplyGroup(&o, o.g, kind, fileName, ioFlag);

    if (ret < 0) {
        const std::string errorText = EngineErrorText(ret);
        EngineLog(TLogLevel::llFatal, errorText);
        if (HaltOnInvalidOption) {
            const std::string optionError = OptionErrorText();
            FLastErrMsg = optionError.empty() ? errorText : optionError + "\r\n" + errorText;
        }
    }
    return HaltOnInvalidOption ? ret : 0;
}

}  // namespace reelsmith
