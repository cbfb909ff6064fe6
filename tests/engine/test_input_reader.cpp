// The inputs' reader and decoding threads and their bounded queues: bounds, closing, file
// order, outputs the same as when the loop decodes itself, and a task whose stages run at very
// different speeds, stop anywhere or fail while the threads keep reading and decoding ahead.
// Runs under the thread sanitizer too.

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <atomic>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "engine/custom_ffmpeg.h"
#include "engine/pipeline/input_reader.h"
#include "engine_test_support.h"
#include "support/test_media.h"

using namespace reelsmith;
using namespace reelsmith::test;

namespace {

TQueuedPacket Packet(int64_t number, int size)
{
    TQueuedPacket item;
    item.pkt.reset(ff().av_packet_alloc());
    EXPECT_EQ(ff().av_new_packet(item.pkt.get(), size), 0);
    item.pkt->pts = number;
    return item;
}

std::string Contents(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream data;
    data << in.rdbuf();
    return data.str();
}

// Video for three seconds, audio for one: the audio stream ends while the video goes on.
std::string UnevenClip()
{
    return MakeMedia("reader_uneven.mkv",
                     "-f lavfi -i testsrc=size=96x64:rate=25:duration=3 -f lavfi -i sine=duration=1:sample_rate=22050 "
                     "-c:v mpeg4 -g 10 -c:a pcm_s16le");
}

std::string AudioClip() { return MakeMedia("reader_audio.wav", "-f lavfi -i sine=duration=2:sample_rate=22050"); }

const char* const kExactOutput = " -c:v mpeg4 -c:a mp2 -fflags +bitexact -flags +bitexact";

class InputReader : public ::testing::Test {
protected:
    static void SetUpTestSuite() { LoadEngineLibraries(); }
    TempFolder folder;
};

TEST_F(InputReader, QueueHoldsNoMoreThanItsBounds)
{
    struct TCase {
        size_t packets, bytes;
        int packetSize;
        int64_t held;  // the most the queue may hold
    } cases[] = {
        {4, 1 << 20, 100, 4},  // bound by count
        {100, 1000, 400, 3},   // bound by bytes: the third packet passes the bound
        {100, 1000, 5000, 1},  // a packet larger than the bound passes alone
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.held);
        TPacketQueue queue(c.packets, c.bytes);
        std::atomic<int64_t> pushed{0};
        std::thread producer([&] {
            for (int64_t i = 0; i < 40; ++i) {
                ASSERT_TRUE(queue.Push(Packet(i, c.packetSize)));
                ++pushed;
            }
        });
        for (int64_t popped = 0; popped < 40; ++popped) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));  // a slow taker; not needed to pass
            EXPECT_LE(pushed - popped, c.held);
            const TQueuedPacket item = queue.Pop();
            ASSERT_EQ(item.status, 0);
            EXPECT_EQ(item.pkt->pts, popped) << "first in, first out";
        }
        producer.join();
        EXPECT_TRUE(queue.Empty());
    }
}

TEST_F(InputReader, CloseWakesBothSides)
{
    TPacketQueue full(1, 1 << 20);
    ASSERT_TRUE(full.Push(Packet(0, 10)));
    std::atomic<bool> pushResult{true};
    std::thread producer([&] { pushResult = full.Push(Packet(1, 10)); });
    TPacketQueue empty(1, 1 << 20);
    int popStatus = 0;
    std::thread taker([&] { popStatus = empty.Pop().status; });
    full.Close();
    empty.Close();
    producer.join();
    taker.join();
    EXPECT_FALSE(pushResult) << "a push on a closed queue is dropped";
    EXPECT_EQ(popStatus, AVERROR_EXIT);
    EXPECT_EQ(full.Pop().status, 0) << "what was queued before closing is still there";
    EXPECT_TRUE(full.WaitClosedFor(std::chrono::milliseconds(0)));
}

