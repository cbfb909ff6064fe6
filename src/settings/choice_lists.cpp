#include "settings/choice_lists.h"

#include <algorithm>
#include <array>

namespace reelsmith {
namespace {

const TEntryList kVideoFormats{"AVI", "M4V", "MKV", "MOV", "MP4", "MPG", "TS", "VOB", "WebM", "WMV"};
const TEntryList kVideoAspects{"Original", "4:3", "16:9", "37:20", "47:20"};
const TEntryList kVideoFrameSizes{"Original",  "128x96",    "160x120",   "176x144",   "320x200",
                                  "320x240",   "352x288",   "640x350",   "640x480",   "704x576",
                                  "720x480",   "800x600",   "852x480",   "1024x768",  "1280x720",
                                  "1280x1024", "1366x768",  "1600x1200", "1600x1024", "1920x1080",
                                  "1920x1200", "2048x1536", "2560x1600", "2560x2048", "3200x2048",
                                  "3840x2400", "4096x2160", "5120x4096", "6400x4096", kDefaultCustomFrameSize};
const TEntryList kVideoFrameRates{"Original", "10", "15", "25", "30"};
const TEntryList kVideoBitrates{"Original", "256",   "384",   "512",   "640",   "768",   "900",   "1000",
                                "1200",     "1500",  "2000",  "2500",  "3000",  "4000",  "5000",  "6000",
                                "7000",     "8000",  "9000",  "10000", "12000", "15000", "18000", "20000",
                                "25000",    "30000", "35000", "40000", "45000", "50000"};
const TEntryList kAudioFormats{"MP3", "WAV", "OGG", "FLAC", "WMA"};
const TEntryList kAudioSampleRates{"Original", "8000", "11025", "22050", "44100", "48000"};
const TEntryList kAudioChannels{"Original", "Mono", "Stereo"};
const TEntryList kAudioBitrates{"32",  "40",  "48",  "56",  "64",  "80",  "96",
                                "128", "160", "192", "224", "256", "320", "384"};
const TEntryList kThreads{"1", "2", "3", "4", "5", "6", "7", "8"};
const TEntryList kCPUUsage{"Idle", "Low", "Normal", "High"};
const TEntryList kProfileTypes{"General", "HD Video", "4K Video", "iPhone", "iPad", "Apple TV"};

// Encoder lists in the order of the video format list.
const std::array<TEntryList, 10> kVideoEncoders{{
    {"MPEG4", "H.264", "DivX", "xVid"},   // AVI
    {"MPEG4", "H.264"},                   // M4V
    {"MPEG4", "H.264", "H.265", "xVid"},  // MKV
    {"MPEG4", "H.264", "H.265"},          // MOV
    {"MPEG4", "H.264", "H.265"},          // MP4
    {"MPEG2"},                            // MPG
    {"H.264", "H.265"},                   // TS
    {"MPEG2"},                            // VOB
    {"VP8"},                              // WebM
    {"WMV"},                              // WMV
}};
const std::array<TEntryList, 10> kAudioEncoders{{
    {"MP3", "AC3"},  // AVI
    {"AAC"},         // M4V
    {"MP3", "AAC"},  // MKV
    {"AAC"},         // MOV
    {"AAC", "AC3"},  // MP4
    {"MP2"},         // MPG
    {"AC3"},         // TS
    {"MP2", "AC3"},  // VOB
    {"OGG"},         // WebM
    {"WMA"},         // WMV
}};

const TEntryList kNone;

bool InRange(int position, std::size_t size) { return position >= 0 && static_cast<std::size_t>(position) < size; }

}  // namespace

const TEntryList& ChoiceEntries(TChoiceList list)
{
    switch (list) {
    case TChoiceList::VideoFormat: return kVideoFormats;
    case TChoiceList::VideoAspect: return kVideoAspects;
    case TChoiceList::VideoFrameSize: return kVideoFrameSizes;
    case TChoiceList::VideoFrameRate: return kVideoFrameRates;
    case TChoiceList::VideoBitrate: return kVideoBitrates;
    case TChoiceList::AudioFormat: return kAudioFormats;
    case TChoiceList::AudioSampleRate: return kAudioSampleRates;
    case TChoiceList::AudioChannel: return kAudioChannels;
    case TChoiceList::AudioBitrate: return kAudioBitrates;
    case TChoiceList::Threads: return kThreads;
    case TChoiceList::CPUUsage: return kCPUUsage;
    case TChoiceList::ProfileType: return kProfileTypes;
    }
    return kNone;
}

int DefaultPosition(TChoiceList list) { return list == TChoiceList::CPUUsage ? 2 : 0; }

const TEntryList& VideoEncodersOf(int formatPosition)
{
    return InRange(formatPosition, kVideoEncoders.size()) ? kVideoEncoders[formatPosition] : kNone;
}

const TEntryList& AudioEncodersOf(int formatPosition)
{
    return InRange(formatPosition, kAudioEncoders.size()) ? kAudioEncoders[formatPosition] : kNone;
}

std::string EntryText(const TEntryList& entries, int position)
{
    return InRange(position, entries.size()) ? entries[position] : std::string();
}

int EntryPosition(const TEntryList& entries, const std::string& text)
{
    const auto found = std::find(entries.begin(), entries.end(), text);
    return found == entries.end() ? -1 : static_cast<int>(found - entries.begin());
}

}  // namespace reelsmith
