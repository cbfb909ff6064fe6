// The encoding stage: recording-time limits, frame-rate conversion of video, audio and
// subtitle output, sending frames to the encoders and flushing them at the end.

#include "engine/pipeline/encode.h"

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "engine/custom_ffmpeg.h"
#include "engine/engine_error.h"
#include "media/engine_log.h"

namespace reelsmith {

namespace {

int Log2(unsigned v) { return v ? std::bit_width(v) - 1 : 0; }

int64_t MidPred(int64_t a, int64_t b, int64_t c) { return std::max(std::min(a, b), std::min(std::max(a, b), c)); }

const TInputStream* SourceIn(const TJobGraph& graph, const TOutputStream& ost)
{
    return ost.source_index >= 0 ? graph.Finput_streams[ost.source_index].get() : nullptr;
}

// Where a picture falls against the output's clock, in encoder frames.
struct TFrameTiming {
    double syncIpts = 0;
    double duration = 0;
    double delta0 = 0;  // from the output's clock to the picture's start
    double delta = 0;   // from the output's clock to the picture's end
};

TFrameTiming PlaceVideoFrame(const TJobGraph& graph, TOutputStream& ost, AVFrame* nextPicture)
{
    const TOutputFile& of = *graph.Foutput_files[ost.file_index];
    const AVCodecContext* enc = ost.enc_ctx.get();
    const TInputStream* ist = SourceIn(graph, ost);
    const AVFilterLink* link = ost.filter->filter->inputs[0];
    TFrameTiming t;
    // The frame's position in the encoder's time base, with extra precision.
    AVRational tb = enc->time_base;
    const int extraBits = std::clamp(29 - Log2(unsigned(tb.den)), 0, 16);
    tb.den <<= extraBits;
    const int64_t start = of.start_time == kNoPtsValue ? 0 : of.start_time;
    double floatPts =
        double(ff().av_rescale_q(nextPicture->pts, link->time_base, tb) - ff().av_rescale_q(start, AV_TIME_BASE_Q, tb));
    floatPts /= double(1 << extraBits);
    floatPts += (floatPts > 0 ? 1 : floatPts < 0 ? -1 : 0) * 1.0 / (1 << 17);
    nextPicture->pts = ff().av_rescale_q(nextPicture->pts, link->time_base, enc->time_base) -
                       ff().av_rescale_q(start, AV_TIME_BASE_Q, enc->time_base);
    t.syncIpts = floatPts;
    // A picture lasts one output frame, or one frame of the graph's rate when that is shorter;
    // unfiltered pictures last as long as their packets said (a long first picture of a
    // variable-rate clip is repeated up front, not after it).
    t.duration = std::min(1.0, 1.0 / (av_q2d(ost.frame_rate) * av_q2d(enc->time_base)));
    if (link->frame_rate.num > 0 && link->frame_rate.den > 0)
        t.duration = std::min(t.duration, 1.0 / (av_q2d(link->frame_rate) * av_q2d(enc->time_base)));
    if (ist && nextPicture->pkt_duration > 0 && !UserFiltered(graph, ost)) {
        const double d =
            std::lrint(double(nextPicture->pkt_duration) * av_q2d(ist->st->time_base) / av_q2d(enc->time_base));
        if (d > 0)
            t.duration = d;
    }
    t.delta0 = t.syncIpts - double(ost.sync_opts);
    t.delta = t.delta0 + t.duration;
    if (t.delta0 < 0 && t.delta > 0 && ost.vsync_method != VSYNC_PASSTHROUGH && ost.vsync_method != VSYNC_DROP) {
        if (t.delta0 < -0.6)
            EngineLog(TLogLevel::llVerbose, StrFormat("Past duration %f too large", -t.delta0));
        else
            EngineLog(TLogLevel::llDebug, StrFormat("Clipping frame in rate conversion by %f", -t.delta0));
        t.syncIpts = double(ost.sync_opts);
        t.duration += t.delta0;
        t.delta0 = 0;
    }
    return t;
}

// The counts the output's sync method gives for a placed picture.
TVideoFramePlan CountsForSync(TOutputStream& ost, TFrameTiming& t, const TGlobalOptions& global)
{
    TVideoFramePlan plan;
    switch (ost.vsync_method) {
    case VSYNC_VSCFR:
        if (ost.frame_number == 0 && t.delta0 >= 0.5) {
            EngineLog(TLogLevel::llDebug, StrFormat("Not duplicating %d initial frames", int(std::lrint(t.delta0))));
            t.delta = t.duration;
            t.delta0 = 0;
            ost.sync_opts = std::llrint(t.syncIpts);
        }
        [[fallthrough]];
    case VSYNC_CFR:
        if (global.Fframe_drop_threshold && t.delta < global.Fframe_drop_threshold && ost.frame_number)
            plan.nbFrames = 0;
        else if (t.delta < -1.1)
            plan.nbFrames = 0;
        else if (t.delta > 1.1) {
            plan.nbFrames = std::llrint(t.delta);
            if (t.delta0 > 1.1)
                plan.nb0Frames = std::llrint(t.delta0 - 0.6);
        }
        break;
    case VSYNC_VFR:
        if (t.delta <= -0.6)
            plan.nbFrames = 0;
        else if (t.delta > 0.6)
            ost.sync_opts = std::llrint(t.syncIpts);
        break;
    default: ost.sync_opts = std::llrint(t.syncIpts); break;
    }
    return plan;
}

}  // namespace

bool ForcedKeyFrame(TOutputStream& ost, const AVFrame* picture, int64_t repeat)
{
    if (ost.forced_keyframes.empty())
        return false;
    if (ost.forced_kf_ref_pts == kNoPtsValue && picture->pts != kNoPtsValue)
        ost.forced_kf_ref_pts = picture->pts;
    const double ptsTime = picture->pts != kNoPtsValue
                               ? double(picture->pts - ost.forced_kf_ref_pts) * av_q2d(ost.enc_ctx->time_base)
                               : NAN;
    bool forced = false;
    if (ost.forced_kf_index < ost.forced_kf_count() && picture->pts >= ost.forced_kf_pts[size_t(ost.forced_kf_index)]) {
        ost.forced_kf_index++;
        forced = true;
    } else if (ost.forced_keyframes_pexpr) {
        auto& values = ost.forced_keyframes_expr_const_values;
        values[FKF_T] = ptsTime;
        if (ff().av_expr_eval(ost.forced_keyframes_pexpr.get(), values.data(), nullptr)) {
            forced = true;
            values[FKF_PREV_FORCED_N] = values[FKF_N];
            values[FKF_PREV_FORCED_T] = values[FKF_T];
            values[FKF_N_FORCED] += 1;
        }
        values[FKF_N] += 1;
    } else if (ost.forced_keyframes.compare(0, 6, "source") == 0 && picture->key_frame == 1 && repeat == 0) {
        forced = true;
    } else if (ost.forced_keyframes.compare(0, 14, "source_no_drop") == 0 && repeat == 0) {
        forced = picture->key_frame == 1 || ost.dropped_keyframe;
        ost.dropped_keyframe = 0;
    }
    if (forced)
        EngineLog(TLogLevel::llDebug, StrFormat("Forced keyframe at time %f", ptsTime));
    return forced;
}

bool UserFiltered(const TJobGraph& graph, const TOutputStream& ost)
{
    if (!ost.filters.empty() || !ost.filters_script.empty())
        return true;
    for (const auto& fg : graph.Ffiltergraphs)
        if (!fg->graph_desc.empty())
            return true;
    return false;
}

int QualityOf(const AVPacket* pkt)
{
    const uint8_t* sd = ff().av_packet_get_side_data(pkt, AV_PKT_DATA_QUALITY_STATS, nullptr);
    return sd ? int(sd[0] | sd[1] << 8 | sd[2] << 16 | uint32_t(sd[3]) << 24) : -1;
}

TVideoFramePlan PlanVideoFrames(const TJobGraph& graph, TOutputStream& ost, AVFrame* nextPicture,
                                const TGlobalOptions& global)
{
    TVideoFramePlan plan;
    if (nextPicture) {
        TFrameTiming timing = PlaceVideoFrame(graph, ost, nextPicture);
        plan = CountsForSync(ost, timing, global);
    } else {
        plan.nb0Frames = plan.nbFrames =
            MidPred(ost.last_nb0_frames[0], ost.last_nb0_frames[1], ost.last_nb0_frames[2]);
    }
    plan.nbFrames = std::min(plan.nbFrames, ost.max_frames - ost.frame_number);
    plan.nb0Frames = std::min(plan.nb0Frames, plan.nbFrames);
    ost.last_nb0_frames[2] = ost.last_nb0_frames[1];
    ost.last_nb0_frames[1] = ost.last_nb0_frames[0];
    ost.last_nb0_frames[0] = plan.nb0Frames;
    return plan;
}

bool CountDuplicates(TFrameRateStats& stats, const TOutputStream& ost, const TVideoFramePlan& plan,
                     const TGlobalOptions& global)
{
    const int64_t nbFrames = plan.nbFrames, nb0Frames = plan.nb0Frames;
    if (nb0Frames == 0 && ost.last_dropped) {
        stats.Fnb_frames_drop++;
        EngineLog(TLogLevel::llVerbose,
                  StrFormat("*** dropping frame %lld from stream %d at ts %lld", (long long)ost.frame_number,
                            ost.st->index, (long long)ost.last_frame->pts));
    }
    if (nbFrames > (nb0Frames && ost.last_dropped) + (nbFrames > nb0Frames)) {
        if (nbFrames > global.Fdts_error_threshold * 30) {
            EngineLog(TLogLevel::llError,
                      StrFormat("%lld frame duplication too large, skipping", (long long)(nbFrames - 1)));
            stats.Fnb_frames_drop++;
            return false;
        }
        stats.Fnb_frames_dup += nbFrames - (nb0Frames && ost.last_dropped) - (nbFrames > nb0Frames);
        EngineLog(TLogLevel::llVerbose, StrFormat("*** %lld dup!", (long long)(nbFrames - 1)));
        if (stats.Fnb_frames_dup > stats.FDupWarning) {
            EngineLog(TLogLevel::llWarning, StrFormat("More than %d frames duplicated", stats.FDupWarning));
            stats.FDupWarning *= 10;
        }
    }
    return true;
}

bool TCustomFFmpeg::CheckRecordingTime(TOutputStream& ost)
{
    TOutputFile& of = *FGraph.Foutput_files[ost.file_index];
    if (of.recording_time != INT64_MAX && ff().av_compare_ts(ost.sync_opts - ost.first_pts, ost.enc_ctx->time_base,
                                                             of.recording_time, AV_TIME_BASE_Q) >= 0) {
        CloseOutputStream(ost);
        return false;
    }
    return true;
}

// Whether this video output's encoder runs on a thread of its own (see encode_ahead.h); decided
// with its first picture, once the encoder is open.
bool TCustomFFmpeg::EncodesAhead(const TOutputFile& of, const TOutputStream& ost) const
{
    return FEncodeAhead && ost.enc_ctx->codec_type == AVMEDIA_TYPE_VIDEO && EncodedAheadFormat(of.ctx->oformat) &&
           of.limit_filesize == INT64_MAX && !of.shortest && !FOnVideoOutputHook && !FOnFrameOutputHook;
}

// The packets of the encoding thread, to the muxer in the order they were encoded.
void TCustomFFmpeg::MuxEncodedAhead(TOutputFile& of, TOutputStream& ost, std::vector<TEncodedPacket> packets)
{
    for (TEncodedPacket& packet : packets) {
        if (packet.error < 0)
            Fatal("Video encoding failed");
        MuxEncodedPacket(of, ost, packet.pkt.get());
    }
}

// A packet the encoder gave: its quality for the report, then to the muxer in its time base.
void TCustomFFmpeg::MuxEncodedPacket(TOutputFile& of, TOutputStream& ost, AVPacket* pkt)
{
    AVCodecContext* enc = ost.enc_ctx.get();
    if (enc->codec_type == AVMEDIA_TYPE_VIDEO) {
        const int q = QualityOf(pkt);
        if (q >= 0)
            ost.quality = q;
    }
    ost.packets_encoded++;
    ff().av_packet_rescale_ts(pkt, enc->time_base, ost.mux_timebase);
    OutputPacket(of, pkt, ost, false);
}

// What the encoding threads have ready goes to the muxers now and then, so it does not pile up.
void TCustomFFmpeg::MuxEncodedAhead()
{
    for (auto& ost : FGraph.Foutput_streams)
        if (ost->encode_ahead)
            MuxEncodedAhead(*FGraph.Foutput_files[ost->file_index], *ost, ost->encode_ahead->TakeReady());
}

// A picture to the encoding thread (null: every picture given is encoded and muxed first, and
// the encoder is the loop's again for its flush).
void TCustomFFmpeg::EncodeFrameAhead(TOutputFile& of, TOutputStream& ost, AVFrame* frame)
{
    TEncodeAhead& ahead = *ost.encode_ahead;
    if (!frame) {
        std::vector<TEncodedPacket> rest = ahead.Finish();
        ost.encode_ahead.reset();
        MuxEncodedAhead(of, ost, std::move(rest));
        return;
    }
    ost.frames_encoded++;
    TFramePtr picture(ff().av_frame_alloc());
    if (!picture || ff().av_frame_ref(picture.get(), frame) < 0)
        Fatal("Video encoding failed");
    const bool taken = ahead.Encode(std::move(picture));
    MuxEncodedAhead(of, ost, ahead.TakeReady());
    if (!taken)
        Fatal("Video encoding failed");
}

void TCustomFFmpeg::EncodeFrame(TOutputFile& of, TOutputStream& ost, AVFrame* frame)
{
    if (!ost.encode_ahead_decided && frame) {
        ost.encode_ahead_decided = true;
        if (EncodesAhead(of, ost)) {
            ost.encode_ahead = std::make_unique<TEncodeAhead>(ost.enc_ctx.get(), ost.logfile.get());
            ost.encode_ahead->Start();
        }
    }
    if (ost.encode_ahead) {
        EncodeFrameAhead(of, ost, frame);
        if (frame)
            return;
    }
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
        MuxEncodedPacket(of, ost, pkt);
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

void TCustomFFmpeg::DoVideoOut(TOutputFile& of, TOutputStream& ost, AVFrame* nextPicture)
{
    const TVideoFramePlan plan = PlanVideoFrames(FGraph, ost, nextPicture, FGlobal);
    if (!CountDuplicates(FLoop->frames, ost, plan, FGlobal))
        return;
    ost.last_dropped = plan.nbFrames == plan.nb0Frames && nextPicture;
    ost.dropped_keyframe = ost.last_dropped && nextPicture && nextPicture->key_frame;
    EncodeVideoFrames(of, ost, nextPicture, plan.nbFrames, plan.nb0Frames);
}

// Encodes the planned pictures: the repeats of the last picture first, then nextPicture,
// which is kept as the last picture.
void TCustomFFmpeg::EncodeVideoFrames(TOutputFile& of, TOutputStream& ost, AVFrame* nextPicture, int64_t nbFrames,
                                      int64_t nb0Frames)
{
    AVCodecContext* enc = ost.enc_ctx.get();
    for (int64_t i = 0; i < nbFrames; ++i) {
        AVFrame* in = (i < nb0Frames && ost.last_frame->buf[0]) ? ost.last_frame.get() : nextPicture;
        if (!in)
            return;
        in->pts = ost.sync_opts;
        if (!CheckRecordingTime(ost))
            return;
        in->quality = enc->global_quality;
        in->pict_type = AV_PICTURE_TYPE_NONE;
        if (ForcedKeyFrame(ost, in, i) || ost.frame_number == 0)  // the option counts every picture
            in->pict_type = AV_PICTURE_TYPE_I;
        if (enc->flags & (AV_CODEC_FLAG_INTERLACED_DCT | AV_CODEC_FLAG_INTERLACED_ME) && ost.top_field_first >= 0)
            in->top_field_first = !!ost.top_field_first;
        // A hook set while the encoding thread runs may paint the picture: never a buffer the
        // thread still reads (a repeated picture shares the last one's).
        if (ost.encode_ahead && (FOnVideoOutputHook || FOnFrameOutputHook) && ff().av_frame_make_writable(in) < 0)
            Fatal("Video encoding failed");
        OutputHooks(ost, in);
        EncodeFrame(of, ost, in);
        ost.sync_opts++;
        ost.frame_number++;
    }
    ff().av_frame_unref(ost.last_frame.get());
    if (nextPicture)
        ff().av_frame_move_ref(ost.last_frame.get(), nextPicture);
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
            EngineLog(TLogLevel::llWarning,
                      StrFormat("Finishing stream %d:%d without any data written to it.", ost.file_index, ost.index));
            // The encoder still opens (from what the graph would deliver) so the file gets its
            // header; a graph that never learnt its input format cannot.
            if (ost.filter && !ost.filter->filter)
                continue;
            InitOutputStreamNow(ost, nullptr);
        }
        if (ost.enc_ctx->codec_type != AVMEDIA_TYPE_VIDEO && ost.enc_ctx->codec_type != AVMEDIA_TYPE_AUDIO)
            continue;
        EncodeFrame(of, ost, nullptr);
        if (ost.bsf_ctx)
            OutputPacket(of, ost.pkt.get(), ost, true);
    }
}

}  // namespace reelsmith
