#pragma once
// What the task hands to the hooks and the preview: a picture converted to a packed RGB
// bitmap, or the raw decoded frame.

#include <cstdint>

#include "media/format_converter.h"

namespace reelsmith {

struct THookInfo {
    int32_t TaskIndex = 0;
    TRGBPicture* Bitmap = nullptr;  // may be painted; with Update the picture takes it back
    int32_t FrameNumber = 0;
    int64_t PTS = 0;
    bool Update = true;
    bool StopHook = false;
};

struct TPreviewInfo {
    int32_t TaskIndex = 0;
    const TRGBPicture* Bitmap = nullptr;
    int32_t FrameNumber = 0;
    int64_t PTS = 0;
};

// Post-hooks of the pictures about to be encoded.
enum TPostHook : unsigned { phPreview = 1, phBitmap = 2 };

}  // namespace reelsmith
