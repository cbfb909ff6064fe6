// The adding routine with the real decoder on media made by the ffmpeg tool, and on bad
// input that must be passed over without a crash or a hang.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QCoreApplication>
#include <filesystem>
#include <fstream>
#include <random>

#include "intake/file_list_model.h"
#include "intake/adding_routine.h"
#include "intake/decoder_probe.h"
#include "intake/intake_fakes.h"
#include "intake/model_list_target.h"
#include "support/test_media.h"

namespace fs = std::filesystem;
using namespace reelsmith;
using reelsmith::test::MakeMedia;

namespace {

const char* const kVideo = "-f lavfi -i testsrc=size=160x120:rate=25:duration=2 ";
const char* const kAudio = "-f lavfi -i sine=duration=2 ";

class AddingMediaTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        std::string error;
        ASSERT_TRUE(probe().LoadLibraries(error)) << error;
    }
    static TDecoderProbe& probe()
    {
        static TDecoderProbe instance;
        return instance;
    }

    QString At(const std::string& name) const { return QString::fromStdString(folder.file(name)); }
    void Copy(const std::string& from, const std::string& to)
    {
        fs::create_directories(fs::path(folder.file(to)).parent_path());
        fs::copy_file(from, folder.file(to));
    }
    void Write(const std::string& name, const std::string& bytes)
    {
        fs::create_directories(fs::path(folder.file(name)).parent_path());
        std::ofstream(folder.file(name), std::ios::binary) << bytes;
    }
    const TFileListRow* RowOf(const std::string& name) const
    {
        for (int i = 0; i < model.Count(); ++i)
            if (model.Row(i).cell(FileCell::SourcePath) == At(name))
                return &model.Row(i);
        return nullptr;
    }
    int Run(const QStringList& pending, TAddingHooks hooks = {})
    {
        TAddingRoutine routine(probe(), target, std::move(hooks));
        return routine.Run(pending);
    }

    reelsmith::test::TempFolder folder;
    TFileListModel model;
    TModelListTarget target{model};
};

