#include "media/frame_image.h"
#include "base/file_replace.h"
#include "base/text.h"

#include <cctype>
#include <string_view>

namespace reelsmith {

namespace {

bool EndsWithNoCase(std::string_view text, std::string_view ending)
{
    if (text.size() < ending.size())
        return false;
    const std::string_view tail = text.substr(text.size() - ending.size());
    for (size_t i = 0; i < ending.size(); ++i)
        if (AsciiLower(tail[i]) != ending[i])
            return false;
    return true;
}

void PutLE(std::vector<uint8_t>& out, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

}  // namespace

const char* ImageExtension(TImageKind kind)
{
    switch (kind) {
    case TImageKind::Jpeg: return ".jpg";
    case TImageKind::Png: return ".png";
    case TImageKind::Bmp: break;
    }
    return ".bmp";
}

TImageTarget ChooseImageTarget(const std::string& chosen, TImageKind fallback)
{
    if (EndsWithNoCase(chosen, ".bmp"))
        return {chosen, TImageKind::Bmp};
    if (EndsWithNoCase(chosen, ".jpg") || EndsWithNoCase(chosen, ".jpeg"))
        return {chosen, TImageKind::Jpeg};
    if (EndsWithNoCase(chosen, ".png"))
        return {chosen, TImageKind::Png};
    return {chosen + ImageExtension(fallback), fallback};
}

std::vector<uint8_t> EncodeBmp32(const TRGBPicture& picture)
{
    if (picture.PixFmt != AV_PIX_FMT_BGRA || picture.Width <= 0 || picture.Height <= 0 ||
        picture.Stride < picture.Width * 4 ||
        picture.Bytes.size() < static_cast<size_t>(picture.Stride) * picture.Height)
        return {};
    constexpr uint32_t kHeaders = 14 + 40;
    const uint32_t rowBytes = static_cast<uint32_t>(picture.Width) * 4;
    const uint32_t pixelBytes = rowBytes * static_cast<uint32_t>(picture.Height);
    std::vector<uint8_t> out;
    out.reserve(kHeaders + pixelBytes);
    // File header.
    out.push_back('B');
    out.push_back('M');
    PutLE(out, kHeaders + pixelBytes, 4);
    PutLE(out, 0, 4);
    PutLE(out, kHeaders, 4);
    // Information header: bottom-up rows, no compression, B, G, R and one spare byte.
    PutLE(out, 40, 4);
    PutLE(out, static_cast<uint32_t>(picture.Width), 4);
    PutLE(out, static_cast<uint32_t>(picture.Height), 4);
    PutLE(out, 1, 2);
    PutLE(out, 32, 2);
    PutLE(out, 0, 4);
    PutLE(out, pixelBytes, 4);
    PutLE(out, 0, 4);
    PutLE(out, 0, 4);
    PutLE(out, 0, 4);
    PutLE(out, 0, 4);
    for (int row = picture.Height - 1; row >= 0; --row) {
        const uint8_t* line = picture.ScanLine(row);
        out.insert(out.end(), line, line + rowBytes);
    }
    return out;
}

bool WriteFileAtomically(const std::string& path, const void* data, size_t size, std::string& error)
{
    // The one checked replacement the program's other saves use: its temporary name is never
    // taken for a killed conversion's leftover, which the sweep of an output folder removes.
    return ReplaceFileContents(path, std::string_view(static_cast<const char*>(data), size), &error);
}

}  // namespace reelsmith
