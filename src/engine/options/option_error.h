#pragma once
// The option error text: the reason of the last option failure, filled by the matching
// step and by handlers and read when a parse fails. Process-wide (last writer wins);
// access is serialised.

#include <string>

namespace reelsmith {

std::string OptionErrorText();
void SetOptionErrorText(const std::string& text);
void ClearOptionErrorText();
// Appends text after a CR LF, or sets it when the error text is empty.
void AppendOptionErrorText(const std::string& text);

}  // namespace reelsmith
