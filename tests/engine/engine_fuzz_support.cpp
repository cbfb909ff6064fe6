#include "engine_fuzz_support.h"

#include <cstdio>
#include <cstdlib>

#include "library_binding.h"
#include "media/ffmpeg_api.h"

namespace reelsmith::fuzz {

void LoadEngineLibraries()
{
    if (!test::BindLibrariesForTests()) {
        std::fprintf(stderr, "cannot load the FFmpeg libraries\n");
        std::exit(1);
    }
    ff().av_log_set_level(AV_LOG_QUIET);
}

void RestoreLibraryState()
{
    ff().av_log_set_level(AV_LOG_QUIET);
    ff().av_log_set_flags(0);
}

}  // namespace reelsmith::fuzz
