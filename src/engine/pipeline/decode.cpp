// The decoding stage: input packets to decoded frames, subtitles, and the end of a stream.

#include "engine/pipeline/decode.h"

#include "engine/custom_ffmpeg.h"
#include "engine/pipeline/decode_ahead.h"
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
const AVPacket* VideoPacketWithTime(const TInputStream& ist, const TInputClock& clock, AVPacket* timed,
                                    const AVPacket* pkt)
{
    if (!pkt || pkt->dts != kNoPtsValue || ist.dec_ctx->codec_type != AVMEDIA_TYPE_VIDEO || clock.dts == kNoPtsValue)
        return pkt;
    ff().av_packet_unref(timed);
    if (ff().av_packet_ref(timed, pkt) < 0)
        return pkt;
    timed->dts = ff().av_rescale_q(clock.dts, AV_TIME_BASE_Q, ist.st->time_base);
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

void AdvanceInputClock(const TInputStream& ist, TInputClock& clock, const AVPacket* pkt)
{
    if (!clock.saw_first_ts) {
        clock.dts = (ist.st->avg_frame_rate.num && ist.dec_ctx)
                      ? -int64_t(ist.dec_ctx->has_b_frames) * AV_TIME_BASE / av_q2d(ist.st->avg_frame_rate)
                      : 0;
        clock.pts = 0;
        if (pkt && pkt->pts != kNoPtsValue && !ist.decoding_needed) {
            clock.dts += ff().av_rescale_q(pkt->pts, ist.st->time_base, AV_TIME_BASE_Q);
            clock.pts = clock.dts;
        }
        clock.saw_first_ts = 1;
    }
    if (clock.next_dts == kNoPtsValue)
        clock.next_dts = clock.dts;
    if (clock.next_pts == kNoPtsValue)
        clock.next_pts = clock.pts;
    if (pkt)
        clock.dts = clock.next_dts;
    if (pkt && pkt->dts != kNoPtsValue) {
        clock.next_dts = clock.dts = ff().av_rescale_q(pkt->dts, ist.st->time_base, AV_TIME_BASE_Q);
        if (ist.st->codecpar->codec_type != AVMEDIA_TYPE_VIDEO || !ist.decoding_needed)
            clock.next_pts = clock.pts = clock.dts;
    }
}

void StampDecodedFrame(const TInputStream& ist, TInputClock& clock, AVFrame* frame, const AVPacket* pkt)
{
    if (ist.dec_ctx->codec_type == AVMEDIA_TYPE_AUDIO) {
        clock.samples_decoded += frame->nb_samples;
        AVRational decTb{1, frame->sample_rate};
        // A gap in the packets (containers with coarse time stamps) restarts the
        // sample-exact time line instead of stretching it.
        if (pkt && pkt->duration && clock.prev_pkt_pts != kNoPtsValue && pkt->pts != kNoPtsValue &&
            pkt->pts - clock.prev_pkt_pts > pkt->duration)
            clock.filter_in_rescale_delta_last = kNoPtsValue;
        if (pkt)
            clock.prev_pkt_pts = pkt->pts;
        if (frame->pts != kNoPtsValue) {
            frame->pts = ff().av_rescale_delta(ist.st->time_base, frame->pts, decTb, frame->nb_samples,
                                               &clock.filter_in_rescale_delta_last, decTb);
        } else {
            frame->pts = ff().av_rescale_q(clock.next_pts, AV_TIME_BASE_Q, decTb);
        }
        clock.next_pts = ff().av_rescale_q(frame->pts + frame->nb_samples, decTb, AV_TIME_BASE_Q);
        return;
    }
    if (ist.top_field_first >= 0)
        frame->top_field_first = ist.top_field_first;
    frame->pts = frame->best_effort_timestamp;
    // Frames drained at the end of a stream without time stamps follow the last one.
    if (frame->pts == kNoPtsValue && clock.max_pts != INT64_MIN)
        frame->pts = clock.max_pts + FrameStep(ist, frame);
    if (frame->pts != kNoPtsValue)
        clock.max_pts = std::max(clock.max_pts, frame->pts);
    // The stream's clock ends where its last picture ends: that is the end a rate-changing
    // filter (fps=, framerate) fills up to when the stream closes.
    if (frame->pts != kNoPtsValue)
        clock.next_pts = clock.pts = ff().av_rescale_q(frame->pts, ist.st->time_base, AV_TIME_BASE_Q);
    if (clock.next_pts != kNoPtsValue)
        clock.next_pts += frame->pkt_duration > 0
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

void DecodeStreamPacket(const TInputStream& ist, TInputClock& clock, AVPacket* scratch, AVFrame* frame,
                        const AVPacket* pkt, IDecodeSink& sink)
{
    AdvanceInputClock(ist, clock, pkt);
    AVCodecContext* dec = ist.dec_ctx.get();
    int ret = ff().avcodec_send_packet(dec, VideoPacketWithTime(ist, clock, scratch, pkt));
    if (ret < 0 && ret != AVERROR_EOF && ret != AVERROR(EAGAIN))
        sink.DecodeFailed(ret, clock);
    for (;;) {
        ret = ff().avcodec_receive_frame(dec, frame);
        if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF)
            break;
        if (ret < 0) {
            sink.DecodeFailed(ret, clock);
            break;
        }
        clock.frames_decoded++;
        StampDecodedFrame(ist, clock, frame, pkt);
        sink.FrameDecoded(frame, clock);
        ff().av_frame_unref(frame);
    }
    if (pkt && dec->codec_type == AVMEDIA_TYPE_VIDEO)
        clock.next_dts += VideoPacketDuration(ist, pkt);
}

int TCustomFFmpeg::ProcessInputPacket(TInputStream& ist, const AVPacket* pkt, bool noEof)
{
    if (ist.decoding_needed && ist.dec_ctx->codec_type == AVMEDIA_TYPE_SUBTITLE) {
        AdvanceInputClock(ist, ist.clock, pkt);
        if (pkt)
            DecodeSubtitle(ist, pkt);
    } else if (ist.decoding_needed) {
        DecodePacket(ist, pkt);
    } else {
        AdvanceInputClock(ist, ist.clock, pkt);
    }
    if (pkt) {
        CopyPacket(ist, pkt);
        if (!ist.decoding_needed && pkt->duration > 0) {
            ist.clock.next_dts += ff().av_rescale_q(pkt->duration, ist.st->time_base, AV_TIME_BASE_Q);
            ist.clock.next_pts = ist.clock.next_dts;
        }
    }
    (void)noEof;
    return 0;
}

// Decoding on the loop's thread: every frame goes on at once, as it comes.
class TCustomFFmpeg::TLoopDecodeSink final : public IDecodeSink {
public:
    TLoopDecodeSink(TCustomFFmpeg& task, TInputStream& ist) : m_Task(task), m_Ist(ist) {}
    void DecodeFailed(int ret, const TInputClock&) override { m_Task.DecodeFailed(m_Ist, ret); }
    void FrameDecoded(AVFrame* frame, const TInputClock&) override { m_Task.UseDecodedFrame(m_Ist, frame); }

private:
    TCustomFFmpeg& m_Task;
    TInputStream& m_Ist;
};

// Sends the packet (null: the end of the stream) and hands every frame the decoder gives
// back to the hooks and the filters.
void TCustomFFmpeg::DecodePacket(TInputStream& ist, const AVPacket* pkt)
{
    TLoopDecodeSink sink(*this, ist);
    DecodeStreamPacket(ist, ist.clock, ist.pkt.get(), ist.decoded_frame.get(), pkt, sink);
    if (!pkt)
        DrainFilters(ist);
}

// A packet decoded ahead on the input's decoding thread: what it gave is taken in the order it
// came, each frame with the clock it had, so the stages see what they would have seen had the
// packet been decoded here.
void TCustomFFmpeg::ProcessDecodedPacket(TInputStream& ist, const AVPacket* pkt, TDecodedPacket& decoded)
{
    for (TDecodeEvent& event : decoded.events) {
        ist.clock = event.clock;
        if (event.frame) {
            UseDecodedFrame(ist, event.frame.get());
            event.frame.reset();
        } else {
            DecodeFailed(ist, event.error);
        }
    }
    ist.clock = decoded.after;
    if (pkt)
        CopyPacket(ist, pkt);
    else
        DrainFilters(ist);
}

void TCustomFFmpeg::DecodeFailed(TInputStream& ist, int ret)
{
    FLoop->decoding.Ffailed++;
    EngineLog(TLogLevel::llError, StrFormat("Error while decoding stream #%d:%d: %s", ist.file_index, ist.st->index,
                                            EngineErrorText(ret).c_str()));
    if (FGlobal.Fexit_on_error)
        Fatal(StrFormat("Error while decoding stream #%d:%d", ist.file_index, ist.st->index));
}

void TCustomFFmpeg::UseDecodedFrame(TInputStream& ist, AVFrame* frame)
{
    FLoop->decoding.Fdecoded++;
    InputHooks(ist, frame);
    if (FPreviewAudio && ist.dec_ctx->codec_type == AVMEDIA_TYPE_AUDIO)
        PreviewAudioWrite(frame);
    SendToFilters(ist, frame);
    ff().av_frame_unref(frame);
    ReapFilters(false);
}

void TCustomFFmpeg::DecodeSubtitle(TInputStream& ist, const AVPacket* pkt)
{
    TOwnedSubtitle decoded;
    int got = 0;
    const int ret =
        ff().avcodec_decode_subtitle2(ist.dec_ctx.get(), &decoded.subtitle, &got, const_cast<AVPacket*>(pkt));
    if (ret < 0) {
        DecodeFailed(ist, ret);
        return;
    }
    if (!got)
        return;
    FLoop->decoding.Fdecoded++;
    ist.clock.frames_decoded++;
    for (auto& ostPtr : FGraph.Foutput_streams) {
        TOutputStream& ost = *ostPtr;
        if (SourceOf(ost) != &ist || !ost.encoding_needed || ost.finished ||
            ost.enc_ctx->codec_type != AVMEDIA_TYPE_SUBTITLE)
            continue;
        DoSubtitleOut(*FGraph.Foutput_files[ost.file_index], ost, decoded.subtitle);
    }
}

}  // namespace reelsmith
