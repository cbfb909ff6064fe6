// Saving a frame: the picture type follows the name, 32-bit bitmaps, and a file that
// appears only when it is complete.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "media/frame_image.h"
#include "support/test_media.h"

using namespace reelsmith;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> FolderNames(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    return names;
}

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(FrameImage, TheExtensionDecidesThePictureType)
{
    const struct {
        const char* chosen;
        TImageKind fallback;
        const char* path;
        TImageKind kind;
    } cases[] = {
        {"/p/frame.bmp", TImageKind::Jpeg, "/p/frame.bmp", TImageKind::Bmp},
        {"/p/FRAME.BMP", TImageKind::Png, "/p/FRAME.BMP", TImageKind::Bmp},
        {"/p/frame.jpg", TImageKind::Bmp, "/p/frame.jpg", TImageKind::Jpeg},
        {"/p/frame.JPEG", TImageKind::Bmp, "/p/frame.JPEG", TImageKind::Jpeg},
        {"/p/frame.png", TImageKind::Bmp, "/p/frame.png", TImageKind::Png},
        // No extension, or one that is no picture type: the filter's type is added.
        {"/p/frame", TImageKind::Bmp, "/p/frame.bmp", TImageKind::Bmp},
        {"/p/frame", TImageKind::Png, "/p/frame.png", TImageKind::Png},
        {"/p/frame.gif", TImageKind::Bmp, "/p/frame.gif.bmp", TImageKind::Bmp},
        {"/p/holiday.2024", TImageKind::Jpeg, "/p/holiday.2024.jpg", TImageKind::Jpeg},
        {"/p/frame.xpng", TImageKind::Bmp, "/p/frame.xpng.bmp", TImageKind::Bmp},
    };
    for (const auto& item : cases) {
        const TImageTarget target = ChooseImageTarget(item.chosen, item.fallback);
        EXPECT_EQ(target.Path, item.path) << item.chosen;
        EXPECT_EQ(target.Kind, item.kind) << item.chosen;
    }
}

TEST(FrameImage, BitmapIs32BitsBottomUp)
{
    TRGBPicture picture;
    picture.Width = 2;
    picture.Height = 2;
    picture.Stride = 12;  // rows may be padded in the picture, never in the file
    picture.Bytes = {1, 2, 3, 255, 4, 5, 6, 255, 0, 0, 0, 0, 7, 8, 9, 255, 10, 11, 12, 255, 0, 0, 0, 0};
    const std::vector<uint8_t> bmp = EncodeBmp32(picture);
    ASSERT_EQ(bmp.size(), 54u + 16u);
    auto le = [&](size_t at, int bytes) {
        uint32_t value = 0;
        for (int i = bytes - 1; i >= 0; --i)
            value = value << 8 | bmp[at + i];
        return value;
    };
    EXPECT_EQ(bmp[0], 'B');
    EXPECT_EQ(bmp[1], 'M');
    EXPECT_EQ(le(2, 4), 70u);   // file size
    EXPECT_EQ(le(10, 4), 54u);  // pixel offset
    EXPECT_EQ(le(14, 4), 40u);  // information header
    EXPECT_EQ(le(18, 4), 2u);
    EXPECT_EQ(le(22, 4), 2u);   // positive: bottom-up
    EXPECT_EQ(le(28, 2), 32u);  // bits per pixel
    EXPECT_EQ(le(30, 4), 0u);   // no compression
    const std::vector<uint8_t> pixels(bmp.begin() + 54, bmp.end());
    EXPECT_EQ(pixels, (std::vector<uint8_t>{7, 8, 9, 255, 10, 11, 12, 255, 1, 2, 3, 255, 4, 5, 6, 255}));

    picture.PixFmt = AV_PIX_FMT_BGR24;
    EXPECT_TRUE(EncodeBmp32(picture).empty());
    EXPECT_TRUE(EncodeBmp32(TRGBPicture{}).empty());
}

TEST(FrameImage, WrittenFileAppearsWhole)
{
    test::TempFolder folder;
    const std::string path = folder.file("frame.png");
    std::ofstream(path) << "older picture";
    std::string error;
    ASSERT_TRUE(WriteFileAtomically(path, "new picture", 11, error)) << error;
    EXPECT_EQ(ReadAll(path), "new picture");
    EXPECT_EQ(FolderNames(folder.path()), std::vector<std::string>{"frame.png"});
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_NE(info.st_mode & S_IRGRP, 0u) << "a picture is readable like any other file the user makes";
}

TEST(FrameImage, AFailedWriteLeavesNothingAndSaysWhy)
{
    test::TempFolder folder;
    std::string error;
    EXPECT_FALSE(WriteFileAtomically(folder.file("missing/frame.bmp"), "x", 1, error));
    EXPECT_EQ(error, "No such file or directory");
    std::ofstream(folder.file("plain")) << "a file, not a folder";
    EXPECT_FALSE(WriteFileAtomically(folder.file("plain/frame.bmp"), "x", 1, error));
    EXPECT_EQ(error, "Not a directory");

    // A disk that fills up half-way: the size limit makes the write fail the same way.
    const std::string big(256 * 1024, 'x');
    struct rlimit saved {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 64 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool written = WriteFileAtomically(folder.file("frame.bmp"), big.data(), big.size(), error);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(written);
    EXPECT_EQ(error, "File too large");
    EXPECT_EQ(FolderNames(folder.path()), std::vector<std::string>{"plain"});
}

}  // namespace
