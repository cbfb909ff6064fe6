#pragma once
// The process-wide table of bound FFmpeg and C-runtime functions.
// Types come from the real FFmpeg declarations; the addresses are filled at
// run time by TFFLoader, so no target links the FFmpeg libraries.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <type_traits>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavcodec/avfft.h>
#include <libavcodec/bsf.h>
#include <libavdevice/avdevice.h>
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavformat/avformat.h>
#include <libavformat/avio.h>
#include <libavutil/avstring.h>
#include <libavutil/bprint.h>
#include <libavutil/channel_layout.h>
#include <libavutil/cpu.h>
#include <libavutil/dict.h>
#include <libavutil/display.h>
#include <libavutil/eval.h>
#include <libavutil/fifo.h>
#include <libavutil/hwcontext.h>
#include <libavutil/imgutils.h>
#include <libavutil/mathematics.h>
#include <libavutil/opt.h>
#include <libavutil/parseutils.h>
#include <libavutil/pixdesc.h>
#include <libavutil/samplefmt.h>
#include <libavutil/time.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

namespace reelsmith {

// The libraries the loader knows; the ordinal is the bit number in a TLibraries set.
enum class TLibrary : int {
    avUtil,
    swScale,
    swResample,
    avCodec,
    avFormat,
    avFilter,
    avDevice,
    myUtil,
    SDL2,
    libSoundTouch,
};

inline constexpr int kLibraryCount = 10;

// Several deprecated FFmpeg functions are bound on purpose.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#pragma GCC diagnostic ignored "-Wignored-attributes"
struct FFApi {
#define RS_FF_FUNCTION(lib, member, symbol, required, ...) std::type_identity_t<__VA_ARGS__> member = nullptr;
#include "media/ffmpeg_function_list.inc"
#undef RS_FF_FUNCTION
};
#pragma GCC diagnostic pop

namespace detail {
FFApi& mutableFFApi();
}

// Bound functions; valid only for libraries the loader reports as loaded.
inline const FFApi& ff() { return detail::mutableFFApi(); }

}  // namespace reelsmith
