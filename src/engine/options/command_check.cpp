#include "engine/options/command_check.h"

#include "base/text.h"
#include "engine/engine_error.h"
#include "engine/options/custom_ffmpeg_opt.h"
#include "engine/options/options_context.h"
#include "engine/pipeline/stream_setup.h"
#include "media/ffmpeg_api.h"
#include "media/ffmpeg_loader.h"
#include "media/engine_log.h"

namespace reelsmith {
namespace {

// The engine's error lines as a dialog shows them: plain line ends, no blank edges.
std::string ShownText(const std::string& text)
{
    std::string shown;
    for (char ch : Trimmed(text))
        if (ch != '\r')
            shown += ch;
    return shown;
}

std::string EncoderProblem(const TOptionsContext& o)
{
    for (const auto& item : o.codec_names.items) {
        const std::string& name = item.u;
        if (name != "copy" && !EncoderNamed(name))
            return StrFormat("Unknown encoder '%s'", name.c_str());
    }
    return {};
}

std::string FormatProblem(const TOptionsContext& o, const std::string& outputFileName)
{
    if (!o.format.empty()) {
        if (!ff().av_guess_format(o.format.c_str(), nullptr, nullptr))
            return StrFormat("Requested output format '%s' is not a suitable output format", o.format.c_str());
        return {};
    }
    if (!ff().av_guess_format(nullptr, outputFileName.c_str(), nullptr))
        return StrFormat("Unable to find a suitable output format for '%s'", outputFileName.c_str());
    return {};
}

}  // namespace

std::string CommandProblem(const std::string& options, const std::string& outputFileName)
{
    TFFLoader& loader = FFLoader();
    if (!loader.Loaded(EncoderLibraries) && !loader.Load(EncoderLibraries))
        return loader.LastErrMsg();
    TCustomFFmpegOpt reader;
    TOptionsContext o;
    try {
        if (reader.ParseOptions(o, options, "", "output file", outputFileName, OPT_OUTPUT) < 0)
            return ShownText(reader.LastErrMsg());
    } catch (const TEngineError& error) {
        return reader.LastErrMsg().empty() ? std::string(error.what()) : ShownText(reader.LastErrMsg());
    }
    const std::string encoder = EncoderProblem(o);
    return encoder.empty() ? FormatProblem(o, outputFileName) : encoder;
}

}  // namespace reelsmith
