// The filtering stage while the loop runs: frames into the graphs, a graph rebuilt when its
// input changes, filtered frames reaped and handed to the encoding stage.

#include "engine/pipeline/filter_run.h"

#include "engine/custom_ffmpeg.h"
#include "engine/engine_error.h"
#include "engine/pipeline/transcode_loop.h"
#include "media/engine_log.h"

namespace reelsmith {

bool InputFormatChanged(const TInputFilter& ifilter, const AVFrame* frame)
{
    return ifilter.format != frame->format ||
           (ifilter.type_ == AVMEDIA_TYPE_VIDEO &&
            (ifilter.width != frame->width || ifilter.height != frame->height)) ||
           (ifilter.type_ == AVMEDIA_TYPE_AUDIO && ifilter.sample_rate != frame->sample_rate);
}

void TakeInputFormat(TInputFilter& ifilter, const AVFrame* frame)
{
    ifilter.format = frame->format;
    ifilter.width = frame->width;
    ifilter.height = frame->height;
    ifilter.sample_rate = frame->sample_rate;
    if (frame->ch_layout.nb_channels)
        ff().av_channel_layout_copy(ifilter.ch_layout.get(), &frame->ch_layout);
    ifilter.sample_aspect_ratio = frame->sample_aspect_ratio;
}

void CloseFilterInputs(TInputStream& ist, int64_t pts)
{
    for (TInputFilter* ifilter : ist.filters)
        if (ifilter->filter && !ifilter->eof) {
            ff().av_buffersrc_close(ifilter->filter, pts, AV_BUFFERSRC_FLAG_PUSH);
            ifilter->eof = 1;
        }
}

// Sends one decoded frame to every filter graph input fed by ist.
void TCustomFFmpeg::SendToFilters(TInputStream& ist, AVFrame* frame)
{
    // An aspect ratio given by the container wins over the coded one (anamorphic files that say so
    // only in the container), so scaling keeps the picture's shape.
    if (ist.st->codecpar->codec_type == AVMEDIA_TYPE_VIDEO && ist.st->sample_aspect_ratio.num)
        frame->sample_aspect_ratio = ist.st->sample_aspect_ratio;
    for (TInputFilter* ifilter : ist.filters) {
        if (!ifilter->filter) {
            if (!FormatUnknown(*ifilter->graph))
                continue;
            // The graph waited for its first frame to know what it gets.
            TakeInputFormat(*ifilter, frame);
            if (ConfigureFilterGraph(*ifilter->graph) < 0)
                Fatal("Error reinitializing filters!");
        }
        if (InputFormatChanged(*ifilter, frame))
            ReconfigureFilterInput(*ifilter, frame);
        const int ret = ff().av_buffersrc_add_frame_flags(ifilter->filter, frame,
                                                          AV_BUFFERSRC_FLAG_KEEP_REF | AV_BUFFERSRC_FLAG_PUSH);
        if (ret < 0 && ret != AVERROR_EOF)
            Fatal(
                StrFormat("Error while processing the decoded data for stream #%d:%d", ist.file_index, ist.st->index));
    }
}

// The stream's parameters changed: what the graph holds goes out first, then the graph is
// rebuilt for the new input.
void TCustomFFmpeg::ReconfigureFilterInput(TInputFilter& ifilter, const AVFrame* frame)
{
    ReapFilters(false);
    TakeInputFormat(ifilter, frame);
    if (ConfigureFilterGraph(*ifilter.graph) < 0)
        Fatal("Error reinitializing filters!");
    for (auto& ofilter : ifilter.graph->outputs) {
        const TOutputStream* ost = ofilter->ost;
        if (ost && ost->is_avcodec_opened && ost->enc_ctx->codec_type == AVMEDIA_TYPE_AUDIO &&
            !(ost->enc->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE))
            ff().av_buffersink_set_frame_size(ofilter->filter, ost->enc_ctx->frame_size);
    }
}

// The end of a decoded stream: its filter inputs close and what the graphs still hold
// (resampler tails, the last partial frame) goes out.
void TCustomFFmpeg::DrainFilters(TInputStream& ist)
{
    for (TInputFilter* ifilter : ist.filters)
        if (!ifilter->filter && FormatUnknown(*ifilter->graph)) {
            EngineLog(TLogLevel::llError, StrFormat("Cannot determine format of input stream %d:%d after EOF",
                                                    ist.file_index, ist.st->index));
            FLastErrMsg = "Error marking filters as finished";
            throw TEngineError(FLastErrMsg);  // logged once, where the task's failure is caught
        }
    CloseFilterInputs(ist, ff().av_rescale_q(ist.clock.next_pts, AV_TIME_BASE_Q, ist.st->time_base));
    for (TInputFilter* ifilter : ist.filters)
        if (ifilter->graph->graph)
            while (ff().avfilter_graph_request_oldest(ifilter->graph->graph.get()) >= 0)
                ReapFilters(false);
    ReapFilters(true);
}

int TCustomFFmpeg::ReapFilters(bool flush)
{
    for (auto& ostPtr : FGraph.Foutput_streams) {
        TOutputStream& ost = *ostPtr;
        if (!ost.filter || !ost.filter->filter)
            continue;
        // An audio sink must know the encoder's frame size before it gives a frame.
        if (!ost.initialized && ost.enc_ctx->codec_type == AVMEDIA_TYPE_AUDIO)
            InitOutputStreamNow(ost, nullptr);
        ReapOutput(ost, flush);
    }
    return 0;
}

// Takes every frame the output's sink has ready to its encoder; with flush, an ended video
// sink also gives the frame-rate conversion its last word.
void TCustomFFmpeg::ReapOutput(TOutputStream& ost, bool flush)
{
    TOutputFile& of = *FGraph.Foutput_files[ost.file_index];
    AVFrame* frame = ost.filtered_frame.get();
    for (;;) {
        int ret = ff().av_buffersink_get_frame_flags(ost.filter->filter, frame, AV_BUFFERSINK_FLAG_NO_REQUEST);
        if (ret < 0) {
            if (ret == AVERROR_EOF && flush && ost.enc_ctx->codec_type == AVMEDIA_TYPE_VIDEO && !(ost.finished & 1) &&
                ost.initialized)
                DoVideoOut(of, ost, nullptr);
            break;
        }
        if (ost.finished) {
            ff().av_frame_unref(frame);
            continue;
        }
        if (ost.enc_ctx->codec_type == AVMEDIA_TYPE_VIDEO) {
            if (!ost.initialized)
                InitOutputStreamNow(ost, frame);
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

}  // namespace reelsmith
