#pragma once
#include <string>

namespace reelsmith {

// Folder of the running executable, ending in "/" (read from /proc/self/exe).
std::string ProgramFolder();

}  // namespace reelsmith
