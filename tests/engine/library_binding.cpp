#include "library_binding.h"

#include <dlfcn.h>

#include <string>

#include "media/ffmpeg_api.h"

namespace reelsmith::test {

// Until the process-wide loader is in place: bind the system libraries by soname.
bool BindLibrariesForTests()
{
    static const char* const kSonames[] = {"libavutil.so.57", "libswscale.so.6",   "libswresample.so.4",
                                           "libavcodec.so.59", "libavformat.so.59", "libavfilter.so.8",
                                           "libavdevice.so.59", "libc.so.6"};
    void* handles[8] = {};
    for (int i = 0; i < 8; ++i)
        if (!(handles[i] = dlopen(kSonames[i], RTLD_NOW | RTLD_GLOBAL)))
            return false;
    FFApi& table = detail::mutableFFApi();
    bool complete = true;
#define RS_FF_FUNCTION(lib, member, symbol, required, ...)                                                   \
    {                                                                                                         \
        std::string name = symbol;                                                                            \
        if (name[0] == '_' && name != "_wfopen")                                                              \
            name.erase(0, 1);                                                                                 \
        table.member = reinterpret_cast<decltype(table.member)>(                                              \
            dlsym(handles[static_cast<int>(TLibrary::lib)], name.c_str()));                                   \
        complete = complete && (table.member || !(required) || name == "_wfopen");                            \
    }
#include "media/ffmpeg_function_list.inc"
#undef RS_FF_FUNCTION
    return complete;
}

}  // namespace reelsmith::test
