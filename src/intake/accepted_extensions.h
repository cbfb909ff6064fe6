#pragma once
// The one list of media extensions that the folder search masks, the adding routine's
// file test and the Add Files dialog's filter share.
#include <string>
#include <string_view>
#include <vector>

namespace reelsmith {

// "*.3GP;*.ASF;...;*.WMV;" as the search and the dialog take it.
extern const std::string_view kAcceptedMediaMasks;

// The masks one by one ("*.3GP", ..., "*.WMV").
std::vector<std::string> AcceptedMediaMaskList();

// True when the text from the last dot of the file name (dot included), upper-cased,
// is one of the accepted extensions. Only the name after the last "/" is looked at.
bool HasAcceptedMediaExtension(std::string_view path);
// True when that extension is one of the audio files' (".MP3", ".WAV", ...).
bool HasAudioExtension(std::string_view path);

}  // namespace reelsmith
