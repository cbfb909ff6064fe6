// The encoder component end to end: scheduling, events, pause/resume/stop, releases,
// durations and failures, over small files made at test time.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "engine/custom_encoder.h"
#include "engine/preview_audio.h"
#include "engine_test_support.h"
#include "support/test_media.h"

using namespace reelsmith;
using namespace reelsmith::test;

namespace {

std::string ShortClip()
{
    return MakeMedia("enc_short.mp4",
                     "-f lavfi -i testsrc=size=96x64:rate=10:duration=2 -f lavfi -i "
                     "sine=duration=2:sample_rate=22050 -c:v libx264 -preset ultrafast -c:a aac -shortest");
}

std::string LongClip()
{
    return MakeMedia("enc_long60.mkv",
                     "-f lavfi -i testsrc=size=64x48:rate=5:duration=60 -f lavfi -i "
                     "sine=duration=60:sample_rate=8000 -c:v mpeg4 -g 5 -c:a pcm_s16le -shortest");
}

// Records the events of a run; the test thread serves the component's call queue.
struct TEventLog {
    std::mutex lock;
    std::vector<TTerminateInfo> ends;
    std::vector<int> starts;
    std::vector<TProgressInfo> progress;
    std::set<std::thread::id> threads;
    std::atomic<bool> final{false};

