#include "base/file_replace.h"
#include "base/file_mode.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace reelsmith {

namespace {

constexpr size_t kStemBytes = 100;  // of the name in the temporary one, so it cannot grow too long

bool WriteAll(int fd, std::string_view data)
{
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            return false;
        }
        data.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

std::string TemporaryPattern(const std::string& path)
{
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    size_t cut = std::min(name.size(), kStemBytes);
    while (cut > 0 && cut < name.size() && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80)
        --cut;  // never inside a UTF-8 sequence
    return folder + "." + name.substr(0, cut) + ".saving-XXXXXX";
}

// The mode the new file gets, or false when the name holds something that must not be replaced.
bool ModeFor(const std::string& path, mode_t* mode, std::string* error)
{
    struct stat existing {};
    if (::stat(path.c_str(), &existing) != 0) {
        *mode = NewFileMode();  // a new name, or a dangling link that is replaced
        return true;
    }
    if (!S_ISREG(existing.st_mode)) {
        *error = S_ISDIR(existing.st_mode) ? std::strerror(EISDIR) : "It is not a regular file.";
        return false;
    }
    *mode = existing.st_mode & 07777;
    return true;
}

}  // namespace

bool ReplaceFileContents(const std::string& path, std::string_view contents, std::string* error)
{
    mode_t mode = 0;
    if (!ModeFor(path, &mode, error))
        return false;
    std::string temporary = TemporaryPattern(path);
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        *error = std::strerror(errno);
        return false;
    }
    bool ok = ::fchmod(fd, mode) == 0 && WriteAll(fd, contents) && ::fsync(fd) == 0;
    int reason = ok ? 0 : errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        reason = errno;
    }
    if (ok && ::rename(temporary.c_str(), path.c_str()) != 0) {
        ok = false;
        reason = errno;
    }
    if (!ok) {
        ::unlink(temporary.c_str());
        *error = std::strerror(reason);
    }
    return ok;
}

}  // namespace reelsmith
