#include "engine/engine_error.h"
#include "base/text.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>

namespace reelsmith {

namespace {

[[noreturn]] void NotAnInteger(const std::string& text)
{
    throw TConvertError("'" + text + "' is not a valid integer value");
}

// Decimal, or hexadecimal with "$" or "0x"; an optional sign first.
long long ParseWhole(const std::string& text, long long lo, long long hi)
{
    std::string_view v = TrimmedView(text);
    bool negative = false;
    if (!v.empty() && (v.front() == '-' || v.front() == '+')) {
        negative = v.front() == '-';
        v.remove_prefix(1);
    }
    int base = 10;
    if (v.size() > 1 && v.front() == '$') {
        base = 16;
        v.remove_prefix(1);
    } else if (v.size() > 2 && v[0] == '0' && (v[1] == 'x' || v[1] == 'X')) {
        base = 16;
        v.remove_prefix(2);
    }
    unsigned long long magnitude = 0;
    auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), magnitude, base);
    if (v.empty() || ec != std::errc() || end != v.data() + v.size())
        NotAnInteger(text);
    const unsigned long long limit =
        negative ? static_cast<unsigned long long>(-(lo + 1)) + 1 : static_cast<unsigned long long>(hi);
    if (magnitude > limit)
        NotAnInteger(text);
    if (!negative)
        return static_cast<long long>(magnitude);
    return magnitude == static_cast<unsigned long long>(-(lo + 1)) + 1 ? lo : -static_cast<long long>(magnitude);
}

}  // namespace

int StrToInt(const std::string& text)
{
    return static_cast<int>(ParseWhole(text, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

long long StrToInt64(const std::string& text)
{
    return ParseWhole(text, std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::max());
}

double StrToFloat(const std::string& text)
{
    std::string_view v = TrimmedView(text);
    if (!v.empty() && v.front() == '+')
        v.remove_prefix(1);
    double value = 0;
    auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), value);
    if (v.empty() || ec != std::errc() || end != v.data() + v.size() || !std::isfinite(value))
        throw TConvertError("'" + text + "' is not a valid floating point value");
    return value;
}

}  // namespace reelsmith
