#pragma once
// Ready-made output profiles grouped by device type. A profile is nothing but a set of list
// positions: applying it writes entries into the output choices.
#include <string>
#include <vector>

#include "settings/output_choices.h"

namespace reelsmith {

// One profile. Texts are entries of the choice lists; an empty text leaves that list unchanged.
struct TProfile {
    int Type;             // position in the profile type list
    std::string Caption;  // shown in cb_Format
    std::string VideoFormat;
    std::string VideoEncoder;
    std::string FrameSize;
    std::string VideoBitrate;
    std::string FrameRate;
    std::string SampleRate;
    std::string AudioBitrate;
    std::string Channel;
    std::string AudioEncoder;
};

// All 40 profiles, grouped by type in list order.
const std::vector<TProfile>& ProfileCatalogue();

// Captions of the profiles of a type, in list order; empty for a type outside the list.
std::vector<std::string> ProfileCaptions(int type);

// The profile at `position` within `type`, or nullptr.
const TProfile* FindProfile(int type, int position);

// Applies the profile at `position` of `type` (none when either is out of range): selects its
// format with the encoder refill, then the lists it names. With `originalParameters` the aspect,
// frame rate, resolution, video bit rate, sample rate and channel return to "Original".
void ApplyProfile(TOutputChoices& choices, int type, int position, bool originalParameters);

}  // namespace reelsmith
