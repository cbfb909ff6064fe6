#pragma once
// The once-per-start update check: downloads the published version text on its own thread
// and hands a successful answer to a handler, still on that thread (the caller moves it to
// its UI thread). Destroying the check stops the download and waits for the thread.
#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "update/update_download.h"

namespace reelsmith {

// Room for a version text with a byte-order mark, blanks and line ends around it, yet
// small, so an over-long answer is recognised as one without reading it all.
inline constexpr std::size_t kUpdateBodyCap = 32;
// The whole check, connection included.
inline constexpr long kUpdateTimeLimitMs = 15000;

class TUpdateCheck {
public:
    using TDataHandler = std::function<void(const std::string& data)>;
    using TDoneHandler = std::function<void(const TDownloadResult& result)>;

    TUpdateCheck(std::string url, TDataHandler onData, TDownloadLimits limits = DefaultLimits());
    ~TUpdateCheck();
    TUpdateCheck(const TUpdateCheck&) = delete;
    TUpdateCheck& operator=(const TUpdateCheck&) = delete;

    // Starts the download thread; a second call does nothing.
    void Start();
    // Called on the download thread after every check, also a failed one (for logs and tests).
    void SetOnDone(TDoneHandler onDone) { m_OnDone = std::move(onDone); }

    static TDownloadLimits DefaultLimits();

private:
    void Run();

    std::string m_Url;
    TDataHandler m_OnData;
    TDoneHandler m_OnDone;
    TDownloadLimits m_Limits;
    std::atomic<bool> m_Cancel{false};
    std::thread m_Thread;
};

}  // namespace reelsmith
