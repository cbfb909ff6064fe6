#include "base/text.h"

namespace reelsmith {

std::string_view TrimmedView(std::string_view text, std::string_view characters)
{
    const size_t first = text.find_first_not_of(characters);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(characters) - first + 1);
}

std::string AsciiLowered(std::string text)
{
    for (char& c : text)
        c = AsciiLower(c);
    return text;
}

std::string AsciiUppered(std::string text)
{
    for (char& c : text)
        c = AsciiUpper(c);
    return text;
}

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i]))
            return false;
    return true;
}

}  // namespace reelsmith
