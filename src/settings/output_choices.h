#pragma once
// The user's output choices as one value: list positions (-1 = no selection), the text of the
// custom-size slot and the picture effects. The main window mirrors its lists into this value
// and back; the option builders, the profiles and the dialogs work on it.
#include <string>

#include "settings/choice_lists.h"

namespace reelsmith {

// Picture effects set by the Effects dialog; they live only while the program runs.
struct TEffects {
    bool ef_VFlip = false;
    bool ef_HFlip = false;
    bool ef_Negate = false;
    bool ef_Dein = false;
    bool ef_Rotate = false;
    int ef_Degrees = 0;  // 0 = 90, 1 = 180, 2 = 270 degrees

    bool operator==(const TEffects&) const = default;
};

// The effects that are on, in the Effects dialog's words and order ("Negate, Rotate 180
// degrees"); empty when none is. A set effect applies to every later run, so it is shown.
std::string EffectsSummary(const TEffects& effects);
// Every effect off; the rotation's degrees stay for the next time it is switched on.
TEffects WithoutEffects(TEffects effects);

struct TOutputChoices {
    // " Video settings "
    int VideoFormat = 0;
    int VideoEncoder = 0;
    int VideoAspect = 0;
    int VideoFrameSize = 0;
    int VideoFrameRate = 0;
    int VideoBitrate = 0;
    // " Audio settings "
    int AudioFormat = 0;
    int AudioEncoder = 0;
    int AudioSampleRate = 0;
    int AudioChannel = 0;
    int AudioBitrate = 0;
    // " CPU usage " (read by the runs, not by the builders)
    int Threads = 0;
    int CPUUsage = 2;

    // Text of the last resolution entry, width + "x" + height.
    std::string CustomFrameSize = kDefaultCustomFrameSize;
    TEffects Effects;

    bool operator==(const TOutputChoices&) const = default;

    // Displayed texts of the current positions; empty where a list has no selection.
    std::string VideoFormatText() const;
    std::string VideoEncoderText() const;
    std::string VideoAspectText() const;
    std::string VideoFrameSizeText() const;
    std::string VideoFrameRateText() const;
    std::string VideoBitrateText() const;
    std::string AudioFormatText() const;
    std::string AudioEncoderText() const;
    std::string AudioSampleRateText() const;
    std::string AudioChannelText() const;
    std::string AudioBitrateText() const;
    std::string ThreadsText() const;

    // A copy in which every position outside its list reads -1, which is neither the first
    // entry nor a later one, and a custom size that is not width x height reads the default.
    TOutputChoices Normalized() const;

    // The resolution entries as the list shows them: the fixed sizes with the custom slot last.
    TEntryList VideoFrameSizeEntries() const;

    // Selects a video format and refills both encoder lists: their first entries are selected,
    // or none for a position outside the format list.
    void SetVideoFormat(int position);
};

// True for width + "x" + height with both positive decimal integers (no sign, no spaces):
// the only text that may reach the scale filter of the option string.
bool IsFrameSizeText(const std::string& text);

// Puts width + "x" + height into the resolution list: selects an entry (other than "Original")
// that already has this text, otherwise makes it the custom slot's text and selects that slot.
void SelectCustomFrameSize(TOutputChoices& choices, const std::string& sizeText);

}  // namespace reelsmith
