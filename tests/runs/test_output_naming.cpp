#include <gtest/gtest.h>

#include <fstream>
#include <unistd.h>

#include "runs/output_naming.h"
#include "support/test_media.h"

using namespace reelsmith;

namespace {

QString Touch(const test::TempFolder& folder, const std::string& name)
{
    std::ofstream(folder.file(name)) << "data";
    return QString::fromStdString(folder.file(name));
}

}  // namespace

TEST(OutputNaming, Extensions)
{
    EXPECT_EQ(VideoExtension("MP4"), ".mp4");
    EXPECT_EQ(VideoExtension("WebM"), ".webm");
    EXPECT_EQ(AudioExtension(0), ".mp3");
    EXPECT_EQ(AudioExtension(3), ".flac");
    EXPECT_EQ(AudioExtension(4), ".wma");
    EXPECT_EQ(AudioExtension(-1), "");
    EXPECT_EQ(AudioExtension(5), "");
}

TEST(OutputNaming, DestinationOrBesideEachSource)
{
    EXPECT_EQ(PlainOutputPath("/a/clip.avi", "clip.avi", "/out/", ".mp4"), "/out/clip.mp4");
    EXPECT_EQ(PlainOutputPath("/a/clip.avi", "clip.avi", "", ".mp4"), "/a/clip.mp4");
    EXPECT_EQ(PlainOutputPath("/b/x.y.mkv", "x.y.mkv", "", ".wav"), "/b/x.y.wav");
    EXPECT_EQ(PlainOutputPath("/b/song.mkv", "song.mkv", "/out/", ""), "/out/song");
}

TEST(OutputNaming, NeverNamesTheSourceItself)
{
    test::TempFolder folder;
    const QString source = Touch(folder, "clip.mp4");
    const QString dir = QString::fromStdString(folder.path());
    // Original path, same container: the plain name is the source.
    EXPECT_EQ(OutputPathFor(source, "clip.mp4", "", ".mp4", {source}), dir + "/clip (1).mp4");
    // The destination given as the source folder, spelled differently.
    EXPECT_EQ(OutputPathFor(source, "clip.mp4", dir + "/./", ".mp4", {source}), dir + "/./clip (1).mp4");
    // A link to the source folder is still the source folder.
    const std::string link = folder.file("link");
    ASSERT_EQ(symlink(folder.path().c_str(), link.c_str()), 0);
    EXPECT_EQ(OutputPathFor(source, "clip.mp4", QString::fromStdString(link) + "/", ".mp4", {source}),
              QString::fromStdString(link) + "/clip (1).mp4");
    // Another extension: no clash.
    EXPECT_EQ(OutputPathFor(source, "clip.mp4", "", ".mkv", {source}), dir + "/clip.mkv");
}

TEST(OutputNaming, NeverNamesAnotherSourceOfTheRun)
{
    test::TempFolder folder;
    const QString avi = Touch(folder, "a.avi");
    const QString mp4 = Touch(folder, "a.mp4");
    const QString first = Touch(folder, "a (1).mp4");
    const QString dir = QString::fromStdString(folder.path());
    EXPECT_EQ(OutputPathFor(avi, "a.avi", "", ".mp4", {avi, mp4, first}), dir + "/a (2).mp4");
    // An existing file that is no source keeps its name: the overwrite question decides.
    const QString other = Touch(folder, "b.mkv");
    EXPECT_EQ(OutputPathFor(avi, "a.avi", "", ".mkv", {avi, mp4}), dir + "/a.mkv");
    EXPECT_EQ(OutputPathFor(other, "b.mkv", "", ".mp4", {avi, mp4, other}), dir + "/b.mp4");
}

TEST(OutputNaming, AClaimedNameIsTakenBeforeItExists)
{
    test::TempFolder folder;
    const QString dir = QString::fromStdString(folder.path());
    const QString out = dir + "/out/";
    const QString a = Touch(folder, "a.mp4");
    // Claimed by an earlier row and not written yet: the next free number.
    EXPECT_EQ(OutputPathFor(a, "clip.mp4", out, ".mkv", {a}, {out + "clip.mkv"}), out + "clip (1).mkv");
    EXPECT_EQ(OutputPathFor(a, "clip.mp4", out, ".mkv", {a}, {out + "clip.mkv", out + "clip (1).mkv"}),
              out + "clip (2).mkv");
    // A name that merely exists (no source, not claimed) stays: the caller keeps that file.
    Touch(folder, "a.webm");
    EXPECT_EQ(OutputPathFor(a, "a.mp4", dir + "/", ".webm", {a}, {}), dir + "/a.webm");
}
