#pragma once
// One task: its inputs and outputs (opened before the run), the transcode loop and the
// run, pause, resume and stop machinery around it. Several tasks run side by side: all
// state of the loop lives in the task. The public side is what the encoder component and
// the tools use; the stages (engine/pipeline/) are private members and free functions
// over the records they need.

#include <atomic>
#include <climits>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/options/custom_ffmpeg_opt.h"
#include "engine/encoder_records.h"
#include "engine/hook_records.h"
#include "engine/pipeline/decode_ahead.h"
#include "base/sync_event.h"
#include "base/thread_priority.h"

namespace reelsmith {

class TMainThreadDispatcher;
class TCustomFFmpeg;
struct TLoopState;
struct TOutputsEnd;

using TFFProgressEvent =
    std::function<void(TCustomFFmpeg* sender, int fileIndex, int frameNumber, int fps, float quality, float bitRate,
                       int64_t currentSize, int64_t currentDuration, int64_t totalDuration)>;
using TFFNotifyEvent = std::function<void(TCustomFFmpeg* sender)>;
using TBeforeFindStreamInfoHook = std::function<void(TCustomFFmpeg* sender, AVFormatContext* context)>;
using TVideoHookEvent = std::function<void(TCustomFFmpeg* sender, THookInfo& info)>;
using TFrameHookEvent = std::function<void(TCustomFFmpeg* sender, TFrameHookInfo& info)>;
using TAudioHookEvent = std::function<void(TCustomFFmpeg* sender, int64_t pts, const AVFrame* frame, int size,
                                           int sampleRate, int channels, int sampleFormat)>;
using TPreviewBitmapEvent =
    std::function<void(TCustomFFmpeg* sender, const TRGBPicture& bitmap, int frameNumber, int64_t pts)>;

// What the opening stages and the run share: the clocks of the read and write time-outs, the
// named pipes to close and the files to remove when the task fails, the durations.
struct TTaskIo {
    int64_t InputDuration = -1;
    int64_t OutputDuration = -1;
    std::vector<std::string> CreatedFiles;  // output files this task opened; removed when it fails
    std::atomic<int64_t> LastRead{INT64_MAX};
    std::atomic<bool> ReadTimedOut{false};
    std::atomic<int64_t> LastWrite{INT64_MAX};
    std::atomic<bool> Broken{false};
    std::vector<int> OwnedPipes;  // descriptors of named pipes opened without blocking
};

class TCustomFFmpeg : public TCustomFFmpegOpt {
public:
    TCustomFFmpeg();
    ~TCustomFFmpeg() override;

    // Opening (on the caller's thread, before the run). 0 or a negative code with LastErrMsg.
    int AddInputFile(const std::string& fileName, const std::string& options, const std::string& presets);
    int AddOutputFile(const std::string& fileName, const std::string& options, const std::string& presets);

    // Runs the conversion once, on a worker thread or in the calling thread.
    void StartConvert(bool useThread, TThreadPriority priority);
    void Pause();
    void Resume();
    void Stop(bool waitForStop);
    // Ends a task that never started from a small thread of its own (counts as stopped).
    void TerminateUnstarted(bool waitForStop);

    bool Converting() const { return FConverting; }
    bool Finished() const { return FFinished; }
    bool Terminated() const { return FTerminated; }
    bool Started() const { return FSuspended >= 0 || FStep >= 0; }
    bool FatalException() const { return FFatalException; }
    std::string FatalMessage() const;
    int64_t InputDuration() const { return FIo.InputDuration; }
    int64_t OutputDuration() const { return FIo.OutputDuration; }
    int OutputCount() const { return FGraph.Fnb_output_files(); }
    int InputCount() const { return FGraph.Fnb_input_files(); }
    // False for an output whose muxer writes its own files (image sequences, null): such an
    // output is written under the name it was given, so it cannot be staged.
    bool OutputWritesFile(int index) const;
    AVFormatContext* InputContext(int index) const;

    // Read/write time-outs in milliseconds; 0 or less disables them.
    std::atomic<int> FReadTimeout{30000};
    std::atomic<int> FWriteTimeout{30000};
    std::atomic<int64_t> FPreviewInterval{100000};
    // False: after Stop, what is still in the decoders and encoders is dropped, not encoded.
    std::atomic<bool> FFinishOnStop{true};
    // Audio and video are decoded on a thread per input, ahead of the loop; the outputs are the
    // same either way (off: one thread decodes, filters, encodes and muxes, for comparison).
    std::atomic<bool> FDecodeAhead{true};
    // Video is encoded on a thread of its own where the outputs stay the same (encode_ahead.h).
    std::atomic<bool> FEncodeAhead{true};
    // Reads the inputs at their native rate (-re); may be switched while running.
    void SetFrameRateEmulation(bool on);
    bool FrameRateEmulation() const;

