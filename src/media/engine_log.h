#pragma once
// Engine messages. They go out through the libraries' log call, which the loader points
// at the engine logger, so engine and library lines share one level filter and one sink.

#include <string>

#include "media/ff_logger.h"

namespace reelsmith {

void EngineLog(TLogLevel level, const std::string& text);
// printf-style formatting into a std::string.
std::string StrFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Sets the engine logger's level, which passes it on to the libraries.
void SetEngineLogLevel(TLogLevel level);
// Sets the engine logger's flags and level (FFmpeg numbers), which pass them on to the libraries.
void SetEngineLogFlagsAndLevel(int flags, int ffLevel);
// The error text of a library or engine result code (no prefix).
std::string EngineErrorText(int code);

}  // namespace reelsmith
