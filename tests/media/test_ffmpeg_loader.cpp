#include <gtest/gtest.h>

#include "media/ff_base_component.h"
#include "media/ffmpeg_loader.h"
#include "support/test_media.h"

#include <dlfcn.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <vector>

using namespace reelsmith;

namespace {

class TTestComponent : public TFFBaseComponent {
public:
    explicit TTestComponent(TLibraries libraries) : TFFBaseComponent(libraries) {}
};

// The system's copy of a library, found without loading it.
std::string SystemLibrary(const std::string& soname)
{
    for (const char* dir : {"/usr/lib/x86_64-linux-gnu", "/lib/x86_64-linux-gnu", "/usr/lib64", "/usr/lib"}) {
        const std::string path = std::string(dir) + "/" + soname;
        if (::access(path.c_str(), R_OK) == 0)
            return path;
    }
    return {};
}

// The file a loaded address belongs to, as the dynamic loader names it.
std::string ModuleOf(const void* address)
{
    Dl_info info{};
    return address && dladdr(address, &info) && info.dli_fname ? info.dli_fname : "";
}

// Every loaded object whose name starts with prefix.
std::vector<std::string> LoadedUnder(const std::string& prefix)
{
    std::pair<std::string, std::vector<std::string>> scan{prefix, {}};
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* data) {
            auto* s = static_cast<std::pair<std::string, std::vector<std::string>>*>(data);
            if (info->dlpi_name && std::string(info->dlpi_name).rfind(s->first, 0) == 0)
                s->second.push_back(info->dlpi_name);
            return 0;
        },
        &scan);
    return scan.second;
}

// The names the loader binds from one library, from the same list it uses.
std::vector<std::string> SymbolsOf(TLibrary library)
{
    std::vector<std::string> names;
#define RS_FF_FUNCTION(lib, member, symbol, required, ...) \
    if (TLibrary::lib == library && required)              \
        names.push_back(symbol);
#include "media/ffmpeg_function_list.inc"
#undef RS_FF_FUNCTION
    return names;
}

}  // namespace

TEST(FFLoader, LibraryNamesAreSonames)
{
    EXPECT_EQ(FFLoader().GetLibraryName(TLibrary::avUtil), "libavutil.so.57");
    EXPECT_EQ(FFLoader().GetLibraryName(TLibrary::avFilter), "libavfilter.so.8");
    EXPECT_EQ(FFLoader().GetLibraryName(TLibrary::myUtil), "libc.so.6");
}

TEST(FFLoader, CheckLibAVNamesAvutilBeforeAnyLoad)
{
    ASSERT_FALSE(FFLoader().Loaded(DecoderLibraries));
    try {
        FFLoader().CheckLibAV(DecoderLibraries);
        FAIL() << "no exception";
    } catch (const TLibraryNotLoaded& e) {
        EXPECT_STREQ(e.what(), "Library avutil not loaded.");
    }
}

TEST(FFLoader, SDL2AndSoundTouchLoadWithoutTouchingTheDisk)
{
    EXPECT_TRUE(FFLoader().Load(TLibrary::SDL2));
    EXPECT_TRUE(FFLoader().Load(TLibraries{TLibrary::libSoundTouch}));
    EXPECT_TRUE(FFLoader().Loaded(TLibraries{TLibrary::SDL2, TLibrary::libSoundTouch}));
}

TEST(FFLoader, MissingLibraryGivesLoadLibraryMessageAndUnloadsTheSet)
{
    TFFLoader& loader = FFLoader();
    loader.SetLibraryName(TLibrary::avDevice, "libavdevice.so.999");
    TTestComponent encoder(EncoderLibraries);
    EXPECT_FALSE(encoder.LoadAVLib(""));
    loader.SetLibraryName(TLibrary::avDevice, "");
    EXPECT_EQ(encoder.LastErrMsg(), loader.LastErrMsg());
    EXPECT_EQ(encoder.LastErrMsg().rfind("Load library libavdevice.so.999 error(#2): ", 0), 0u) << encoder.LastErrMsg();
    EXPECT_NE(encoder.LastErrMsg().find("No such file or directory"), std::string::npos);
    EXPECT_FALSE(loader.Loaded(TLibrary::avUtil));
    EXPECT_EQ(ff().av_log, nullptr);
}

TEST(FFLoader, BrokenFileInTheFolderIsNamedByFullPath)
{
    test::TempFolder folder;
    const std::string path = folder.file("libavutil.so.57");
    std::ofstream(path) << "not a shared object";
    TTestComponent decoder(DecoderLibraries);
    EXPECT_FALSE(decoder.LoadAVLib(folder.path()));
    EXPECT_EQ(decoder.LastErrMsg().rfind("Load library " + path + " error(#", 0), 0u) << decoder.LastErrMsg();
    EXPECT_FALSE(decoder.AVLibLoaded());
}

TEST(FFLoader, EncoderSetFromTheSystemSatisfiesTheDecoder)
{
    TTestComponent encoder(EncoderLibraries);
    TTestComponent decoder(DecoderLibraries);
    ASSERT_TRUE(encoder.LoadAVLib("")) << encoder.LastErrMsg();
    EXPECT_TRUE(encoder.AVLibLoaded());
    EXPECT_TRUE(decoder.AVLibLoaded());
    EXPECT_NO_THROW(FFLoader().CheckLibAV(EncoderLibraries));
    ASSERT_NE(ff().av_frame_alloc, nullptr);
    ASSERT_NE(ff()._snprintf, nullptr);
    AVFrame* frame = ff().av_frame_alloc();
    EXPECT_NE(frame, nullptr);
    ff().av_frame_free(&frame);
    EXPECT_EQ(ff().ff_guess_image2_codec, nullptr);  // optional, not exported by Debian's build
    TFFBaseComponent::DisableFPUExceptions();
    TFFBaseComponent::DisableFPUExceptions();

    FFLoader().Unload(EncoderLibraries);
    EXPECT_FALSE(decoder.AVLibLoaded());
    EXPECT_EQ(ff().av_frame_alloc, nullptr);
    EXPECT_EQ(ff()._snprintf, nullptr);
}

