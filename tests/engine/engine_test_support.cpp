#include "engine_test_support.h"

#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>
#include <mutex>

#include "library_binding.h"

namespace reelsmith::test {

namespace {

std::mutex& LogLock()
{
    static std::mutex lock;
    return lock;
}

std::vector<std::pair<int, std::string>>& Lines()
{
    static std::vector<std::pair<int, std::string>> lines;
    return lines;
}

// Collects every library and engine line, whatever the library level says.
void CaptureLine(void*, int level, const char* format, va_list args)
{
    char buf[4096];
    va_list copy;
    va_copy(copy, args);
    std::vsnprintf(buf, sizeof buf, format, copy);
    va_end(copy);
    std::string text(buf);
    while (!text.empty() && text.back() == '\n')
        text.pop_back();
    std::lock_guard g(LogLock());
    Lines().emplace_back(level, text);
}

}  // namespace

void LoadEngineLibraries()
{
    static const bool loaded = [] {
        if (!BindLibrariesForTests())
            return false;
        ff().av_log_set_callback(&CaptureLine);
        return true;
    }();
    ASSERT_TRUE(loaded);
}

void ClearLog()
{
    std::lock_guard g(LogLock());
    Lines().clear();
}

std::vector<std::string> LoggedLines(TLogLevel atMost)
{
    std::lock_guard g(LogLock());
    std::vector<std::string> lines;
    for (const auto& [level, text] : Lines())
        if (level <= FFLogLevelOf(atMost))
            lines.push_back(text);
    return lines;
}
bool LogContains(const std::string& fragment, TLogLevel atMost)
{
    for (const std::string& line : LoggedLines(atMost))
        if (line.find(fragment) != std::string::npos)
            return true;
    return false;
}

TStreamSet::TStreamSet()
{
    ff().avformat_alloc_output_context2(&ctx_, nullptr, "matroska", nullptr);
    const AVMediaType kinds[] = {AVMEDIA_TYPE_VIDEO, AVMEDIA_TYPE_AUDIO, AVMEDIA_TYPE_SUBTITLE};
    for (AVMediaType kind : kinds)
        ff().avformat_new_stream(ctx_, nullptr)->codecpar->codec_type = kind;
}

TStreamSet::~TStreamSet() { ff().avformat_free_context(ctx_); }

AVStream* TStreamSet::stream(char kind) const { return ctx_->streams[kind == 'v' ? 0 : kind == 'a' ? 1 : 2]; }

}  // namespace reelsmith::test
