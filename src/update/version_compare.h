#pragma once
// The program's own version and the comparison with a published version text.
#include <cstddef>
#include <string>

namespace reelsmith {

// The version the program calls itself (the About window shows it too).
inline constexpr char kOwnVersion[] = "6.0";

// The published version text holds at most this many characters ("major.minor").
inline constexpr std::size_t kMaxVersionText = 5;

// True when the published text is a newer "major.minor" than own. Empty or over-long text,
// a text without ".", or parts that are not plain integers are never newer.
bool IsNewerVersion(const std::string& own, const std::string& published);

}  // namespace reelsmith
