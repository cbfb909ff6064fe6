#pragma once
// Binds the FFmpeg functions of the encoder's library set for the headless tools.

#include <string>

namespace reelsmith::tools {

// Loads the system libraries by soname. False with error set when one is missing.
bool BindEncoderLibraries(std::string* error);

}  // namespace reelsmith::tools
