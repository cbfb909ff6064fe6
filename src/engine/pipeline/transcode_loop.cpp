// The transcode loop: initialisation, reading, decoding, filtering, frame-rate
// conversion, encoding, flushing, trailers and cleanup.

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>
#include <thread>

#include <unistd.h>

#include "engine/custom_ffmpeg.h"
#include "engine/engine_error.h"
#include "media/engine_log.h"

namespace reelsmith {

namespace {

int64_t Now() { return ff().av_gettime_relative(); }

int Log2(unsigned v) { return v ? std::bit_width(v) - 1 : 0; }

int64_t MidPred(int64_t a, int64_t b, int64_t c)
{
    return std::max(std::min(a, b), std::min(std::max(a, b), c));
}

int QualityOf(const AVPacket* pkt)
{
    const uint8_t* sd = ff().av_packet_get_side_data(pkt, AV_PKT_DATA_QUALITY_STATS, nullptr);
    return sd ? int(sd[0] | sd[1] << 8 | sd[2] << 16 | uint32_t(sd[3]) << 24) : -1;
}

}  // namespace

int TCustomFFmpeg::TranscodeInit()
{
    if (FOutputDuration < 0)
        FOutputDuration = FInputDuration;
    FLastErrMsg.clear();
    int ret = 0;
    try {
        for (auto& fg : FGraph.Ffiltergraphs)
            for (auto& out : fg->outputs)
                if (!out->ost)
                    Fatal(StrFormat("Filter %s has an unconnected output",
                                    out->name.empty() ? fg->graph_desc.c_str() : out->name.c_str()));
        for (auto& ist : FGraph.Finput_streams) {
            if (!ist->decoding_needed)
                continue;
            AVCodecContext* dec = ist->dec_ctx.get();
            dec->pkt_timebase = ist->st->time_base;
            if (!ist->decoder_opts.Get("threads"))
                ist->decoder_opts.Set("threads", "auto");
            ret = ff().avcodec_open2(dec, ist->avdec, ist->decoder_opts.address());
            if (ret < 0) {
                FLastErrMsg = StrFormat("Error while opening decoder for input stream #%d:%d : %s", ist->file_index,
                                        ist->st->index, EngineErrorText(ret).c_str());
                break;
            }
        }
        for (auto& fg : FGraph.Ffiltergraphs) {
            if (ret < 0)
                break;
            ret = ConfigureFilterGraph(*fg);
        }
        for (auto& ost : FGraph.Foutput_streams) {
            if (ret < 0)
                break;
            ret = ost->stream_copy ? InitOutputStreamCopy(*ost) : InitOutputStreamEncode(*ost);
        }
        for (auto& of : FGraph.Foutput_files) {
            if (ret < 0)
                break;
            ret = WriteHeaderIfReady(*of);
        }
    } catch (const TEngineError& e) {
        FLastErrMsg = e.what();
        TranscodeCleanup();
        return -1;
    }
    if (ret < 0) {
        if (FLastErrMsg.empty())
            FLastErrMsg = "transcode_init() error: " + EngineErrorText(ret) + ". " +
                          "Please check error log message(reported by FFLogger) to find out more detail information.";
        TranscodeCleanup();
        return ret;
    }
    EngineLog(TLogLevel::llInfo, "Stream mapping:");
    for (auto& ost : FGraph.Foutput_streams) {
        const TInputStream* ist = SourceOf(*ost);
        std::string line;
        if (!ist) {
            line = StrFormat("  filter graph %d -> Stream #%d:%d (%s)", ost->filter ? ost->filter->graph->index : -1,
                             ost->file_index, ost->index, ost->enc ? ost->enc->name : "?");
            EngineLog(TLogLevel::llInfo, line);
            continue;
        }
        line = StrFormat("  Stream #%d:%d -> #%d:%d", ist->file_index, ist->st->index, ost->file_index, ost->index);
        if (ost->stream_copy)
            line += " (copy)";
        else
            line += StrFormat(" (%s (%s) -> %s (%s))", ff().avcodec_get_name(ist->st->codecpar->codec_id),
                              ist->avdec ? ist->avdec->name : "?", ff().avcodec_get_name(ost->enc->id), ost->enc->name);
        EngineLog(TLogLevel::llInfo, line);
    }
    FTranscodeInitialized = true;
    return 0;
}

bool TCustomFFmpeg::CheckRecordingTime(TOutputStream& ost)
{
    TOutputFile& of = *FGraph.Foutput_files[ost.file_index];
    if (of.recording_time != INT64_MAX &&
        ff().av_compare_ts(ost.sync_opts - ost.first_pts, ost.enc_ctx->time_base, of.recording_time,
                           AV_TIME_BASE_Q) >= 0) {
        CloseOutputStream(ost);
        return false;
    }
    return true;
}

void TCustomFFmpeg::EncodeFrame(TOutputFile& of, TOutputStream& ost, AVFrame* frame)
{
    AVCodecContext* enc = ost.enc_ctx.get();
    if (frame) {
        ost.frames_encoded++;
        if (enc->codec_type == AVMEDIA_TYPE_AUDIO)
            ost.samples_encoded += frame->nb_samples;
    }
    int ret = ff().avcodec_send_frame(enc, frame);
    if (ret < 0 && !(ret == AVERROR_EOF && !frame))
        Fatal(StrFormat("%s encoding failed", enc->codec_type == AVMEDIA_TYPE_VIDEO ? "Video" : "Audio"));
    AVPacket* pkt = ost.pkt.get();
    for (;;) {
        ret = ff().avcodec_receive_packet(enc, pkt);
        if (ret == AVERROR(EAGAIN))
            return;
        if (ost.logfile && enc->stats_out)
            std::fputs(enc->stats_out, ost.logfile.get());
        if (ret == AVERROR_EOF) {
            OutputPacket(of, pkt, ost, true);
            return;
        }
        if (ret < 0)
            Fatal(StrFormat("%s encoding failed", enc->codec_type == AVMEDIA_TYPE_VIDEO ? "Video" : "Audio"));
        if (enc->codec_type == AVMEDIA_TYPE_VIDEO) {
            const int q = QualityOf(pkt);
            if (q >= 0)
                ost.quality = q;
        }
        ost.packets_encoded++;
        ff().av_packet_rescale_ts(pkt, enc->time_base, ost.mux_timebase);
        OutputPacket(of, pkt, ost, false);
    }
}

void TCustomFFmpeg::DoAudioOut(TOutputFile& of, TOutputStream& ost, AVFrame* frame)
{
    if (!CheckRecordingTime(ost))
        return;
    if (frame->pts == kNoPtsValue || FGlobal.Faudio_sync_method < 0)
        frame->pts = ost.sync_opts;
    ost.sync_opts = frame->pts + frame->nb_samples;
    OutputHooks(ost, frame);
    EncodeFrame(of, ost, frame);
}

// Whether the stream's pictures pass through filters the user gave (-vf, -filter_script, -filter_complex).
bool TCustomFFmpeg::UserFiltered(const TOutputStream& ost) const
{
    if (!ost.filters.empty() || !ost.filters_script.empty())
        return true;
    for (const auto& fg : FGraph.Ffiltergraphs)
        if (!fg->graph_desc.empty())
            return true;
    return false;
}

void TCustomFFmpeg::DoVideoOut(TOutputFile& of, TOutputStream& ost, AVFrame* nextPicture)
{
    AVCodecContext* enc = ost.enc_ctx.get();
    TInputStream* ist = SourceOf(ost);
    const AVFilterLink* link = ost.filter->filter->inputs[0];
    double syncIpts = 0, duration = 0, delta0 = 0, delta = 0;
    int64_t nbFrames = 1, nb0Frames = 0;
    if (nextPicture) {
        // The frame's position in the encoder's time base, with extra precision.
        AVRational tb = enc->time_base;
        const int extraBits = std::clamp(29 - Log2(unsigned(tb.den)), 0, 16);
        tb.den <<= extraBits;
        const int64_t start = of.start_time == kNoPtsValue ? 0 : of.start_time;
        double floatPts = double(ff().av_rescale_q(nextPicture->pts, link->time_base, tb) -
                                 ff().av_rescale_q(start, AV_TIME_BASE_Q, tb));
        floatPts /= double(1 << extraBits);
        floatPts += (floatPts > 0 ? 1 : floatPts < 0 ? -1 : 0) * 1.0 / (1 << 17);
        nextPicture->pts = ff().av_rescale_q(nextPicture->pts, link->time_base, enc->time_base) -
                           ff().av_rescale_q(start, AV_TIME_BASE_Q, enc->time_base);
        syncIpts = floatPts;
        // A picture lasts one output frame, or one frame of the graph's rate when that is shorter;
        // unfiltered pictures last as long as their packets said (a long first picture of a
        // variable-rate clip is repeated up front, not after it).
        duration = std::min(1.0, 1.0 / (av_q2d(ost.frame_rate) * av_q2d(enc->time_base)));
        if (link->frame_rate.num > 0 && link->frame_rate.den > 0)
            duration = std::min(duration, 1.0 / (av_q2d(link->frame_rate) * av_q2d(enc->time_base)));
        if (ist && nextPicture->pkt_duration > 0 && !UserFiltered(ost)) {
            const double d = std::lrint(double(nextPicture->pkt_duration) * av_q2d(ist->st->time_base) /
                                        av_q2d(enc->time_base));
            if (d > 0)
                duration = d;
        }
        delta0 = syncIpts - double(ost.sync_opts);
        delta = delta0 + duration;
        if (delta0 < 0 && delta > 0 && ost.vsync_method != VSYNC_PASSTHROUGH && ost.vsync_method != VSYNC_DROP) {
            if (delta0 < -0.6)
                EngineLog(TLogLevel::llVerbose, StrFormat("Past duration %f too large", -delta0));
            syncIpts = double(ost.sync_opts);
            duration += delta0;
            delta0 = 0;
        }
        switch (ost.vsync_method) {
        case VSYNC_VSCFR:
            if (ost.frame_number == 0 && delta0 >= 0.5) {
                delta = duration;
                delta0 = 0;
                ost.sync_opts = std::llrint(syncIpts);
            }
            [[fallthrough]];
        case VSYNC_CFR:
            if (FGlobal.Fframe_drop_threshold && delta < FGlobal.Fframe_drop_threshold && ost.frame_number)
                nbFrames = 0;
            else if (delta < -1.1)
                nbFrames = 0;
            else if (delta > 1.1) {
                nbFrames = std::llrint(delta);
                if (delta0 > 1.1)
                    nb0Frames = std::llrint(delta0 - 0.6);
            }
            break;
        case VSYNC_VFR:
            if (delta <= -0.6)
                nbFrames = 0;
            else if (delta > 0.6)
                ost.sync_opts = std::llrint(syncIpts);
            break;
        default:
            ost.sync_opts = std::llrint(syncIpts);
            break;
        }
    } else {
        nb0Frames = nbFrames = MidPred(ost.last_nb0_frames[0], ost.last_nb0_frames[1], ost.last_nb0_frames[2]);
    }
    nbFrames = std::min(nbFrames, ost.max_frames - ost.frame_number);
    nb0Frames = std::min(nb0Frames, nbFrames);
    ost.last_nb0_frames[2] = ost.last_nb0_frames[1];
    ost.last_nb0_frames[1] = ost.last_nb0_frames[0];
    ost.last_nb0_frames[0] = nb0Frames;
    if (nb0Frames == 0 && ost.last_dropped) {
        Fnb_frames_drop++;
        EngineLog(TLogLevel::llVerbose, StrFormat("*** dropping frame %lld from stream %d at ts %lld",
                                                  (long long)ost.frame_number, ost.st->index,
                                                  (long long)ost.last_frame->pts));
    }
    if (nbFrames > (nb0Frames && ost.last_dropped) + (nbFrames > nb0Frames)) {
        if (nbFrames > FGlobal.Fdts_error_threshold * 30) {
            EngineLog(TLogLevel::llError, StrFormat("%lld frame duplication too large, skipping", (long long)(nbFrames - 1)));
            Fnb_frames_drop++;
            return;
        }
        Fnb_frames_dup += nbFrames - (nb0Frames && ost.last_dropped) - (nbFrames > nb0Frames);
        EngineLog(TLogLevel::llVerbose, StrFormat("*** %lld dup!", (long long)(nbFrames - 1)));
        if (Fnb_frames_dup > FDupWarning) {
            EngineLog(TLogLevel::llWarning, StrFormat("More than %d frames duplicated", FDupWarning));
            FDupWarning *= 10;
        }
    }
    ost.last_dropped = nbFrames == nb0Frames && nextPicture;
    for (int64_t i = 0; i < nbFrames; ++i) {
        AVFrame* in = (i < nb0Frames && ost.last_frame->buf[0]) ? ost.last_frame.get() : nextPicture;
        if (!in)
            return;
        in->pts = ost.sync_opts;
        if (!CheckRecordingTime(ost))
            return;
        in->quality = enc->global_quality;
        in->pict_type = AV_PICTURE_TYPE_NONE;
        if (ost.frame_number == 0)
            in->pict_type = AV_PICTURE_TYPE_I;
        OutputHooks(ost, in);
        EncodeFrame(of, ost, in);
        ost.sync_opts++;
        ost.frame_number++;
    }
    ff().av_frame_unref(ost.last_frame.get());
    if (nextPicture)
        ff().av_frame_move_ref(ost.last_frame.get(), nextPicture);
}

int TCustomFFmpeg::ReapFilters(bool flush)
{
    for (auto& ostPtr : FGraph.Foutput_streams) {
        TOutputStream& ost = *ostPtr;
        if (!ost.filter || !ost.filter->filter || !ost.initialized)
            continue;
        TOutputFile& of = *FGraph.Foutput_files[ost.file_index];
        AVFrame* frame = ost.filtered_frame.get();
        for (;;) {
            int ret = ff().av_buffersink_get_frame_flags(ost.filter->filter, frame, AV_BUFFERSINK_FLAG_NO_REQUEST);
            if (ret < 0) {
                if (ret == AVERROR_EOF && flush && ost.enc_ctx->codec_type == AVMEDIA_TYPE_VIDEO &&
                    !(ost.finished & 1))
                    DoVideoOut(of, ost, nullptr);
                break;
            }
            if (ost.finished) {
                ff().av_frame_unref(frame);
                continue;
            }
            if (ost.enc_ctx->codec_type == AVMEDIA_TYPE_VIDEO) {
                DoVideoOut(of, ost, frame);
            } else {
                const AVFilterLink* link = ost.filter->filter->inputs[0];
                if (frame->pts != kNoPtsValue) {
                    const int64_t start = of.start_time == kNoPtsValue ? 0 : of.start_time;
                    frame->pts = ff().av_rescale_q(frame->pts, link->time_base, ost.enc_ctx->time_base) -
                                 ff().av_rescale_q(start, AV_TIME_BASE_Q, ost.enc_ctx->time_base);
                }
                DoAudioOut(of, ost, frame);
            }
            ff().av_frame_unref(frame);
        }
    }
    return 0;
}

namespace {

// Sends one decoded frame to every filter graph input fed by ist.
void SendToFilters(TCustomFFmpeg& task, TInputStream& ist, AVFrame* frame)
{
    // An aspect ratio given by the container wins over the coded one (anamorphic files that say so
    // only in the container), so scaling keeps the picture's shape.
    if (ist.st->codecpar->codec_type == AVMEDIA_TYPE_VIDEO && ist.st->sample_aspect_ratio.num)
        frame->sample_aspect_ratio = ist.st->sample_aspect_ratio;
    for (TInputFilter* ifilter : ist.filters) {
        if (!ifilter->filter)
            continue;
        const bool changed = ifilter->format != frame->format ||
                             (ifilter->type_ == AVMEDIA_TYPE_VIDEO &&
                              (ifilter->width != frame->width || ifilter->height != frame->height)) ||
                             (ifilter->type_ == AVMEDIA_TYPE_AUDIO && ifilter->sample_rate != frame->sample_rate);
        if (changed) {
            // The stream's parameters changed: rebuild the graph for the new input.
            task.ReapFilters(false);
            ifilter->format = frame->format;
            ifilter->width = frame->width;
            ifilter->height = frame->height;
            ifilter->sample_rate = frame->sample_rate;
            if (frame->ch_layout.nb_channels)
                ff().av_channel_layout_copy(ifilter->ch_layout.get(), &frame->ch_layout);
            ifilter->sample_aspect_ratio = frame->sample_aspect_ratio;
            if (task.ConfigureFilterGraph(*ifilter->graph) < 0)
                task.Fatal("Error reinitializing filters!");
            for (auto& ofilter : ifilter->graph->outputs) {
                const TOutputStream* ost = ofilter->ost;
                if (ost && ost->is_avcodec_opened && ost->enc_ctx->codec_type == AVMEDIA_TYPE_AUDIO &&
                    !(ost->enc->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE))
                    ff().av_buffersink_set_frame_size(ofilter->filter, ost->enc_ctx->frame_size);
            }
        }
        const int ret = ff().av_buffersrc_add_frame_flags(ifilter->filter, frame, AV_BUFFERSRC_FLAG_KEEP_REF | AV_BUFFERSRC_FLAG_PUSH);
        if (ret < 0 && ret != AVERROR_EOF)
            task.Fatal(StrFormat("Error while processing the decoded data for stream #%d:%d", ist.file_index,
                                 ist.st->index));
    }
}

// How far a video packet moves the stream's clock (AV_TIME_BASE units): its own duration,
// else one frame at the decoder's or the stream's base rate.
int64_t VideoPacketDuration(const TInputStream& ist, const AVPacket* pkt)
{
    if (pkt->duration > 0)
        return ff().av_rescale_q(pkt->duration, ist.st->time_base, AV_TIME_BASE_Q);
    AVRational rate = ist.dec_ctx->framerate;
    if (rate.num <= 0 || rate.den <= 0)
        rate = ist.st->r_frame_rate;
    if (rate.num <= 0 || rate.den <= 0)
        return 0;
    return ff().av_rescale_q(1, av_inv_q(rate), AV_TIME_BASE_Q);
}

// One frame's duration in the stream's time base: its own, else one frame at the base rate.
int64_t FrameStep(const TInputStream& ist, const AVFrame* frame)
{
    if (frame->pkt_duration > 0)
        return frame->pkt_duration;
    AVRational rate = ist.dec_ctx->framerate;
    if (rate.num <= 0 || rate.den <= 0)
        rate = ist.st->r_frame_rate;
    if (rate.num <= 0 || rate.den <= 0)
        return 1;
    return std::max<int64_t>(1, ff().av_rescale_q(1, av_inv_q(rate), ist.st->time_base));
}

// Raw elementary streams and program streams without time stamps: the decoder gets the
// predicted decoding time, so its frames carry times and are not dropped as timeless.
const AVPacket* VideoPacketWithTime(TInputStream& ist, const AVPacket* pkt)
{
    if (!pkt || pkt->dts != kNoPtsValue || ist.dec_ctx->codec_type != AVMEDIA_TYPE_VIDEO || ist.dts == kNoPtsValue)
        return pkt;
    AVPacket* timed = ist.pkt.get();
    ff().av_packet_unref(timed);
    if (ff().av_packet_ref(timed, pkt) < 0)
        return pkt;
    timed->dts = ff().av_rescale_q(ist.dts, AV_TIME_BASE_Q, ist.st->time_base);
    return timed;
}

void CloseFilterInputs(TInputStream& ist, int64_t pts)
{
    for (TInputFilter* ifilter : ist.filters)
        if (ifilter->filter && !ifilter->eof) {
            ff().av_buffersrc_close(ifilter->filter, pts, AV_BUFFERSRC_FLAG_PUSH);
            ifilter->eof = 1;
        }
}

}  // namespace

int TCustomFFmpeg::ProcessInputPacket(TInputStream& ist, const AVPacket* pkt, bool noEof)
{
    if (!ist.saw_first_ts) {
        ist.dts = (ist.st->avg_frame_rate.num && ist.dec_ctx)
                      ? -int64_t(ist.dec_ctx->has_b_frames) * AV_TIME_BASE / av_q2d(ist.st->avg_frame_rate)
                      : 0;
        ist.pts = 0;
        if (pkt && pkt->pts != kNoPtsValue && !ist.decoding_needed) {
            ist.dts += ff().av_rescale_q(pkt->pts, ist.st->time_base, AV_TIME_BASE_Q);
            ist.pts = ist.dts;
        }
        ist.saw_first_ts = 1;
    }
    if (ist.next_dts == kNoPtsValue)
        ist.next_dts = ist.dts;
    if (ist.next_pts == kNoPtsValue)
        ist.next_pts = ist.pts;
    if (pkt)
        ist.dts = ist.next_dts;
    if (pkt && pkt->dts != kNoPtsValue) {
        ist.next_dts = ist.dts = ff().av_rescale_q(pkt->dts, ist.st->time_base, AV_TIME_BASE_Q);
        if (ist.st->codecpar->codec_type != AVMEDIA_TYPE_VIDEO || !ist.decoding_needed)
            ist.next_pts = ist.pts = ist.dts;
    }

    if (ist.decoding_needed && ist.dec_ctx->codec_type == AVMEDIA_TYPE_SUBTITLE) {
        if (pkt)
            DecodeSubtitle(ist, pkt);
    } else if (ist.decoding_needed) {
        AVCodecContext* dec = ist.dec_ctx.get();
        int ret = ff().avcodec_send_packet(dec, VideoPacketWithTime(ist, pkt));
        if (ret < 0 && ret != AVERROR_EOF && ret != AVERROR(EAGAIN)) {
            EngineLog(TLogLevel::llError, StrFormat("Error while decoding stream #%d:%d: %s", ist.file_index,
                                                    ist.st->index, EngineErrorText(ret).c_str()));
            if (FGlobal.Fexit_on_error)
                Fatal(StrFormat("Error while decoding stream #%d:%d", ist.file_index, ist.st->index));
        }
        AVFrame* frame = ist.decoded_frame.get();
        for (;;) {
            ret = ff().avcodec_receive_frame(dec, frame);
            if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF)
                break;
            if (ret < 0) {
                EngineLog(TLogLevel::llError, StrFormat("Error while decoding stream #%d:%d: %s", ist.file_index,
                                                        ist.st->index, EngineErrorText(ret).c_str()));
                break;
            }
            ist.frames_decoded++;
            if (dec->codec_type == AVMEDIA_TYPE_AUDIO) {
                ist.samples_decoded += frame->nb_samples;
                AVRational decTb{1, frame->sample_rate};
                // A gap in the packets (containers with coarse time stamps) restarts the
                // sample-exact time line instead of stretching it.
                if (pkt && pkt->duration && ist.prev_pkt_pts != kNoPtsValue && pkt->pts != kNoPtsValue &&
                    pkt->pts - ist.prev_pkt_pts > pkt->duration)
                    ist.filter_in_rescale_delta_last = kNoPtsValue;
                if (pkt)
                    ist.prev_pkt_pts = pkt->pts;
                if (frame->pts != kNoPtsValue) {
                    frame->pts = ff().av_rescale_delta(ist.st->time_base, frame->pts, decTb, frame->nb_samples,
                                                       &ist.filter_in_rescale_delta_last, decTb);
                } else {
                    frame->pts = ff().av_rescale_q(ist.next_pts, AV_TIME_BASE_Q, decTb);
                }
                ist.next_pts = ff().av_rescale_q(frame->pts + frame->nb_samples, decTb, AV_TIME_BASE_Q);
            } else {
                frame->pts = frame->best_effort_timestamp;
                // Frames drained at the end of a stream without time stamps follow the last one.
                if (frame->pts == kNoPtsValue && ist.max_pts != INT64_MIN)
                    frame->pts = ist.max_pts + FrameStep(ist, frame);
                if (frame->pts != kNoPtsValue)
                    ist.max_pts = std::max(ist.max_pts, frame->pts);
            }
            InputHooks(ist, frame);
            if (FPreviewAudio && dec->codec_type == AVMEDIA_TYPE_AUDIO)
                PreviewAudioWrite(frame);
            SendToFilters(*this, ist, frame);
            ff().av_frame_unref(frame);
            ReapFilters(false);
        }
        if (pkt && dec->codec_type == AVMEDIA_TYPE_VIDEO)
            ist.next_dts += VideoPacketDuration(ist, pkt);
        if (!pkt) {
            CloseFilterInputs(ist, ff().av_rescale_q(ist.next_pts, AV_TIME_BASE_Q, ist.st->time_base));
            // Drain what the filters still hold (resampler tails, the last partial frame).
            for (TInputFilter* ifilter : ist.filters)
                if (ifilter->graph->graph)
                    while (ff().avfilter_graph_request_oldest(ifilter->graph->graph.get()) >= 0)
                        ReapFilters(false);
            ReapFilters(true);
        }
    }

