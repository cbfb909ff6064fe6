#include "update/update_download.h"

#include <curl/curl.h>

#include <memory>
#include <mutex>

namespace reelsmith {

namespace {

struct TCurlDeleter {
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
struct TCurlListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using TCurlHandle = std::unique_ptr<CURL, TCurlDeleter>;
using TCurlList = std::unique_ptr<curl_slist, TCurlListDeleter>;

struct TTransfer {
    std::string Body;
    std::size_t MaxBytes = 0;
    bool TooLong = false;
    const std::atomic<bool>* Cancel = nullptr;
};

size_t WriteBody(char* data, size_t size, size_t count, void* user)
{
    auto* transfer = static_cast<TTransfer*>(user);
    const size_t bytes = size * count;
    if (transfer->Body.size() + bytes > transfer->MaxBytes) {
        transfer->TooLong = true;
        return 0;  // aborts the transfer: nothing of an over-long answer is kept
    }
    transfer->Body.append(data, bytes);
    return bytes;
}

int Progress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    const auto* transfer = static_cast<const TTransfer*>(user);
    return transfer->Cancel && transfer->Cancel->load() ? 1 : 0;
}

void InitialiseCurlOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

}  // namespace

TDownloadResult DownloadText(const std::string& url, const TDownloadLimits& limits, const std::atomic<bool>* cancel)
{
    TDownloadResult result;
    InitialiseCurlOnce();
    TCurlHandle curl(curl_easy_init());
    if (!curl) {
        result.Error = "cannot start a download";
        return result;
    }
    TTransfer transfer;
    transfer.MaxBytes = limits.MaxBodyBytes;
    transfer.Cancel = cancel;
    // The server is always asked; nothing is kept between checks.
    TCurlList headers(curl_slist_append(nullptr, "Cache-Control: no-cache"));
    CURL* c = curl.get();
    curl_easy_setopt(c, CURLOPT_URL, url.c_str());
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(c, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, limits.TimeoutMs);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, limits.ConnectTimeoutMs);
    curl_easy_setopt(c, CURLOPT_USERAGENT, "WebData");
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, WriteBody);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, Progress);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, &transfer);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);

    const CURLcode code = curl_easy_perform(c);
    long status = 0;
    if (curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK && status > 0)
        result.Status = status;
    if (transfer.TooLong) {
        result.Error = "the answer is longer than " + std::to_string(limits.MaxBodyBytes) + " bytes";
        return result;
    }
    if (code != CURLE_OK) {
        result.Error = curl_easy_strerror(code);
        return result;
    }
    // libcurl reports error pages as a finished transfer: only a 2xx answer is data.
    if (result.Status < 200 || result.Status > 299) {
        result.Error = "HTTP status " + std::to_string(result.Status);
        return result;
    }
    result.Success = true;
    result.Body = std::move(transfer.Body);
    return result;
}

}  // namespace reelsmith
