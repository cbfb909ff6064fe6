#pragma once
// Engine messages. They go out through the libraries' log call, which the loader points
// at the engine logger, so engine and library lines share one level filter and one sink.

#include <string>

#if __has_include("media/ff_logger.h")
#include "media/ff_logger.h"
#else
namespace reelsmith {
enum class TLogLevel { llQuiet, llPanic, llFatal, llError, llWarning, llInfo, llVerbose, llDebug, llTrace };
}
#endif

namespace reelsmith {

void EngineLog(TLogLevel level, const std::string& text);
// printf-style formatting into a std::string.
std::string StrFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Sets the log level (which the libraries and the engine logger share).
void SetEngineLogLevel(TLogLevel level);
// Sets the libraries' log flags and level (FFmpeg numbers) and the engine logger's with them.
void SetEngineLogFlagsAndLevel(int flags, int ffLevel);
// The error text of a library or engine result code (no prefix).
std::string EngineErrorText(int code);
// FFmpeg's number of a level: quiet -8, panic 0, fatal 8 ... trace 56.
inline int FFLogLevelOf(TLogLevel level) { return 8 * static_cast<int>(level) - 8; }

}  // namespace reelsmith
