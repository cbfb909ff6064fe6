#include "base/output_staging.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <random>

#include "base/write_back.h"

namespace reelsmith {

namespace {

constexpr size_t kNameMax = NAME_MAX;
constexpr int kTagAttempts = 100;
constexpr int kMaxNumber = 9999;

// Files staged by this process, for a signal handler that has no time to unwind: a fixed
// table that the handler reads without locks or allocation.
struct TSignalSlot {
    std::atomic<int> State{0};  // 0 free, 1 filling, 2 holds a path
    char Path[PATH_MAX]{};
};
std::array<TSignalSlot, 32> g_SignalSlots;

int RegisterSlot(const std::string& path)
{
    if (path.size() >= PATH_MAX)
        return -1;
    for (size_t i = 0; i < g_SignalSlots.size(); ++i) {
        int expected = 0;
        if (g_SignalSlots[i].State.compare_exchange_strong(expected, 1)) {
            std::memcpy(g_SignalSlots[i].Path, path.c_str(), path.size() + 1);
            g_SignalSlots[i].State.store(2);
            return static_cast<int>(i);
        }
    }
    return -1;
}

void ReleaseSlot(int slot)
{
    if (slot >= 0)
        g_SignalSlots[static_cast<size_t>(slot)].State.store(0);
}

std::string ErrnoText(int error) { return std::strerror(error); }

std::string FolderOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return {};
    return path.substr(0, slash + 1);
}

std::string FileNameOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Splits "clip.mp4" into "clip" and ".mp4"; a leading dot is part of the stem.
void SplitExtension(const std::string& name, std::string* stem, std::string* extension)
{
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0) {
        *stem = name;
        extension->clear();
        return;
    }
    *stem = name.substr(0, dot);
    *extension = name.substr(dot);
}

// Cuts text to at most bytes, never inside a UTF-8 sequence.
std::string CutUtf8(const std::string& text, size_t bytes)
{
    if (text.size() <= bytes)
        return text;
    size_t end = bytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return text.substr(0, end);
}

std::string RandomTag()
{
    static thread_local std::mt19937 generator{std::random_device{}()};
    char tag[8];
    std::snprintf(tag, sizeof tag, "%06x", static_cast<unsigned>(generator() & 0xFFFFFF));
    return tag;
}

std::string NumberedName(const std::string& finalPath, int number)
{
    if (number == 0)
        return finalPath;
    std::string stem, extension;
    SplitExtension(FileNameOf(finalPath), &stem, &extension);
    return FolderOf(finalPath) + stem + " (" + std::to_string(number) + ")" + extension;
}

// A descriptor closed on every way out (closing also drops its flock).
struct TDescriptor {
    int Fd = -1;
    ~TDescriptor()
    {
        if (Fd >= 0)
            ::close(Fd);
    }
};

bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); }

// ".clip.partial-1a2b3c.mp4", ".partial-1a2b3c.mp4" (StagingNameFor's two forms).
bool IsStagingName(const std::string& name)
{
    constexpr char kMarker[] = ".partial-";
    constexpr size_t kMarkerSize = sizeof kMarker - 1;
    constexpr size_t kTagSize = 6;
    const size_t at = name.rfind(kMarker);
    if (name.empty() || name[0] != '.' || at == std::string::npos || at + kMarkerSize + kTagSize > name.size())
        return false;
    const size_t tag = at + kMarkerSize;
    for (size_t i = tag; i < tag + kTagSize; ++i)
        if (!IsHexDigit(name[i]))
            return false;
    return tag + kTagSize == name.size() || name[tag + kTagSize] == '.';
}

// A leftover is removed only when its lock can be taken: no process has it open as its
// staged file. The name must still be the file that was locked.
void RemoveIfNotHeld(int folderFd, const char* name)
{
    TDescriptor file{::openat(folderFd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC)};
    struct stat held {};
    if (file.Fd < 0 || ::fstat(file.Fd, &held) != 0 || !S_ISREG(held.st_mode) ||
        ::flock(file.Fd, LOCK_EX | LOCK_NB) != 0)
        return;
    struct stat named {};
    if (::fstatat(folderFd, name, &named, AT_SYMLINK_NOFOLLOW) == 0 && named.st_dev == held.st_dev &&
        named.st_ino == held.st_ino)
        ::unlinkat(folderFd, name, 0);
}