    void Attach(TFFEncoder& enc)
    {
        enc.OnStart = [this](TCustomEncoder*, int index) {
            std::lock_guard g(lock);
            starts.push_back(index);
        };
        enc.OnProgress = [this](TCustomEncoder*, const TProgressInfo* info) {
            std::lock_guard g(lock);
            progress.push_back(*info);
            threads.insert(std::this_thread::get_id());
        };
        enc.OnTerminate = [this](TCustomEncoder*, const TTerminateInfo& info) {
            std::lock_guard g(lock);
            ends.push_back(info);
            threads.insert(std::this_thread::get_id());
            if (info.TaskIndex < 0)
                final = true;
        };
    }
    void WaitFinal(TFFEncoder& enc)
    {
        auto* queue = static_cast<TQueueDispatcher*>(enc.Dispatcher());
        for (int i = 0; i < 3000 && !final; ++i)
            queue->WaitAndServe(std::chrono::milliseconds(10));
        ASSERT_TRUE(final) << "no final event";
    }
};

int AddConversion(TFFEncoder& enc, const std::string& input, const std::string& output, const std::string& options,
                  const std::string& inputOptions = {})
{
    TInputOptions in;
    in.Options = inputOptions;
    const int index = enc.AddTask(input, &in);
    EXPECT_GE(index, 0) << enc.LastErrMsg();
    if (index < 0)
        return index;
    TOutputOptions out;
    out.Options = options;
    EXPECT_GE(enc.SetOutput(index, output, &out), 0) << enc.LastErrMsg();
    return index;
}

class EncoderComponent : public ::testing::Test {
protected:
    static void SetUpTestSuite() { LoadEngineLibraries(); }
    TempFolder folder;
};

TEST_F(EncoderComponent, TasksRunOneByOneSideBySideOrSynchronously)
{
    for (const int threads : {1, 2, 0}) {
        SCOPED_TRACE(threads);
        TFFEncoder enc;
        TEventLog log;
        log.Attach(enc);
        for (int i = 0; i < 3; ++i)
            AddConversion(enc, ShortClip(), folder.file("t" + std::to_string(threads) + std::to_string(i) + ".avi"),
                          "-c:v mpeg4 -c:a mp2");
        enc.Start(threads);
        if (threads == 0) {
            EXPECT_TRUE(log.final) << "a synchronous Start returns after the run";
            EXPECT_EQ(log.threads, std::set<std::thread::id>{std::this_thread::get_id()});
        }
        log.WaitFinal(enc);
        ASSERT_EQ(log.ends.size(), 4u);
        std::set<int> indexes;
        for (int i = 0; i < 3; ++i) {
            EXPECT_TRUE(log.ends[i].Finished) << log.ends[i].ExceptionMsg;
            EXPECT_FALSE(log.ends[i].Exception);
            indexes.insert(log.ends[i].TaskIndex);
        }
        EXPECT_EQ(indexes, (std::set<int>{0, 1, 2}));
        EXPECT_EQ(log.ends[3].TaskIndex, -1);
        EXPECT_TRUE(log.ends[3].Finished);
        EXPECT_EQ(log.starts, (std::vector<int>{0, 1, 2}));
        if (threads == 1) {
            EXPECT_EQ(log.ends[0].TaskIndex, 0) << "one at a time keeps the list order";
        }
        EXPECT_TRUE(enc.Terminated());
        EXPECT_THROW(enc.AddTask(ShortClip()), std::logic_error);
        enc.ClearTasks();
        EXPECT_FALSE(enc.Working());
    }
}

TEST_F(EncoderComponent, StopDuringFirstOfThreeEndsAllUnfinished)
{
    TFFEncoder enc;
    TEventLog log;
    log.Attach(enc);
    for (int i = 0; i < 3; ++i)
        AddConversion(enc, LongClip(), folder.file("s" + std::to_string(i) + ".mkv"), "-c:v mpeg4 -c:a mp2", "-re");
    enc.Start(1);
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    enc.Stop(true);
    log.WaitFinal(enc);
    ASSERT_EQ(log.ends.size(), 4u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(log.ends[i].Finished);
        EXPECT_FALSE(log.ends[i].Exception) << log.ends[i].ExceptionMsg;
    }
    EXPECT_TRUE(log.ends[3].Finished);
    // The stopped output got its trailer: it plays.
    std::string out;
    EXPECT_EQ(
        RunCommand("ffprobe -v error -show_entries format=duration -of csv=p=0 " + ShellQuote(folder.file("s0.mkv")),
                   &out),
        0);
    EXPECT_GT(std::atof(out.c_str()), 0.1);
}

TEST_F(EncoderComponent, FailingSetOutputThenStart)
{
    TFFEncoder enc;
    TEventLog log;
    log.Attach(enc);
    const int index = enc.AddTask(ShortClip());
    TOutputOptions out;
    out.Options = "-c:v no_such_encoder";
    EXPECT_LT(enc.SetOutput(index, folder.file("x.avi"), &out), 0);
    EXPECT_NE(enc.LastErrMsg().find("no_such_encoder"), std::string::npos) << enc.LastErrMsg();
    enc.Start(1);
    log.WaitFinal(enc);
    ASSERT_EQ(log.ends.size(), 2u);
    EXPECT_TRUE(log.ends[0].Exception);
    EXPECT_EQ(log.ends[0].ExceptionMsg, "At least one output file must be specified");
    EXPECT_EQ(log.ends[1].TaskIndex, -1);
}

TEST_F(EncoderComponent, AutoReleaseEmptiesTheSlot)
{
    TFFEncoder enc;
    TEventLog log;
    log.Attach(enc);
    enc.AutoReleaseTask = true;
    AddConversion(enc, ShortClip(), folder.file("r.avi"), "-c:v mpeg4 -an");
    enc.Start(1);
    log.WaitFinal(enc);
    EXPECT_EQ(enc.TasksCount(), 1);
    EXPECT_EQ(enc.FFmpegs(0), nullptr);
    enc.ClearTasks();
    AddConversion(enc, ShortClip(), folder.file("r2.avi"), "-c:v mpeg4 -an");
    enc.Start(1);
    log.final = false;
    log.WaitFinal(enc);
    EXPECT_THROW(enc.SetOutput(0, folder.file("r3.avi")), std::logic_error) << "busy until ClearTasks";
}

TEST_F(EncoderComponent, PropertiesAndGuards)
{
    TFFEncoder enc;
    enc.SetProgressInterval(5);
    EXPECT_EQ(enc.ProgressInterval(), 10);
    enc.SetPreviewInterval(1);
    EXPECT_EQ(enc.PreviewInterval(), 10);
    enc.Pause();
    EXPECT_FALSE(enc.Paused()) << "nothing runs";
    enc.Resume();
    enc.Start(1);
    EXPECT_TRUE(enc.Working()) << "an empty list still marks the run";
    EXPECT_FALSE(enc.Terminated());
    EXPECT_THROW(enc.ClearTasks(), std::logic_error);
}

TEST_F(EncoderComponent, DurationsFollowTimeOptions)
{
    struct TCase {
        const char* inputOptions;
        const char* outputOptions;
        int64_t total;
    } cases[] = {
        {"", "-t 10 -c:v mpeg4 -c:a mp2", 10000000},
        {"-ss 20", "-c:v mpeg4 -c:a mp2", 40000000},
        {"", "-ss 20 -t 2 -c:v mpeg4 -c:a mp2", 2000000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.inputOptions) + " | " + c.outputOptions);
        TFFEncoder enc;
        TEventLog log;
        log.Attach(enc);
        AddConversion(enc, LongClip(), folder.file("d.mkv"), c.outputOptions, c.inputOptions);
        enc.Start(1);
        log.WaitFinal(enc);
        ASSERT_FALSE(log.progress.empty());
        EXPECT_EQ(log.progress.back().TotalDuration, c.total);
        EXPECT_TRUE(log.ends[0].Finished) << log.ends[0].ExceptionMsg;
        const int64_t reached = log.progress.back().CurrentDuration;
        EXPECT_NEAR(double(reached), double(c.total), 300000.0);
    }
}

