#include "engine_bench_support.h"

#include <cstdio>
#include <cstdlib>

#include "library_binding.h"
#include "media/ffmpeg_api.h"

namespace reelsmith::bench {

void LoadEngineLibraries()
{
    static const bool loaded = [] {
        if (!test::BindLibrariesForTests())
            return false;
        ff().av_log_set_level(AV_LOG_QUIET);
        return true;
    }();
    if (!loaded) {
        std::fprintf(stderr, "cannot load the FFmpeg libraries\n");
        std::exit(1);
    }
}

}  // namespace reelsmith::bench
