#pragma once
// The text of a negative result code of FFmpeg, of the media components or of the C runtime.

#include <string>

namespace reelsmith {

// "prefix: text" when a prefix is given, else the text; unknown codes read
// "Error number %d occurred". Pure; safe on any thread.
std::string ErrorText(int code, const std::string& prefix = {});

}  // namespace reelsmith