    // Stream copy.
    if (pkt) {
        for (auto& ostPtr : FGraph.Foutput_streams) {
            TOutputStream& ost = *ostPtr;
            if (!ost.stream_copy || SourceOf(ost) != &ist || ost.finished)
                continue;
            TOutputFile& of = *FGraph.Foutput_files[ost.file_index];
            TInputFile& ifile = InputFileOf(ist);
            const int64_t startTime = of.start_time == kNoPtsValue ? 0 : of.start_time;
            const int64_t ostTbStart = ff().av_rescale_q(startTime, AV_TIME_BASE_Q, ost.mux_timebase);
            if (!ost.streamcopy_started && !(pkt->flags & AV_PKT_FLAG_KEY) && !ost.copy_initial_nonkeyframes)
                continue;
            // Every packet before the start is left out, also after the copy began: streams whose
            // time stamps jump back (joined recordings) would otherwise copy the earlier part again.
            if (ost.copy_prior_start <= 0) {
                if (pkt->pts == kNoPtsValue ? ist.pts < startTime
                                            : pkt->pts < ff().av_rescale_q(startTime, AV_TIME_BASE_Q, ist.st->time_base))
                    continue;
            }
            if (of.recording_time != INT64_MAX && ist.pts >= of.recording_time + startTime) {
                CloseOutputStream(ost);
                continue;
            }
            if (ifile.recording_time != INT64_MAX && ist.pts >= ifile.recording_time) {
                CloseOutputStream(ost);
                continue;
            }
            AVPacket* opkt = ost.pkt.get();
            if (ff().av_packet_ref(opkt, pkt) < 0)
                Fatal("Error copying a packet.");
            if (pkt->pts != kNoPtsValue)
                opkt->pts = ff().av_rescale_q(pkt->pts, ist.st->time_base, ost.mux_timebase) - ostTbStart;
            if (pkt->dts == kNoPtsValue)
                opkt->dts = ff().av_rescale_q(ist.dts, AV_TIME_BASE_Q, ost.mux_timebase);
            else
                opkt->dts = ff().av_rescale_q(pkt->dts, ist.st->time_base, ost.mux_timebase);
            opkt->dts -= ostTbStart;
            opkt->duration = ff().av_rescale_q(pkt->duration, ist.st->time_base, ost.mux_timebase);
            ost.streamcopy_started = 1;
            OutputPacket(of, opkt, ost, false);
            ff().av_packet_unref(opkt);
        }
        if (!ist.decoding_needed && pkt->duration > 0) {
            ist.next_dts += ff().av_rescale_q(pkt->duration, ist.st->time_base, AV_TIME_BASE_Q);
            ist.next_pts = ist.next_dts;
        }
    }
    (void)noEof;
    return 0;
}