TEST_F(EncoderComponent, AudioOnlyOutputReportsNoFrames)
{
    TFFEncoder enc;
    TEventLog log;
    log.Attach(enc);
    AddConversion(enc, ShortClip(), folder.file("a.wav"), "-vn");
    enc.Start(1);
    log.WaitFinal(enc);
    ASSERT_FALSE(log.progress.empty());
    EXPECT_EQ(log.progress.back().FrameNumber, -1);
    EXPECT_EQ(log.progress.back().FPS, -1);
    EXPECT_GT(log.progress.back().CurrentDuration, 1500000);
    EXPECT_GT(log.progress.back().CurrentSize, 0);
}

TEST_F(EncoderComponent, StopWakesPausedTask)
{
    TFFEncoder enc;
    TEventLog log;
    log.Attach(enc);
    AddConversion(enc, LongClip(), folder.file("p.mkv"), "-c:v mpeg4 -c:a mp2", "-re");
    enc.Start(1);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    enc.Pause();
    EXPECT_TRUE(enc.Paused());
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    enc.Stop(true);
    log.WaitFinal(enc);
    EXPECT_FALSE(log.ends[0].Finished);
    EXPECT_FALSE(log.ends[0].Exception);
}

// An owner may free the component while a task still converts: its handlers must neither
// race with the destructor nor run once it has begun.
TEST_F(EncoderComponent, FreedWhileConvertingRaisesNoMoreEvents)
{
    TEventLog log;
    std::atomic<bool> freeing{false};
    std::atomic<int> lateEvents{0};
    {
        TFFEncoder enc;
        log.Attach(enc);
        enc.OnProgress = [&](TCustomEncoder*, const TProgressInfo*) { lateEvents += freeing ? 1 : 0; };
        enc.OnTerminate = [&](TCustomEncoder*, const TTerminateInfo&) { lateEvents += freeing ? 1 : 0; };
        enc.SetProgressInterval(10);
        AddConversion(enc, LongClip(), folder.file("freed.mkv"), "-c:v mpeg4 -c:a mp2", "-re");
        enc.Start(1);
        auto* queue = static_cast<TQueueDispatcher*>(enc.Dispatcher());
        for (int i = 0; i < 30; ++i)
            queue->WaitAndServe(std::chrono::milliseconds(10));
        freeing = true;
    }
    EXPECT_EQ(lateEvents, 0);
}

