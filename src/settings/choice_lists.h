#pragma once
// The fixed lists behind the output choices. Each choice is stored as a position in one of
// these lists; the texts here are what the lists show and what the option builders read.
#include <string>
#include <vector>

namespace reelsmith {

using TEntryList = std::vector<std::string>;

enum class TChoiceList {
    VideoFormat,      // cb_VideoFormat
    VideoAspect,      // cb_VideoAspect
    VideoFrameSize,   // cb_VideoFrameSize (the last entry is the custom-size slot)
    VideoFrameRate,   // cb_VideoFrameRate
    VideoBitrate,     // cb_VideoBitrate, kbit/s
    AudioFormat,      // cb_AudioFormat (extraction only)
    AudioSampleRate,  // cb_AudioSampleRate, Hz
    AudioChannel,     // cb_AudioChannel
    AudioBitrate,     // cb_AudioBitrate, kbit/s
    Threads,          // cb_Threads
    CPUUsage,         // cb_CPUUsage
    ProfileType,      // cb_Type
};

// Entries of a fixed list in list order.
const TEntryList& ChoiceEntries(TChoiceList list);

// The position selected at start (the first entry except for the priority, "Normal").
int DefaultPosition(TChoiceList list);

// Encoder lists that the video format at `formatPosition` refills; empty for a position outside
// the format list.
const TEntryList& VideoEncodersOf(int formatPosition);
const TEntryList& AudioEncodersOf(int formatPosition);

// Text of `position` in `entries`, or empty when the position selects nothing.
std::string EntryText(const TEntryList& entries, int position);

// Position of `text` in `entries`, or -1.
int EntryPosition(const TEntryList& entries, const std::string& text);

// The text the custom-size slot holds on a first start.
inline constexpr const char* kDefaultCustomFrameSize = "7680x4800";

}  // namespace reelsmith
