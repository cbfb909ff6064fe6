#pragma once
// Fixtures shared by the decoder tests: bound libraries and generated media.

#include <string>

namespace reelsmith::test {

// Binds the libraries once; fails the calling test when that is impossible.
void RequireLibraries();

// A 2-second 160x120 25 fps clip: H.264 in MP4, key frame every 10 frames, 1 B-frame
// run at most, plus AAC audio.
std::string MakeH264Clip();

}  // namespace reelsmith::test