// The reader gives the packets of av_read_frame in file order and then the end, whatever its
// queue size; Stop ends a reader that is waiting on a full queue.
TEST_F(InputReader, ReaderKeepsFileOrderAndStops)
{
    const std::string clip = UnevenClip();
    const auto open = [&] {
        AVFormatContext* raw = nullptr;
        EXPECT_EQ(ff().avformat_open_input(&raw, clip.c_str(), nullptr, nullptr), 0);
        return TInputFormatContextPtr(raw);
    };
    std::vector<std::tuple<int, int64_t, int>> expected;
    {
        TInputFormatContextPtr ctx = open();
        TPacketPtr pkt(ff().av_packet_alloc());
        while (ff().av_read_frame(ctx.get(), pkt.get()) >= 0) {
            expected.emplace_back(pkt->stream_index, pkt->dts, pkt->size);
            ff().av_packet_unref(pkt.get());
        }
    }
    ASSERT_GT(expected.size(), 50u);
    for (const size_t queueSize : {size_t(1), size_t(1000)}) {
        SCOPED_TRACE(queueSize);
        TInputFormatContextPtr ctx = open();
        TInputReader reader(ctx.get(), queueSize, kReadAheadBytes);
        reader.Start();
        std::vector<std::tuple<int, int64_t, int>> got;
        for (;;) {
            TQueuedPacket item = reader.Next();
            if (item.status < 0) {
                EXPECT_EQ(item.status, AVERROR_EOF);
                break;
            }
            got.emplace_back(item.pkt->stream_index, item.pkt->dts, item.pkt->size);
        }
        EXPECT_EQ(got, expected);
        reader.Stop();
    }
    TInputFormatContextPtr ctx = open();
    TInputReader waiting(ctx.get(), 1, kReadAheadBytes);
    waiting.Start();
    EXPECT_EQ(waiting.Next().status, 0);
    waiting.Stop();  // its next packet waits for room: Stop must not hang
}

struct TRun {
    bool finished = false;
    bool fatal = false;
    std::string message;
};

// One task run on the calling thread; prepare sets hooks or limits on it first.
TRun RunTask(const std::vector<std::pair<std::string, std::string>>& inputs, const std::string& output,
             const std::string& options, const std::function<void(TCustomFFmpeg&)>& prepare = {})
{
    TCustomFFmpeg task;
    for (const auto& [path, inputOptions] : inputs)
        EXPECT_EQ(task.AddInputFile(path, inputOptions, ""), 0) << task.FLastErrMsg;
    EXPECT_EQ(task.AddOutputFile(output, options, ""), 0) << task.FLastErrMsg;
    if (prepare)
        prepare(task);
    task.StartConvert(false, tpNormal);
    return {task.Finished(), task.FatalException(), task.FatalMessage()};
}

