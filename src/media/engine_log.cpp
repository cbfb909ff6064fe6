#include "media/engine_log.h"

#include <cstdarg>
#include <cstdio>

#include "media/error_text.h"
#include "media/ffmpeg_api.h"
#include "media/string_format.h"

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
    std::string text = StrFormatV(format, args);
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
