#include "engine_bench_support.h"

#include <cstdio>
#include <cstdlib>

#include "library_binding.h"


namespace reelsmith::bench {

void LoadEngineLibraries()
{
    static const bool loaded = test::BindLibrariesForTests();
    if (!loaded) {
        std::fprintf(stderr, "cannot load the FFmpeg libraries\n");
        std::exit(1);
    }
}

}  // namespace reelsmith::bench
