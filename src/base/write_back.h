#pragma once
// Starts the write-back of a file while another writer (the engine, through its own
// descriptor) fills it, so that the sync that makes it durable at the end has little left to
// wait for. A thread looks at the file's size, quickly while it grows and more rarely while it
// does not; each time it has grown by a chunk it asks the kernel to start writing that range
// out (sync_file_range, SYNC_FILE_RANGE_WRITE) and waits for the chunk before it, which bounds
// the dirty pages one output holds without ever holding up the writer. A hint only: what
// makes the file durable is still the fdatasync before its rename; a range rewritten later (a
// header finished at the end) is written out by that sync.

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

namespace reelsmith {

class TWriteBack {
public:
    // fd stays open (owned by the caller) until Stop returns or this object is destroyed.
    explicit TWriteBack(int fd);
    ~TWriteBack() { Stop(); }
    TWriteBack(const TWriteBack&) = delete;
    TWriteBack& operator=(const TWriteBack&) = delete;

    // Ends the thread; the ranges it started are being written or written.
    void Stop();

    // The bytes a chunk holds.
    static constexpr int64_t kChunk = 8 << 20;

private:
    void Run();

    const int m_Fd;
    std::mutex m_Mutex;
    std::condition_variable m_Wake;
    bool m_Stopping = false;
    std::thread m_Thread;
};

}  // namespace reelsmith
