#include "engine/pipeline/pixel_format_choice.h"

#include <cstring>

#include "media/engine_log.h"

namespace reelsmith {

namespace {

// The formats normal for JPEG: full range only.
const AVPixelFormat kMjpegNormalFormats[] = {AV_PIX_FMT_YUVJ420P, AV_PIX_FMT_YUVJ422P, AV_PIX_FMT_YUVJ444P,
                                             AV_PIX_FMT_NONE};

std::string Name(AVPixelFormat format)
{
    const char* name = ff().av_get_pix_fmt_name(format);
    return name ? name : "none";
}

}  // namespace

const AVPixelFormat* EncoderPixelFormats(const AVCodec* codec, int strictness)
{
    if (!codec || !codec->pix_fmts)
        return nullptr;
    if (strictness > FF_COMPLIANCE_UNOFFICIAL && !std::strcmp(codec->name, "mjpeg"))
        return kMjpegNormalFormats;
    return codec->pix_fmts;
}

TPixelFormatChoice ChoosePixelFormat(const AVCodec* codec, int strictness, AVPixelFormat requested)
{
    const AVPixelFormat* p = EncoderPixelFormats(codec, strictness);
    if (!p)
        return {requested, {}};
    const AVPixFmtDescriptor* desc = ff().av_pix_fmt_desc_get(requested);
    // The reference counts a format with an even number of components as one with alpha.
    const int hasAlpha = desc ? desc->nb_components % 2 == 0 : 0;
    AVPixelFormat best = AV_PIX_FMT_NONE;
    for (; *p != AV_PIX_FMT_NONE; ++p) {
        best = ff().av_find_best_pix_fmt_of_2(best, *p, requested, hasAlpha, nullptr);
        if (*p == requested)
            return {requested, {}};
    }
    TPixelFormatChoice choice{best, {}};
    if (requested != AV_PIX_FMT_NONE)
        choice.warning = StrFormat("Incompatible pixel format '%s' for codec '%s', auto-selecting format '%s'",
                                   Name(requested).c_str(), codec->name, Name(best).c_str());
    return choice;
}

std::string OutputPixelFormatList(const AVCodec* codec, int strictness, AVPixelFormat requested, bool keep)
{
    if (keep)
        return requested == AV_PIX_FMT_NONE ? std::string() : Name(requested);
    if (requested != AV_PIX_FMT_NONE) {
        const TPixelFormatChoice choice = ChoosePixelFormat(codec, strictness, requested);
        if (!choice.warning.empty())
            EngineLog(TLogLevel::llWarning, choice.warning);
        return Name(choice.format);
    }
    std::string list;
    for (const AVPixelFormat* p = EncoderPixelFormats(codec, strictness); p && *p != AV_PIX_FMT_NONE; ++p)
        list += (list.empty() ? "" : "|") + Name(*p);
    return list;
}

}  // namespace reelsmith
