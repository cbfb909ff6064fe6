#pragma once
// Small helpers on byte strings: trimming and ASCII letter case. Independent of the locale on
// purpose, so that keys, names and extensions compare the same for every user.
#include <string>
#include <string_view>

namespace reelsmith {

inline constexpr std::string_view kBlanks = " \t";
inline constexpr std::string_view kWhiteSpace = " \t\r\n\f\v";

// text without the given characters at either end.
std::string_view TrimmedView(std::string_view text, std::string_view characters = kWhiteSpace);
inline std::string Trimmed(std::string_view text, std::string_view characters = kWhiteSpace)
{
    return std::string(TrimmedView(text, characters));
}

constexpr char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
constexpr char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
std::string AsciiLowered(std::string text);
std::string AsciiUppered(std::string text);
bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b);

}  // namespace reelsmith
