#include "base/write_back.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>

namespace reelsmith {

namespace {

// Quick enough that a copy at disk speed is written out as it goes, rare enough that an
// encode of hours costs nothing: the wait doubles while the file does not grow.
constexpr auto kFastLook = std::chrono::milliseconds(5);
constexpr auto kSlowLook = std::chrono::milliseconds(200);

}  // namespace

TWriteBack::TWriteBack(int fd) : m_Fd(fd), m_Thread([this] { Run(); }) {}

void TWriteBack::Stop()
{
    {
        std::lock_guard lock(m_Mutex);
        m_Stopping = true;
    }
    m_Wake.notify_all();
    if (m_Thread.joinable())
        m_Thread.join();
}

void TWriteBack::Run()
{
    int64_t started = 0;       // bytes [0, started) were handed to write-back
    int64_t previousFrom = 0;  // the chunk before the last one handed over
    int64_t previousSize = 0;
    auto look = kFastLook;
    std::unique_lock lock(m_Mutex);
    while (!m_Wake.wait_for(lock, look, [this] { return m_Stopping; })) {
        struct stat file {};
        if (::fstat(m_Fd, &file) != 0)
            return;
        const int64_t size = file.st_size;
        if (size - started < kChunk) {
            look = std::min<std::chrono::milliseconds>(look * 2, kSlowLook);
            continue;
        }
        look = kFastLook;
        lock.unlock();
        // Errors are left to the final sync, which reports them.
        ::sync_file_range(m_Fd, started, size - started, SYNC_FILE_RANGE_WRITE);
        if (previousSize > 0)
            ::sync_file_range(m_Fd, previousFrom, previousSize,
                              SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER);
        previousFrom = started;
        previousSize = size - started;
        started = size;
        lock.lock();
    }
}

}  // namespace reelsmith
