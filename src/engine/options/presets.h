#pragma once
// Preset texts and preset files: lines of key=value applied to one file's options.

#include <string>

#include "engine/options/options_context.h"

namespace reelsmith {

class TCustomFFmpegOpt;

// Applies the lines of a preset file (-fpre, -apre, -vpre, -spre).
int ApplyPresetFile(TCustomFFmpegOpt& task, TOptionsContext& o, const std::string& path);

// Applies preset lines; prefix goes in front of every message (the file path, or empty).
int ApplyPresetLines(TCustomFFmpegOpt& task, TOptionsContext& o, const std::string& text, const std::string& prefix);

// Routes key=value through AVOption passthrough on scratch dictionaries and copies what it
// produced into the group's dictionaries with copyFlags (AV_DICT_DONT_OVERWRITE keeps values
// already there). 0 or the passthrough's code.
int PassThroughInto(TCustomFFmpegOpt& task, TOptionGroup& group, const std::string& key, const std::string& value,
                    int copyFlags);

}  // namespace reelsmith
