#include "settings/output_choices.h"

#include <algorithm>
#include <string_view>
#include <utility>

namespace reelsmith {
namespace {

std::string Text(TChoiceList list, int position) { return EntryText(ChoiceEntries(list), position); }

int FirstOrNone(const TEntryList& entries) { return entries.empty() ? -1 : 0; }

void Normalize(int& position, std::size_t size)
{
    if (position < 0 || static_cast<std::size_t>(position) >= size)
        position = -1;
}

void Normalize(int& position, TChoiceList list) { Normalize(position, ChoiceEntries(list).size()); }

}  // namespace

std::string TOutputChoices::VideoFormatText() const { return Text(TChoiceList::VideoFormat, VideoFormat); }
std::string TOutputChoices::VideoEncoderText() const { return EntryText(VideoEncodersOf(VideoFormat), VideoEncoder); }
std::string TOutputChoices::VideoAspectText() const { return Text(TChoiceList::VideoAspect, VideoAspect); }
std::string TOutputChoices::VideoFrameSizeText() const { return EntryText(VideoFrameSizeEntries(), VideoFrameSize); }
std::string TOutputChoices::VideoFrameRateText() const { return Text(TChoiceList::VideoFrameRate, VideoFrameRate); }
std::string TOutputChoices::VideoBitrateText() const { return Text(TChoiceList::VideoBitrate, VideoBitrate); }
std::string TOutputChoices::AudioFormatText() const { return Text(TChoiceList::AudioFormat, AudioFormat); }
std::string TOutputChoices::AudioEncoderText() const { return EntryText(AudioEncodersOf(VideoFormat), AudioEncoder); }
std::string TOutputChoices::AudioSampleRateText() const { return Text(TChoiceList::AudioSampleRate, AudioSampleRate); }
std::string TOutputChoices::AudioChannelText() const { return Text(TChoiceList::AudioChannel, AudioChannel); }
std::string TOutputChoices::AudioBitrateText() const { return Text(TChoiceList::AudioBitrate, AudioBitrate); }
std::string TOutputChoices::ThreadsText() const { return Text(TChoiceList::Threads, Threads); }

TEntryList TOutputChoices::VideoFrameSizeEntries() const
{
    TEntryList entries = ChoiceEntries(TChoiceList::VideoFrameSize);
    entries.back() = CustomFrameSize;
    return entries;
}

TOutputChoices TOutputChoices::Normalized() const
{
    // Positions in fixed lists; the encoder lists depend on the format.
    static constexpr std::pair<int TOutputChoices::*, TChoiceList> kFixed[] = {
        {&TOutputChoices::VideoFormat, TChoiceList::VideoFormat},
        {&TOutputChoices::VideoAspect, TChoiceList::VideoAspect},
        {&TOutputChoices::VideoFrameSize, TChoiceList::VideoFrameSize},
        {&TOutputChoices::VideoFrameRate, TChoiceList::VideoFrameRate},
        {&TOutputChoices::VideoBitrate, TChoiceList::VideoBitrate},
        {&TOutputChoices::AudioFormat, TChoiceList::AudioFormat},
        {&TOutputChoices::AudioSampleRate, TChoiceList::AudioSampleRate},
        {&TOutputChoices::AudioChannel, TChoiceList::AudioChannel},
        {&TOutputChoices::AudioBitrate, TChoiceList::AudioBitrate},
        {&TOutputChoices::Threads, TChoiceList::Threads},
        {&TOutputChoices::CPUUsage, TChoiceList::CPUUsage},
    };
    TOutputChoices c = *this;
    for (const auto& [member, list] : kFixed)
        Normalize(c.*member, list);
    Normalize(c.VideoEncoder, VideoEncodersOf(VideoFormat).size());
    Normalize(c.AudioEncoder, AudioEncodersOf(VideoFormat).size());
    if (!IsFrameSizeText(c.CustomFrameSize))
        c.CustomFrameSize = kDefaultCustomFrameSize;
    return c;
}

void TOutputChoices::SetVideoFormat(int position)
{
    VideoFormat = position;
    VideoEncoder = FirstOrNone(VideoEncodersOf(position));
    AudioEncoder = FirstOrNone(AudioEncodersOf(position));
}

namespace {

constexpr std::size_t kMaxSizeDigits = 5;  // far beyond any real frame, far below an int's range

bool IsPositiveNumber(std::string_view digits)
{
    if (digits.empty() || digits.size() > kMaxSizeDigits)
        return false;
    if (!std::all_of(digits.begin(), digits.end(), [](char ch) { return ch >= '0' && ch <= '9'; }))
        return false;
    return digits.find_first_not_of('0') != std::string_view::npos;
}

}  // namespace

bool IsFrameSizeText(const std::string& text)
{
    const std::size_t cross = text.find_first_of("xX");
    if (cross == std::string::npos)
        return false;
    const std::string_view whole(text);
    return IsPositiveNumber(whole.substr(0, cross)) && IsPositiveNumber(whole.substr(cross + 1));
}

void SelectCustomFrameSize(TOutputChoices& choices, const std::string& sizeText)
{
    const TEntryList entries = choices.VideoFrameSizeEntries();
    for (std::size_t i = 1; i < entries.size(); ++i) {
        if (entries[i] == sizeText) {
            choices.VideoFrameSize = static_cast<int>(i);
            return;
        }
    }
    choices.CustomFrameSize = sizeText;
    choices.VideoFrameSize = static_cast<int>(entries.size()) - 1;
}

std::string EffectsSummary(const TEffects& effects)
{
    static constexpr const char* kDegrees[] = {"90 degrees", "180 degrees", "270 degrees"};
    std::string summary;
    const auto add = [&summary](const std::string& name) { summary += (summary.empty() ? "" : ", ") + name; };
    if (effects.ef_VFlip)
        add("Vertically flip");
    if (effects.ef_HFlip)
        add("Horizontally flip");
    if (effects.ef_Negate)
        add("Negate");
    if (effects.ef_Dein)
        add("Deinterlace");
    // A position outside the list rotates nothing, as in the option builder.
    if (effects.ef_Rotate && effects.ef_Degrees >= 0 && effects.ef_Degrees < 3)
        add(std::string("Rotate ") + kDegrees[effects.ef_Degrees]);
    return summary;
}

TEffects WithoutEffects(TEffects effects)
{
    effects.ef_VFlip = effects.ef_HFlip = effects.ef_Negate = effects.ef_Dein = effects.ef_Rotate = false;
    return effects;
}

}  // namespace reelsmith