TEST_F(AddingMediaTest, RowsCarryTheProbedFigures)
{
    Copy(MakeMedia("intake_h264.mp4",
                   std::string(kVideo) + kAudio + "-c:v libx264 -preset ultrafast -b:v 200k -c:a aac -shortest"),
         "drop/clip.mp4");
    Copy(MakeMedia("intake_audio.mp4", std::string(kAudio) + "-c:a aac"), "drop/sound.mp4");
    Copy(MakeMedia("intake_audio_first.mkv",
                   std::string(kVideo) + kAudio + "-map 1:a -map 0:v -c:v mpeg4 -c:a libmp3lame -shortest"),
         "drop/sub/mixed.MKV");
    Write("drop/notes.txt", "text");
    EXPECT_EQ(Run({At("drop")}), 3);

    const TFileListRow* clip = RowOf("drop/clip.mp4");
    ASSERT_NE(clip, nullptr);
    EXPECT_EQ(clip->cell(FileCell::DurationText), "00:00:02");
    EXPECT_NEAR(clip->cell(FileCell::DurationMicros).toLongLong(), 2'000'000, 100'000);
    EXPECT_EQ(clip->cell(FileCell::FrameRateText), "25.00 fps");
    EXPECT_EQ(clip->cell(FileCell::FrameSizeText), "160x120");
    EXPECT_TRUE(clip->cell(FileCell::BitRateText).endsWith(" kb"));
    EXPECT_EQ(clip->cell(FileCell::SizeBytes), QString::number(fs::file_size(folder.file("drop/clip.mp4"))));

    for (const char* name : {"drop/sound.mp4", "drop/sub/mixed.MKV"}) {
        const TFileListRow* row = RowOf(name);
        ASSERT_NE(row, nullptr) << name;
        EXPECT_EQ(row->cell(FileCell::FrameRateText), "-") << name;
        EXPECT_EQ(row->cell(FileCell::BitRateText), "-") << name;
        EXPECT_EQ(row->cell(FileCell::FrameSizeText), "-") << name;
    }

    // Codecs and the first audio stream, for the Properties window.
    const struct {
        const char* Name;
        const char* VideoCodec;
        const char* AudioCodec;
        const char* AudioFormat;
    } details[] = {
        {"drop/clip.mp4", "H.264 / AVC / MPEG-4 AVC / MPEG-4 part 10 (h264)", "AAC (Advanced Audio Coding) (aac)",
         "32-bit float, planar"},
        {"drop/sound.mp4", "", "AAC (Advanced Audio Coding) (aac)", "32-bit float, planar"},
        {"drop/sub/mixed.MKV", "MPEG-4 part 2 (mpeg4)", "MP3 (MPEG audio layer 3) (mp3)", "32-bit float, planar"},
    };
    for (const auto& d : details) {
        const TFileListRow* row = RowOf(d.Name);
        ASSERT_NE(row, nullptr) << d.Name;
        EXPECT_EQ(row->Media.VideoCodec, d.VideoCodec) << d.Name;
        EXPECT_EQ(row->Media.AudioCodec, d.AudioCodec) << d.Name;
        EXPECT_EQ(row->Media.AudioFormat, d.AudioFormat) << d.Name;
        EXPECT_GT(row->Media.SampleRate, 0) << d.Name;
        EXPECT_GT(row->Media.Channels, 0) << d.Name;
        EXPECT_FALSE(row->Media.ChannelLayout.empty()) << d.Name;
    }
}

TEST_F(AddingMediaTest, BadInputIsPassedOver)
{
    const std::string good = MakeMedia("intake_mpeg4.avi", std::string(kVideo) + "-c:v mpeg4");
    Copy(good, "bad/good.avi");
    Write("bad/empty.mp4", "");
    std::string head(4096, '\0');
    std::ifstream(MakeMedia("intake_h264.mp4", std::string(kVideo) + kAudio +
                                                   "-c:v libx264 -preset ultrafast -b:v 200k -c:a aac -shortest"),
                  std::ios::binary)
        .read(head.data(), static_cast<std::streamsize>(head.size()));
    Write("bad/truncated.mp4", head);
    std::mt19937 random(7);
    std::string noise(64 * 1024, '\0');
    for (char& c : noise)
        c = static_cast<char>(random());
    Write("bad/noise.avi", noise);
    Write("bad/noise.ts", noise);
    Copy(good, "bad/locked.avi");
    fs::permissions(folder.file("bad/locked.avi"), fs::perms::none);
    Copy(good, "bad/clip.mkv/inner.avi");  // a folder named like a video
    fs::create_directory_symlink(folder.file("bad"), folder.file("bad/clip.mkv/loop"));
    Copy(good, "bad/vanishing.avi");
    ASSERT_EQ(mkfifo(folder.file("bad/pipe.mp4").c_str(), 0600), 0);

    TAddingHooks hooks;
    hooks.ShowStatus = [&](const QString& text) {
        if (text.startsWith("1 of "))
            fs::remove(folder.file("bad/vanishing.avi"));
    };
    Run({At("bad"), At("bad/pipe.mp4"), At("bad/clip.mkv")}, hooks);

    QStringList added;
    for (int i = 0; i < model.Count(); ++i)
        added << model.Row(i).cell(FileCell::SourcePath);
    EXPECT_TRUE(added.contains(At("bad/good.avi")));
    EXPECT_TRUE(added.contains(At("bad/clip.mkv/inner.avi")));
    for (const char* name :
         {"bad/empty.mp4", "bad/noise.avi", "bad/noise.ts", "bad/vanishing.avi", "bad/pipe.mp4", "bad/truncated.mp4"})
        EXPECT_FALSE(added.contains(At(name))) << name;
    if (geteuid() != 0) {  // the superuser reads any file
        EXPECT_FALSE(added.contains(At("bad/locked.avi")));
    }
    EXPECT_EQ(added.removeDuplicates(), 0);
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
