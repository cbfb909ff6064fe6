#include "update/version_compare.h"

#include <charconv>
#include <optional>

namespace reelsmith {

namespace {

struct TVersion {
    long Major = 0;
    long Minor = 0;
};

std::optional<long> WholeInteger(const std::string& text)
{
    long value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end)
        return std::nullopt;
    return value;
}

std::optional<TVersion> ParseVersion(const std::string& text)
{
    // Split at the first ".": "7" has an empty minor part and "6.1.2" a minor of "1.2",
    // neither of them an integer.
    const auto dot = text.find('.');
    if (dot == std::string::npos)
        return std::nullopt;
    const auto major = WholeInteger(text.substr(0, dot));
    const auto minor = WholeInteger(text.substr(dot + 1));
    if (!major || !minor)
        return std::nullopt;
    return TVersion{*major, *minor};
}

}  // namespace

bool IsNewerVersion(const std::string& own, const std::string& published)
{
    if (published.empty() || published.size() > kMaxVersionText)
        return false;
    const auto mine = ParseVersion(own);
    const auto theirs = ParseVersion(published);
    if (!mine || !theirs)
        return false;
    return theirs->Major > mine->Major || (theirs->Major == mine->Major && theirs->Minor > mine->Minor);
}

}  // namespace reelsmith