TEST_F(EncoderComponent, ReadTimeoutOnStalledInput)
{
    const std::string fifo = folder.file("stalled.fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // A writer that holds the pipe open and never writes.
    const int writer = open(fifo.c_str(), O_RDWR);
    ASSERT_GE(writer, 0);
    TFFEncoder enc;
    enc.SetReadTimeout(500);
    TInputOptions in;
    in.Options = "-f mpegts";
    const auto start = std::chrono::steady_clock::now();
    const int index = enc.AddTask(fifo, &in);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_LT(index, 0);
    // Said as what happened, not as the interrupted call's "Immediate exit requested".
    EXPECT_NE(enc.LastErrMsg().find("(read time-out)"), std::string::npos) << enc.LastErrMsg();
    EXPECT_EQ(enc.LastErrMsg().find("Immediate exit"), std::string::npos) << enc.LastErrMsg();
    EXPECT_LT(elapsed, std::chrono::milliseconds(2500)) << "the time-out ends the blocked read";
    EXPECT_GE(elapsed, std::chrono::milliseconds(400));
    close(writer);
}

TEST_F(EncoderComponent, BadInputsGiveClearErrors)
{
    const std::string notMedia = folder.file("notes.txt");
    std::ofstream(notMedia) << "this is not a media file\n";
    const std::string clip = ShortClip();
    const std::string truncated = folder.file("truncated.mkv");
    {
        const std::string whole = LongClip();
        std::ifstream src(whole, std::ios::binary);
        std::string data((std::istreambuf_iterator<char>(src)), {});
        std::ofstream(truncated, std::ios::binary) << data.substr(0, data.size() / 3);
    }
    TFFEncoder enc;
    EXPECT_LT(enc.AddTask(folder.file("missing.mp4")), 0);
    EXPECT_EQ(enc.LastErrMsg(), folder.file("missing.mp4") + ": No such file or directory");
    EXPECT_LT(enc.AddTask(notMedia), 0);
    EXPECT_NE(enc.LastErrMsg().find(notMedia), std::string::npos) << enc.LastErrMsg();

    struct TCase {
        std::string output, options, fragment;
    } cases[] = {
        {folder.file("u.avi"), "-c:v unknown_codec_x", "unknown_codec_x"},
        {"/proc/no_such_folder/out.avi", "-c:v mpeg4", "/proc/no_such_folder/out.avi: "},
        {clip, "-c copy", "never overwritten"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.output);
        TFFEncoder e;
        const int index = e.AddTask(clip);
        ASSERT_GE(index, 0);
        TOutputOptions out;
        out.Options = c.options;
        EXPECT_LT(e.SetOutput(index, c.output, &out), 0);
        EXPECT_NE(e.LastErrMsg().find(c.fragment), std::string::npos) << e.LastErrMsg();
    }
    struct stat st {};
    ASSERT_EQ(stat(clip.c_str(), &st), 0);
    EXPECT_GT(st.st_size, 1000) << "the input is untouched";

    // A file cut in the middle converts what is there and closes its output.
    TFFEncoder t;
    TEventLog log;
    log.Attach(t);
    AddConversion(t, truncated, folder.file("cut.avi"), "-c:v mpeg4 -c:a mp2");
    t.Start(1);
    log.WaitFinal(t);
    std::string out;
    EXPECT_EQ(
        RunCommand("ffprobe -v error -show_entries format=duration -of csv=p=0 " + ShellQuote(folder.file("cut.avi")),
                   &out),
        0);
    EXPECT_GT(std::atof(out.c_str()), 1.0);
}

// Errors found after the libraries' objects exist (an input opened, an output context with
// streams): each is reported, and nothing is lost on the way (the sanitizer pass checks for leaks).
TEST_F(EncoderComponent, LateOptionErrorsAreFatalAndLoseNothing)
{
    const std::string clip = ShortClip();
    const std::string script = folder.file("graph.txt");
    std::ofstream(script) << "hflip";
    struct TCase {
        std::string inputOptions, outputOptions, fragment;
    } cases[] = {
        {"-c:v no_such_decoder", "", "Unknown decoder 'no_such_decoder'"},
        {"-maxrate 1M", "",
         "Codec AVOption maxrate (maximum bitrate (in bits/s). Used for VBV together with bufsize.) specified for "
         "input file #0 (" +
             clip + ") is not a decoding option."},
        {"", "-c:v mpeg4 -skip_frame nokey",
         "Codec AVOption skip_frame (skip decoding for the selected frames) specified for output file #0 (" +
             folder.file("late.avi") + ") is not an encoding option."},
        {"", "-c:v mpeg4 -r 25 -fpsmax 30", "Only one of -fpsmax and -r can be set for a stream."},
        {"", "-c:v mpeg4 -vf hflip -filter_script " + script,
         "Both -filter and -filter_script set for output stream #0:0."},
        {"", "-c:v mpeg4 -filter_script " + folder.file("missing.txt"),
         "Error opening file " + folder.file("missing.txt")},
        {"", "-c:v copy -an -filter_script " + script,
         "Filtergraph script '" + script + "' was defined for video output"},
        {"", "-c:v mpeg4 -attach " + folder.file("missing.ttf"),
         "Could not open attachment file " + folder.file("missing.ttf")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.inputOptions + c.outputOptions);
        TFFEncoder enc;
        TInputOptions in;
        in.Options = c.inputOptions;
        const int index = enc.AddTask(clip, &in);
        if (!c.outputOptions.empty()) {
            ASSERT_GE(index, 0) << enc.LastErrMsg();
            TOutputOptions out;
            out.Options = c.outputOptions;
            EXPECT_LT(enc.SetOutput(index, folder.file("late.avi"), &out), 0);
        } else {
            EXPECT_LT(index, 0);
            EXPECT_EQ(enc.TasksCount(), 0);
        }
        EXPECT_NE(enc.LastErrMsg().find(c.fragment), std::string::npos) << enc.LastErrMsg();
    }
}

// Each task keeps a decoder per input that answers questions about it while it is open; the
// component has a decoder of its own for the caller.
TEST_F(EncoderComponent, TaskDecodersDescribeTheirInputs)
{
    TFFEncoder enc;
    const int index = AddConversion(enc, ShortClip(), folder.file("dec.avi"), "-c:v mpeg4 -c:a mp2");
    ASSERT_GE(index, 0);
    TFFmpeg* task = enc.FFmpegs(index);
    ASSERT_EQ(task->InputCount(), 1);
    TCustomDecoder& decoder = task->DecoderOf(0);
    EXPECT_EQ(decoder.StreamCount(), 2);
    EXPECT_EQ(decoder.FirstVideoStreamInfo().Width, 96);
    EXPECT_EQ(decoder.FileName(), ShortClip());
    EXPECT_TRUE(enc.Decoder().LoadFile(ShortClip()));
    EXPECT_EQ(enc.Decoder().VideoStreamCount(), 1);

    TEventLog log;
    log.Attach(enc);
    enc.Start(1);
    log.WaitFinal(enc);
    EXPECT_EQ(task->DecoderOf(0).StreamCount(), -1) << "the input is closed after the run";
}

TEST_F(EncoderComponent, ManyStartPauseResumeStopCycles)
{
    const std::string clip = LongClip();
    for (int i = 0; i < 200; ++i) {
        TFFEncoder enc;
        TEventLog log;
        log.Attach(enc);
        AddConversion(enc, clip, folder.file("c.mkv"), "-c:v mpeg4 -an", "-re");
        enc.Start(1);
        if (i % 2)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        enc.Pause();
        enc.Resume();
        if (i % 3 == 0)
            enc.Pause();
        enc.Stop(i % 4 != 0);
        log.WaitFinal(enc);
        ASSERT_EQ(log.ends.size(), 2u) << "cycle " << i;
    }
}

}  // namespace

