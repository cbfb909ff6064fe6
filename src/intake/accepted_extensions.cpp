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

// The audio files are the last ones of the list.
constexpr size_t kFirstAudio = 28;

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
static_assert(kExtensions[kFirstAudio - 1] == ".WMV" && kExtensions[kFirstAudio] == ".AAC");

}  // namespace

std::vector<std::string> AcceptedMediaMaskList()
{
    std::vector<std::string> masks;
    masks.reserve(kExtensions.size());
    for (std::string_view ext : kExtensions)
        masks.push_back("*" + std::string(ext));
    return masks;
}

namespace {

// The position of the name's extension in the list; the list's size when it is not there.
size_t ExtensionPosition(std::string_view path)
{
    const size_t slash = path.rfind('/');
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const size_t dot = name.rfind('.');
    if (dot == std::string_view::npos)
        return kExtensions.size();
    const std::string ext = AsciiUppered(std::string(name.substr(dot)));
    return static_cast<size_t>(std::find(kExtensions.begin(), kExtensions.end(), ext) - kExtensions.begin());
}

}  // namespace

bool HasAcceptedMediaExtension(std::string_view path) { return ExtensionPosition(path) < kExtensions.size(); }

bool HasAudioExtension(std::string_view path)
{
    const size_t position = ExtensionPosition(path);
    return position >= kFirstAudio && position < kExtensions.size();
}

}  // namespace reelsmith
