#pragma once
// Opens one media file with the demuxer, probes its streams and publishes its media
// information. Reports problems through LastErrMsg and the engine log; never raises,
// except when the libraries are not loaded.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "media/ff_base_component.h"
#include "media/ffmpeg_handles.h"
#include "media/stream_info.h"

namespace reelsmith {

class TCustomDecoder : public TFFBaseComponent {
public:
    using TBeforeFindStreamInfoEvent = std::function<void(TCustomDecoder& sender, AVFormatContext* context)>;

    TCustomDecoder();
    ~TCustomDecoder() override;
    TCustomDecoder(const TCustomDecoder&) = delete;
    TCustomDecoder& operator=(const TCustomDecoder&) = delete;

    // Opens and probes a file; AFormatName forces an input format (empty: probe).
    // Throws TLibraryNotLoaded when the decoder's libraries are not loaded.
    bool LoadFile(const std::string& AFileName, const std::string& AFormatName = {});
    virtual void CloseFile();
    // Answers the information queries about a demuxer that someone else opened, probed and
    // will close (a conversion task's input); the decoder never reads from it or closes it.
    void UseOpenedContext(AVFormatContext* context);

    bool IsVideoStream(int AStreamIndex);
    // Index < 0: the first stream of that kind.
    TVideoStreamInfo GetVideoStreamInfos(int Index);
    TAudioStreamInfo GetAudioStreamInfos(int Index);
    TSubtitleStreamInfo GetSubtitleStreamInfos(int Index);

    TFileStreamInfo FileStreamInfo();
    TVideoStreamInfo FirstVideoStreamInfo() { return GetVideoStreamInfos(-1); }
    TAudioStreamInfo FirstAudioStreamInfo() { return GetAudioStreamInfos(-1); }
    TSubtitleStreamInfo FirstSubtitleStreamInfo() { return GetSubtitleStreamInfos(-1); }

    int StreamCount() const { return FStreamCount; }
    int ProgramCount() const { return FProgramCount; }
    int AudioStreamCount() const { return FAudioStreamCount; }
    int VideoStreamCount() const { return FVideoStreamCount; }
    int SubtitleStreamCount() const { return FSubtitleStreamCount; }
    int FirstAudioStreamIndex() const { return FFirstAudioStreamIndex; }
    int FirstVideoStreamIndex() const { return FFirstVideoStreamIndex; }
    int FirstSubtitleStreamIndex() const { return FFirstSubtitleStreamIndex; }
    int64_t FileSize() const { return FFileSize; }

    std::string FileName();
    std::string FormatName();
    std::string FormatLongName();
    AVFormatContext* FileHandle() const { return FFileHandle.get(); }

    const std::string& ForceFormat() const { return FForceFormat; }
    bool GetLongCodecName = true;
    bool TriggerEventInMainThread = true;
    TBeforeFindStreamInfoEvent OnBeforeFindStreamInfo;

    // Milliseconds a blocking open, probe or read may hang; not positive: no limit.
    std::atomic<int> ReadTimeout{30000};
    int WriteTimeout = 30000;
    // Protocols a name may reach (comma-separated); empty: local files only (see input_protocols.h).
    std::string ProtocolWhitelist;

    // "short(long)" or "short" as GetLongCodecName says; "none" for no codec; for an id without a
    // description the decoder's names, else "unknown_codec".
    std::string CodecName(AVCodecID id) const;

protected:
    // Stores the message and writes it to the engine log at the FFmpeg level given.
    void ReportError(int ffLevel, const std::string& text);
    bool IsOpen() const { return FFileHandle != nullptr; }
    bool OwnsHandle() const { return FFileHandle && FFileHandle.get_deleter().Owned; }
    // Marks the start of a blocking library call for the read time-out.
    void MarkRead();
    // The stream of the kind asked for, or -1 after reporting why not.
    int CheckedStreamIndex(int Index, AVMediaType kind, int firstIndex, const char* kindName);
    // The scaler flags the next picture converter should use.
    int ScalerFlags() const { return FScalerFlags; }
    virtual void FileOpened() {}

    TMaybeOwnedInputContextPtr FFileHandle;

private:
    static int InterruptCallback(void* opaque);
    void RefreshFileInfo();
    bool FailOpen(const std::string& message);

    std::string FForceFormat;
    int64_t FFileSize = -1;
    int FStreamCount = -1;
    int FProgramCount = -1;
    int FAudioStreamCount = -1;
    int FVideoStreamCount = -1;
    int FSubtitleStreamCount = -1;
    int FFirstAudioStreamIndex = -1;
    int FFirstVideoStreamIndex = -1;
    int FFirstSubtitleStreamIndex = -1;
    int FScalerFlags = SWS_BICUBIC;
    std::atomic<int64_t> FLastRead{INT64_MAX};
    std::atomic<bool> FReadTimedOut{false};
};

// One frame duration in microseconds at the given rate; 40000 when the rate is unknown.
int64_t FrameStep(AVRational frameRate);

// The frame rate a stream most likely plays at (base rate, corrected by the average rate).
AVRational GuessFrameRate(const AVStream* stream);

}  // namespace reelsmith