namespace {

// Mean luma of the first picture of a file, 0..255.
double FirstPictureLuma(const std::string& path)
{
    std::string out;
    RunCommand("ffmpeg -v error -i " + ShellQuote(path) +
                   " -frames:v 1 -vf signalstats,metadata=print:key=lavfi.signalstats.YAVG:file=- -f null - 2>/dev/null"
                   " | grep -o 'YAVG=[0-9.]*' | cut -d= -f2",
               &out);
    return out.empty() ? -1 : std::atof(out.c_str());
}

TEST_F(EncoderComponent, HooksSeeAndPaintPicturesAndAudio)
{
    TFFEncoder enc;
    TEventLog log;
    log.Attach(enc);
    std::mutex lock;
    int videoIn = 0, videoOut = 0, frameOut = 0, audioIn = 0, audioOut = 0;
    std::set<std::thread::id> hookThreads;
    enc.OnVideoInputHook = [&](TCustomEncoder*, THookInfo* info) {
        std::lock_guard g(lock);
        ++videoIn;
        EXPECT_EQ(info->Bitmap->Width, 96);
        EXPECT_EQ(info->Bitmap->Height, 64);
        EXPECT_EQ(info->Bitmap->PixFmt, AV_PIX_FMT_BGR24) << "24 bits per pixel were asked for";
        info->Update = false;
        info->StopHook = videoIn == 3;  // the hook is dropped after its third picture
    };
    enc.OnVideoOutputHook = [&](TCustomEncoder*, THookInfo* info) {
        std::lock_guard g(lock);
        ++videoOut;
        hookThreads.insert(std::this_thread::get_id());
        std::fill(info->Bitmap->Bytes.begin(), info->Bitmap->Bytes.end(), 0);  // paint it black
    };
    enc.OnFrameOutputHook = [&](TCustomEncoder*, TFrameHookInfo* info) {
        std::lock_guard g(lock);
        ++frameOut;
        EXPECT_EQ(info->Width, 96);
        EXPECT_EQ(info->PixFmt, AV_PIX_FMT_YUV420P);
        ASSERT_NE(info->Picture, nullptr);
    };
    enc.OnAudioInputHook = [&](TCustomEncoder*, int task, int64_t, const AVFrame* frame, int size, int rate,
                               int channels, int) {
        std::lock_guard g(lock);
        ++audioIn;
        EXPECT_EQ(task, 0);
        EXPECT_EQ(rate, 22050);
        EXPECT_EQ(channels, 1);
        EXPECT_GT(size, 0);
        EXPECT_NE(frame, nullptr);
    };
    enc.OnAudioOutputHook = [&](TCustomEncoder*, int, int64_t, const AVFrame*, int, int, int, int) {
        std::lock_guard g(lock);
        ++audioOut;
    };
    const int index = enc.AddTask(ShortClip());
    ASSERT_GE(index, 0) << enc.LastErrMsg();
    TOutputOptions out;
    out.Options = "-c:v mpeg4 -c:a mp2";
    out.VideoInputHook = out.VideoOutputHook = out.FrameOutputHook = true;
    out.AudioInputHook = out.AudioOutputHook = true;
    out.VideoHookBitsPixel = 24;
    ASSERT_GE(enc.SetOutput(index, folder.file("hooked.avi"), &out), 0) << enc.LastErrMsg();
    enc.Start(1);
    log.WaitFinal(enc);
    ASSERT_TRUE(log.ends[0].Finished) << log.ends[0].ExceptionMsg;
    EXPECT_EQ(videoIn, 3);
    EXPECT_EQ(videoOut, 20);
    EXPECT_EQ(frameOut, 20);
    EXPECT_GT(audioIn, 10);
    EXPECT_GT(audioOut, 10);
    EXPECT_EQ(hookThreads.count(std::this_thread::get_id()), 0u) << "hooks run on the task's thread";
    EXPECT_LT(FirstPictureLuma(folder.file("hooked.avi")), 20) << "the painted bitmap went back into the picture";
    EXPECT_GT(FirstPictureLuma(ShortClip()), 60);
}

TEST_F(EncoderComponent, HooksRefuseCopiedStreams)
{
    struct TCase {
        const char* options;
        bool TOutputOptions::*hook;
        const char* text;
    } cases[] = {
        {"-c:v copy -an", &TOutputOptions::VideoOutputHook,
         "-vcodec/-c:video copy and VideoHook are incompatible (frames are not decoded)"},
        {"-c:a copy -vn", &TOutputOptions::AudioInputHook,
         "-acodec/-c:audio copy and AudioHook are incompatible (frames are not decoded)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options);
        TFFEncoder enc;
        const int index = enc.AddTask(ShortClip());
        TOutputOptions out;
        out.Options = c.options;
        out.*c.hook = true;
        EXPECT_LT(enc.SetOutput(index, folder.file("copy.mkv"), &out), 0);
        EXPECT_NE(enc.LastErrMsg().find(c.text), std::string::npos) << enc.LastErrMsg();
        // The refused hook is not left behind: the same copy without it is accepted.
        out.*c.hook = false;
        EXPECT_GE(enc.SetOutput(index, folder.file("copy.mkv"), &out), 0) << enc.LastErrMsg();
    }
}

TEST_F(EncoderComponent, PreviewBitmapsReachTheMainThreadSpaced)
{
    TFFEncoder enc;
    TEventLog log;
    log.Attach(enc);
    std::vector<int> frames;
    std::set<std::thread::id> threads;
    enc.SetPreviewInterval(200);
    enc.SetPreviewBitmap(true);
    enc.OnPreviewBitmap = [&](TCustomEncoder*, const TPreviewInfo& info) {
        frames.push_back(info.FrameNumber);
        threads.insert(std::this_thread::get_id());
        EXPECT_EQ(info.TaskIndex, 0);
        ASSERT_NE(info.Bitmap, nullptr);
        EXPECT_EQ(info.Bitmap->Width, 64);
        EXPECT_EQ(info.Bitmap->PixFmt, AV_PIX_FMT_BGRA);
    };
    // 3 seconds read at native speed: about one preview per 200 ms, never one per picture.
    AddConversion(enc, LongClip(), folder.file("preview.avi"), "-t 3 -c:v mpeg4 -an", "-re");
    enc.Start(1);
    log.WaitFinal(enc);
    EXPECT_TRUE(log.ends[0].Finished) << log.ends[0].ExceptionMsg;
    EXPECT_GE(frames.size(), 5u);
    EXPECT_LE(frames.size(), 16u);
    EXPECT_EQ(threads, std::set<std::thread::id>{std::this_thread::get_id()});
    for (size_t i = 1; i < frames.size(); ++i)
        EXPECT_GT(frames[i], frames[i - 1]);

    // Switched off while idle: no further previews.
    TFFEncoder quiet;
    TEventLog quietLog;
    quietLog.Attach(quiet);
    int previews = 0;
    quiet.OnPreviewBitmap = [&](TCustomEncoder*, const TPreviewInfo&) { ++previews; };
    quiet.SetPreviewBitmap(true);
    AddConversion(quiet, ShortClip(), folder.file("quiet.avi"), "-c:v mpeg4 -an");
    quiet.SetPreviewBitmap(false);
    quiet.Start(1);
    quietLog.WaitFinal(quiet);
    EXPECT_EQ(previews, 0);
}

}  // namespace

namespace {

TEST_F(EncoderComponent, PreviewAudioIsResampledForThePlayer)
{
    TFFEncoder enc;
    TEventLog log;
    log.Attach(enc);
    enc.SetPreviewAudio(true);
    ClearLog();
    AddConversion(enc, ShortClip(), folder.file("heard.avi"), "-c:v mpeg4 -c:a mp2");
    enc.Start(1);
    log.WaitFinal(enc);
    EXPECT_TRUE(log.ends[0].Finished) << log.ends[0].ExceptionMsg;
    EXPECT_TRUE(LogContains("need resample 22050 Hz fltp 1 channels to 44100 Hz s16 2 channels"));
    // Two seconds of mono 22050 Hz become about two seconds of 44100 Hz stereo 16-bit.
    const double seconds = double(enc.FFmpegs(0)->PreviewAudioBytes()) / TPreviewAudio::kBytesPerSecond;
    EXPECT_NEAR(seconds, 2.0, 0.1);
}

}  // namespace
