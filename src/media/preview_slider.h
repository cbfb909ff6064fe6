#pragma once
// The arithmetic of the Preview window's frame slider and time label, kept apart from
// the widgets so it is checked without a display.

#include <cstdint>
#include <string>

namespace reelsmith {

struct TSliderState {
    int Maximum = 10;  // a fresh slider
    int Position = 0;
    int TickFrequency = 1;
    int PageSize = 2;
    bool Enabled = false;
};

// Frames of a stream of `micros` at num/den frames per second, rounded; 0 when unknown.
int64_t EstimateFrames(int64_t micros, int rateNum, int rateDen);

// Applies a frame count to the slider (the maximum stays when frames is not positive)
// and keeps the thumb at the same relative place.
TSliderState ConfigureSlider(const TSliderState& slider, int64_t frames);

// The slider position a frame at `pts` belongs to, capped at the maximum.
int SliderPositionFor(int64_t pts, int64_t duration, int maximum);

// The time a slider position stands for; 0 when the maximum is not positive.
int64_t SliderTarget(int position, int maximum, int64_t duration);

// "hh:mm:ss.mmm" of a time in microseconds.
std::string FrameTimeText(int64_t micros);

}  // namespace reelsmith
