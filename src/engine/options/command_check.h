#pragma once
// A typed option string read as the engine will read it for an output file, before any file is
// opened, so that a typing error is found in the dialog rather than once per file of a run.
#include <string>

namespace reelsmith {

// The first problem of `options` for an output named `outputFileName` (its extension picks the
// muxer unless -f does): an unknown option or value, an unknown encoder, an unknown or unusable
// output format. Empty when the string reads. Needs the FFmpeg libraries; loads them when the
// process has not yet, and names what failed when it cannot.
std::string CommandProblem(const std::string& options, const std::string& outputFileName);

}  // namespace reelsmith
