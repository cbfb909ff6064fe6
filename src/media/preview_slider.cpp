#include "media/preview_slider.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>

namespace reelsmith {

int64_t EstimateFrames(int64_t micros, int rateNum, int rateDen)
{
    if (micros <= 0 || rateNum <= 0 || rateDen <= 0)
        return 0;
    return std::llround(static_cast<double>(micros) / 1000000.0 * rateNum / rateDen);
}

TSliderState ConfigureSlider(const TSliderState& slider, int64_t frames)
{
    TSliderState result = slider;
    const double relative = slider.Maximum < 1 ? 0.0 : static_cast<double>(slider.Position) / slider.Maximum;
    if (frames > 0)
        result.Maximum = static_cast<int>(std::min<int64_t>(frames, INT_MAX));
    const int maximum = result.Maximum;
    result.TickFrequency = maximum < 11 ? 1 : maximum / 10;
    result.PageSize = maximum <= 9 ? 2 : maximum <= 99 ? 5 : maximum / 20;
    result.Position = static_cast<int>(std::lround(maximum * relative));
    return result;
}

int SliderPositionFor(int64_t pts, int64_t duration, int maximum)
{
    if (duration <= 0 || maximum <= 0)
        return 0;
    const double position = std::round(static_cast<double>(maximum) * pts / duration);
    return static_cast<int>(std::clamp(position, 0.0, static_cast<double>(maximum)));
}

int64_t SliderTarget(int position, int maximum, int64_t duration)
{
    if (maximum <= 0)
        return 0;
    return std::llround(static_cast<double>(position) / maximum * duration);
}

std::string FrameTimeText(int64_t micros)
{
    // A frame stamped before the stream start reads as a negative time, not as garbage.
    const bool negative = micros < 0;
    const uint64_t t = negative ? 0 - static_cast<uint64_t>(micros) : static_cast<uint64_t>(micros);
    const uint64_t s = t / 1000000;
    char text[48];
    std::snprintf(text, sizeof text, "%s%.2llu:%.2llu:%.2llu.%.3llu", negative ? "-" : "",
                  static_cast<unsigned long long>(s / 3600), static_cast<unsigned long long>((s / 60) % 60),
                  static_cast<unsigned long long>(s % 60), static_cast<unsigned long long>((t % 1000000) / 1000));
    return text;
}

}  // namespace reelsmith
