#include "library_binding.h"

#include <dlfcn.h>

#include "media/ffmpeg_api.h"

namespace reelsmith::tools {

bool BindEncoderLibraries(std::string* error)
{
    static const char* const kSonames[] = {"libavutil.so.57", "libswscale.so.6",   "libswresample.so.4",
                                           "libavcodec.so.59", "libavformat.so.59", "libavfilter.so.8",
                                           "libavdevice.so.59", "libc.so.6"};
    void* handles[8] = {};
    for (int i = 0; i < 8; ++i) {
        if (!(handles[i] = dlopen(kSonames[i], RTLD_NOW | RTLD_GLOBAL))) {
            *error = dlerror();
            return false;
        }
    }
    FFApi& table = detail::mutableFFApi();
    bool complete = true;
#define RS_FF_FUNCTION(lib, member, symbol, required, ...)                                                   \
    {                                                                                                         \
        std::string name = symbol;                                                                            \
        if (name[0] == '_' && name != "_wfopen")                                                              \
            name.erase(0, 1);                                                                                 \
        const int libIndex = static_cast<int>(TLibrary::lib);                                                 \
        if (libIndex < 8)                                                                                     \
            table.member = reinterpret_cast<decltype(table.member)>(dlsym(handles[libIndex], name.c_str()));  \
        if (!table.member && (required) && libIndex < 8 && name != "_wfopen") {                               \
            complete = false;                                                                                 \
            *error = "missing function " + name;                                                             \
        }                                                                                                     \
    }
#include "media/ffmpeg_function_list.inc"
#undef RS_FF_FUNCTION
    return complete;
}

}  // namespace reelsmith::tools