// The staged files of processes that ended without removing them (SIGKILL, a power cut).
// The folder is locked exclusively meanwhile: a file being created holds it shared until
// its own lock is taken, so it is never taken for a leftover. A folder that is busy is
// swept by a later run.
void RemoveLeftovers(const std::string& folder)
{
    TDescriptor folderFd{::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    if (folderFd.Fd < 0 || ::flock(folderFd.Fd, LOCK_EX | LOCK_NB) != 0)
        return;
    const int listFd = ::dup(folderFd.Fd);
    DIR* entries = listFd >= 0 ? ::fdopendir(listFd) : nullptr;
    if (!entries) {
        if (listFd >= 0)
            ::close(listFd);
        return;
    }
    while (const dirent* entry = ::readdir(entries))
        if (IsStagingName(entry->d_name))
            RemoveIfNotHeld(folderFd.Fd, entry->d_name);
    ::closedir(entries);
}

enum class TPlaced { Done, Taken, Failed };

// Gives from the name to, unless to exists. renameat2 where the file system offers it; a
// hard link where it does not; a check and a rename where neither works (a short race).
TPlaced RenameNoReplace(const std::string& from, const std::string& to, int* error)
{
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return TPlaced::Done;
    if (errno == EEXIST)
        return TPlaced::Taken;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) {
        *error = errno;
        return TPlaced::Failed;
    }
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return TPlaced::Done;
    }
    if (errno == EEXIST)
        return TPlaced::Taken;
    struct stat existing {};
    if (::lstat(to.c_str(), &existing) == 0)
        return TPlaced::Taken;
    if (::rename(from.c_str(), to.c_str()) == 0)
        return TPlaced::Done;
    *error = errno;
    return TPlaced::Failed;
}

}  // namespace

std::string StagingNameFor(const std::string& finalPath, const std::string& tag)
{
    std::string stem, extension;
    SplitExtension(FileNameOf(finalPath), &stem, &extension);
    const std::string marker = ".partial-" + tag;
    const size_t fixed = 1 + marker.size() + extension.size();
    if (fixed >= kNameMax)
        return FolderOf(finalPath) + "." + marker.substr(1) + extension.substr(0, 16);
    return FolderOf(finalPath) + "." + CutUtf8(stem, kNameMax - fixed) + marker + extension;
}

TStagedOutput::TStagedOutput() = default;

TStagedOutput::~TStagedOutput() { Discard(); }

bool TStagedOutput::Begin(const std::string& finalPath)
{
    Discard();
    m_FinalPath = finalPath;
    m_Error.clear();
    // A link is replaced, not followed; but a link to a device or a pipe names no file to replace.
    struct stat existing {};
    const bool exists = ::lstat(finalPath.c_str(), &existing) == 0;
    struct stat target {};
    const bool linkToSomething = exists && S_ISLNK(existing.st_mode) && ::stat(finalPath.c_str(), &target) == 0;
    if ((exists && !S_ISREG(existing.st_mode) && !S_ISLNK(existing.st_mode)) ||
        (linkToSomething && !S_ISREG(target.st_mode))) {
        m_Error = finalPath + ": exists and is not a regular file";
        return false;
    }
    // Refused now rather than by the rename that ends a long conversion.
    const std::string folder = FolderOf(finalPath);
    const long nameMax = ::pathconf(folder.empty() ? "." : folder.c_str(), _PC_NAME_MAX);
    if (FileNameOf(finalPath).size() > (nameMax > 0 ? size_t(nameMax) : kNameMax) || finalPath.size() >= PATH_MAX) {
        m_Error = finalPath + ": " + ErrnoText(ENAMETOOLONG);
        return false;
    }
    RemoveLeftovers(folder);
    return CreateTemp();
}

