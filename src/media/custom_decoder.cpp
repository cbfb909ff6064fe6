#include "media/custom_decoder.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <utility>

#include "media/engine_log.h"
#include "media/error_text.h"
#include "media/ffmpeg_handles.h"
#include "media/input_protocols.h"
#include "base/text.h"

namespace reelsmith {

namespace {

// Longer names are refused with "File name too long" before anything is opened.
constexpr size_t kMaxFileNameLength = 2047;

std::string MetadataValue(AVDictionary* metadata, const char* key)
{
    const AVDictionaryEntry* entry = ff().av_dict_get(metadata, key, nullptr, 0);
    return entry && entry->value ? entry->value : std::string();
}

int MetadataNumber(AVDictionary* metadata, const char* key)
{
    const std::string text = MetadataValue(metadata, key);
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    return text.empty() || *end != '\0' ? 0 : static_cast<int>(value);
}

TLogLevel LogLevelOf(int ffLevel)
{
    if (ffLevel <= AV_LOG_ERROR)
        return TLogLevel::llError;
    if (ffLevel <= AV_LOG_WARNING)
        return TLogLevel::llWarning;
    if (ffLevel <= AV_LOG_INFO)
        return TLogLevel::llInfo;
    return TLogLevel::llDebug;
}

// Rescales stream time-base units to microseconds, keeping the no-value marker as -1.
int64_t Scaled(int64_t value, AVRational timeBase)
{
    return value == AV_NOPTS_VALUE ? -1 : ff().av_rescale_q(value, timeBase, AVRational{1, AV_TIME_BASE});
}

void RepairTimeBase(AVStream* stream)
{
    if (stream->time_base.den == 0)
        stream->time_base.den = stream->time_base.num;
    if (stream->time_base.den == 0)
        stream->time_base.den = 1;
}

}  // namespace

int64_t FrameStep(AVRational frameRate)
{
    if (frameRate.num == 0 || frameRate.den == 0)
        return 40000;
    return static_cast<int64_t>(frameRate.den) * 1000000 / frameRate.num;
}

AVRational GuessFrameRate(const AVStream* stream)
{
    AVRational rate = stream->r_frame_rate;
    const AVRational average = stream->avg_frame_rate;
    if (average.num > 0 && average.den > 0 && rate.num > 0 && rate.den > 0 && av_q2d(average) < 70 &&
        av_q2d(rate) > 210)
        rate = average;
    return rate;
}

TCustomDecoder::TCustomDecoder() : TFFBaseComponent(DecoderLibraries) { RefreshFileInfo(); }

TCustomDecoder::~TCustomDecoder()
{
    // Derived state is gone by now; only the container is left to close.
    FFileHandle.reset();
}

void TCustomDecoder::ReportError(int ffLevel, const std::string& text)
{
    SetLastErrMsg(text);
    EngineLog(LogLevelOf(ffLevel), text);
}

void TCustomDecoder::MarkRead() { FLastRead = ff().av_gettime_relative(); }

int TCustomDecoder::InterruptCallback(void* opaque)
{
    auto* self = static_cast<TCustomDecoder*>(opaque);
    const int64_t lastRead = self->FLastRead;
    const int timeout = self->ReadTimeout;
    if (lastRead == INT64_MAX || timeout <= 0)
        return 0;
    if (ff().av_gettime_relative() - lastRead <= static_cast<int64_t>(timeout) * 1000)
        return 0;
    EngineLog(TLogLevel::llInfo, "connecting/reading timeout");
    self->FReadTimedOut = true;
    return 1;
}

bool TCustomDecoder::FailOpen(const std::string& message)
{
    ReportError(AV_LOG_ERROR, message);
    CloseFile();
    return false;
}

bool TCustomDecoder::LoadFile(const std::string& AFileName, const std::string& AFormatName)
{
    FFLoader().CheckLibAV(Libraries());
    CloseFile();

    const AVInputFormat* format = nullptr;
    if (!AFormatName.empty()) {
        format = ff().av_find_input_format(AFormatName.c_str());
        if (!format)
            return FailOpen(StrFormat("Unknown input format: %s", AFormatName.c_str()));
    }
    if (AFileName.size() > kMaxFileNameLength)
        return FailOpen(ErrorText(AVERROR(ENAMETOOLONG), AFileName));

    // Local files only (and the standard input): names come from lists that others wrote.
    const std::string whitelist = ProtocolWhitelist.empty() ? DefaultInputProtocols(AFileName) : ProtocolWhitelist;
    if (const std::string refused = RefusedProtocolText(AFileName, whitelist); !refused.empty())
        return FailOpen(AFileName + ": " + refused);
    AVFormatContext* context = ff().avformat_alloc_context();
    if (!context)
        return FailOpen(ErrorText(AVERROR(ENOMEM), AFileName));
    context->interrupt_callback.callback = &TCustomDecoder::InterruptCallback;
    context->interrupt_callback.opaque = this;
    MarkRead();

    TDictionary options;
    options.Set("protocol_whitelist", whitelist);
    // On failure the library frees the context itself.
    FReadTimedOut = false;
    const int opened = ff().avformat_open_input(&context, AFileName.c_str(), format, options.address());
    if (opened == AVERROR_EXIT && FReadTimedOut)
        return FailOpen(StrFormat("%s: No data could be read for %g seconds (read time-out)", AFileName.c_str(),
                                  ReadTimeout.load() / 1000.0));
    if (opened < 0)
        return FailOpen(ErrorText(opened, AFileName));
    FFileHandle = TMaybeOwnedInputContextPtr(context, TMaybeOwnedInputContextDeleter{true});
    context->flags |= AVFMT_FLAG_GENPTS;

    if (OnBeforeFindStreamInfo)
        OnBeforeFindStreamInfo(*this, context);

    MarkRead();
    if (ff().avformat_find_stream_info(context, nullptr) < 0)
        return FailOpen(StrFormat("%s: could not find codec parameters", AFileName.c_str()));
    if (context->pb)
        context->pb->eof_reached = 0;

    RefreshFileInfo();
    FileOpened();
    FForceFormat = AFormatName;
    return true;
}

void TCustomDecoder::UseOpenedContext(AVFormatContext* context)
{
    CloseFile();
    FFileHandle = TMaybeOwnedInputContextPtr(context, TMaybeOwnedInputContextDeleter{false});
    RefreshFileInfo();
}

void TCustomDecoder::CloseFile()
{
    FFileHandle.reset();
    FLastRead = INT64_MAX;
    RefreshFileInfo();
}

void TCustomDecoder::RefreshFileInfo()
{
    FFileSize = -1;
    FStreamCount = FProgramCount = FAudioStreamCount = FVideoStreamCount = FSubtitleStreamCount = -1;
    FFirstAudioStreamIndex = FFirstVideoStreamIndex = FFirstSubtitleStreamIndex = -1;
    AVFormatContext* context = FFileHandle.get();
    if (!context)
        return;

    if (context->iformat && (context->iformat->flags & AVFMT_NOFILE))
        FFileSize = 0;
    else
        FFileSize = context->pb ? std::max<int64_t>(ff().avio_size(context->pb), 0) : 0;
    if (FFileSize <= 0 && context->url) {
        std::error_code error;
        const std::filesystem::path path(context->url);
        if (std::filesystem::is_regular_file(path, error)) {
            const auto size = std::filesystem::file_size(path, error);
            FFileSize = error ? -1 : static_cast<int64_t>(size);
        }
    }

    FStreamCount = static_cast<int>(context->nb_streams);
    FProgramCount = static_cast<int>(context->nb_programs);
    FAudioStreamCount = FVideoStreamCount = FSubtitleStreamCount = 0;
    for (int i = 0; i < FStreamCount; ++i) {
        switch (context->streams[i]->codecpar->codec_type) {
        case AVMEDIA_TYPE_VIDEO:
            ++FVideoStreamCount;
            if (FFirstVideoStreamIndex < 0)
                FFirstVideoStreamIndex = i;
            break;
        case AVMEDIA_TYPE_AUDIO:
            ++FAudioStreamCount;
            if (FFirstAudioStreamIndex < 0)
                FFirstAudioStreamIndex = i;
            break;
        case AVMEDIA_TYPE_SUBTITLE:
            ++FSubtitleStreamCount;
            if (FFirstSubtitleStreamIndex < 0)
                FFirstSubtitleStreamIndex = i;
            break;
        default: break;
        }
    }
}

TFileStreamInfo TCustomDecoder::FileStreamInfo()
{
    TFileStreamInfo info;
    if (!IsOpen()) {
        ReportError(AV_LOG_WARNING, "file not loaded.");
        return info;
    }
    const AVFormatContext* context = FFileHandle.get();
    info.StartTime = context->start_time;
    info.Duration = context->duration == AV_NOPTS_VALUE ? -1 : context->duration;
    info.BitRate = static_cast<int>(context->bit_rate);
    AVDictionary* metadata = context->metadata;
    info.Year = MetadataNumber(metadata, "year");
    info.Track = MetadataNumber(metadata, "track");
    info.Title = MetadataValue(metadata, "title");
    info.Author = MetadataValue(metadata, "author");
    info.Copyright = MetadataValue(metadata, "copyright");
    info.Comment = MetadataValue(metadata, "comment");
    info.Album = MetadataValue(metadata, "album");
    info.Genre = MetadataValue(metadata, "genre");
    return info;
}

std::string TCustomDecoder::CodecName(AVCodecID id) const
{
    if (id == AV_CODEC_ID_NONE)
        return "none";
    const char* name = nullptr;
    const char* longName = nullptr;
    if (const AVCodecDescriptor* descriptor = ff().avcodec_descriptor_get(id)) {
        name = descriptor->name;
        longName = descriptor->long_name;
    } else {
        // An id the library lists no description for: the decoder registered for it names it.
        EngineLog(TLogLevel::llWarning, StrFormat("Codec 0x%x is not in the full list.", unsigned(id)));
        const AVCodec* decoder = ff().avcodec_find_decoder(id);
        if (!decoder)
            return "unknown_codec";
        name = decoder->name;
        longName = decoder->long_name;
    }
    const std::string trimmed = longName ? Trimmed(longName, " ") : std::string();
    if (GetLongCodecName && !trimmed.empty())
        return StrFormat("%s(%s)", name, trimmed.c_str());
    return name;
}

int TCustomDecoder::CheckedStreamIndex(int Index, AVMediaType kind, int firstIndex, const char* kindName)
{
    if (!IsOpen()) {
        ReportError(AV_LOG_WARNING, "file not loaded.");
        return -1;
    }
    if (Index < 0) {
        if (firstIndex < 0)
            ReportError(AV_LOG_ERROR, StrFormat("no %s stream.", kindName));
        return firstIndex;
    }
    if (Index >= FStreamCount) {
        ReportError(AV_LOG_ERROR, StrFormat("stream index #%d is invalid.", Index));
        return -1;
    }
    if (FFileHandle->streams[Index]->codecpar->codec_type != kind) {
        ReportError(AV_LOG_ERROR, StrFormat("stream #%d is not %s stream.", Index, kindName));
        return -1;
    }
    return Index;
}

bool TCustomDecoder::IsVideoStream(int AStreamIndex)
{
    if (!IsOpen()) {
        ReportError(AV_LOG_WARNING, "file not loaded.");
        return false;
    }
    if (AStreamIndex < 0 || AStreamIndex >= FStreamCount) {
        ReportError(AV_LOG_ERROR, StrFormat("stream index #%d is invalid.", AStreamIndex));
        return false;
    }
    return FFileHandle->streams[AStreamIndex]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO;
}

namespace {

// Fields every stream kind reports; the codec name comes from the decoder's naming choice.
void FillCommon(TMediaStreamInfo& record, AVStream* stream, std::string codecName)
{
    record.Language = MetadataValue(stream->metadata, "language");
    record.CodecName = std::move(codecName);
    record.BitRate = static_cast<int>(stream->codecpar->bit_rate);
    RepairTimeBase(stream);
    record.StartTime = stream->start_time;
    record.StartTimeScaled = Scaled(stream->start_time, stream->time_base);
    record.Duration = stream->duration;
    record.DurationScaled = Scaled(stream->duration, stream->time_base);
}

}  // namespace

TVideoStreamInfo TCustomDecoder::GetVideoStreamInfos(int Index)
{
    TVideoStreamInfo info;
    const int index = CheckedStreamIndex(Index, AVMEDIA_TYPE_VIDEO, FFirstVideoStreamIndex, "video");
    if (index < 0)
        return info;
    AVStream* stream = FFileHandle->streams[index];
    const AVCodecParameters* parameters = stream->codecpar;
    FillCommon(info, stream, CodecName(parameters->codec_id));
    info.Height = parameters->height;
    info.Width = parameters->width;
    info.PixFmt = static_cast<AVPixelFormat>(parameters->format);
    info.SAR = stream->sample_aspect_ratio.num != 0 ? stream->sample_aspect_ratio : parameters->sample_aspect_ratio;
    info.SampleAspectRatio = info.SAR.den != 0 ? static_cast<float>(av_q2d(info.SAR)) : 0.0f;
    if (info.SAR.num != 0 && info.Height > 0) {
        ff().av_reduce(&info.DAR.num, &info.DAR.den, static_cast<int64_t>(info.Width) * info.SAR.num,
                       static_cast<int64_t>(info.Height) * info.SAR.den, 1024 * 1024);
        info.DisplayAspectRatio = static_cast<float>(av_q2d(info.DAR));
    }
    info.FrameRate = GuessFrameRate(stream);
    return info;
}

TAudioStreamInfo TCustomDecoder::GetAudioStreamInfos(int Index)
{
    TAudioStreamInfo info;
    const int index = CheckedStreamIndex(Index, AVMEDIA_TYPE_AUDIO, FFirstAudioStreamIndex, "audio");
    if (index < 0)
        return info;
    AVStream* stream = FFileHandle->streams[index];
    const AVCodecParameters* parameters = stream->codecpar;
    FillCommon(info, stream, CodecName(parameters->codec_id));
    info.Channels = parameters->ch_layout.nb_channels;
    info.SampleRate = parameters->sample_rate;
    info.SampleFormat = static_cast<AVSampleFormat>(parameters->format);
    return info;
}

TSubtitleStreamInfo TCustomDecoder::GetSubtitleStreamInfos(int Index)
{
    TSubtitleStreamInfo info;
    const int index = CheckedStreamIndex(Index, AVMEDIA_TYPE_SUBTITLE, FFirstSubtitleStreamIndex, "subtitle");
    if (index < 0)
        return info;
    const AVStream* stream = FFileHandle->streams[index];
    info.Language = MetadataValue(stream->metadata, "language");
    info.CodecName = CodecName(stream->codecpar->codec_id);
    const AVCodecDescriptor* descriptor = ff().avcodec_descriptor_get(stream->codecpar->codec_id);
    if (descriptor && (descriptor->props & AV_CODEC_PROP_BITMAP_SUB))
        info.SubFormat = 0;
    else if (descriptor && (descriptor->props & AV_CODEC_PROP_TEXT_SUB))
        info.SubFormat = 1;
    return info;
}

std::string TCustomDecoder::FileName()
{
    if (!IsOpen()) {
        ReportError(AV_LOG_WARNING, "file not loaded.");
        return {};
    }
    return FFileHandle->url ? FFileHandle->url : "";
}

std::string TCustomDecoder::FormatName()
{
    if (!IsOpen()) {
        ReportError(AV_LOG_WARNING, "file not loaded.");
        return {};
    }
    return FFileHandle->iformat && FFileHandle->iformat->name ? FFileHandle->iformat->name : "";
}

std::string TCustomDecoder::FormatLongName()
{
    if (!IsOpen()) {
        ReportError(AV_LOG_WARNING, "file not loaded.");
        return {};
    }
    return FFileHandle->iformat && FFileHandle->iformat->long_name ? FFileHandle->iformat->long_name : "";
}

}  // namespace reelsmith
