#pragma once
// The pixel format an encoder gets, chosen as the reference tool 5.1 chooses it: the encoder's
// own list, where for mjpeg at normal strictness or stricter only its full-range formats count
// (so a limited-range source is converted to a full-range format); a requested format that is
// not in the list is replaced by the list's best match, with the tool's warning.

#include <string>

#include "media/ffmpeg_api.h"

namespace reelsmith {

// The formats the encoder takes at this strictness (FF_COMPLIANCE_*), terminated by
// AV_PIX_FMT_NONE; null when the encoder names none (it takes any).
const AVPixelFormat* EncoderPixelFormats(const AVCodec* codec, int strictness);

struct TPixelFormatChoice {
    AVPixelFormat format = AV_PIX_FMT_NONE;
    std::string warning;  // "Incompatible pixel format ..." when the request was replaced, else empty
};

// The format for a requested one: the request itself when the encoder takes it (or takes any),
// else the best match of the encoder's formats.
TPixelFormatChoice ChoosePixelFormat(const AVCodec* codec, int strictness, AVPixelFormat requested);

// The list of the format filter before the encoder ("a|b|c"), or empty for no filter: the chosen
// format for a requested one (its warning is logged), else every format the encoder takes.
// keep: -pix_fmt "+...", the requested format or none.
std::string OutputPixelFormatList(const AVCodec* codec, int strictness, AVPixelFormat requested, bool keep);

}  // namespace reelsmith
