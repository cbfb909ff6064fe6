#pragma once
// Loads the encoder's library set once for the engine benchmarks.

namespace reelsmith::bench {

void LoadEngineLibraries();

}  // namespace reelsmith::bench
