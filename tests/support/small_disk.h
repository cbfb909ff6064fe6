#pragma once
// A full disk for tests: a small tmpfs mounted at a folder, in a mount namespace of the test
// process's own (its children see it, nothing else does). As root the process only unshares
// its mounts; otherwise it tries a user namespace, which needs a process with one thread.
// Where neither works, Reason() says why and the test skips.
#include <string>

namespace reelsmith::test {

class SmallDisk {
public:
    // Mounts a tmpfs of `bytes` at folder (created when missing).
    SmallDisk(const std::string& folder, size_t bytes);
    ~SmallDisk();
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool Mounted() const { return m_Mounted; }
    const std::string& Reason() const { return m_Reason; }
    // Fills what is left with a file "filler", byte by byte at the end: afterwards any write
    // that needs room fails with "No space left on device" (an empty file can still be made).
    void Fill() const;

private:
    std::string m_Folder;
    bool m_Mounted = false;
    std::string m_Reason;
};

// A folder made read-only for this process and its children (a read-only bind mount of
// itself), so that a program finds it not writable even when run as root.
class ReadOnlyFolder {
public:
    explicit ReadOnlyFolder(const std::string& folder);
    ~ReadOnlyFolder();
    ReadOnlyFolder(const ReadOnlyFolder&) = delete;
    ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;

    bool Done() const { return m_Mounted; }
    const std::string& Reason() const { return m_Reason; }

private:
    std::string m_Folder;
    bool m_Mounted = false;
    std::string m_Reason;
};

}  // namespace reelsmith::test