// However far ahead the readers are and whichever stage is slow, the output is the same,
// byte for byte; an input or stream that ends early leaves the others running.
TEST_F(InputReader, OutputDoesNotDependOnQueueSizesOrSlowStages)
{
    const std::string video = UnevenClip(), audio = AudioClip();
    struct TCase {
        const char* name;
        std::vector<std::pair<std::string, std::string>> inputs;
        const char* options;
    } cases[] = {
        {"one_input", {{video, ""}}, ""},
        {"two_inputs", {{video, ""}, {audio, ""}}, " -map 0:v -map 1:a"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string options = std::string(c.options) + kExactOutput;
        const std::string reference = folder.file(std::string(c.name) + "_ref.mkv");
        ASSERT_TRUE(RunTask(c.inputs, reference, options).finished);
        struct TVariant {
            const char* name;
            const char* inputOptions;
            bool slowDecode, slowEncode;
        } variants[] = {
            {"queue_of_one", "-thread_queue_size 1", false, false},
            {"slow_decoding", "-thread_queue_size 2", true, false},
            {"slow_encoding", "", false, true},
        };
        for (const TVariant& v : variants) {
            SCOPED_TRACE(v.name);
            auto inputs = c.inputs;
            for (auto& input : inputs)
                input.second = v.inputOptions;
            const std::string out = folder.file(std::string(c.name) + "_" + v.name + ".mkv");
            const auto pause = [](TCustomFFmpeg*, TFrameHookInfo&) {
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            };
            const TRun run = RunTask(inputs, out, options, [&](TCustomFFmpeg& task) {
                if (v.slowDecode)
                    task.FOnFrameInputHook = pause;
                if (v.slowEncode)
                    task.FOnFrameOutputHook = pause;
            });
            EXPECT_TRUE(run.finished) << run.message;
            EXPECT_TRUE(Contents(out) == Contents(reference)) << "the output differs from the plain run";
        }
    }
}

// The clip with damaged packets: the decoders fail on some of them.
std::string DamagedClip(const std::string& clip)
{
    return MakeMedia("reader_damaged.mkv",
                     "-i " + ShellQuote(clip) + " -c copy -bsf:v noise=amount=3 -bsf:a noise=amount=3");
}

// Decoding ahead on the inputs' threads and encoding video on a thread of its own give the very
// bytes the loop gives when it does all itself, whatever the streams do: copied beside decoded, ending early, failing to decode, two
// inputs, audio alone, a decoding thread kept far behind; a failure ends the task alike.
TEST_F(InputReader, StagesOnThreadsGiveTheSameResultAsTheLoopAlone)
{
    const std::string video = UnevenClip(), audio = AudioClip();
    const std::string damaged = DamagedClip(video);
    struct TCase {
        const char* name;
        std::vector<std::pair<std::string, std::string>> inputs;
        const char* options;
    } cases[] = {
        {"video_and_audio", {{video, ""}}, ""},
        {"decoded_and_copied", {{video, ""}}, " -map 0:v -map 0:v -map 0:a -c:v:1 copy"},
        {"output_ends_early", {{video, ""}}, " -t 1.3"},
        {"input_ends_early", {{video, "-t 0.8"}}, ""},
        {"damaged", {{damaged, ""}}, ""},
        {"damaged_exit_on_error", {{damaged, ""}}, " -xerror"},
        {"two_inputs", {{video, ""}, {audio, "-thread_queue_size 1"}}, " -map 0:v -map 1:a"},
        {"audio_alone", {{audio, ""}}, ""},
    };
    const auto slowEncoding = [](TCustomFFmpeg*, TFrameHookInfo&) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string options = std::string(c.options) + kExactOutput;
        const std::string inLoop = folder.file(std::string(c.name) + "_loop.mkv");
        const TRun loopRun = RunTask(c.inputs, inLoop, options, [](TCustomFFmpeg& task) {
            task.FDecodeAhead = false;
            task.FEncodeAhead = false;
        });
        if (std::string(c.name) == "damaged_exit_on_error") {
            EXPECT_FALSE(loopRun.finished) << "the fixture has packets that fail to decode";
        }
        for (const bool slow : {false, true}) {
            SCOPED_TRACE(slow ? "encoding slowly" : "at full speed");
            const std::string ahead = folder.file(std::string(c.name) + (slow ? "_slow.mkv" : "_ahead.mkv"));
            const TRun run = RunTask(c.inputs, ahead, options, [&](TCustomFFmpeg& task) {
                if (slow)
                    task.FOnFrameOutputHook = slowEncoding;
            });
            EXPECT_EQ(run.finished, loopRun.finished) << run.message;
            EXPECT_EQ(run.message, loopRun.message);
            if (loopRun.finished) {
                EXPECT_TRUE(Contents(ahead) == Contents(inLoop)) << "the output differs from decoding in the loop";
            }
        }
    }
}