void TCustomFFmpeg::DecodeSubtitle(TInputStream& ist, const AVPacket* pkt)
{
    TOwnedSubtitle decoded;
    int got = 0;
    const int ret = ff().avcodec_decode_subtitle2(ist.dec_ctx.get(), &decoded.subtitle, &got, const_cast<AVPacket*>(pkt));
    if (ret < 0) {
        EngineLog(TLogLevel::llError, StrFormat("Error while decoding stream #%d:%d: %s", ist.file_index, ist.st->index,
                                                EngineErrorText(ret).c_str()));
        if (FGlobal.Fexit_on_error)
            Fatal(StrFormat("Error while decoding stream #%d:%d", ist.file_index, ist.st->index));
        return;
    }
    if (!got)
        return;
    ist.frames_decoded++;
    for (auto& ostPtr : FGraph.Foutput_streams) {
        TOutputStream& ost = *ostPtr;
        if (SourceOf(ost) != &ist || !ost.encoding_needed || ost.finished ||
            ost.enc_ctx->codec_type != AVMEDIA_TYPE_SUBTITLE)
            continue;
        DoSubtitleOut(*FGraph.Foutput_files[ost.file_index], ost, decoded.subtitle);
    }
}

void TCustomFFmpeg::DoSubtitleOut(TOutputFile& of, TOutputStream& ost, AVSubtitle& source)
{
    if (source.pts == kNoPtsValue) {
        EngineLog(TLogLevel::llError, "Subtitle packets must have a pts");
        if (FGlobal.Fexit_on_error)
            Fatal("Subtitle packets must have a pts");
        return;
    }
    AVCodecContext* enc = ost.enc_ctx.get();
    // DVB subtitles need a second, empty packet that clears the picture.
    const int packets = enc->codec_id == AV_CODEC_ID_DVB_SUBTITLE ? 2 : 1;
    int64_t pts = source.pts;
    if (of.start_time != kNoPtsValue)
        pts -= of.start_time;
    std::vector<uint8_t> buffer(1 << 20);
    AVSubtitle sub = source;  // shallow: the rectangles stay the decoder's
    for (int i = 0; i < packets; ++i) {
        ost.sync_opts = ff().av_rescale_q(pts, AV_TIME_BASE_Q, enc->time_base);
        if (!CheckRecordingTime(ost))
            return;
        sub.pts = pts + ff().av_rescale_q(sub.start_display_time, AVRational{1, 1000}, AV_TIME_BASE_Q);
        sub.end_display_time -= sub.start_display_time;
        sub.start_display_time = 0;
        if (i == 1)
            sub.num_rects = 0;
        ost.frames_encoded++;
        const int size = ff().avcodec_encode_subtitle(enc, buffer.data(), static_cast<int>(buffer.size()), &sub);
        if (size < 0)
            Fatal("Subtitle encoding failed");
        AVPacket* pkt = ost.pkt.get();
        if (ff().av_new_packet(pkt, size) < 0)
            Fatal("Error allocating the packet.");
        std::memcpy(pkt->data, buffer.data(), size_t(size));
        pkt->pts = ff().av_rescale_q(sub.pts, AV_TIME_BASE_Q, ost.mux_timebase);
        pkt->duration = ff().av_rescale_q(sub.end_display_time, AVRational{1, 1000}, ost.mux_timebase);
        if (enc->codec_id == AV_CODEC_ID_DVB_SUBTITLE)
            pkt->pts += i == 0 ? 0 : ff().av_rescale_q(sub.end_display_time, AVRational{1, 1000}, ost.mux_timebase);
        pkt->dts = pkt->pts;
        ost.packets_encoded++;
        OutputPacket(of, pkt, ost, false);
        ff().av_packet_unref(pkt);
    }
}

