#include "engine/text_file.h"

#include <cerrno>
#include <fstream>
#include <sys/stat.h>

#include "media/ffmpeg_api.h"

namespace reelsmith {

int ReadOptionFile(const std::string& path, std::string& text)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return AVERROR(errno ? errno : ENOENT);
    // Devices and pipes could deliver without end.
    if (!S_ISREG(info.st_mode))
        return AVERROR(EINVAL);
    if (static_cast<unsigned long long>(info.st_size) > kMaxOptionFileSize)
        return AVERROR(EFBIG);
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return AVERROR(EACCES);
    text.assign(static_cast<size_t>(info.st_size), '\0');
    file.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<size_t>(file.gcount()));
    return file.bad() ? AVERROR(EIO) : 0;
}

}  // namespace reelsmith
