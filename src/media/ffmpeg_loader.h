#pragma once
// The process-wide loader of the FFmpeg libraries: opens them at run time with
// dlopen and binds every function of the table in ffmpeg_api.h by name.

#include <cstdint>
#include <initializer_list>
#include <stdexcept>
#include <string>

#include "media/ffmpeg_api.h"

namespace reelsmith {

// A set of TLibrary values; bit n is the library of ordinal n.
class TLibraries {
public:
    constexpr TLibraries() = default;
    constexpr TLibraries(std::initializer_list<TLibrary> libraries)
    {
        for (TLibrary library : libraries)
            FBits = static_cast<std::uint16_t>(FBits | BitOf(library));
    }
    constexpr bool Contains(TLibrary library) const { return (FBits & BitOf(library)) != 0; }
    constexpr bool Empty() const { return FBits == 0; }
    constexpr std::uint16_t Bits() const { return FBits; }
    constexpr TLibraries operator|(TLibraries other) const { return FromBits(FBits | other.FBits); }
    constexpr TLibraries operator-(TLibraries other) const { return FromBits(FBits & ~other.FBits); }
    friend constexpr bool operator==(TLibraries, TLibraries) = default;

private:
    static constexpr std::uint16_t BitOf(TLibrary library)
    {
        return static_cast<std::uint16_t>(1u << static_cast<int>(library));
    }
    static constexpr TLibraries FromBits(unsigned bits)
    {
        TLibraries set;
        set.FBits = static_cast<std::uint16_t>(bits);
        return set;
    }
    std::uint16_t FBits = 0;
};

inline constexpr TLibraries DecoderLibraries{TLibrary::avUtil,  TLibrary::swScale,  TLibrary::swResample,
                                             TLibrary::avCodec, TLibrary::avFormat, TLibrary::avFilter,
                                             TLibrary::myUtil};
inline constexpr TLibraries EncoderLibraries = DecoderLibraries | TLibraries{TLibrary::avDevice};

// Raised by CheckLibAV: "Library avutil not loaded."
class TLibraryNotLoaded : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TFFLoader {
public:
    TFFLoader() = default;
    ~TFFLoader();
    TFFLoader(const TFFLoader&) = delete;
    TFFLoader& operator=(const TFFLoader&) = delete;

    // The file name asked for: the soname (libavutil.so.57, libc.so.6, ...).
    std::string GetLibraryName(TLibrary library) const;
    // Overrides the file name of one library (a bare name or a full path); empty restores the table's.
    void SetLibraryName(TLibrary library, std::string name) { Status(library).Name = std::move(name); }

    bool Load(TLibrary library);
    // Loads in TLibrary order; on the first failure unloads every member and returns false.
    bool Load(TLibraries libraries);
    bool Loaded(TLibrary library) const;
    bool Loaded(TLibraries libraries) const;
    // Throws TLibraryNotLoaded for the first member, in TLibrary order, that is not loaded.
    void CheckLibAV(TLibraries libraries) const;
    void Unload(TLibrary library);
    void Unload(TLibraries libraries);

    // The message of the last load or bind failure; a later success keeps it.
    const std::string& LastErrMsg() const { return FLastErrMsg; }
    // The folder tried first; empty means the system search order only.
    const std::string& LibraryPath() const { return FLibraryPath; }
    void SetLibraryPath(std::string path) { FLibraryPath = std::move(path); }
    // Whether a successful Load(avUtil) points FFmpeg's log output at the engine logger.
    bool InstallLogger() const { return FInstallLogger; }
    void SetInstallLogger(bool install) { FInstallLogger = install; }

private:
    struct TLibraryStatus {
        std::string Name;           // overrides the table's file name when not empty
        void* Handle = nullptr;     // dlopen handle; null while not loaded
        void* Companion = nullptr;  // a dependency opened from the library folder (libpostproc)
        bool Fixuped = false;       // every function of the library is bound
    };

    bool OpenModule(TLibrary library);
    void* OpenFromFolderOrSystem(const std::string& dir, const std::string& file, std::string& tried);
    void OpenCompanion(TLibrary library, const std::string& dir);
    bool Bind(TLibrary library);
    TLibraryStatus& Status(TLibrary library) { return FStatus[static_cast<int>(library)]; }
    const TLibraryStatus& Status(TLibrary library) const { return FStatus[static_cast<int>(library)]; }

    std::string FLastErrMsg;
    std::string FLibraryPath;
    bool FInstallLogger = true;
    TLibraryStatus FStatus[kLibraryCount];
};

// The one loader of the process.
TFFLoader& FFLoader();

}  // namespace reelsmith