void TCustomFFmpeg::FlushEncoders()
{
    for (auto& ostPtr : FGraph.Foutput_streams) {
        TOutputStream& ost = *ostPtr;
        if (!ost.encoding_needed)
            continue;
        TOutputFile& of = *FGraph.Foutput_files[ost.file_index];
        if (!ost.initialized) {
            EngineLog(TLogLevel::llWarning, StrFormat("Finishing stream %d:%d without any data written to it.",
                                                      ost.file_index, ost.index));
            continue;
        }
        if (ost.enc_ctx->codec_type != AVMEDIA_TYPE_VIDEO && ost.enc_ctx->codec_type != AVMEDIA_TYPE_AUDIO)
            continue;
        EncodeFrame(of, ost, nullptr);
        if (ost.bsf_ctx)
            OutputPacket(of, ost.pkt.get(), ost, true);
    }
}

namespace {

// The output stream that most needs data: the smallest muxed time among those not done.
TOutputStream* ChooseOutput(TCustomFFmpeg& task)
{
    TOutputStream* chosen = nullptr;
    int64_t best = INT64_MAX;
    for (auto& ostPtr : task.FGraph.Foutput_streams) {
        TOutputStream& ost = *ostPtr;
        if (ost.finished || ost.unavailable)
            continue;
        TInputStream* ist = task.SourceOf(ost);
        if (ist ? task.InputFileOf(*ist).eof_reached : (!ost.filter || ost.inputs_done))
            continue;
        int64_t opts = ost.last_mux_dts == kNoPtsValue
                           ? INT64_MIN
                           : ff().av_rescale_q(ost.last_mux_dts, ost.st->time_base, AV_TIME_BASE_Q);
        if (ost.last_mux_dts == kNoPtsValue)
            EngineLog(TLogLevel::llDebug,
                      StrFormat("cur_dts is invalid st:%d (%d) [init:%d i_done:%d finish:%d] (this is harmless if it "
                                "occurs once at the start per stream)",
                                ost.index, ost.st->index, ost.initialized, ost.inputs_done, ost.finished));
        if (opts < best) {
            best = opts;
            chosen = &ost;
        }
    }
    return chosen;
}

bool NeedOutput(TCustomFFmpeg& task)
{
    for (auto& ostPtr : task.FGraph.Foutput_streams) {
        TOutputStream& ost = *ostPtr;
        TOutputFile& of = *task.FGraph.Foutput_files[ost.file_index];
        if (ost.finished)
            continue;
        if (of.limit_filesize != INT64_MAX && of.ctx->pb && of.ctx->pb->pos + (of.ctx->pb->buf_ptr - of.ctx->pb->buffer) >= of.limit_filesize) {
            for (unsigned i = 0; i < of.ctx->nb_streams; ++i)
                task.CloseOutputStream(*task.FGraph.Foutput_streams[of.ost_index + i]);
            continue;
        }
        if (ost.frame_number >= ost.max_frames) {
            for (unsigned i = 0; i < of.ctx->nb_streams; ++i)
                task.CloseOutputStream(*task.FGraph.Foutput_streams[of.ost_index + i]);
            continue;
        }
        return true;
    }
    return false;
}

}  // namespace

