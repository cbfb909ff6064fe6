// Probing agrees with ffprobe; bad input gives its error text and never hangs.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <chrono>
#include <cmath>
#include <fstream>
#include <random>

#include "decoder_test_support.h"
#include "media/ff_decoder.h"
#include "support/test_media.h"

using namespace reelsmith;
using reelsmith::test::MakeMedia;

namespace {

struct TProbeCase {
    const char* name;
    const char* args;
};

const TProbeCase kProbeCases[] = {
    {"probe.mp4",
     "-f lavfi -i testsrc=size=160x120:rate=25:duration=1 -f lavfi -i sine=duration=1 "
     "-c:v libx264 -c:a aac -shortest"},
    {"probe.mkv",
     "-f lavfi -i testsrc=size=176x144:rate=25:duration=1 -f lavfi -i sine=duration=1 "
     "-c:v mpeg4 -c:a libmp3lame -shortest"},
    {"probe.avi",
     "-f lavfi -i testsrc=size=160x120:rate=25:duration=1 -f lavfi -i sine=duration=1 "
     "-c:v mpeg4 -c:a pcm_s16le -shortest"},
    {"probe.mov",
     "-f lavfi -i testsrc=size=160x120:rate=30:duration=1 -f lavfi -i sine=duration=1 "
     "-c:v libx264 -c:a aac -shortest"},
    {"probe.ts",
     "-f lavfi -i testsrc=size=160x120:rate=25:duration=1 -f lavfi -i sine=duration=1 "
     "-c:v mpeg2video -c:a mp2 -shortest"},
    {"probe.flv",
     "-f lavfi -i testsrc=size=160x120:rate=25:duration=1 -f lavfi -i sine=sample_rate=44100:duration=1 "
     "-c:v flv1 -c:a libmp3lame -shortest"},
    {"probe.wmv",
     "-f lavfi -i testsrc=size=160x120:rate=25:duration=1 -f lavfi -i sine=duration=1 "
     "-c:v wmv2 -c:a wmav2 -shortest"},
    {"probe.webm",
     "-f lavfi -i testsrc=size=160x120:rate=25:duration=1 -f lavfi -i sine=sample_rate=48000:duration=1 "
     "-c:v libvpx -deadline realtime -c:a libopus -shortest"},
    {"probe.mpg",
     "-f lavfi -i testsrc=size=160x120:rate=25:duration=1 -f lavfi -i sine=duration=1 "
     "-c:v mpeg1video -c:a mp2 -shortest"},
    {"probe-audio.mp3", "-f lavfi -i sine=duration=1 -c:a libmp3lame"},
    {"probe-no-duration.h264", "-f lavfi -i testsrc=size=160x120:rate=25:duration=1 -c:v libx264"},
    {"probe-still.jpg", "-f lavfi -i testsrc=size=160x120:rate=1 -frames:v 1"},
    {"probe-still.png", "-f lavfi -i testsrc=size=160x120:rate=1 -frames:v 1"},
};

QJsonObject FFprobe(const std::string& path)
{
    std::string output;
    const int status =
        test::RunCommand("ffprobe -v error -show_format -show_streams -of json " + test::ShellQuote(path), &output);
    EXPECT_EQ(status, 0);
    return QJsonDocument::fromJson(QByteArray::fromStdString(output)).object();
}

// ffprobe prints times as seconds with six decimals.
int64_t Microseconds(const QJsonValue& seconds) { return std::llround(seconds.toString().toDouble() * 1000000.0); }

AVRational Rational(const QJsonValue& text)
{
    const QStringList parts = text.toString().split('/');
    return parts.size() == 2 ? AVRational{parts[0].toInt(), parts[1].toInt()} : AVRational{0, 1};
}

class ProbeTest : public ::testing::TestWithParam<TProbeCase> {
protected:
    void SetUp() override { test::RequireLibraries(); }
};

void ExpectSameVideo(TFFDecoder& decoder, int index, const QJsonObject& stream)
{
    const TVideoStreamInfo info = decoder.GetVideoStreamInfos(index);
    EXPECT_EQ(info.CodecName, stream["codec_name"].toString().toStdString());
    EXPECT_EQ(info.Width, stream["width"].toInt());
    EXPECT_EQ(info.Height, stream["height"].toInt());
    const AVRational rate = Rational(stream["r_frame_rate"]);
    EXPECT_EQ(av_cmp_q(info.FrameRate, rate), 0) << info.FrameRate.num << "/" << info.FrameRate.den;
    EXPECT_EQ(info.BitRate, stream["bit_rate"].toString("0").toLongLong());
    if (stream.contains("duration_ts")) {
        EXPECT_EQ(info.Duration, stream["duration_ts"].toVariant().toLongLong());
    } else {
        EXPECT_EQ(info.DurationScaled, -1);
    }
}

void ExpectSameAudio(TFFDecoder& decoder, int index, const QJsonObject& stream)
{
    const TAudioStreamInfo info = decoder.GetAudioStreamInfos(index);
    EXPECT_EQ(info.CodecName, stream["codec_name"].toString().toStdString());
    EXPECT_EQ(info.SampleRate, stream["sample_rate"].toString().toInt());
    EXPECT_EQ(info.Channels, stream["channels"].toInt());
    EXPECT_EQ(info.BitRate, stream["bit_rate"].toString("0").toLongLong());
    if (stream.contains("duration_ts")) {
        EXPECT_EQ(info.Duration, stream["duration_ts"].toVariant().toLongLong());
    }
}

TEST_P(ProbeTest, MatchesFFprobe)
{
    const std::string path = MakeMedia(GetParam().name, GetParam().args);
    const QJsonObject probe = FFprobe(path);
    const QJsonObject format = probe["format"].toObject();
    const QJsonArray streams = probe["streams"].toArray();

    TFFDecoder decoder;
    decoder.GetLongCodecName = false;
    ASSERT_TRUE(decoder.LoadFile(path)) << decoder.LastErrMsg();
    EXPECT_EQ(decoder.FormatName(), format["format_name"].toString().toStdString());
    EXPECT_EQ(decoder.StreamCount(), streams.size());
    EXPECT_EQ(decoder.FileSize(), format["size"].toString().toLongLong());

    const TFileStreamInfo info = decoder.FileStreamInfo();
    EXPECT_EQ(info.Duration, format.contains("duration") ? Microseconds(format["duration"]) : -1);
    EXPECT_EQ(info.BitRate, format["bit_rate"].toString("0").toLongLong());

    int videoCount = 0, audioCount = 0;
    for (int i = 0; i < streams.size(); ++i) {
        const QJsonObject stream = streams[i].toObject();
        SCOPED_TRACE("stream " + std::to_string(i));
        if (stream["codec_type"] == "video") {
            ++videoCount;
            ExpectSameVideo(decoder, i, stream);
        } else if (stream["codec_type"] == "audio") {
            ++audioCount;
            ExpectSameAudio(decoder, i, stream);
        }
    }
    EXPECT_EQ(decoder.VideoStreamCount(), videoCount);
    EXPECT_EQ(decoder.AudioStreamCount(), audioCount);
}

INSTANTIATE_TEST_SUITE_P(Files, ProbeTest, ::testing::ValuesIn(kProbeCases), [](const auto& info) {
    std::string name = info.param.name;
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return name;
});

class DecoderTest : public ::testing::Test {
protected:
    void SetUp() override { test::RequireLibraries(); }
    TFFDecoder decoder;
};

TEST_F(DecoderTest, ClosedDecoderReadsMinusOneAndReportsFileNotLoaded)
{
    EXPECT_EQ(decoder.VideoStreamCount(), -1);
    EXPECT_EQ(decoder.FileSize(), -1);
    EXPECT_EQ(decoder.FirstVideoStreamIndex(), -1);
    EXPECT_EQ(decoder.FirstVideoStreamInfo().Width, -1);
    EXPECT_EQ(decoder.LastErrMsg(), "file not loaded.");
    EXPECT_EQ(decoder.FileStreamInfo().StartTime, AV_NOPTS_VALUE);
}

TEST_F(DecoderTest, CloseFileAndReloadResetTheInformation)
{
    const std::string clip = test::MakeH264Clip();
    const std::string audio = MakeMedia("probe-audio.mp3", "-f lavfi -i sine=duration=1 -c:a libmp3lame");
    ASSERT_TRUE(decoder.LoadFile(clip));
    EXPECT_EQ(decoder.VideoStreamCount(), 1);
    EXPECT_EQ(decoder.FirstAudioStreamIndex(), 1);
    EXPECT_EQ(decoder.FileName(), clip);
    ASSERT_TRUE(decoder.LoadFile(audio));
    EXPECT_EQ(decoder.FileName(), audio);
    EXPECT_EQ(decoder.VideoStreamCount(), 0);
    EXPECT_EQ(decoder.FirstVideoStreamIndex(), -1);
    EXPECT_EQ(decoder.FirstVideoStreamInfo().Width, -1);
    EXPECT_EQ(decoder.LastErrMsg(), "no video stream.");
    decoder.CloseFile();
    EXPECT_EQ(decoder.VideoStreamCount(), -1);
    EXPECT_EQ(decoder.FileSize(), -1);
}

TEST_F(DecoderTest, StreamGettersReportWrongIndexesAndKinds)
{
    ASSERT_TRUE(decoder.LoadFile(test::MakeH264Clip()));
    EXPECT_EQ(decoder.GetVideoStreamInfos(7).Width, -1);
    EXPECT_EQ(decoder.LastErrMsg(), "stream index #7 is invalid.");
    EXPECT_FALSE(decoder.IsVideoStream(7));
    EXPECT_EQ(decoder.GetVideoStreamInfos(1).Width, -1);
    EXPECT_EQ(decoder.LastErrMsg(), "stream #1 is not video stream.");
    EXPECT_EQ(decoder.GetAudioStreamInfos(0).SampleRate, -1);
    EXPECT_EQ(decoder.LastErrMsg(), "stream #0 is not audio stream.");
    EXPECT_EQ(decoder.FirstSubtitleStreamInfo().SubFormat, -1);
    EXPECT_EQ(decoder.LastErrMsg(), "no subtitle stream.");
    EXPECT_TRUE(decoder.IsVideoStream(0));
}

TEST_F(DecoderTest, CodecNamesCarryTheLongNameWhenAsked)
{
    EXPECT_EQ(decoder.CodecName(AV_CODEC_ID_NONE), "none");
    EXPECT_EQ(decoder.CodecName(AV_CODEC_ID_H264), "h264(H.264 / AVC / MPEG-4 AVC / MPEG-4 part 10)");
    decoder.GetLongCodecName = false;
    EXPECT_EQ(decoder.CodecName(AV_CODEC_ID_H264), "h264");
    // An id the library has no description for, and no decoder either.
    EXPECT_EQ(decoder.CodecName(static_cast<AVCodecID>(0x7ffffff0)), "unknown_codec");
}

TEST_F(DecoderTest, ForcedFormatMustExist)
{
    EXPECT_FALSE(decoder.LoadFile(test::MakeH264Clip(), "no-such-format"));
    EXPECT_EQ(decoder.LastErrMsg(), "Unknown input format: no-such-format");
    EXPECT_EQ(decoder.StreamCount(), -1);
}

// Bad input: each case gives its error text, quickly.
struct TBadInputCase {
    const char* label;
    std::string (*make)(const test::TempFolder& folder);
    const char* text;  // after "<file name>: "
    bool needsPermissions;
};

std::string WriteBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

const TBadInputCase kBadInputCases[] = {
    {"zero-byte file", [](const test::TempFolder& f) { return WriteBytes(f.file("empty.mp4"), ""); },
     "Invalid data found when processing input", false},
    {"random bytes",
     [](const test::TempFolder& f) {
         std::mt19937 random(7);
         std::string bytes(64 * 1024, '\0');
         for (char& c : bytes)
             c = static_cast<char>(random());
         return WriteBytes(f.file("noise.mkv"), bytes);
     },
     "Invalid data found when processing input", false},
    {"truncated file",
     [](const test::TempFolder& f) {
         // The header is cut off inside the moov atom, at the end of the file.
         const std::string whole = ReadAll(MakeMedia("truncate-source.mp4",
                                                     "-f lavfi -i testsrc=size=160x120:rate=25:duration=1 "
                                                     "-c:v libx264"));
         return WriteBytes(f.file("cut.mp4"), whole.substr(0, whole.size() - 200));
     },
     "Invalid data found when processing input", false},
    {"missing file", [](const test::TempFolder& f) { return f.file("missing.mp4"); }, "No such file or directory",
     false},
    {"unreadable file",
     [](const test::TempFolder& f) {
         const std::string path = WriteBytes(f.file("locked.mp4"), "data");
         chmod(path.c_str(), 0);
         return path;
     },
     "Permission denied", true},
    {"folder named like media",
     [](const test::TempFolder& f) {
         const std::string path = f.file("folder.mp4");
         mkdir(path.c_str(), 0755);
         return path;
     },
     "Is a directory", false},
    // Names from lists reach local files only: no reading other files through compound protocols.
    {"concat protocol",
     [](const test::TempFolder& f) { return "concat:/etc/passwd|" + WriteBytes(f.file("clip.ts"), "x"); },
     "protocol \"concat\" is not allowed for inputs (allowed: file); the input option -protocol_whitelist widens "
     "the list",
     false},
};

TEST_F(DecoderTest, BadInputGivesItsErrorText)
{
    for (const TBadInputCase& item : kBadInputCases) {
        SCOPED_TRACE(item.label);
        if (item.needsPermissions && geteuid() == 0)
            continue;  // root reads any file
        test::TempFolder folder;
        const std::string path = item.make(folder);
        EXPECT_FALSE(decoder.LoadFile(path));
        EXPECT_EQ(decoder.LastErrMsg(), path + ": " + item.text);
        EXPECT_EQ(decoder.StreamCount(), -1);
        EXPECT_EQ(decoder.FileSize(), -1);
        chmod(path.c_str(), 0700);
    }
}

TEST_F(DecoderTest, ReadTimeoutAbortsAHangingOpen)
{
    // A server that accepts the connection and never sends a byte.
    test::TempFolder folder;
    const std::string portFile = folder.file("port");
    const std::string server =
        "import socket,time\n"
        "s=socket.socket(); s.bind(('127.0.0.1',0)); s.listen(1)\n"
        "open('" +
        portFile +
        ".tmp','w').write(str(s.getsockname()[1]))\n"
        "import os; os.rename('" +
        portFile + ".tmp','" + portFile +
        "')\n"
        "c,_=s.accept(); time.sleep(20)\n";
    std::string pid;
    test::RunCommand("python3 -c " + test::ShellQuote(server) + " >/dev/null 2>&1 & echo $!", &pid);
    std::string port;
    for (int i = 0; i < 100 && port.empty(); ++i) {
        test::RunCommand("cat " + test::ShellQuote(portFile) + " 2>/dev/null", &port);
        if (port.empty())
            usleep(50000);
    }
    ASSERT_FALSE(port.empty()) << "the silent server did not start";

    decoder.ReadTimeout = 300;
    const std::string url = "tcp://127.0.0.1:" + port;
    EXPECT_FALSE(decoder.LoadFile(url));  // local files only, unless widened on purpose
    EXPECT_EQ(decoder.LastErrMsg(), url +
                                        ": protocol \"tcp\" is not allowed for inputs (allowed: file); the input "
                                        "option -protocol_whitelist widens the list");
    decoder.ProtocolWhitelist = "tcp";
    const auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(decoder.LoadFile(url));
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
    EXPECT_EQ(decoder.LastErrMsg(), url + ": No data could be read for 0.3 seconds (read time-out)");
    EXPECT_EQ(decoder.StreamCount(), -1);
    test::RunCommand("kill " + pid);
}

}  // namespace
