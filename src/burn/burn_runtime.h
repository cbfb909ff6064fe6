#pragma once
// libburn's and libisofs's library state is process-wide: the first user starts both, under
// a lock, and they stay up until the process ends. They are never finished: after a
// cancelled write libburn's writer thread can outlive the drive's idle state, and finishing
// the library under it crashes that thread. Every user of either library holds one.
#include <string>

namespace reelsmith {

enum class TErrorSource { Recorder, Image };

class TBurnRuntime {
public:
    // Initializes the libraries when this is the first holder; Ok() tells whether they run.
    TBurnRuntime();
    ~TBurnRuntime() = default;
    TBurnRuntime(const TBurnRuntime&) = delete;
    TBurnRuntime& operator=(const TBurnRuntime&) = delete;

    bool Ok() const { return m_Ok; }
    const std::string& Error() const { return m_Error; }

    // The oldest queued libburn or libisofs message of severity SORRY or worse, or empty;
    // first says whose message wins when both have one. A system error behind a libburn
    // message is named ("...: No space left on device"). Draining both queues keeps stale
    // messages out of the next operation's error text.
    static std::string TakeLibraryError(TErrorSource first = TErrorSource::Recorder);
    static void DropLibraryMessages();
    // libburn's queue alone: what libisofs reports about the image it is making meanwhile
    // (on its own thread, from Prepare on) stays for the end of the burn.
    static std::string TakeRecorderError();
    static void DropRecorderMessages();

private:
    bool m_Ok = false;
    std::string m_Error;
};

}  // namespace reelsmith