void TCustomFFmpeg::Transcode()
{
    const int64_t timerStart = Now();
    FTranscodeStart = timerStart;
    for (auto& ist : FGraph.Finput_streams)
        ist->start = timerStart;

    while (!FBroken) {
        FSuspender.Wait();
        const int64_t curTime = Now();
        if (FBroken)
            break;
        if (!NeedOutput(*this)) {
            EngineLog(TLogLevel::llVerbose, "No more output streams to write to, finishing.");
            break;
        }
        TOutputStream* ost = ChooseOutput(*this);
        if (!ost) {
            bool waiting = false;
            for (auto& f : FGraph.Finput_files)
                if (f->eagain) {
                    f->eagain = 0;
                    waiting = true;
                }
            for (auto& o : FGraph.Foutput_streams)
                if (o->unavailable) {
                    o->unavailable = 0;
                    waiting = true;
                }
            if (waiting) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
                continue;
            }
            EngineLog(TLogLevel::llVerbose, "No more inputs to read from, finishing.");
            break;
        }
        TInputStream* sourcePtr = SourceOf(*ost);
        if (ost->filter) {
            // Fed by a filter graph: drain it, close the streams of a graph that ended
            // (a trim for -t), or read the input it waits for.
            int ret = 0;
            sourcePtr = FilterGraphInput(*ost, &ret);
            if (ret < 0) {
                EngineLog(TLogLevel::llError, "Error while filtering: " + EngineErrorText(ret));
                break;
            }
            if (!sourcePtr) {
                PrintReport(false, timerStart, curTime);
                continue;
            }
        }
        TInputStream& source = *sourcePtr;
        TInputFile& ifile = InputFileOf(source);

        // Rate emulation: hold the packet back while it is ahead of the clock.
        if ((ifile.rate_emu || ifile.readrate > 0 || FrameRateEmulation()) && source.dts != 0) {
            const float rate = ifile.readrate > 0 ? ifile.readrate : 1.0f;
            const int64_t elapsed = Now() - source.start - FTotalPauseTime;
            const int64_t ahead = int64_t(double(source.dts) / rate);
            if (ahead > elapsed) {
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
                continue;
            }
        }

        AVPacket* pkt = ifile.pkt.get();
        FLastRead = Now();
        int ret = ff().av_read_frame(ifile.ctx.get(), pkt);
        FLastRead = INT64_MAX;
        if (ret == AVERROR(EAGAIN)) {
            ifile.eagain = 1;
            ost->unavailable = 1;
            continue;
        }
        if (ret < 0) {
            if (ret != AVERROR_EOF) {
                EngineLog(TLogLevel::llError, ifile.ctx->url + std::string(": ") + ReadErrorText(ret));
                if (FGlobal.Fexit_on_error)
                    Fatal(ifile.ctx->url + std::string(": ") + ReadErrorText(ret));
            }
            for (int i = 0; i < ifile.nb_streams; ++i) {
                TInputStream& ist = *FGraph.Finput_streams[ifile.ist_index + i];
                if (!ist.discard)
                    ProcessInputPacket(ist, nullptr, false);
            }
            ifile.eof_reached = 1;
            continue;
        }
        if (pkt->stream_index >= ifile.nb_streams) {
            ff().av_packet_unref(pkt);
            continue;
        }
        TInputStream& ist = *FGraph.Finput_streams[ifile.ist_index + pkt->stream_index];
        ist.data_size += pkt->size;
        ist.nb_packets++;
        if (ist.discard) {
            ff().av_packet_unref(pkt);
            continue;
        }
        const int64_t offset = ff().av_rescale_q(ifile.ts_offset, AV_TIME_BASE_Q, ist.st->time_base);
        if (pkt->dts != kNoPtsValue)
            pkt->dts += offset;
        if (pkt->pts != kNoPtsValue)
            pkt->pts += offset;
        if (ist.ts_scale != 1.0) {
            if (pkt->pts != kNoPtsValue)
                pkt->pts = int64_t(double(pkt->pts) * ist.ts_scale);
            if (pkt->dts != kNoPtsValue)
                pkt->dts = int64_t(double(pkt->dts) * ist.ts_scale);
        }
        ProcessInputPacket(ist, pkt, false);
        ff().av_packet_unref(pkt);
        PrintReport(false, timerStart, curTime);
    }

    // Flush what is still in flight; after Stop it is dropped instead when the owner discards
    // the output: an encoder's look-ahead holds seconds of work (libx264: 40 frames and more).
    if (!FBroken || FFinishOnStop) {
        for (auto& file : FGraph.Finput_files) {
            if (file->eof_reached)
                continue;
            for (int i = 0; i < file->nb_streams; ++i) {
                TInputStream& ist = *FGraph.Finput_streams[file->ist_index + i];
                if (!ist.discard && ist.decoding_needed)
                    ProcessInputPacket(ist, nullptr, false);
            }
        }
        FlushEncoders();
    }
    if (!FBroken)
        CheckSomethingWasWritten();

    int trailerFailures = 0;
    std::string firstFailure;  // said in plain words as the task's error
    const auto failed = [&](const std::string& text) {
        EngineLog(TLogLevel::llError, text);
        if (trailerFailures++ == 0)
            firstFailure = text;
    };
    for (auto& of : FGraph.Foutput_files) {
        if (!of->header_written) {
            failed(StrFormat("Nothing was written into output file %d (%s), because at least one of its streams "
                             "received no packets.",
                             of->index, of->ctx->url));
            continue;
        }
        FLastWrite = Now();
        const int ret = ff().av_write_trailer(of->ctx.get());
        FLastWrite = INT64_MAX;
        if (ret < 0)
            failed(StrFormat("Error writing the end of %s: %s", of->ctx->url, EngineErrorText(ret).c_str()));
    }
    PrintReport(true, timerStart, Now());
    for (auto& of : FGraph.Foutput_files) {
        if (of->ctx && !(of->format->flags & AVFMT_NOFILE) && of->ctx->pb) {
            const int ret = ff().avio_closep(&of->ctx->pb);
            if (ret < 0) {
                FLastErrMsg = StrFormat("Error closing file %s", of->ctx->url) + ": " + EngineErrorText(ret);
                EngineLog(TLogLevel::llError, FLastErrMsg);
                ++trailerFailures;  // the last buffered bytes are lost: the file is not complete
            }
        }
    }
    FFinished = !FBroken && trailerFailures == 0;
    TranscodeCleanup();
    if (trailerFailures)
        throw TEngineError(firstFailure);
}

