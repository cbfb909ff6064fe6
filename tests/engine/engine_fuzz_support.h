#pragma once
// Library set and process-wide state for the engine fuzz targets.

namespace reelsmith::fuzz {

// Loads the encoder's library set; ends the process when that is impossible.
void LoadEngineLibraries();
// Puts back what an option may change for the whole process (library log level and flags).
void RestoreLibraryState();

}  // namespace reelsmith::fuzz
