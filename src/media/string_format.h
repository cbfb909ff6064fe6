#pragma once
// printf-style formatting into a std::string of the exact length.

#include <cstdarg>
#include <string>

namespace reelsmith {

std::string StrFormatV(const char* format, va_list args) __attribute__((format(printf, 1, 0)));

}  // namespace reelsmith
