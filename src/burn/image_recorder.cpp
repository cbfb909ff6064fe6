#include "burn/image_recorder.h"

#include <fcntl.h>
#include <libburn/libburn.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "base/file_mode.h"
#include "burn/burn_runtime.h"

using namespace burn;  // libburn declares its C API in this namespace for C++

namespace reelsmith {

namespace {

constexpr double kDvdSpeedUnit = 1385;  // KB/s of "1x" for the DVD-sized image
constexpr int kSpeedSteps[] = {16, 12, 8, 4, 2};

std::string SystemError(const std::string& what, int error) { return what + ": " + std::strerror(error); }

bool FreeSpace(const std::string& folder, std::int64_t* bytes)
{
    struct statvfs st {};
    if (::statvfs(folder.c_str(), &st) != 0)
        return false;
    *bytes = static_cast<std::int64_t>(st.f_bavail) * static_cast<std::int64_t>(st.f_frsize);
    return true;
}

}  // namespace

TImageRecorder::TImageRecorder(char letter) : m_Letter(letter) {}

TImageRecorder::~TImageRecorder() { CloseAfterWriting(false, false); }

std::string TImageRecorder::Folder() const
{
    if (!m_ImagePath.empty()) {
        const std::filesystem::path parent = std::filesystem::path(m_ImagePath).parent_path();
        return parent.empty() ? std::string(".") : parent.string();
    }
    const char* home = std::getenv("HOME");
    return home && *home ? home : "/";
}

std::string TImageRecorder::Text() const { return std::string(1, m_Letter) + ": Image recorder (ISO image file)"; }

TDeviceInfo TImageRecorder::Info() const
{
    TDeviceInfo info;
    info.VendorID = "Image";
    info.ProductID = "Recorder";
    info.ProductRevision = "1.0";
    info.Name = Folder();
    return info;
}

std::string TImageRecorder::QueryMedium(TMediumInfo* info)
{
    std::int64_t free = 0;
    if (!FreeSpace(Folder(), &free))
        return SystemError("Cannot read the free space of " + Folder(), errno);
    *info = {};
    info->MediumType = "ISO image";
    info->MediumTypeCode = mtcImageFile;
    info->MediumSize = static_cast<double>(free);
    info->MediumFreeSize = static_cast<double>(free);
    info->FirstSession = info->LastSession = 1;
    info->FirstTrack = info->LastTrack = 1;
    return {};
}

double TImageRecorder::SpeedUnit() const { return kDvdSpeedUnit; }

std::vector<int> TImageRecorder::Speeds() const
{
    std::vector<int> speeds;
    for (int step : kSpeedSteps)
        speeds.push_back(static_cast<int>(step * kDvdSpeedUnit));
    return speeds;
}

burn_drive* TImageRecorder::OpenForWriting(std::string* error)
{
    if (m_ImagePath.empty()) {
        *error = "No image file name was given";
        return nullptr;
    }
    const std::filesystem::path final(m_ImagePath);
    // A hidden name beside the final one, created exclusively; the image keeps its extension.
    std::string pattern = (final.parent_path() / ("." + final.stem().string() + ".partial-XXXXXX.iso")).string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = ::mkstemps(name.data(), 4);
    if (fd < 0) {
        *error = SystemError("Cannot create the image file in " + Folder(), errno);
        return nullptr;
    }
    // mkstemps makes the file private; the finished image is the user's like any new file.
    const bool modeSet = ::fchmod(fd, NewFileMode()) == 0;
    const int modeError = errno;
    ::close(fd);
    if (!modeSet) {
        ::unlink(name.data());
        *error = SystemError("Cannot create the image file in " + Folder(), modeError);
        return nullptr;
    }
    m_TempPath = name.data();
    TBurnRuntime::DropRecorderMessages();
    std::string address = "stdio:" + m_TempPath;
    if (burn_drive_scan_and_grab(&m_Drive, address.data(), 0) != 1) {
        m_Drive = nullptr;
        *error = TBurnRuntime::TakeRecorderError();
        if (error->empty())
            *error = "Cannot open the image file " + m_TempPath;
        ::unlink(m_TempPath.c_str());
        m_TempPath.clear();
        return nullptr;
    }
    return m_Drive->drive;
}

void TImageRecorder::Release()
{
    if (!m_Drive)
        return;
    burn_drive_release(m_Drive->drive, 0);
    burn_drive_info_free(m_Drive);
    m_Drive = nullptr;
}

std::string TImageRecorder::CloseAfterWriting(bool complete, bool /*eject*/)
{
    Release();
    if (m_TempPath.empty())
        return {};
    std::string error;
    if (complete) {
        const int fd = ::open(m_TempPath.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0 || ::fsync(fd) != 0)
            error = SystemError("Cannot write the image file", errno);
        if (fd >= 0)
            ::close(fd);
        if (error.empty() && ::rename(m_TempPath.c_str(), m_ImagePath.c_str()) != 0)
            error = SystemError("Cannot name the image file " + m_ImagePath, errno);
    }
    if (!complete || !error.empty())
        ::unlink(m_TempPath.c_str());
    m_TempPath.clear();
    return error;
}

std::string TImageRecorder::CheckRoom(std::int64_t bytes)
{
    std::int64_t free = 0;
    if (!FreeSpace(Folder(), &free))
        return SystemError("Cannot read the free space of " + Folder(), errno);
    if (bytes > free)
        return "Not enough free space for the image in " + Folder() + ": " + std::to_string(bytes / 1048576) +
               " MB needed, " + std::to_string(free / 1048576) + " MB free";
    return {};
}

// A full folder must never pass for a finished image, whatever the writer reported.
std::string TImageRecorder::CheckWritten(std::int64_t bytes)
{
    struct stat st {};
    if (m_TempPath.empty() || ::stat(m_TempPath.c_str(), &st) != 0)
        return SystemError("Cannot read the image file", errno);
    if (st.st_size >= bytes)
        return {};
    // A short write(2) sets no errno; a folder without room for the rest is the reason.
    std::int64_t free = 0;
    const bool full = FreeSpace(Folder(), &free) && free < bytes - st.st_size;
    return "The image file is incomplete (" + std::to_string(st.st_size / 1048576) + " of " +
           std::to_string(bytes / 1048576) +
           " MB written): " + (full ? SystemError(Folder(), ENOSPC) : std::string("the writing stopped early"));
}

std::string TImageRecorder::EraseItself()
{
    if (m_ImagePath.empty())
        return "No image file name was given";
    // Never through a link, and never anything but a regular file.
    const int fd = ::open(m_ImagePath.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return errno == ENOENT ? std::string() : SystemError("Cannot erase " + m_ImagePath, errno);
    struct stat st {};
    std::string error;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        error = "Cannot erase " + m_ImagePath + ": not an image file";
    else if (::ftruncate(fd, 0) != 0)
        error = SystemError("Cannot erase " + m_ImagePath, errno);
    ::close(fd);
    return error;
}

}  // namespace reelsmith
