// Packets to the muxer: stream copy, bit-stream filters, timestamp correction, and the
// end of the files.

#include "engine/pipeline/mux.h"

#include <algorithm>
#include <climits>

#include "engine/custom_ffmpeg.h"
#include "engine/engine_error.h"
#include "media/engine_log.h"

namespace reelsmith {

namespace {
int64_t Max3(int64_t a, int64_t b, int64_t c) { return std::max(a, std::max(b, c)); }
int64_t Min3(int64_t a, int64_t b, int64_t c) { return std::min(a, std::min(b, c)); }
}  // namespace

void FinishOutputStream(TJobGraph& graph, TOutputStream& ost)
{
    ost.finished |= 3;
    TOutputFile& of = *graph.Foutput_files[ost.file_index];
    if (of.shortest) {
        for (unsigned i = 0; i < of.ctx->nb_streams; ++i)
            graph.Foutput_streams[of.ost_index + i]->finished |= 3;
    }
}

int64_t WritePosition(const AVIOContext* pb) { return pb->pos + (pb->buf_ptr - pb->buffer); }

void TOutputsEnd::Failed(const std::string& text)
{
    EngineLog(TLogLevel::llError, text);
    if (failures++ == 0)
        firstFailure = text;
}

void TCustomFFmpeg::CloseOutputStream(TOutputStream& ost) { FinishOutputStream(FGraph, ost); }

// Copies an input packet to every output that copies the stream, from its first key frame
// and within the files' time limits.
void TCustomFFmpeg::CopyPacket(TInputStream& ist, const AVPacket* pkt)
{
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
            if (pkt->pts == kNoPtsValue ? ist.clock.pts < startTime
                                        : pkt->pts < ff().av_rescale_q(startTime, AV_TIME_BASE_Q, ist.st->time_base))
                continue;
        }
        if (of.recording_time != INT64_MAX && ist.clock.pts >= of.recording_time + startTime) {
            CloseOutputStream(ost);
            continue;
        }
        if (ifile.recording_time != INT64_MAX && ist.clock.pts >= ifile.recording_time) {
            CloseOutputStream(ost);
            continue;
        }
        AVPacket* opkt = ost.pkt.get();
        if (ff().av_packet_ref(opkt, pkt) < 0)
            Fatal("Error copying a packet.");
        if (pkt->pts != kNoPtsValue)
            opkt->pts = ff().av_rescale_q(pkt->pts, ist.st->time_base, ost.mux_timebase) - ostTbStart;
        if (pkt->dts == kNoPtsValue)
            opkt->dts = ff().av_rescale_q(ist.clock.dts, AV_TIME_BASE_Q, ost.mux_timebase);
        else
            opkt->dts = ff().av_rescale_q(pkt->dts, ist.st->time_base, ost.mux_timebase);
        opkt->dts -= ostTbStart;
        opkt->duration = ff().av_rescale_q(pkt->duration, ist.st->time_base, ost.mux_timebase);
        ost.streamcopy_started = 1;
        OutputPacket(of, opkt, ost, false);
        ff().av_packet_unref(opkt);
    }
}

void TCustomFFmpeg::QueuePacket(TOutputFile& of, AVPacket* pkt, TOutputStream& ost)
{
    if (!ost.muxing_queue)
        ost.muxing_queue.reset(ff().av_fifo_alloc2(8, sizeof(AVPacket*), 0));
    AVFifo* queue = ost.muxing_queue.get();
    if (!queue)
        Fatal("Failed to malloc ost.muxing_queue.");
    if (!ff().av_fifo_can_write(queue)) {
        // Beyond the data threshold only -max_muxing_queue_size packets may wait.
        const size_t size = ff().av_fifo_can_read(queue);
        const bool overThreshold = ost.muxing_queue_data_size + size_t(pkt->size) > ost.muxing_queue_data_threshold;
        const size_t limit = overThreshold ? size_t(std::max(ost.max_muxing_queue_size, 0)) : size_t(INT_MAX);
        const size_t newSize = std::min(2 * size, limit);
        if (newSize <= size || ff().av_fifo_grow2(queue, newSize - size) < 0) {
            ff().av_packet_unref(pkt);
            Fatal(StrFormat("Too many packets buffered for output stream %d:%d.", of.index, ost.index));
        }
    }
    TPacketPtr held(ff().av_packet_alloc());
    if (!held || ff().av_packet_make_refcounted(pkt) < 0)
        Fatal("Error allocating the packet.");
    ff().av_packet_move_ref(held.get(), pkt);
    ost.muxing_queue_data_size += size_t(held->size);
    AVPacket* raw = held.release();
    ff().av_fifo_write(queue, &raw, 1);
}

