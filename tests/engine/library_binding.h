#pragma once
// Binds the FFmpeg functions for engine tests, benchmarks and fuzz targets.

namespace reelsmith::test {

// Loads the encoder's library set through the process-wide loader. False when a library
// or function is missing.
bool BindLibrariesForTests();

}  // namespace reelsmith::test
