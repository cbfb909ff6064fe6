#pragma once
// Shared helpers of the engine tests: the library set loaded once, captured engine
// messages, and a small output context with one stream of each kind for specifier matching.

#include <string>
#include <vector>

#include "engine/options/custom_ffmpeg_opt.h"
#include "media/engine_log.h"

namespace reelsmith::test {

// Loads the encoder's library set once; fails the test when that is impossible.
void LoadEngineLibraries();

// Engine messages logged since the last ClearLog().
void ClearLog();
std::vector<std::string> LoggedLines(TLogLevel atMost = TLogLevel::llTrace);
bool LogContains(const std::string& fragment, TLogLevel atMost = TLogLevel::llTrace);

// An output context (matroska, no file) with a video, an audio and a subtitle stream.
class TStreamSet {
public:
    TStreamSet();
    ~TStreamSet();
    TStreamSet(const TStreamSet&) = delete;
    TStreamSet& operator=(const TStreamSet&) = delete;
    AVFormatContext* ctx() const { return ctx_; }
    // 'v', 'a' or 's'
    AVStream* stream(char kind) const;

private:
    AVFormatContext* ctx_ = nullptr;
};

}  // namespace reelsmith::test
