#pragma once
#include <string>

namespace reelsmith {

// Folder of the running executable, ending in "/" (read from /proc/self/exe).
std::string ProgramFolder();

// The installed data folder, ending in "/": <prefix>/share/reelsmith/ of the build's install prefix.
std::string InstalledDataFolder();

// A file the program only reads (help, style): beside the executable first, then
// <exe>/../share/reelsmith/, then the installed data folder. Empty when none exists; a
// relative name is taken below each folder.
std::string FindProgramFile(const std::string& name);

}  // namespace reelsmith
