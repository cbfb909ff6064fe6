#include <gtest/gtest.h>

#include "media/ff_base_component.h"
#include "media/ffmpeg_loader.h"
#include "support/test_media.h"

#include <fstream>

using namespace reelsmith;

namespace {

class TTestComponent : public TFFBaseComponent {
public:
    explicit TTestComponent(TLibraries libraries) : TFFBaseComponent(libraries) {}
};

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
    EXPECT_EQ(encoder.LastErrMsg().rfind("Load library libavdevice.so.999 error(#2): ", 0), 0u)
        << encoder.LastErrMsg();
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