constexpr const char* kFolderSonames[] = {"libavutil.so.57",   "libswscale.so.6",   "libswresample.so.4",
                                          "libavcodec.so.59",  "libavformat.so.59", "libavfilter.so.8",
                                          "libavdevice.so.59", "libpostproc.so.56"};

// Loads the encoder's set from a folder of links to the system's libraries; the exit code
// of the death-test child (0: every function came from the folder's copy, and only from it).
int LoadFromLinkedFolder()
{
    test::TempFolder folder;
    for (const char* soname : kFolderSonames)
        if (::symlink(SystemLibrary(soname).c_str(), folder.file(soname).c_str()) != 0)
            return 2;
    TTestComponent encoder(EncoderLibraries);
    if (!encoder.LoadAVLib(folder.path())) {
        std::fprintf(stderr, "load failed: %s\n", encoder.LastErrMsg().c_str());
        return 3;
    }
    const std::pair<const void*, const char*> bound[] = {
        {reinterpret_cast<const void*>(ff().av_frame_alloc), "libavutil.so.57"},
        {reinterpret_cast<const void*>(ff().sws_getContext), "libswscale.so.6"},
        {reinterpret_cast<const void*>(ff().swr_alloc), "libswresample.so.4"},
        {reinterpret_cast<const void*>(ff().avcodec_find_decoder), "libavcodec.so.59"},
        {reinterpret_cast<const void*>(ff().avformat_alloc_context), "libavformat.so.59"},
        {reinterpret_cast<const void*>(ff().avfilter_graph_alloc), "libavfilter.so.8"},
        {reinterpret_cast<const void*>(ff().avdevice_version), "libavdevice.so.59"},
    };
    int wrong = 0;
    for (const auto& [function, soname] : bound) {
        const std::string module = ModuleOf(function);
        if (module != folder.file(soname)) {
            std::fprintf(stderr, "%s bound from %s\n", soname, module.c_str());
            ++wrong;
        }
        // One copy only: the libraries that need this one found the folder's by its soname.
        const std::string system = SystemLibrary(soname);
        if (!LoadedUnder(system).empty()) {
            std::fprintf(stderr, "system copy mapped too: %s\n", system.c_str());
            ++wrong;
        }
    }
    if (wrong == 0)
        std::fprintf(stderr, "folder copies loaded\n");
    return wrong == 0 ? 0 : 4;
}

// Runs in a fresh process (a death-test child), where no system copy is mapped yet: a copy
// mapped earlier would be reused for a link to the same file.
TEST(FFLoaderDeathTest, LibraryPathFolderIsTriedFirst)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    for (const char* soname : kFolderSonames)
        if (SystemLibrary(soname).empty())
            GTEST_SKIP() << soname << " is not installed";
    EXPECT_EXIT(std::_Exit(LoadFromLinkedFolder()), ::testing::ExitedWithCode(0), "folder copies loaded");
}

TEST(FFLoader, StandInWithoutOneFunctionFailsAndUnloadsTheWholeSet)
{
    // A stand-in avformat that exports every function under the library's symbol version but one.
    test::TempFolder folder;
    const std::string missing = "av_read_frame";
    std::ofstream source(folder.file("stand_in.c"));
    for (const std::string& name : SymbolsOf(TLibrary::avFormat))
        if (name != missing)
            source << "void " << name << "(void) {}\n";
    source.close();
    std::ofstream(folder.file("version.map")) << "LIBAVFORMAT_59 { global: *; };\n";
    const std::string library = folder.file("libavformat.so.59");
    ASSERT_EQ(test::RunCommand("cc -shared -fPIC -fno-builtin -o " + test::ShellQuote(library) + " " +
                               test::ShellQuote(folder.file("stand_in.c")) +
                               " -Wl,--version-script=" + test::ShellQuote(folder.file("version.map"))),
              0);

    TTestComponent encoder(EncoderLibraries);
    EXPECT_FALSE(encoder.LoadAVLib(folder.path()));
    const std::string expected = "Load function " + missing + "@libavformat.so.59 error: ";
    EXPECT_EQ(encoder.LastErrMsg().rfind(expected, 0), 0u) << encoder.LastErrMsg();
    EXPECT_GT(encoder.LastErrMsg().size(), expected.size());
    EXPECT_NE(encoder.LastErrMsg().find(missing), std::string::npos);
    EXPECT_FALSE(encoder.AVLibLoaded());
    for (TLibrary member : {TLibrary::avUtil, TLibrary::swScale, TLibrary::swResample, TLibrary::avCodec,
                            TLibrary::avFormat, TLibrary::avFilter, TLibrary::avDevice, TLibrary::myUtil})
        EXPECT_FALSE(FFLoader().Loaded(member)) << static_cast<int>(member);
    EXPECT_EQ(ff().av_frame_alloc, nullptr);          // bound before the failing library
    EXPECT_EQ(ff().avformat_alloc_context, nullptr);  // bound before the missing function
    EXPECT_TRUE(LoadedUnder(folder.path()).empty());  // the stand-in is closed again
}
