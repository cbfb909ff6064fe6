#include "support/small_disk.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

namespace reelsmith::test {

namespace {

bool WriteProcFile(const std::string& path, const std::string& text)
{
    std::ofstream file(path);
    file << text;
    file.flush();
    return static_cast<bool>(file);
}

// Once per process: mounts made from here on stay in it.
bool PrivateMounts(std::string* reason)
{
    static int state = 0;  // 0 not tried, 1 done, -1 failed
    static std::string failure;
    if (state == 0) {
        const uid_t uid = ::geteuid();
        const gid_t gid = ::getegid();
        if (::unshare(CLONE_NEWNS) != 0) {
            if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) {
                failure = std::string("no private mount namespace: ") + std::strerror(errno);
            } else if (!WriteProcFile("/proc/self/setgroups", "deny") ||
                       !WriteProcFile("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1") ||
                       !WriteProcFile("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1")) {
                failure = "cannot map the user in a new user namespace";
            }
        }
        if (failure.empty() && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            failure = std::string("cannot make the mounts private: ") + std::strerror(errno);
        state = failure.empty() ? 1 : -1;
    }
    *reason = failure;
    return state == 1;
}

}  // namespace

SmallDisk::SmallDisk(const std::string& folder, size_t bytes) : m_Folder(folder)
{
    std::filesystem::create_directories(folder);
    if (!PrivateMounts(&m_Reason))
        return;
    const std::string options = "size=" + std::to_string(bytes);
    if (::mount("tmpfs", folder.c_str(), "tmpfs", 0, options.c_str()) != 0) {
        m_Reason = std::string("cannot mount a tmpfs: ") + std::strerror(errno);
        return;
    }
    m_Mounted = true;
}

SmallDisk::~SmallDisk()
{
    if (m_Mounted)
        ::umount2(m_Folder.c_str(), MNT_DETACH);
}

void SmallDisk::Fill() const
{
    const int fd = ::open((m_Folder + "/filler").c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    const std::vector<char> block(4096, 'f');
    while (::write(fd, block.data(), block.size()) > 0) {
    }
    while (::write(fd, block.data(), 1) > 0) {
    }
    ::close(fd);
}

ReadOnlyFolder::ReadOnlyFolder(const std::string& folder) : m_Folder(folder)
{
    if (!PrivateMounts(&m_Reason))
        return;
    if (::mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr) != 0) {
        m_Reason = std::string("cannot bind the folder: ") + std::strerror(errno);
        return;
    }
    m_Mounted = true;
    if (::mount(nullptr, folder.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0) {
        m_Reason = std::string("cannot make the folder read-only: ") + std::strerror(errno);
        ::umount2(folder.c_str(), MNT_DETACH);
        m_Mounted = false;
    }
}

ReadOnlyFolder::~ReadOnlyFolder()
{
    if (m_Mounted)
        ::umount2(m_Folder.c_str(), MNT_DETACH);
}

}  // namespace reelsmith::test
