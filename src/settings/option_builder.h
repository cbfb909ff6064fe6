#pragma once
// Turns the output choices into the one-line option string a run hands to the engine.
// The strings never name files: one string serves every file of a run.
#include <string>

#include "settings/output_choices.h"

namespace reelsmith {

// Options of a conversion (container, codecs, sizes, rates, effects), ending in " -sn ".
std::string BuildVideoOptions(const TOutputChoices& choices);

// Options of an audio extraction (bit rate, channels, sample rate, codec), ending in " -vn".
std::string BuildAudioOptions(const TOutputChoices& choices);

}  // namespace reelsmith