    TFFProgressEvent FOnProgress;
    TFFNotifyEvent FOnTerminate;
    TFFNotifyEvent FOnDestroy;
    TBeforeFindStreamInfoHook FOnBeforeFindStreamInfo;
    // Hooks: set before the run (by SetOutput); a hook that asks to stop is dropped by the worker.
    TVideoHookEvent FOnVideoInputHook;
    TVideoHookEvent FOnVideoOutputHook;
    TFrameHookEvent FOnFrameInputHook;
    TFrameHookEvent FOnFrameOutputHook;
    TAudioHookEvent FOnAudioInputHook;
    TAudioHookEvent FOnAudioOutputHook;
    TPreviewBitmapEvent FOnPreviewBitmap;
    bool SetVideoHookBitsPixel(int bitsPixel) override;
    std::atomic<bool> FPreviewAudio{false};
    // Bytes of preview audio written by the last run (resampled to 44100 Hz stereo s16).
    int64_t PreviewAudioBytes() const;
    // Post-hooks of the pictures about to be encoded; may change while the task runs.
    void SetPostHook(TPostHook hook, bool on);
    bool PostHook(TPostHook hook) const;
    // Where a waiting Stop on the main thread keeps serving hand-overs; may be null.
    TMainThreadDispatcher* FDispatcher = nullptr;

    // Interrupt callbacks of the libraries (public for the C trampolines).
    int ReadInterrupt();
    // The text of a failed read or open: a time-out says so instead of the library's
    // "Immediate exit requested" for the interrupted call.
    std::string ReadErrorText(int code) const;
    int WriteInterrupt();

    // The input stream an output copies or decodes; null for an output fed by a filter graph.
    TInputStream* SourceOf(const TOutputStream& ost)
    {
        return ost.source_index >= 0 ? FGraph.Finput_streams[ost.source_index].get() : nullptr;
    }
    // Shared by the opening stages and the run.
    TTaskIo FIo;

protected:
    // Called before the inputs are closed, so that nothing keeps using them.
    virtual void InputsClosing() {}
    void EndBeforeDestruction();
    bool FDestructionEnded = false;

private:
    void ConversionBody();
    void RunProtected(const char* step, const std::function<void()>& body);
    void EndTask();
    // A failed conversion leaves no half-written file under the output's name.
    void RemoveCreatedFiles();
    TInputFile& InputFileOf(const TInputStream& ist) { return *FGraph.Finput_files[ist.file_index]; }

    // Opening (pipeline/open_input.cpp, open_output.cpp).
    int OpenInput(TOptionsContext& o, const std::string& fileName);
    // -dump_attachment (pipeline/attachment_dump.cpp); fileName is the input being opened.
    void DumpAttachments(const TOptionsContext& o, AVFormatContext* ic, const std::string& fileName);
    bool MayWriteAttachment(const std::string& name, const std::string& fileName);
    void WriteAttachment(const std::string& name, const AVCodecParameters& par);
    int OpenOutput(TOptionsContext& o, const std::string& fileName);

    // Set-up of filter graphs and encoders (pipeline/filter_setup.cpp, complex_graph.cpp,
    // encoder_setup.cpp).
    int ConfigureFilterGraph(TFilterGraph& fg);
    // Reads the pads of every -filter_complex graph not yet bound and ties its inputs to input streams.
    void BindComplexFilterGraphs();
    // The input stream a filter graph needs next; null when none is needed this step.
    TInputStream* FilterGraphInput(TOutputStream& ost, int* ret);
    // frame: the first picture to encode, null when there is none (audio, subtitles, a video
    // stream that ends without a picture).
    int InitOutputStreamEncode(TOutputStream& ost, AVFrame* frame = nullptr);
    // Opens the stream's encoder now and writes the file's header when it is the last stream
    // to be ready; a failure is fatal.
    void InitOutputStreamNow(TOutputStream& ost, AVFrame* frame);
    int InitOutputStreamCopy(TOutputStream& ost);
    void OpenPassLog(TOutputStream& ost);
    void SetSubtitleEncoderParameters(TOutputStream& ost);
    int WriteHeaderIfReady(TOutputFile& of);
    // The stream's bit-stream filters start when the stream is ready: its packets may reach
    // them before the file's header is written. 0 or a negative code with FLastErrMsg.
    int InitBitstreamFilters(TOutputStream& ost);

    // The loop that drives the stages (pipeline/transcode_loop.cpp).
    int TranscodeInit();
    int PrepareStages();
    int OpenDecoders();
    void Transcode();
    // One pass of the loop: false when the loop is over.
    bool TranscodeStep(int64_t timerStart);
    void StartReaders();
    void ReadFromInput(TInputStream& source, TOutputStream& ost, int64_t timerStart, int64_t curTime);
    bool AheadOfClock(const TInputFile& ifile, const TInputStream& source) const;
    TAheadItem NextItem(int fileIndex);
    void EndOfInput(TInputFile& ifile, int ret, std::vector<TDecodedPacket>& drains);
    void FlushInFlight();
    void FinishOutputs(int64_t timerStart);
    // An output that received no packet is a failure, not a result.
    void CheckSomethingWasWritten();
    // More failed decoding than -max_error_rate allows (2/3 by default) fails the run.
    void CheckDecodeErrorRate();
    void TranscodeCleanup();

