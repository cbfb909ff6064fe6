#pragma once
// -loglevel / -v: the library's and the engine logger's level and flags.

#include <string>

namespace reelsmith {

// Applies a -loglevel/-v argument ("[+|-]repeat", "[+|-]level" words, then a level name or
// number) to the library and the engine logger. 0 or -22 with the option error text set.
int ApplyLogLevel(const std::string& arg);

}  // namespace reelsmith
