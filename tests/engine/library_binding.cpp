#include "library_binding.h"

#include <dlfcn.h>

#include "media/ffmpeg_loader.h"

namespace reelsmith::test {

bool BindLibrariesForTests()
{
    if (!FFLoader().Load(EncoderLibraries))
        return false;
    // The loader closes the libraries at exit; keep them mapped instead, so that the leak
    // checker still sees the libraries' own lasting allocations as reachable.
    for (int i = 0; i < kLibraryCount; ++i) {
        const auto library = static_cast<TLibrary>(i);
        if (EncoderLibraries.Contains(library))
            dlopen(FFLoader().GetLibraryName(library).c_str(), RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
    }
    return true;
}

}  // namespace reelsmith::test
