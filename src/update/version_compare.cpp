#include "update/version_compare.h"

#include <charconv>
#include <optional>

namespace reelsmith {

namespace {

struct TVersion {
    long Major = 0;
    long Minor = 0;
};

// Digits only: from_chars alone would take "-1".
std::optional<long> WholeInteger(const std::string& text)
{
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    long value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || stop != end)
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

std::string Trimmed(const std::string& text)
{
    constexpr char kBlanks[] = " \t\r\n\v\f";
    const auto first = text.find_first_not_of(kBlanks);
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

}  // namespace

std::string PublishedVersionText(const std::string& published)
{
    constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";
    std::string text = Trimmed(published);
    if (text.rfind(kByteOrderMark, 0) == 0)
        text = Trimmed(text.substr(3));
    return text;
}

bool IsNewerVersion(const std::string& own, const std::string& text)
{
    const std::string published = PublishedVersionText(text);
    if (published.empty() || published.size() > kMaxVersionText)
        return false;
    const auto mine = ParseVersion(own);
    const auto theirs = ParseVersion(published);
    if (!mine || !theirs)
        return false;
    return theirs->Major > mine->Major || (theirs->Major == mine->Major && theirs->Minor > mine->Minor);
}

}  // namespace reelsmith
