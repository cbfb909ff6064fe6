#pragma once
// Splits an option text into words with the command-line quoting rules:
// blanks and tabs separate words; a double quote after an even number of backslashes
// toggles quoting (half the backslashes are kept); "" inside quotes is one literal quote;
// a double quote after an odd number of backslashes is literal.

#include <string>
#include <string_view>
#include <vector>

namespace reelsmith {

std::vector<std::string> SplitOptionWords(std::string_view text);

}  // namespace reelsmith
