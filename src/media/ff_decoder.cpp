#include "media/ff_decoder.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "media/engine_log.h"
#include "media/error_text.h"

namespace reelsmith {

namespace {

constexpr const char* kReadonlyHandle = "file cannot be seeked, handle is readonly.";
constexpr AVRational kMicroseconds{1, AV_TIME_BASE};

bool Known(int64_t timestamp) { return timestamp != AV_NOPTS_VALUE; }

}  // namespace

TFFDecoder::TFFDecoder() = default;

TFFDecoder::~TFFDecoder() { CloseFile(); }

void TFFDecoder::FileOpened() { FFormatConv.SetScalerFlags(ScalerFlags()); }

void TFFDecoder::CloseFile()
{
    ResetFrameAccess();
    TCustomDecoder::CloseFile();
}

void TFFDecoder::ResetFrameAccess()
{
    FSeekIndex = -1;
    FDesireVideoIndex = -1;
    FFrameRate = AVRational{0, 0};
    FEOF = FEOFpkt = false;
    ResetFrameInfo();
    FLastPTS = AV_NOPTS_VALUE;
    FreeFilterGraph();
    FVideoCodec.reset();
    FVideoStreamIndex = -1;
}

void TFFDecoder::ResetFrameInfo()
{
    if (Known(FPicture.PTS))
        FLastPTS = FPicture.PTS;
    std::vector<uint8_t> buffer = std::move(FPicture.Buffer);
    FPicture = TFrameInfo{};
    FPicture.Buffer = std::move(buffer);
}

bool TFFDecoder::IsStillPicture() const
{
    if (!FFileHandle || !FFileHandle->iformat || !FFileHandle->iformat->name)
        return false;
    const std::string name = FFileHandle->iformat->name;
    // A single picture comes through the image demuxer or one of the image pipes.
    const std::string pipe = "_pipe";
    return ff().av_strcasecmp(name.c_str(), "image2") == 0 ||
           (name.size() > pipe.size() && name.compare(name.size() - pipe.size(), pipe.size(), pipe) == 0);
}

int64_t TFFDecoder::Position()
{
    if (!IsOpen()) {
        ReportError(AV_LOG_WARNING, "file not loaded.");
        return -1;
    }
    const int64_t position = FFileHandle->pb ? ff().avio_seek(FFileHandle->pb, 0, SEEK_CUR) : -1;
    if (position < 0) {
        ReportError(AV_LOG_ERROR, "cannot get position");
        return -1;
    }
    return position;
}

int TFFDecoder::ChooseVideoStream(int AStreamIndex)
{
    if (!IsOpen()) {
        ReportError(AV_LOG_WARNING, "file not loaded.");
        return -1;
    }
    if (!OwnsHandle()) {
        ReportError(AV_LOG_WARNING, kReadonlyHandle);
        throw std::runtime_error(kReadonlyHandle);
    }
    int stream = AStreamIndex;
    if (stream < 0) {
        stream = FDesireVideoIndex >= 0 ? FDesireVideoIndex : FirstVideoStreamIndex();
        if (stream < 0) {
            ReportError(AV_LOG_ERROR, "no video stream.");
            return -1;
        }
    } else if (stream >= StreamCount()) {
        ReportError(AV_LOG_ERROR, StrFormat("stream index #%d is invalid.", stream));
        return -1;
    } else if (FFileHandle->streams[stream]->codecpar->codec_type != AVMEDIA_TYPE_VIDEO) {
        ReportError(AV_LOG_ERROR, StrFormat("stream #%d is not video stream.", stream));
        return -1;
    }
    if (stream != FDesireVideoIndex) {
        ResetFrameInfo();
        FreeFilterGraph();
        FFrameRate = GuessFrameRate(FFileHandle->streams[stream]);
    }
    FDesireVideoIndex = FSeekIndex = stream;
    return stream;
}

bool TFFDecoder::OpenVideoDecoder(int streamIndex)
{
    if (FVideoCodec && FVideoStreamIndex == streamIndex)
        return true;
    const AVStream* stream = FFileHandle->streams[streamIndex];
    TCodecContextPtr context(ff().avcodec_alloc_context3(nullptr));
    if (!context) {
        ReportError(AV_LOG_ERROR, "failed to alloc avcodec context.");
        return false;
    }
    if (ff().avcodec_parameters_to_context(context.get(), stream->codecpar) < 0) {
        ReportError(AV_LOG_ERROR, "failed to get avcodec context.");
        return false;
    }
    if (context->width <= 0 || context->height <= 0) {
        ReportError(AV_LOG_ERROR, "frame size of codec is invalid.");
        return false;
    }
    FVideoCodec.reset();
    FVideoStreamIndex = -1;
    context->thread_count = 1;
    context->pkt_timebase = stream->time_base;
    const AVCodec* codec = ff().avcodec_find_decoder(context->codec_id);
    if (!codec) {
        ReportError(AV_LOG_ERROR, StrFormat("Unsupported codec (id=%d) for input file stream #%d",
                                            static_cast<int>(context->codec_id), streamIndex));
        return false;
    }
    if (ff().avcodec_open2(context.get(), codec, nullptr) < 0) {
        ReportError(AV_LOG_ERROR, StrFormat("Error while opening codec for input file stream #%d", streamIndex));
        return false;
    }
    if (!FDecodedFrame)
        FDecodedFrame.reset(ff().av_frame_alloc());
    if (!FPacket)
        FPacket.reset(ff().av_packet_alloc());
    if (!FDecodedFrame || !FPacket) {
        ReportError(AV_LOG_ERROR, "failed to alloc avcodec context.");
        return false;
    }
    FVideoCodec = std::move(context);
    FVideoStreamIndex = streamIndex;
    return true;
}

bool TFFDecoder::Decode(int AStreamIndex)
{
    const int stream = ChooseVideoStream(AStreamIndex);
    if (stream < 0)
        return false;
    if (FPicture.Ready && IsStillPicture())
        return true;
    if (FEOF) {
        ReportError(AV_LOG_INFO, "TFFDecoder.Decode() for video: stream eof reached.");
        return false;
    }
    if (!OpenVideoDecoder(stream))
        return false;

    for (;;) {
        if (Ffilter_graph) {
            const int filtered = ff().av_buffersink_get_frame_flags(Fbuffersink_ctx, FFilteredFrame.get(), 0);
            if (filtered >= 0) {
                RecordFrame(FFilteredFrame.get(), Fbuffersink_ctx->inputs[0]->time_base);
                return true;
            }
            if (filtered != AVERROR(EAGAIN)) {
                FEOF = true;
                ReportError(AV_LOG_INFO, "TFFDecoder.Decode() for video: stream eof reached.");
                return false;
            }
        }
        const int received = ff().avcodec_receive_frame(FVideoCodec.get(), FDecodedFrame.get());
        if (received == 0) {
            AVFrame* frame = FDecodedFrame.get();
            frame->pts = frame->best_effort_timestamp;  // what the filter chain sees
            LogDecodedFrame(frame);
            const int fed = FilterFrame();
            if (fed > 0)
                continue;
            if (fed == 0) {  // no chain, or a chain that could not be built: the frame as decoded
                RecordFrame(frame, FFileHandle->streams[stream]->time_base);
                return true;
            }
            ff().av_frame_unref(frame);
            continue;
        }
        // Once the input is exhausted every delayed frame has been taken out: the end,
        // after the filter chain has given up what it still holds.
        if (FEOFpkt) {
            if (Ffilter_graph && !FFilterFlushed) {
                FFilterFlushed = true;
                ff().av_buffersrc_add_frame_flags(Fbuffersrc_ctx, nullptr, 0);
                continue;
            }
            FEOF = true;
            ReportError(AV_LOG_INFO, "TFFDecoder.Decode() for video: stream eof reached.");
            return false;
        }
        MarkRead();
        const int read = ff().av_read_frame(FFileHandle.get(), FPacket.get());
        if (read == AVERROR(EAGAIN)) {
            ReportError(AV_LOG_INFO, "TFFDecoder.Decode(): no data, please try again.");
            return false;
        }
        if (read < 0) {
            // End of input or unreadable rest: drain what the decoder still holds.
            FEOFpkt = true;
            ff().avcodec_send_packet(FVideoCodec.get(), nullptr);
            continue;
        }
        if (FPacket->stream_index == stream)
            ff().avcodec_send_packet(FVideoCodec.get(), FPacket.get());  // a bad packet is only skipped
        ff().av_packet_unref(FPacket.get());
    }
}

void TFFDecoder::LogDecodedFrame(const AVFrame* frame) const
{
    EngineLog(TLogLevel::llDebug,
              StrFormat("pkt.st_idx=%d, dts=%lld, pts=%lld, flags=%d, pict_type=%d(%c)", FDesireVideoIndex,
                        static_cast<long long>(frame->pkt_dts), static_cast<long long>(frame->pts), frame->flags,
                        static_cast<int>(frame->pict_type), ff().av_get_picture_type_char(frame->pict_type)));
}

int TFFDecoder::FilterFrame()
{
    if (Fvfilters.empty())
        return 0;
    AVFrame* frame = FDecodedFrame.get();
    if (!Ffilter_graph || Fvfilters != Flast_vfilters) {
        if (!ConfigureFilterGraph(frame)) {
            Fvfilters.clear();  // the chain is given up; frames go on unfiltered
            return 0;
        }
    }
    if (ff().av_buffersrc_add_frame_flags(Fbuffersrc_ctx, frame, 0) < 0) {
        ReportError(AV_LOG_ERROR, "Error while feeding the filtergraph");
        return -1;
    }
    return 1;
}

void TFFDecoder::FreeFilterGraph()
{
    Ffilter_graph.reset();
    Fbuffersrc_ctx = Fbuffersink_ctx = nullptr;
    Flast_vfilters.clear();
    FFilterFlushed = false;
}

bool TFFDecoder::ConfigureFilterGraph(const AVFrame* frame)
{
    FreeFilterGraph();
    const AVStream* stream = FFileHandle->streams[FDesireVideoIndex];
    const AVRational timeBase = stream->time_base;
    AVRational aspect = frame->sample_aspect_ratio;
    if (aspect.num == 0 || aspect.den == 0)
        aspect = AVRational{0, 1};
    std::string args = StrFormat("video_size=%dx%d:pix_fmt=%d:time_base=%d/%d:pixel_aspect=%d/%d", frame->width,
                                 frame->height, frame->format, timeBase.num, timeBase.den, aspect.num, aspect.den);
    if (FFrameRate.num != 0 && FFrameRate.den != 0)
        args += StrFormat(":frame_rate=%d/%d", FFrameRate.num, FFrameRate.den);

    TFilterGraphPtr graph(ff().avfilter_graph_alloc());
    if (!graph) {
        ReportError(AV_LOG_ERROR, "Error while configuring the filtergraph: " + ErrorText(AVERROR(ENOMEM)));
        return false;
    }
    AVFilterContext* source = nullptr;
    if (ff().avfilter_graph_create_filter(&source, ff().avfilter_get_by_name("buffer"), "in", args.c_str(), nullptr,
                                          graph.get()) < 0) {
        ReportError(AV_LOG_ERROR, "Cannot create buffer source");
        return false;
    }
    AVFilterContext* sink = nullptr;
    if (ff().avfilter_graph_create_filter(&sink, ff().avfilter_get_by_name("buffersink"), "out", nullptr, nullptr,
                                          graph.get()) < 0) {
        ReportError(AV_LOG_ERROR, "Cannot create buffer sink");
        return false;
    }
    // The frames leave the chain in the decoder's own format, so the rest of the frame
    // access sees no difference.
    const int formats[] = {frame->format};
    if (ff().av_opt_set_bin(sink, "pix_fmts", reinterpret_cast<const uint8_t*>(formats), sizeof formats,
                            AV_OPT_SEARCH_CHILDREN) < 0) {
        ReportError(AV_LOG_ERROR, "Cannot set output pixel format");
        return false;
    }
    TFilterInOutPtr outputs(ff().avfilter_inout_alloc());
    TFilterInOutPtr inputs(ff().avfilter_inout_alloc());
    int result = AVERROR(ENOMEM);
    if (outputs && inputs) {
        outputs->name = ff().av_strdup("in");
        outputs->filter_ctx = source;
        inputs->name = ff().av_strdup("out");
        inputs->filter_ctx = sink;
        AVFilterInOut* in = inputs.release();
        AVFilterInOut* out = outputs.release();
        result = ff().avfilter_graph_parse_ptr(graph.get(), Fvfilters.c_str(), &in, &out, nullptr);
        inputs.reset(in);
        outputs.reset(out);
        if (result >= 0)
            result = ff().avfilter_graph_config(graph.get(), nullptr);
    }
    if (result < 0) {
        ReportError(AV_LOG_ERROR, "Error while configuring the filtergraph: " + ErrorText(result));
        return false;
    }
    Ffilter_graph = std::move(graph);
    Fbuffersrc_ctx = source;
    Fbuffersink_ctx = sink;
    Flast_vfilters = Fvfilters;
    if (!FFilteredFrame)
        FFilteredFrame.reset(ff().av_frame_alloc());
    if (!FFilteredFrame) {
        FreeFilterGraph();
        ReportError(AV_LOG_ERROR, "Error while configuring the filtergraph: " + ErrorText(AVERROR(ENOMEM)));
        return false;
    }
    return true;
}

void TFFDecoder::RecordFrame(AVFrame* frame, AVRational timeBase)
{
    const AVStream* stream = FFileHandle->streams[FDesireVideoIndex];
    const int64_t previous = FPicture.PTS;
    FPicture.PixFmt = static_cast<AVPixelFormat>(frame->format);
    FPicture.Width = frame->width;
    FPicture.Height = frame->height;
    FPicture.IsKeyFrame = frame->key_frame != 0;
    FPicture.IsInterlaced = frame->interlaced_frame != 0;
    FPicture.IsTopFieldFirst = frame->top_field_first != 0;
    FPicture.PictureType = frame->pict_type;

    // The frame's own (best-effort) timestamp, so the shown time and a seek to it agree
    // even when the codec reorders frames; a filtered frame carries the chain's time.
    const int64_t t = frame->pts;
    const int64_t beforePrevious = FLastPTS;
    if (Known(previous))
        FLastPTS = previous;
    if (!Known(t)) {
        // While draining, one step past the last two known stamps.
        const bool extrapolate = FEOFpkt && Known(previous) && Known(beforePrevious);
        FPicture.PTS = extrapolate ? 2 * previous - beforePrevious : AV_NOPTS_VALUE;
    } else {
        const bool streamTime = av_cmp_q(timeBase, stream->time_base) == 0;
        const int64_t start = Known(stream->start_time) ? stream->start_time : 0;
        // Subtracted before rescaling where possible, so whole frame steps stay whole.
        FPicture.PTS = streamTime ? ff().av_rescale_q(t - start, timeBase, kMicroseconds)
                                  : ff().av_rescale_q(t, timeBase, kMicroseconds) -
                                        ff().av_rescale_q(start, stream->time_base, kMicroseconds);
        EngineLog(TLogLevel::llDebug, StrFormat("decode PTS: %0.3f", FPicture.PTS / 1000000.0));
    }
    FPicture.OriginalDTS = frame->pkt_dts;
    FPicture.OriginalPTS = frame->pts;
    FPicture.StreamIndex = FDesireVideoIndex;
    FPicture.Position = frame->pkt_pos;

    const int size = ff().av_image_get_buffer_size(FPicture.PixFmt, frame->width, frame->height, 1);
    if (size > 0 && FPicture.Buffer.size() < static_cast<size_t>(size))
        FPicture.Buffer.resize(static_cast<size_t>(size));
    if (size > 0) {
        ff().av_image_fill_arrays(FPicture.Picture, FPicture.LineSizes, FPicture.Buffer.data(), FPicture.PixFmt,
                                  frame->width, frame->height, 1);
        ff().av_image_copy(FPicture.Picture, FPicture.LineSizes, const_cast<const uint8_t**>(frame->data),
                           frame->linesize, FPicture.PixFmt, frame->width, frame->height);
    }
    FPicture.Ready = size > 0;
    ff().av_frame_unref(frame);
}

bool TFFDecoder::Seek(int64_t APTS, int ASeekFlags)
{
    if (!IsOpen()) {
        ReportError(AV_LOG_WARNING, "file not loaded.");
        return false;
    }
    if (!OwnsHandle()) {
        ReportError(AV_LOG_WARNING, kReadonlyHandle);
        throw std::runtime_error(kReadonlyHandle);
    }
    if (IsStillPicture()) {
        ReportError(AV_LOG_INFO, "\"image2\" format cannot to be seeked.");
        return false;
    }
    AVFormatContext* context = FFileHandle.get();
    const int flags = ASeekFlags & 0xF;
    const bool byteSeek = (flags & AVSEEK_FLAG_BYTE) != 0;
    const bool videoSeek = FSeekIndex >= 0 && FSeekIndex < StreamCount() &&
                           context->streams[FSeekIndex]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO;
    int64_t target = APTS;
    // Half a frame early, so that the frame stamped 0 is not passed over.
    if (APTS == 0 && FFrameRate.num != 0 && FFrameRate.den != 0 && videoSeek)
        target = -(CurrentStep() / 2);
    if (!byteSeek) {
        if (FSeekIndex >= 0) {
            const AVStream* stream = context->streams[FSeekIndex];
            target = ff().av_rescale_q(target, kMicroseconds, stream->time_base);
            if (Known(stream->start_time))
                target += stream->start_time;
        } else if (Known(context->start_time)) {
            target += context->start_time;
        }
    }
    EngineLog(TLogLevel::llDebug,
              StrFormat("TFFDecoder.Seek(): current position %lld bytes",
                        static_cast<long long>(context->pb ? ff().avio_seek(context->pb, 0, SEEK_CUR) : -1)));

    if (FVideoCodec)
        ff().avcodec_flush_buffers(FVideoCodec.get());
    FEOF = FEOFpkt = false;
    ResetFrameInfo();
    FreeFilterGraph();  // a chain may hold frames from before the seek

    // Backward: the key frame at or before the target; otherwise the one at or after it.
    auto seekOnce = [&](int seekFlags) {
        MarkRead();
        if (seekFlags & AVSEEK_FLAG_BACKWARD)
            return ff().avformat_seek_file(context, FSeekIndex, INT64_MIN, target, target, seekFlags);
        return ff().avformat_seek_file(context, FSeekIndex, target, target, INT64_MAX, seekFlags);
    };
    if (seekOnce(flags) < 0 && seekOnce(flags ^ AVSEEK_FLAG_BACKWARD) < 0) {
        if (byteSeek)
            ReportError(AV_LOG_ERROR, StrFormat("TFFDecoder.Seek(): could not seek to position %lld bytes",
                                                static_cast<long long>(APTS)));
        else
            ReportError(AV_LOG_ERROR,
                        StrFormat("TFFDecoder.Seek(): could not seek to position %0.3f seconds", APTS / 1000000.0));
        return false;
    }
    EngineLog(TLogLevel::llDebug,
              StrFormat("TFFDecoder.Seek(): seek to position %lld bytes",
                        static_cast<long long>(context->pb ? ff().avio_seek(context->pb, 0, SEEK_CUR) : -1)));
    return true;
}

bool TFFDecoder::DecodeNextKeyFrame(int AStreamIndex)
{
    const int stream = ChooseVideoStream(AStreamIndex);
    if (stream < 0)
        return false;
    const int64_t step = CurrentStep();
    const int64_t current = FPicture.PTS;
    const int64_t target = !Known(current) || current <= 0 ? step : current + step;
    const bool decoded = Seek(target, 0) && Decode(stream);
    if (decoded && (!Known(current) || !Known(FPicture.PTS) || FPicture.PTS > current))
        return true;
    // In the last group of pictures the seek falls back to the key frame before, or finds
    // nothing to decode: there is no next one, so the current frame is taken up again
    // instead of jumping backwards or losing it.
    const std::string reason =
        decoded ? "TFFDecoder.DecodeNextKeyFrame(): no key frame after the current frame." : LastErrMsg();
    if (Known(current))
        DecodeFrameAt(current, stream);
    ReportError(AV_LOG_INFO, reason);
    return false;
}

bool TFFDecoder::DecodeFrameAt(int64_t APTS, int AStreamIndex)
{
    const int stream = ChooseVideoStream(AStreamIndex);
    if (stream < 0)
        return false;
    if (!SeekToFrameBefore(APTS))
        return false;
    while (FPicture.PTS < APTS) {
        if (!Decode(stream))
            return FPicture.Ready;  // the time lies past the last frame: that frame is the one
    }
    return true;
}

bool TFFDecoder::SeekToFrameBefore(int64_t APTS)
{
    const int64_t step = CurrentStep();
    // Some demuxers (program streams) land on any packet at or before the time, and the
    // decoder then starts at the next key frame, after the time or never: go back further.
    // A first frame without a time (the last frames of such streams) cannot be placed either.
    for (int64_t distance = 0;; distance = distance == 0 ? step : distance * 2) {
        const int64_t from = std::max<int64_t>(APTS - distance, 0);
        if (!Seek(from, sfBackward) && !Seek(from, sfAny))
            return false;
        if (Decode(FDesireVideoIndex) && ((Known(FPicture.PTS) && FPicture.PTS <= APTS) || from == 0))
            return true;
        if (from == 0)
            return false;
    }
}

bool TFFDecoder::SeekToPreviousKeyFrame(int64_t ref)
{
    const int64_t step = CurrentStep();
    // The distance back grows geometrically, so a poor index costs few seeks.
    for (int64_t distance = step;; distance *= 2) {
        const bool under = ref < distance;
        if (Seek(under ? 0 : ref - distance, AVSEEK_FLAG_BACKWARD) && Decode(FDesireVideoIndex)) {
            const int64_t t = FPicture.PTS;
            if (t < ref || t <= 0)
                return true;
        }
        if (under)
            break;
    }
    SetLastErrMsg("Could not seek to the previous key-frame. " + LastErrMsg());
    return false;
}

bool TFFDecoder::DecodePreviousKeyFrame(int AStreamIndex)
{
    const int stream = ChooseVideoStream(AStreamIndex);
    if (stream < 0)
        return false;
    if (IsStillPicture())
        return Decode(stream);  // the one picture is its own previous frame
    int64_t ref = FPicture.PTS;
    if (!Known(ref))
        ref = FLastPTS;
    if (!Known(ref))
        ref = FFileHandle->duration != AV_NOPTS_VALUE ? FFileHandle->duration : 0;
    return SeekToPreviousKeyFrame(ref);
}

bool TFFDecoder::DecodePreviousFrame(int AStreamIndex)
{
    const int stream = ChooseVideoStream(AStreamIndex);
    if (stream < 0)
        return false;
    if (IsStillPicture())
        return Decode(stream);
    const int64_t step = CurrentStep();
    int64_t ref = Known(FPicture.PTS) ? FPicture.PTS : FLastPTS;
    if (!Known(ref))
        ref = 0;
    const int64_t limit = ref - 2 * step;
    if (!SeekToPreviousKeyFrame(ref))
        return false;

    int64_t best = AV_NOPTS_VALUE;
    for (;;) {
        const int64_t t = FPicture.PTS;
        if (t >= ref)
            break;  // nothing earlier (first frame), or the frames are not evenly spaced
        if (t > limit)
            return true;
        if (Known(t))
            best = t;
        if (!Decode(FDesireVideoIndex))
            break;
    }
    if (!Known(best))
        return FPicture.Ready;
    // Went past ref: replay from the key frame up to the last frame before it.
    if (!SeekToPreviousKeyFrame(ref))
        return false;
    while (FPicture.PTS < best && Decode(FDesireVideoIndex)) {
    }
    return FPicture.Ready;
}

bool TFFDecoder::CopyToBitmap(TRGBPicture& ABitmap)
{
    if (!FPicture.Ready) {
        ReportError(AV_LOG_ERROR, "picture not ready, please decode first");
        return false;
    }
    if (!FFormatConv.PictureToRGB(FPicture.Picture, FPicture.LineSizes, FPicture.PixFmt, FPicture.Width,
                                  FPicture.Height, true)) {
        ABitmap.Width = FPicture.Width;
        ABitmap.Height = FPicture.Height;
        ABitmap.PixFmt = AV_PIX_FMT_BGRA;
        ABitmap.Stride = FPicture.Width * 4;
        ABitmap.Bytes.assign(static_cast<size_t>(ABitmap.Stride) * FPicture.Height, 0);
        for (size_t i = 3; i < ABitmap.Bytes.size(); i += 4)
            ABitmap.Bytes[i] = 0xFF;
        ReportError(AV_LOG_ERROR, FFormatConv.LastErrMsg());
        return false;
    }
    ABitmap = FFormatConv.Bitmap();
    return true;
}

}  // namespace reelsmith
