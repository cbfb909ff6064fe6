#include "intake/accepted_extensions.h"
#include "base/text.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace reelsmith {

const std::string_view kAcceptedMediaMasks =
    "*.3G2;*.3GP;*.ASF;*.AVI;*.AVM;*.AVS;*.DAT;*.DIVX;*.FLV;*.M2TS;*.M4V;*.MKV;*.MOV;*.MP4;*.MPEG;"
    "*.MPG;*.MTS;*.MXF;*.NSV;*.OGM;*.OGV;*.RM;*.RMVB;*.TP;*.TS;*.VOB;*.WEBM;*.WMV;*.AAC;*.AC3;*.AIF;"
    "*.AIFF;*.AU;*.FLAC;*.M4A;*.MKA;*.MP3;*.OGG;*.OPUS;*.WAV;*.WMA;";

namespace {

constexpr std::array<std::string_view, 41> kExtensions = {
    // video containers
    ".3G2",
    ".3GP",
    ".ASF",
    ".AVI",
    ".AVM",
    ".AVS",
    ".DAT",
    ".DIVX",
    ".FLV",
    ".M2TS",
    ".M4V",
    ".MKV",
    ".MOV",
    ".MP4",
    ".MPEG",
    ".MPG",
    ".MTS",
    ".MXF",
    ".NSV",
    ".OGM",
    ".OGV",
    ".RM",
    ".RMVB",
    ".TP",
    ".TS",
    ".VOB",
    ".WEBM",
    ".WMV",
    // audio files, for Extract audio as well as Convert
    ".AAC",
    ".AC3",
    ".AIF",
    ".AIFF",
    ".AU",
    ".FLAC",
    ".M4A",
    ".MKA",
    ".MP3",
    ".OGG",
    ".OPUS",
    ".WAV",
    ".WMA",
};

}  // namespace

std::vector<std::string> AcceptedMediaMaskList()
{
    std::vector<std::string> masks;
    masks.reserve(kExtensions.size());
    for (std::string_view ext : kExtensions)
        masks.push_back("*" + std::string(ext));
    return masks;
}

bool HasAcceptedMediaExtension(std::string_view path)
{
    const size_t slash = path.rfind('/');
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const size_t dot = name.rfind('.');
    if (dot == std::string_view::npos)
        return false;
    const std::string ext = AsciiUppered(std::string(name.substr(dot)));
    return std::find(kExtensions.begin(), kExtensions.end(), ext) != kExtensions.end();
}

}  // namespace reelsmith
