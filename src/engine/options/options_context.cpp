#include "engine/options/options_context.h"

#include "engine/engine_error.h"
#include "media/engine_log.h"

namespace reelsmith {

int CheckStreamSpecifier(AVFormatContext* s, AVStream* st, const std::string& spec)
{
    const int ret = ff().avformat_match_stream_specifier(s, st, spec.c_str());
    if (ret < 0) {
        EngineLog(TLogLevel::llError, "Invalid stream specifier: " + spec + ".");
        const std::string text = "check_stream_specifier: " + EngineErrorText(ret);
        EngineLog(TLogLevel::llFatal, text);
        throw TEngineError(text);
    }
    return ret;
}

}  // namespace reelsmith
