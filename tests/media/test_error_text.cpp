#include <gtest/gtest.h>

#include <cerrno>

extern "C" {
#include <libavutil/error.h>
}

#include "media/error_text.h"

using reelsmith::ErrorText;

namespace {

struct TCase {
    int Code;
    const char* Prefix;
    const char* Expected;
};

// One row of each group and every edge case. The C-runtime rows are keyed by Linux errno; the
// two cases that depend on Windows numbers (-101, -44) are checked with their Linux meaning below.
const TCase kCases[] = {
    // Windows Sockets group
    {-10004, "", "Interrupted function call"},
    {-10060, "", "Connection timed out"},
    {-11004, "", "WSANO_DATA"},
    {-10112, "", "WSAEREFUSED"},
    // FFmpeg group
    {AVERROR_INVALIDDATA, "", "Invalid data found when processing input"},
    {AVERROR_EOF, "", "End of file"},
    {AVERROR_BUG2, "", "Internal bug, should not have happened"},
    {AVERROR_HTTP_SERVER_ERROR, "", "HTTP or RTSP error: server error(5xx)"},
    {AVERROR_EXPERIMENTAL, "",
     "Requested feature is flagged experimental. Set strict_std_compliance if you really want to use it."},
    // C runtime group on Linux numbers
    {-2, "C:\\a.mp4", "C:\\a.mp4: No such file or directory"},
    {-2, "/tmp/a.mp4", "/tmp/a.mp4: No such file or directory"},
    {-22, "", "Invalid argument / Invalid data found when processing input"},
    {-EDEADLK, "", "Resource deadlock avoided"},
    {-ENOTEMPTY, "", "Directory not empty"},
    {-ETIMEDOUT, "", "Connection timed out"},
    {-ECONNREFUSED, "", "Connection refused"},
    {-EHOSTUNREACH, "", "No route to host"},
    {-ENOTRECOVERABLE, "", "State not recoverable"},
    {-EILSEQ, "", "Illegal byte sequence"},
    {-EPERM, "/out/locked", "/out/locked: Operation not permitted"},  // an immutable folder
    // Windows-only rows do not shadow Linux errno numbers of another meaning
    {-101, "", "Network is unreachable"},  // ENETUNREACH on Linux
    {-EADDRNOTAVAIL, "", "Cannot assign requested address"},
    {-44, "", "Unknown error"},  // no Linux meaning named in the table
    {-15, "", "Unknown error"},
    // no row
    {-9999, "", "Error number -9999 occurred"},
    {0, "", "Error number 0 occurred"},
    {-9999, "op", "op: Error number -9999 occurred"},
    {AVERROR_EOF, "decode", "decode: End of file"},
};

}  // namespace

TEST(ErrorText, TableAndEdgeCases)
{
    for (const TCase& c : kCases)
        EXPECT_EQ(ErrorText(c.Code, c.Prefix), c.Expected) << "code " << c.Code;
}

TEST(ErrorText, NoPrefixFormIsTheTextAlone)
{
    EXPECT_EQ(ErrorText(AVERROR_INVALIDDATA), "Invalid data found when processing input");
}
