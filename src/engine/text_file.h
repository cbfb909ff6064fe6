#pragma once
// Reading small text files named by options (preset files, filter scripts).

#include <string>

namespace reelsmith {

// Upper bound of a file that an option may name; larger or endless files are refused.
inline constexpr size_t kMaxOptionFileSize = 16 * 1024 * 1024;

// Reads a regular file whole. 0, or a negative AVERROR code (not found, not a regular
// file, too large, read error).
int ReadOptionFile(const std::string& path, std::string& text);

}  // namespace reelsmith