    // Decoding (pipeline/decode.cpp).
    int ProcessInputPacket(TInputStream& ist, const AVPacket* pkt, bool noEof);
    void DecodePacket(TInputStream& ist, const AVPacket* pkt);
    void ProcessDecodedPacket(TInputStream& ist, const AVPacket* pkt, TDecodedPacket& decoded);
    void DecodeFailed(TInputStream& ist, int ret);
    void UseDecodedFrame(TInputStream& ist, AVFrame* frame);
    void DecodeSubtitle(TInputStream& ist, const AVPacket* pkt);
    class TLoopDecodeSink;

    // Filtering (pipeline/filter_run.cpp).
    void SendToFilters(TInputStream& ist, AVFrame* frame);
    void ReconfigureFilterInput(TInputFilter& ifilter, const AVFrame* frame);
    void DrainFilters(TInputStream& ist);
    int ReapFilters(bool flush);
    void ReapOutput(TOutputStream& ost, bool flush);

    // Encoding (pipeline/encode.cpp).
    bool CheckRecordingTime(TOutputStream& ost);
    void EncodeFrame(TOutputFile& of, TOutputStream& ost, AVFrame* frame);
    bool EncodesAhead(const TOutputFile& of, const TOutputStream& ost) const;
    void EncodeFrameAhead(TOutputFile& of, TOutputStream& ost, AVFrame* frame);
    void MuxEncodedAhead(TOutputFile& of, TOutputStream& ost, std::vector<TEncodedPacket> packets);
    void MuxEncodedAhead();
    void MuxEncodedPacket(TOutputFile& of, TOutputStream& ost, AVPacket* pkt);
    void StopEncodingAhead();
    void DoAudioOut(TOutputFile& of, TOutputStream& ost, AVFrame* frame);
    void DoVideoOut(TOutputFile& of, TOutputStream& ost, AVFrame* nextPicture);
    void EncodeVideoFrames(TOutputFile& of, TOutputStream& ost, AVFrame* nextPicture, int64_t nbFrames,
                           int64_t nb0Frames);
    void DoSubtitleOut(TOutputFile& of, TOutputStream& ost, AVSubtitle& sub);
    void FlushEncoders();

    // Muxing (pipeline/mux.cpp).
    void CopyPacket(TInputStream& ist, const AVPacket* pkt);
    void OutputPacket(TOutputFile& of, AVPacket* pkt, TOutputStream& ost, bool eof);
    void WritePacket(TOutputFile& of, AVPacket* pkt, TOutputStream& ost);
    void SendToMuxer(TOutputFile& of, AVPacket* pkt, TOutputStream& ost);
    // Holds a packet until the file's header is written ("Too many packets buffered ..." is fatal).
    void QueuePacket(TOutputFile& of, AVPacket* pkt, TOutputStream& ost);
    void WriteQueuedPackets(TOutputFile& of);
    void CloseOutputStream(TOutputStream& ost);
    void WriteTrailers(TOutputsEnd& end);
    void CloseOutputFiles(TOutputsEnd& end);

    // The progress report (pipeline/transcode_report.cpp).
    void PrintReport(bool isLastReport, int64_t timerStart, int64_t curTime);
    void WriteProgressBlock(const std::string& block, bool isLastReport);

    // Hooks and previews (task_hooks.cpp).
    void InputHooks(TInputStream& ist, AVFrame* frame);
    void OutputHooks(TOutputStream& ost, AVFrame* frame);
    void PreviewBitmap(TOutputStream& ost, AVFrame* frame, bool converted);
    bool CallVideoHook(const TVideoHookEvent& hook, TFormatConverter& converter, AVFrame* frame, int64_t frameNumber);
    bool BitmapToPicture(const TRGBPicture& bitmap, AVFrame* frame);
    void CallFrameHook(const TFrameHookEvent& hook, const AVFrame* frame, int64_t frameNumber);
    void CallAudioHook(const TAudioHookEvent& hook, const AVFrame* frame);
    void PreviewAudioWrite(const AVFrame* frame);
    void ClosePreviewAudio();

    // The stages' records (pipeline/loop_state.h).
    std::unique_ptr<TLoopState> FLoop;

    std::atomic<bool> FConverting{false};
    std::atomic<bool> FFinished{false};
    std::atomic<bool> FTerminated{false};
    std::atomic<bool> FFatalException{false};
    std::atomic<int> FSuspended{-1};
    std::atomic<int> FStep{-1};
    std::atomic<int64_t> FPauseTime{0};
    std::atomic<int64_t> FTotalPauseTime{0};
    std::atomic<bool> FRateEmulation{false};
    mutable std::mutex FControlLock;  // Pause/Resume/Stop against each other; the fatal text
    std::string FFatalMessage;
    TSyncEvent FSuspender{true};
    TSyncEvent FStopEvent{true};
    std::thread FThread;
    std::thread FTerminator;
};

}  // namespace reelsmith
