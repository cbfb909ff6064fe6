#pragma once
// Whether two names given to the engine are the same file on disk: the same device and
// inode after links are resolved, with a "file:" prefix taken off. Names of other
// protocols ("pipe:", "http://", …) are no local file and never the same as one.

#include <optional>
#include <string>
#include <vector>

namespace reelsmith {

// The local path a name opens through the libraries' file protocol: the name itself, or
// the part after "file:"; nothing for a name of another protocol, nor for "-" (the engine's
// name of the standard input or output).
std::optional<std::string> LocalPathOf(const std::string& name);

// True when both names open the same existing file (or the same clean path).
bool SameFile(const std::string& a, const std::string& b);

// The first of inputs that is the same file as output; empty when none is.
std::string InputWrittenBy(const std::string& output, const std::vector<std::string>& inputs);

}  // namespace reelsmith
