#include "media/frame_image.h"
#include "base/file_mode.h"
#include "base/text.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
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

bool WriteAll(int fd, const uint8_t* data, size_t size)
{
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
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
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = name.rfind('.');
    const std::string extension = dot == std::string::npos || dot == 0 ? std::string() : name.substr(dot);
    // Hidden, in the same folder (so the rename cannot cross file systems), extension kept;
    // the name is shortened so that the additions cannot make it too long.
    std::string temporary = folder + "." + name.substr(0, 100) + ".partial-XXXXXX" + extension;
    const int fd = mkstemps(temporary.data(), static_cast<int>(extension.size()));
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    fchmod(fd, NewFileMode());
    bool ok = WriteAll(fd, static_cast<const uint8_t*>(data), size) && fsync(fd) == 0;
    int reason = ok ? 0 : errno;
    if (close(fd) != 0 && ok) {
        ok = false;
        reason = errno;
    }
    if (ok && std::rename(temporary.c_str(), path.c_str()) != 0) {
        ok = false;
        reason = errno;
    }
    if (!ok) {
        unlink(temporary.c_str());
        error = std::strerror(reason);
    }
    return ok;
}

}  // namespace reelsmith
