#include "engine/options/presets.h"

#include <algorithm>
#include <sstream>

#include "engine/options/custom_ffmpeg_opt.h"
#include "media/engine_log.h"
#include "engine/options/option_error.h"
#include "engine/text_file.h"
#include "base/text.h"

namespace reelsmith {

namespace {

// Line breaks become single line feeds and the marker "<CRLF>" one more.
std::string NormaliseLines(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else if (text.compare(i, 6, "<CRLF>") == 0) {
            out += '\n';
            i += 5;
        } else {
            out += text[i];
        }
    }
    return out;
}

// "acodec" -> "c:a" and the like; empty for other keys.
std::string CodecOptionOf(const std::string& key)
{
    const std::string lower = AsciiLowered(key);
    if (lower == "acodec")
        return "c:a";
    if (lower == "vcodec")
        return "c:v";
    if (lower == "scodec")
        return "c:s";
    if (lower == "dcodec")
        return "c:d";
    return {};
}

}  // namespace

int PassThroughInto(TCustomFFmpegOpt& task, TOptionGroup& group, const std::string& key, const std::string& value,
                    int copyFlags)
{
    TFFOptions& scratch = task.FFOptions;
    scratch.InitOpts();
    scratch.sws_dict.Clear();  // only what this pair produces is copied
    const int ret = scratch.opt_default(key, value);
    if (ret >= 0) {
        scratch.codec_opts.CopyInto(group.codec_opts, copyFlags);
        scratch.format_opts.CopyInto(group.format_opts, copyFlags);
        scratch.sws_dict.CopyInto(group.sws_dict, copyFlags);
        scratch.swr_opts.CopyInto(group.swr_opts, copyFlags);
    }
    scratch.InitOpts();
    return ret;
}

int ApplyPresetLines(TCustomFFmpegOpt& task, TOptionsContext& o, const std::string& text, const std::string& prefix)
{
    std::istringstream lines(NormaliseLines(Trimmed(text)));
    std::string raw;
    while (std::getline(lines, raw)) {
        const std::string line = Trimmed(raw);
        if (line.empty() || line[0] == '#')
            continue;
        const size_t eq = line.find('=');
        const std::string key = Trimmed(line.substr(0, eq));
        const std::string value = eq == std::string::npos ? std::string() : Trimmed(line.substr(eq + 1));
        if (key.empty() || value.empty()) {
            const std::string msg = prefix + "Invalid syntax: \"" + line + "\"";
            EngineLog(TLogLevel::llError, msg);
            if (task.HaltOnInvalidOption) {
                SetOptionErrorText(msg);
                return AVERROR(EINVAL);
            }
        }
        EngineLog(TLogLevel::llDebug, "Applying preset " + key + " with argument " + value + ".");
        ClearOptionErrorText();
        const std::string codecOption = CodecOptionOf(key);
        const int ret =
            codecOption.empty() ? PassThroughInto(task, o.g, key, value, 0) : task.ParseOption(&o, codecOption, value);
        if (ret < 0) {
            const std::string msg =
                prefix + "Invalid option or argument: \"" + line + "\", parsed as \"" + key + "\" = \"" + value + "\"";
            EngineLog(TLogLevel::llError, msg);
            if (task.HaltOnInvalidOption) {
                AppendOptionErrorText(msg);
                return ret;
            }
        }
    }
    return 0;
}

int ApplyPresetFile(TCustomFFmpegOpt& task, TOptionsContext& o, const std::string& path)
{
    std::string text;
    if (const int ret = ReadOptionFile(path, text); ret < 0) {
        const std::string msg = "File for preset \"" + path + "\" not found";
        EngineLog(TLogLevel::llError, msg);
        SetOptionErrorText(msg);
        return ret;
    }
    EngineLog(TLogLevel::llInfo, "Parse preset file: " + path);
    return ApplyPresetLines(task, o, text, path + ": ");
}

int TCustomFFmpegOpt::ApplyPresets(TOptionsContext& o, const std::string& presets, const std::string& kind)
{
    if (presets.empty())
        return 0;
    EngineLog(TLogLevel::llInfo, "ParsePresets for " + kind + ":\r\n" + presets);
    return ApplyPresetLines(*this, o, presets, "");
}

}  // namespace reelsmith