// The header is written: the streams that waited write what they hold; a stream that held
// nothing takes the time base the muxer chose as its own.
void TCustomFFmpeg::WriteQueuedPackets(TOutputFile& of)
{
    for (unsigned i = 0; i < of.ctx->nb_streams; ++i) {
        TOutputStream& ost = *FGraph.Foutput_streams[of.ost_index + i];
        AVFifo* queue = ost.muxing_queue.get();
        if (!queue || !ff().av_fifo_can_read(queue)) {
            if (!ost.bsf_ctx)  // a filter's input keeps the time base it was set up with
                ost.mux_timebase = ost.st->time_base;
            continue;
        }
        AVPacket* raw = nullptr;
        while (ff().av_fifo_read(queue, &raw, 1) >= 0) {
            TPacketPtr held(raw);
            ost.muxing_queue_data_size -= size_t(held->size);
            SendToMuxer(of, held.get(), ost);
        }
    }
}

void TCustomFFmpeg::WritePacket(TOutputFile& of, AVPacket* pkt, TOutputStream& ost)
{
    AVFormatContext* s = of.ctx.get();
    AVStream* st = ost.st;
    if (st->codecpar->codec_type == AVMEDIA_TYPE_VIDEO || st->codecpar->codec_type == AVMEDIA_TYPE_AUDIO ||
        st->codecpar->codec_type == AVMEDIA_TYPE_SUBTITLE) {
        if (ost.stream_copy && ost.max_frames != INT64_MAX && ost.frame_number >= ost.max_frames) {
            ff().av_packet_unref(pkt);
            return;
        }
        if (ost.stream_copy)
            ost.frame_number++;
    }
    if ((st->codecpar->codec_type == AVMEDIA_TYPE_VIDEO && ost.vsync_method == VSYNC_DROP) ||
        (st->codecpar->codec_type == AVMEDIA_TYPE_AUDIO && FGlobal.Faudio_sync_method < 0))
        pkt->pts = pkt->dts = kNoPtsValue;
    if (!(s->oformat->flags & AVFMT_NOTIMESTAMPS)) {
        if (pkt->dts != kNoPtsValue && pkt->pts != kNoPtsValue && pkt->dts > pkt->pts) {
            EngineLog(TLogLevel::llWarning,
                      StrFormat("Invalid DTS: %lld PTS: %lld in output stream %d:%d, replacing by guess",
                                (long long)pkt->dts, (long long)pkt->pts, ost.file_index, st->index));
            pkt->pts = pkt->dts = pkt->pts + pkt->dts + ost.last_mux_dts + 1 -
                                  Min3(pkt->pts, pkt->dts, ost.last_mux_dts + 1) -
                                  Max3(pkt->pts, pkt->dts, ost.last_mux_dts + 1);
        }
        if (pkt->dts != kNoPtsValue && ost.last_mux_dts != kNoPtsValue) {
            const int64_t max = ost.last_mux_dts + !(s->oformat->flags & AVFMT_TS_NONSTRICT);
            if (pkt->dts < max) {
                EngineLog(TLogLevel::llWarning,
                          StrFormat("Non-monotonous DTS in output stream %d:%d; previous: %lld, current: %lld; ",
                                    ost.file_index, st->index, (long long)ost.last_mux_dts, (long long)pkt->dts) +
                              StrFormat("changing to %lld. This may result in incorrect timestamps in the output file.",
                                        (long long)max));
                if (pkt->pts >= pkt->dts)
                    pkt->pts = std::max(pkt->pts, max);
                pkt->dts = max;
            }
        }
    }
    ost.last_mux_dts = pkt->dts;
    ost.data_size += pkt->size;
    ost.packets_written++;
    pkt->stream_index = ost.index;
    FIo.LastWrite = ff().av_gettime_relative();
    const int ret = ff().av_interleaved_write_frame(s, pkt);
    FIo.LastWrite = INT64_MAX;
    if (ret < 0) {
        EngineLog(TLogLevel::llError, "av_interleaved_write_frame(): " + EngineErrorText(ret));
        FIo.Broken = true;
        Fatal(StrFormat("Error writing to output file #%d: %s", of.index, EngineErrorText(ret).c_str()));
    }
}

