#pragma once
// The texts of "reelsmith-transcode --help" and "--version"; the man page is made from them.

namespace reelsmith {

extern const char* const kTranscodeHelp;
extern const char* const kTranscodeVersion;

}  // namespace reelsmith
