#include "engine/engine_log.h"

#include <cstdarg>
#include <cstdio>

#include "media/error_text.h"
#include "media/ffmpeg_api.h"

namespace reelsmith {

void EngineLog(TLogLevel level, const std::string& text)
{
    if (ff().av_log)
        ff().av_log(nullptr, FFLogLevelOf(level), "%s\n", text.c_str());
    else
        FFLogger().Log(nullptr, level, text);
}

std::string StrFormat(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int size = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text(size > 0 ? static_cast<size_t>(size) : 0, '\0');
    if (size > 0)
        std::vsnprintf(text.data(), text.size() + 1, format, args);
    va_end(args);
    return text;
}

void SetEngineLogLevel(TLogLevel level) { FFLogger().SetLogLevel(level); }

void SetEngineLogFlagsAndLevel(int flags, int ffLevel)
{
    TFFLogger& logger = FFLogger();
    logger.SetLogFlags(flags);
    logger.SetFFLevel(ffLevel);
}

std::string EngineErrorText(int code) { return ErrorText(code); }

}  // namespace reelsmith
