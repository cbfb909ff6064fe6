#pragma once
// Opening an input file: what the other stages share of it.

#include "engine/options/custom_ffmpeg_opt.h"

namespace reelsmith {

// Resolves -t/-to of a file's options into o.recording_time (-t wins over -to). 0, or -22
// with the task's error text when -to lies before -ss.
int ResolveRecordingTime(TCustomFFmpegOpt& task, TOptionsContext& o);

}  // namespace reelsmith
