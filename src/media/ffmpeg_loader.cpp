#include "media/ffmpeg_loader.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <cassert>
#include <cerrno>
#include <cstring>

#include "media/ff_logger.h"

namespace reelsmith {

namespace {

struct TLibraryRow {
    const char* BaseName;
    bool SystemLibrary;    // the library path is never put in front of its name
    const char* FileName;  // Linux soname
    const char* Version;   // symbol version node; null: plain dlsym
    bool Bindable;         // false: loading succeeds without touching the disk
};

constexpr TLibraryRow kLibraryTable[kLibraryCount] = {
    {"avutil", false, "libavutil.so.57", "LIBAVUTIL_57", true},
    {"swscale", false, "libswscale.so.6", "LIBSWSCALE_6", true},
    {"swresample", false, "libswresample.so.4", "LIBSWRESAMPLE_4", true},
    {"avcodec", false, "libavcodec.so.59", "LIBAVCODEC_59", true},
    {"avformat", false, "libavformat.so.59", "LIBAVFORMAT_59", true},
    {"avfilter", false, "libavfilter.so.8", "LIBAVFILTER_8", true},
    {"avdevice", false, "libavdevice.so.59", "LIBAVDEVICE_59", true},
    {"c", true, "libc.so.6", nullptr, true},
    {"SDL2", false, "libSDL2-2.0.so.0", nullptr, false},
    {"SoundTouch", false, "libSoundTouch.so.1", nullptr, false},
};

// Debian's libavfilter needs libpostproc; a bundled folder carries it beside the FFmpeg libraries.
constexpr const char* kAvFilterCompanion = "libpostproc.so.56";

const TLibraryRow& Row(TLibrary library) { return kLibraryTable[static_cast<int>(library)]; }

bool FileExists(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

std::string DirectoryPart(const std::string& name)
{
    const auto slash = name.rfind('/');
    return slash == std::string::npos ? std::string() : name.substr(0, slash + 1);
}

std::string FilePart(const std::string& name)
{
    const auto slash = name.rfind('/');
    return slash == std::string::npos ? name : name.substr(slash + 1);
}

std::string LastDlError()
{
    const char* text = dlerror();
    return text ? text : "unknown error";
}

class TBindError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

void* Resolve(void* handle, const char* symbol, bool required, const std::string& fileName, const char* version)
{
    dlerror();
    void* address = version ? dlvsym(handle, symbol, version) : dlsym(handle, symbol);
    if (!address && required) {
        const std::string message =
            "Load function " + std::string(symbol) + "@" + fileName + " error: " + LastDlError();
        throw TBindError(message);
    }
    return address;
}

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
void BindFunctions(TLibrary library, void* handle, const std::string& fileName)
{
    FFApi& table = detail::mutableFFApi();
    const char* version = Row(library).Version;
#define RS_FF_FUNCTION(lib, member, symbol, required, ...) \
    if (library == TLibrary::lib)                          \
        table.member = reinterpret_cast<decltype(table.member)>(Resolve(handle, symbol, required, fileName, version));
#include "media/ffmpeg_function_list.inc"
#undef RS_FF_FUNCTION
}

void UnbindFunctions(TLibrary library)
{
    FFApi& table = detail::mutableFFApi();
#define RS_FF_FUNCTION(lib, member, symbol, required, ...) \
    if (library == TLibrary::lib)                          \
        table.member = nullptr;
#include "media/ffmpeg_function_list.inc"
#undef RS_FF_FUNCTION
}
#pragma GCC diagnostic pop

constexpr TLibrary kAllLibraries[kLibraryCount] = {
    TLibrary::avUtil,   TLibrary::swScale,  TLibrary::swResample, TLibrary::avCodec, TLibrary::avFormat,
    TLibrary::avFilter, TLibrary::avDevice, TLibrary::myUtil,     TLibrary::SDL2,    TLibrary::libSoundTouch};

}  // namespace

TFFLoader::~TFFLoader()
{
#if defined(__SANITIZE_ADDRESS__)
    // The leak checker runs after static destructors: libraries still mapped let it see
    // the allocations their globals hold, instead of reporting them from unknown modules.
    return;
#endif
    for (TLibrary library : kAllLibraries)
        Unload(library);
}

std::string TFFLoader::GetLibraryName(TLibrary library) const
{
    const TLibraryStatus& status = Status(library);
    return status.Name.empty() ? Row(library).FileName : status.Name;
}

bool TFFLoader::Load(TLibrary library)
{
    if (!Row(library).Bindable)
        return true;
    TLibraryStatus& status = Status(library);
    if (!status.Handle && !OpenModule(library))
        return false;
    if (!status.Fixuped)
        status.Fixuped = Bind(library);
    if (!status.Fixuped) {
        Unload(library);
        return false;
    }
    // On every successful load of avutil, also when it was loaded already.
    if (library == TLibrary::avUtil && FInstallLogger)
        FFLogger().InstallCallback();
    return true;
}

bool TFFLoader::Load(TLibraries libraries)
{
    assert(!libraries.Empty() && "empty library set");
    for (TLibrary library : kAllLibraries) {
        if (libraries.Contains(library) && !Load(library)) {
            Unload(libraries);
            return false;
        }
    }
    return true;
}

bool TFFLoader::Loaded(TLibrary library) const
{
    if (!Row(library).Bindable)
        return true;
    const TLibraryStatus& status = Status(library);
    return status.Handle && status.Fixuped;
}

bool TFFLoader::Loaded(TLibraries libraries) const
{
    assert(!libraries.Empty() && "empty library set");
    for (TLibrary library : kAllLibraries)
        if (libraries.Contains(library) && !Loaded(library))
            return false;
    return true;
}

void TFFLoader::CheckLibAV(TLibraries libraries) const
{
    for (TLibrary library : kAllLibraries)
        if (libraries.Contains(library) && !Loaded(library))
            throw TLibraryNotLoaded("Library " + std::string(Row(library).BaseName) + " not loaded.");
}

void TFFLoader::Unload(TLibrary library)
{
    TLibraryStatus& status = Status(library);
    if (status.Fixuped) {
        // FFmpeg must not call into a logger it can no longer be unloaded under.
        if (library == TLibrary::avUtil)
            TFFLogger::UninstallCallback();
        UnbindFunctions(library);
        status.Fixuped = false;
    }
    if (status.Handle) {
        dlclose(status.Handle);
        status.Handle = nullptr;
    }
    if (status.Companion) {
        dlclose(status.Companion);
        status.Companion = nullptr;
    }
}

void TFFLoader::Unload(TLibraries libraries)
{
    assert(!libraries.Empty() && "empty library set");
    for (TLibrary library : kAllLibraries)
        if (libraries.Contains(library))
            Unload(library);
}

bool TFFLoader::OpenModule(TLibrary library)
{
    const std::string name = GetLibraryName(library);
    std::string dir = DirectoryPart(name);
    if (dir.empty() && !FLibraryPath.empty() && !Row(library).SystemLibrary)
        dir = FLibraryPath.back() == '/' ? FLibraryPath : FLibraryPath + "/";
    const std::string file = FilePart(name);
    if (library == TLibrary::avFilter)
        OpenCompanion(library, dir);
    std::string tried;
    errno = 0;
    void* handle = OpenFromFolderOrSystem(dir, file, tried);
    if (!handle) {
        const int code = errno ? errno : ENOENT;
        const std::string text = LastDlError();
        FLastErrMsg = "Load library " + tried + " error(#" + std::to_string(code) + "): " + text;
        Unload(library);
        return false;
    }
    Status(library).Handle = handle;
    return true;
}

// In table order: every later library finds the earlier ones by soname (the dynamic linker
// matches a needed name against every object already loaded), so a folder's copies are used
// instead of the system's. RTLD_LOCAL: nothing of ours looks their symbols up globally, and
// each library added to the global scope made every later look-up of the two hundred-odd
// dependencies walk past it (a third of the loading time). RTLD_LAZY: the FFmpeg libraries
// are linked with immediate binding themselves, so this only leaves their dependencies (X11,
// VA-API, codec libraries) to bind on first use, as a linked program does; binding all of
// them now costs some 9000 symbol look-ups at every start.
void* TFFLoader::OpenFromFolderOrSystem(const std::string& dir, const std::string& file, std::string& tried)
{
    tried = dir + file;
    if (!dir.empty() && FileExists(dir + file))
        return dlopen((dir + file).c_str(), RTLD_LAZY | RTLD_LOCAL);
    return dlopen(file.c_str(), RTLD_LAZY | RTLD_LOCAL);
}

void TFFLoader::OpenCompanion(TLibrary library, const std::string& dir)
{
    TLibraryStatus& status = Status(library);
    const std::string path = dir + kAvFilterCompanion;
    if (!status.Companion && !dir.empty() && FileExists(path))
        status.Companion = dlopen(path.c_str(), RTLD_LAZY | RTLD_GLOBAL);
}

bool TFFLoader::Bind(TLibrary library)
{
    try {
        BindFunctions(library, Status(library).Handle, GetLibraryName(library));
        return true;
    } catch (const TBindError& error) {
        UnbindFunctions(library);
        FLastErrMsg = error.what();
        return false;
    }
}

TFFLoader& FFLoader()
{
    // Never destroyed: closing two hundred-odd libraries one by one at exit (their
    // destructors, then every mapping) took tens of milliseconds of every short run, and
    // the process's end frees them all at once anyway.
    union TForever {
        TFFLoader Loader;
        TForever() : Loader() {}
        ~TForever() {}
    };
    static TForever forever;
    return forever.Loader;
}

}  // namespace reelsmith
