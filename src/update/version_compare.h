#pragma once
// The program's own version and the comparison with a published version text.
#include <cstddef>
#include <string>

namespace reelsmith {

// The version the program calls itself (the About window shows it too).
inline constexpr char kOwnVersion[] = "6.0";

// The published version text holds at most this many characters ("major.minor").
inline constexpr std::size_t kMaxVersionText = 5;

// The version in a published text: a UTF-8 byte-order mark, blanks and line ends around it
// taken off (a file saved by an editor reads "7.0\r\n").
std::string PublishedVersionText(const std::string& published);

// True when the published text (PublishedVersionText) is a newer "major.minor" than own.
// Empty or over-long text, a text without ".", or parts that are not plain runs of digits
// ("7.-1", "+7.0", "7. 1") are never newer.
bool IsNewerVersion(const std::string& own, const std::string& published);

}  // namespace reelsmith
