// The decoding stage: input packets to decoded frames, subtitles, and the end of a stream.

#include "engine/pipeline/decode.h"

#include "engine/custom_ffmpeg.h"
#include "engine/pipeline/loop_state.h"
#include "engine/engine_error.h"
#include "media/engine_log.h"

namespace reelsmith {

namespace {

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

// A picture's duration (AV_TIME_BASE units) when it has none of its own, as the reference tool
// counts it: its packet's, else one frame at the decoder's rate, whose first value is the
// stream's average rate; 0 when neither is known.
int64_t PictureDuration(const TInputStream& ist, const AVPacket* pkt)
{
    if (pkt && pkt->duration > 0)
        return ff().av_rescale_q(pkt->duration, ist.st->time_base, AV_TIME_BASE_Q);
    AVRational rate = ist.dec_ctx->framerate;
    if (rate.num <= 0 || rate.den <= 0)
        rate = ist.st->avg_frame_rate;
    if (rate.num <= 0 || rate.den <= 0)
        return 0;
    return ff().av_rescale_q(1, av_inv_q(rate), AV_TIME_BASE_Q);
}

}  // namespace

void AdvanceInputClock(TInputStream& ist, const AVPacket* pkt)
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
}

void StampDecodedFrame(TInputStream& ist, AVFrame* frame, const AVPacket* pkt)
{
    if (ist.dec_ctx->codec_type == AVMEDIA_TYPE_AUDIO) {
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
        return;
    }
    if (ist.top_field_first >= 0)
        frame->top_field_first = ist.top_field_first;
    frame->pts = frame->best_effort_timestamp;
    // Frames drained at the end of a stream without time stamps follow the last one.
    if (frame->pts == kNoPtsValue && ist.max_pts != INT64_MIN)
        frame->pts = ist.max_pts + FrameStep(ist, frame);
    if (frame->pts != kNoPtsValue)
        ist.max_pts = std::max(ist.max_pts, frame->pts);
    // The stream's clock ends where its last picture ends: that is the end a rate-changing
    // filter (fps=, framerate) fills up to when the stream closes.
    if (frame->pts != kNoPtsValue)
        ist.next_pts = ist.pts = ff().av_rescale_q(frame->pts, ist.st->time_base, AV_TIME_BASE_Q);
    if (ist.next_pts != kNoPtsValue)
        ist.next_pts += frame->pkt_duration > 0
                            ? ff().av_rescale_q(frame->pkt_duration, ist.st->time_base, AV_TIME_BASE_Q)
                            : PictureDuration(ist, pkt);
}

int64_t VideoPacketDuration(const TInputStream& ist, const AVPacket* pkt)
{
    if (pkt && pkt->duration > 0)
        return ff().av_rescale_q(pkt->duration, ist.st->time_base, AV_TIME_BASE_Q);
    AVRational rate = ist.dec_ctx->framerate;
    if (rate.num <= 0 || rate.den <= 0)
        rate = ist.st->r_frame_rate;
    if (rate.num <= 0 || rate.den <= 0)
        return 0;
    return ff().av_rescale_q(1, av_inv_q(rate), AV_TIME_BASE_Q);
}

int TCustomFFmpeg::ProcessInputPacket(TInputStream& ist, const AVPacket* pkt, bool noEof)
{
    AdvanceInputClock(ist, pkt);
    if (ist.decoding_needed && ist.dec_ctx->codec_type == AVMEDIA_TYPE_SUBTITLE) {
        if (pkt)
            DecodeSubtitle(ist, pkt);
    } else if (ist.decoding_needed) {
        DecodePacket(ist, pkt);
    }
    if (pkt) {
        CopyPacket(ist, pkt);
        if (!ist.decoding_needed && pkt->duration > 0) {
            ist.next_dts += ff().av_rescale_q(pkt->duration, ist.st->time_base, AV_TIME_BASE_Q);
            ist.next_pts = ist.next_dts;
        }
    }
    (void)noEof;
    return 0;
}

// Sends the packet (null: the end of the stream) and hands every frame the decoder gives
// back to the hooks and the filters.
void TCustomFFmpeg::DecodePacket(TInputStream& ist, const AVPacket* pkt)
{
    AVCodecContext* dec = ist.dec_ctx.get();
    TDecodeStats& stats = FLoop->decoding;
    int ret = ff().avcodec_send_packet(dec, VideoPacketWithTime(ist, pkt));
    if (ret < 0 && ret != AVERROR_EOF && ret != AVERROR(EAGAIN)) {
        stats.Ffailed++;
        EngineLog(TLogLevel::llError, StrFormat("Error while decoding stream #%d:%d: %s", ist.file_index, ist.st->index,
                                                EngineErrorText(ret).c_str()));
        if (FGlobal.Fexit_on_error)
            Fatal(StrFormat("Error while decoding stream #%d:%d", ist.file_index, ist.st->index));
    }
    AVFrame* frame = ist.decoded_frame.get();
    for (;;) {
        ret = ff().avcodec_receive_frame(dec, frame);
        if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF)
            break;
        if (ret < 0) {
            stats.Ffailed++;
            EngineLog(TLogLevel::llError, StrFormat("Error while decoding stream #%d:%d: %s", ist.file_index,
                                                    ist.st->index, EngineErrorText(ret).c_str()));
            if (FGlobal.Fexit_on_error)
                Fatal(StrFormat("Error while decoding stream #%d:%d", ist.file_index, ist.st->index));
            break;
        }
        stats.Fdecoded++;
        ist.frames_decoded++;
        StampDecodedFrame(ist, frame, pkt);
        InputHooks(ist, frame);
        if (FPreviewAudio && dec->codec_type == AVMEDIA_TYPE_AUDIO)
            PreviewAudioWrite(frame);
        SendToFilters(ist, frame);
        ff().av_frame_unref(frame);
        ReapFilters(false);
    }
    if (pkt && dec->codec_type == AVMEDIA_TYPE_VIDEO)
        ist.next_dts += VideoPacketDuration(ist, pkt);
    if (!pkt)
        DrainFilters(ist);
}

void TCustomFFmpeg::DecodeSubtitle(TInputStream& ist, const AVPacket* pkt)
{
    TOwnedSubtitle decoded;
    int got = 0;
    const int ret =
        ff().avcodec_decode_subtitle2(ist.dec_ctx.get(), &decoded.subtitle, &got, const_cast<AVPacket*>(pkt));
    if (ret < 0) {
        FLoop->decoding.Ffailed++;
        EngineLog(TLogLevel::llError, StrFormat("Error while decoding stream #%d:%d: %s", ist.file_index, ist.st->index,
                                                EngineErrorText(ret).c_str()));
        if (FGlobal.Fexit_on_error)
            Fatal(StrFormat("Error while decoding stream #%d:%d", ist.file_index, ist.st->index));
        return;
    }
    if (!got)
        return;
    FLoop->decoding.Fdecoded++;
    ist.frames_decoded++;
    for (auto& ostPtr : FGraph.Foutput_streams) {
        TOutputStream& ost = *ostPtr;
        if (SourceOf(ost) != &ist || !ost.encoding_needed || ost.finished ||
            ost.enc_ctx->codec_type != AVMEDIA_TYPE_SUBTITLE)
            continue;
        DoSubtitleOut(*FGraph.Foutput_files[ost.file_index], ost, decoded.subtitle);
    }
}

}  // namespace reelsmith
