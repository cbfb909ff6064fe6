#include "base/bounded_file_read.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace reelsmith {

namespace {

// Closes the descriptor on every way out.
struct TDescriptor {
    int Fd = -1;
    ~TDescriptor()
    {
        if (Fd >= 0)
            ::close(Fd);
    }
};

}  // namespace

TBoundedRead ReadBoundedFile(const std::string& path, size_t maxBytes, std::string* bytes, int* error)
{
    *error = 0;
    bytes->clear();
    // Non-blocking, so that opening a pipe with no writer returns.
    TDescriptor file{::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY)};
    struct stat status {};
    if (file.Fd < 0 || ::fstat(file.Fd, &status) != 0) {
        *error = errno;
        return TBoundedRead::CannotOpen;
    }
    if (!S_ISREG(status.st_mode))
        return TBoundedRead::NotRegular;
    if (static_cast<unsigned long long>(status.st_size) > maxBytes)
        return TBoundedRead::TooLarge;
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t n = ::read(file.Fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            *error = errno;
            return TBoundedRead::CannotRead;
        }
        if (n == 0)
            return TBoundedRead::Read;
        if (bytes->size() + static_cast<size_t>(n) > maxBytes) {
            bytes->clear();
            return TBoundedRead::TooLarge;
        }
        bytes->append(buffer, static_cast<size_t>(n));
    }
}

}  // namespace reelsmith
