// -loglevel / -v: optional flag words, then a level name or number.
#include "engine/options/log_level_option.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "media/engine_log.h"
#include "media/ffmpeg_api.h"
#include "engine/options/option_error.h"

namespace reelsmith {

namespace {

struct TLevelName {
    const char* name;
    int level;
};

constexpr TLevelName kLevels[] = {
    {"quiet", AV_LOG_QUIET},     {"panic", AV_LOG_PANIC},     {"fatal", AV_LOG_FATAL},
    {"error", AV_LOG_ERROR},     {"warning", AV_LOG_WARNING}, {"info", AV_LOG_INFO},
    {"verbose", AV_LOG_VERBOSE}, {"debug", AV_LOG_DEBUG},     {"trace", AV_LOG_TRACE},
};

bool ConsumeWord(std::string_view& text, std::string_view word)
{
    if (text.substr(0, word.size()) != word)
        return false;
    text.remove_prefix(word.size());
    return true;
}

// Leading "[+|-]repeat" and "[+|-]level" words, taken off rest into flags (a first word
// without a sign starts from no flags). The number of words taken.
int ReadFlagWords(std::string_view& rest, int& flags)
{
    int words = 0;
    while (!rest.empty()) {
        std::string_view token = rest;
        char sign = 0;
        if (token.front() == '+' || token.front() == '-') {
            sign = token.front();
            token.remove_prefix(1);
        }
        if (words == 0 && !sign)
            flags = 0;  // a first word without a sign starts from no flags
        if (ConsumeWord(token, "repeat")) {
            if (sign == '-')
                flags |= AV_LOG_SKIP_REPEATED;
            else
                flags &= ~AV_LOG_SKIP_REPEATED;
        } else if (ConsumeWord(token, "level")) {
            if (sign == '-')
                flags &= ~AV_LOG_PRINT_LEVEL;
            else
                flags |= AV_LOG_PRINT_LEVEL;
        } else {
            break;
        }
        rest = token;
        ++words;
    }
    return words;
}

// A level name or a whole number. 0, or -22 with the option error text naming the levels.
int ReadLevel(std::string_view text, int& level)
{
    for (const TLevelName& l : kLevels) {
        if (text == l.name) {
            level = l.level;
            return 0;
        }
    }
    const std::string number(text);
    char* tail = nullptr;
    const long value = std::strtol(number.c_str(), &tail, 10);
    if (number.empty() || *tail || value < INT32_MIN || value > INT32_MAX) {
        std::string message = "Invalid loglevel \"" + number + "\". Possible levels are numbers or:\r\n";
        for (const TLevelName& l : kLevels)
            message += std::string("\"") + l.name + "\"\r\n";
        EngineLog(TLogLevel::llError, message);
        SetOptionErrorText(message);
        return AVERROR(EINVAL);
    }
    level = static_cast<int>(value);
    return 0;
}

}  // namespace

int ApplyLogLevel(const std::string& arg)
{
    std::string_view rest(arg);
    int flags = ff().av_log_get_flags();
    const int words = ReadFlagWords(rest, flags);

    int level = -1;
    bool haveLevel = false;
    if (!rest.empty()) {
        if (rest.front() == '+')
            rest.remove_prefix(1);
        else if (words == 0)
            flags = ff().av_log_get_flags();  // a bare level keeps the flags
        if (const int ret = ReadLevel(rest, level); ret < 0)
            return ret;
        haveLevel = true;
    }
    SetEngineLogFlagsAndLevel(flags, haveLevel ? level : ff().av_log_get_level());
    return 0;
}

}  // namespace reelsmith
