#pragma once
// The engine's exception: fatal errors of option handling, opening and the
// transcode loop; the encoder component catches it at its boundary.

#include <stdexcept>
#include <string>

namespace reelsmith {

class TEngineError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A value that the runtime's number conversion refuses ("'two' is not a valid integer value").
class TConvertError : public TEngineError {
public:
    using TEngineError::TEngineError;
};

// Strict whole-number and floating-point conversions of option arguments.
// Throw TConvertError with the runtime's message on text that is not a number.
int StrToInt(const std::string& text);
long long StrToInt64(const std::string& text);
double StrToFloat(const std::string& text);

}  // namespace reelsmith
