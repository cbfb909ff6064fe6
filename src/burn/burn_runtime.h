#pragma once
// libburn's and libisofs's library state is process-wide: the first user starts both, under
// a lock, and they stay up until the process ends. They are never finished: after a
// cancelled write libburn's writer thread can outlive the drive's idle state, and finishing
// the library under it crashes that thread. Every user of either library holds one.
#include <string>

namespace reelsmith {

class TBurnRuntime {
public:
    // Initializes the libraries when this is the first holder; Ok() tells whether they run.
    TBurnRuntime();
    ~TBurnRuntime() = default;
    TBurnRuntime(const TBurnRuntime&) = delete;
    TBurnRuntime& operator=(const TBurnRuntime&) = delete;

    bool Ok() const { return m_Ok; }
    const std::string& Error() const { return m_Error; }

    // The oldest queued libburn or libisofs message of severity SORRY or worse, or empty.
    // Draining both queues keeps stale messages out of the next operation's error text.
    static std::string TakeLibraryError();
    static void DropLibraryMessages();

private:
    bool m_Ok = false;
    std::string m_Error;
};

}  // namespace reelsmith