// A packet in the stream's packet time base (the encoder's or the copy's, or the bit-stream
// filter's output) goes to the muxer, or waits for the file's header.
void TCustomFFmpeg::SendToMuxer(TOutputFile& of, AVPacket* pkt, TOutputStream& ost)
{
    if (!of.header_written) {
        QueuePacket(of, pkt, ost);
        return;
    }
    ff().av_packet_rescale_ts(pkt, ost.bsf_ctx ? ost.bsf_ctx->time_base_out : ost.mux_timebase, ost.st->time_base);
    WritePacket(of, pkt, ost);
}

void TCustomFFmpeg::OutputPacket(TOutputFile& of, AVPacket* pkt, TOutputStream& ost, bool eof)
{
    if (!ost.bsf_ctx) {
        if (!eof)
            SendToMuxer(of, pkt, ost);
        return;
    }
    AVBSFContext* bsf = ost.bsf_ctx.get();
    int ret = ff().av_bsf_send_packet(bsf, eof ? nullptr : pkt);
    if (ret < 0 && ret != AVERROR_EOF)
        Fatal(StrFormat("Error applying bitstream filters to an output packet for stream #%d:%d.", ost.file_index,
                        ost.index));
    while ((ret = ff().av_bsf_receive_packet(bsf, pkt)) >= 0)
        SendToMuxer(of, pkt, ost);
    if (ret != AVERROR(EAGAIN) && ret != AVERROR_EOF)
        Fatal(StrFormat("Error applying bitstream filters to an output packet for stream #%d:%d.", ost.file_index,
                        ost.index));
}

void TCustomFFmpeg::WriteTrailers(TOutputsEnd& end)
{
    for (auto& of : FGraph.Foutput_files) {
        if (!of->header_written) {
            end.Failed(
                StrFormat("Nothing was written into output file %d (%s), because at least one of its streams "
                          "received no packets.",
                          of->index, of->ctx->url));
            continue;
        }
        FIo.LastWrite = ff().av_gettime_relative();
        const int ret = ff().av_write_trailer(of->ctx.get());
        FIo.LastWrite = INT64_MAX;
        if (ret < 0)
            end.Failed(StrFormat("Error writing the end of %s: %s", of->ctx->url, EngineErrorText(ret).c_str()));
    }
}

void TCustomFFmpeg::CloseOutputFiles(TOutputsEnd& end)
{
    for (auto& of : FGraph.Foutput_files) {
        if (of->ctx && !(of->format->flags & AVFMT_NOFILE) && of->ctx->pb) {
            const int ret = ff().avio_closep(&of->ctx->pb);
            if (ret < 0) {
                FLastErrMsg = StrFormat("Error closing file %s", of->ctx->url) + ": " + EngineErrorText(ret);
                EngineLog(TLogLevel::llError, FLastErrMsg);
                ++end.failures;  // the last buffered bytes are lost: the file is not complete
            }
        }
    }
}

}  // namespace reelsmith