void TCustomFFmpeg::CheckSomethingWasWritten()
{
    for (auto& of : FGraph.Foutput_files) {
        int64_t written = 0, had = 0;
        const TInputStream* source = nullptr;
        for (auto& ost : FGraph.Foutput_streams) {
            const TInputStream* ist = SourceOf(*ost);
            if (ost->file_index != of->index || !ist)
                continue;
            written += ost->packets_written;
            const int64_t frames = ost->stream_copy ? ist->nb_packets : ist->frames_decoded;
            if (frames > had) {
                had = frames;
                source = ist;
            }
        }
        // A stream left empty beside others is a result (a copy cut with no key frame in range);
        // a file whose every stream is empty is not.
        if (written == 0 && source)
            throw TEngineError(StrFormat("Output file #%d received no frames, although input stream #%d:%d had %lld; "
                                         "nothing was converted",
                                         of->index, source->file_index, source->st->index, static_cast<long long>(had)));
    }
}

void TCustomFFmpeg::TranscodeCleanup()
{
    if (FTranscodeCleanuped)
        return;
    FTranscodeCleanuped = true;
    InputsClosing();
    for (auto& ost : FGraph.Foutput_streams)
        if (ost->logfile && std::fclose(ost->logfile.release()) != 0)
            EngineLog(TLogLevel::llError, "Error closing logfile, loss of information possible");
    try {
        FGraph.Clear();
    } catch (const std::exception& e) {
        EngineLog(TLogLevel::llError, StrFormat("FreeOutputStreams() exception: %s", e.what()));
    }
    for (const int fd : FOwnedPipes)
        close(fd);
    FOwnedPipes.clear();
}

}  // namespace reelsmith