bool TStagedOutput::CreateTemp()
{
    const std::string folder = FolderOf(m_FinalPath);
    TDescriptor folderFd{::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    if (folderFd.Fd >= 0)
        ::flock(folderFd.Fd, LOCK_SH);  // no sweep while the file is without its lock
    for (int attempt = 0; attempt < kTagAttempts; ++attempt) {
        const std::string temp = StagingNameFor(m_FinalPath, RandomTag());
        // O_EXCL: a name that exists, a link included, is never opened.
        const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0) {
            // Held until the file is committed or removed; it ends with the process, so a
            // leftover of a killed process can be told from a file being written.
            ::flock(fd, LOCK_EX | LOCK_NB);
            m_Fd = fd;
            m_TempPath = temp;
            m_Slot = RegisterSlot(temp);
            m_WriteBack = std::make_unique<TWriteBack>(fd);
            return true;
        }
        if (errno != EEXIST) {
            m_Error = m_FinalPath + ": " + ErrnoText(errno);
            return false;
        }
    }
    m_Error = m_FinalPath + ": no free temporary name in its folder";
    return false;
}

bool TStagedOutput::StillOurs() const
{
    struct stat name {};
    struct stat held {};
    return ::lstat(m_TempPath.c_str(), &name) == 0 && ::fstat(m_Fd, &held) == 0 && S_ISREG(name.st_mode) &&
           name.st_dev == held.st_dev && name.st_ino == held.st_ino;
}

bool TStagedOutput::Commit(TCommitMode mode)
{
    if (!Staged()) {
        m_Error = m_FinalPath + ": nothing was staged";
        return false;
    }
    if (!StillOurs()) {
        m_Error = m_FinalPath + ": its temporary file was replaced while it was written";
        Discard();
        return false;
    }
    m_WriteBack.reset();
    if (::fdatasync(m_Fd) != 0) {
        m_Error = m_FinalPath + ": " + ErrnoText(errno);
        Discard();
        return false;
    }
    bool replaced = false;  // the final name held a file the rename took the place of
    if (mode == TCommitMode::Replace) {
        struct stat existing {};
        replaced = ::lstat(m_FinalPath.c_str(), &existing) == 0;
        if (::rename(m_TempPath.c_str(), m_FinalPath.c_str()) != 0) {
            m_Error = m_FinalPath + ": " + ErrnoText(errno);
            Discard();
            return false;
        }
    } else if (!PlaceKeepingExisting()) {
        Discard();
        return false;
    }
    Close();
    return SyncFolderOfFinal(replaced);
}

// A rename lasts a power cut only once its folder is synced. An output whose name cannot be
// made durable is reported as not saved, and removed when it took a new name; one that
// replaced a file is kept, since its synced contents are now the only copy under that name.
bool TStagedOutput::SyncFolderOfFinal(bool replaced)
{
    const std::string folder = FolderOf(m_FinalPath);
    TDescriptor folderFd{::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    if (folderFd.Fd >= 0 && ::fsync(folderFd.Fd) == 0)
        return true;
    m_Error = m_FinalPath + ": its folder could not be synced: " + ErrnoText(errno);
    if (!replaced)
        ::unlink(m_FinalPath.c_str());
    return false;
}

bool TStagedOutput::PlaceKeepingExisting()
{
    for (int number = 0; number <= kMaxNumber; ++number) {
        const std::string candidate = NumberedName(m_FinalPath, number);
        int error = 0;
        switch (RenameNoReplace(m_TempPath, candidate, &error)) {
        case TPlaced::Done: m_FinalPath = candidate; return true;
        case TPlaced::Taken: continue;
        case TPlaced::Failed: m_Error = candidate + ": " + ErrnoText(error); return false;
        }
    }
    m_Error = m_FinalPath + ": no free name for the output";
    return false;
}

void TStagedOutput::Discard()
{
    if (!Staged())
        return;
    ::unlink(m_TempPath.c_str());
    Close();
}

void TStagedOutput::Close()
{
    m_WriteBack.reset();
    ReleaseSlot(m_Slot);
    m_Slot = -1;
    if (m_Fd >= 0)
        ::close(m_Fd);
    m_Fd = -1;
    m_TempPath.clear();
}

void RemoveStagedFilesNow()
{
    for (TSignalSlot& slot : g_SignalSlots)
        if (slot.State.load() == 2)
            ::unlink(slot.Path);
}

}  // namespace reelsmith
