#pragma once
// Sets output choices by their displayed texts, so test tables read like the tabs.
#include <stdexcept>
#include <string>

#include "settings/output_choices.h"

namespace reelsmith::test {

inline int PositionOf(const TEntryList& entries, const std::string& text)
{
    const int position = EntryPosition(entries, text);
    if (position < 0)
        throw std::invalid_argument("no list entry " + text);
    return position;
}

inline int PositionOf(TChoiceList list, const std::string& text) { return PositionOf(ChoiceEntries(list), text); }

// A format with the encoder refill, then the two encoders by text.
inline TOutputChoices Conversion(const std::string& format, const std::string& videoEncoder,
                                 const std::string& audioEncoder)
{
    TOutputChoices c;
    c.SetVideoFormat(PositionOf(TChoiceList::VideoFormat, format));
    c.VideoEncoder = PositionOf(VideoEncodersOf(c.VideoFormat), videoEncoder);
    c.AudioEncoder = PositionOf(AudioEncodersOf(c.VideoFormat), audioEncoder);
    return c;
}

}  // namespace reelsmith::test
