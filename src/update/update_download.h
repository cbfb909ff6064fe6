#pragma once
// One HTTP(S) download of a small text, for the update check: only a 2xx answer is data,
// the body is capped, and the whole transfer has a time limit. Blocking; run it on a
// worker thread. No Qt.
#include <atomic>
#include <cstddef>
#include <string>

namespace reelsmith {

struct TDownloadLimits {
    std::size_t MaxBodyBytes = 64;  // a longer body fails the download as soon as it is seen
    long TimeoutMs = 15000;         // the whole transfer
    long ConnectTimeoutMs = 10000;
};

struct TDownloadResult {
    bool Success = false;  // a 2xx status with a whole body within the cap
    long Status = -1;      // HTTP status, -1 when no answer was read
    std::string Body;      // only when Success
    std::string Error;     // why it failed, for logs and tests
};

// cancel, when given, ends the transfer early once it becomes true.
TDownloadResult DownloadText(const std::string& url, const TDownloadLimits& limits,
                             const std::atomic<bool>* cancel = nullptr);

}  // namespace reelsmith