// With decoding and video encoding on threads of their own, every container the encoding
// thread is used for gets the bytes of the loop doing all itself, however the threads' speeds
// shift the muxing calls: a loop slowed down (the encoder always done), a queue of one packet,
// an audio stream that ends two seconds before the video.
TEST_F(InputReader, EveryContainerGetsTheSameBytesWithStagesOnThreads)
{
    const std::string clip = UnevenClip();
    struct TCase {
        const char* ext;
        const char* options;
    } cases[] = {
        {"avi", ""},
        {"mkv", ""},
        {"mp4", ""},
        {"mov", ""},
        {"ts", ""},
        {"mpg", " -c:v mpeg2video"},
        {"flv", " -c:v flv -c:a libmp3lame"},
        {"asf", ""},
        {"nut", ""},
        // Not libvpx's real-time mode: it decides by the time encoding takes, so two runs differ
        // on a loaded machine whoever encodes.
        {"webm", " -c:v libvpx -deadline good -cpu-used 5 -c:a libvorbis"},
        {"ogg", " -c:v libtheora -c:a libvorbis"},
    };
    const auto slowLoop = [](TCustomFFmpeg*, TFrameHookInfo&) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.ext);
        const std::string options = std::string(kExactOutput) + c.options;
        const std::string inLoop = folder.file(std::string("loop.") + c.ext);
        const TRun loopRun = RunTask({{clip, ""}}, inLoop, options, [](TCustomFFmpeg& task) {
            task.FDecodeAhead = false;
            task.FEncodeAhead = false;
        });
        ASSERT_TRUE(loopRun.finished) << loopRun.message;
        struct TVariant {
            const char* name;
            const char* inputOptions;
            bool slow;
        } variants[] = {{"threads", "", false}, {"slow_loop", "", true}, {"queue_of_one", "-thread_queue_size 1", false}};
        for (const TVariant& v : variants) {
            SCOPED_TRACE(v.name);
            const std::string out = folder.file(std::string(v.name) + "." + c.ext);
            const TRun run = RunTask({{clip, v.inputOptions}}, out, options, [&](TCustomFFmpeg& task) {
                if (v.slow)
                    task.FOnFrameInputHook = slowLoop;
            });
            EXPECT_TRUE(run.finished) << run.message;
            EXPECT_TRUE(Contents(out) == Contents(inLoop)) << "the output differs from the loop doing all itself";
        }
    }
}

// Stop from a stage's own thread at different points, with the reader's queue full or not:
// the task ends stopped, not failed, and nothing hangs.
TEST_F(InputReader, StopAnywhereEndsTheTask)
{
    const std::string clip = UnevenClip();
    struct TCase {
        const char* name;
        const char* inputOptions;
        int atInputFrame, atOutputFrame;
    } cases[] = {
        {"first_decoded_picture", "", 1, -1},
        {"decoding_with_full_queue", "-thread_queue_size 1", 20, -1},
        {"encoding", "", -1, 5},
        {"last_pictures", "", -1, 70},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string out = folder.file(std::string("stop_") + c.name + ".mkv");
        const TRun run = RunTask({{clip, c.inputOptions}}, out, kExactOutput, [&](TCustomFFmpeg& task) {
            task.FOnFrameInputHook = [&](TCustomFFmpeg* sender, TFrameHookInfo& info) {
                if (info.FrameNumber == c.atInputFrame)
                    sender->Stop(false);
            };
            task.FOnFrameOutputHook = [&](TCustomFFmpeg* sender, TFrameHookInfo& info) {
                if (info.FrameNumber == c.atOutputFrame)
                    sender->Stop(false);
            };
        });
        EXPECT_FALSE(run.finished);
        EXPECT_FALSE(run.fatal) << run.message;
    }
}

// A failed write fails the task while the reader still reads ahead: in the middle of the run
// (a picture of a sequence cannot be written) or at its end (the file may not grow); what the
// task wrote as one file is removed.
TEST_F(InputReader, MuxerErrorFailsTheTask)
{
    const std::string clip = UnevenClip();
    std::signal(SIGXFSZ, SIG_IGN);
    struct TCase {
        const char* name;
        std::string output, options, fragment;
        rlim_t sizeLimit;  // RLIM_INFINITY: none
    } cases[] = {
        {"mid_run", folder.file("seq%03d.png"), "-c:v png -an", "Error writing to output file #0", RLIM_INFINITY},
        {"at_the_end", folder.file("too_big.avi"), "-c:v mpeg4 -q:v 1 -c:a pcm_s16le", "File too large", 64 * 1024},
    };
    // The sixth picture's name is taken by a folder.
    std::filesystem::create_directory(folder.file("seq006.png"));
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        rlimit old{};
        ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
        rlimit limited = old;
        limited.rlim_cur = c.sizeLimit;
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
        const TRun run = RunTask({{clip, "-thread_queue_size 4"}}, c.output, c.options);
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &old), 0);
        EXPECT_FALSE(run.finished);
        EXPECT_TRUE(run.fatal);
        EXPECT_NE(run.message.find(c.fragment), std::string::npos) << run.message;
        if (c.sizeLimit != RLIM_INFINITY) {
            EXPECT_FALSE(std::filesystem::exists(c.output));
        }
    }
    EXPECT_FALSE(std::filesystem::exists(folder.file("seq010.png"))) << "the run stopped at the failure";
}

}  // namespace
