// Complex filter graphs (-filter_complex): their pads are read when an output is opened,
// inputs are tied to input streams by label or kind, outputs become output streams
// through -map [label] or, unlabelled, of the output being opened.

#include "engine/custom_ffmpeg.h"
#include "engine/pipeline/transcode_loop.h"
#include "engine/engine_error.h"
#include "engine/pipeline/write_guard.h"
#include "media/engine_log.h"

namespace reelsmith {

namespace {

AVMediaType PadType(const AVFilterInOut* cur, bool input)
{
    return ff().avfilter_pad_get_type(input ? cur->filter_ctx->input_pads : cur->filter_ctx->output_pads, cur->pad_idx);
}

const char* TypeName(AVMediaType type)
{
    const char* name = ff().av_get_media_type_string(type);
    return name ? name : "unknown";
}

// "file[:specifier]": the first stream of that input that the specifier matches.
TInputStream& LabelledInput(TCustomFFmpeg& task, const TFilterGraph& fg, const char* label)
{
    char* end = nullptr;
    const long fileIndex = std::strtol(label, &end, 0);
    if (end == label || fileIndex < 0 || fileIndex >= task.FGraph.Fnb_input_files())
        task.Fatal(
            StrFormat("Invalid file index %ld in filtergraph description %s.", fileIndex, fg.graph_desc.c_str()));
    const std::string spec = *end == ':' ? end + 1 : end;
    const TInputFile& file = *task.FGraph.Finput_files[fileIndex];
    for (int i = 0; i < file.nb_streams; ++i) {
        TInputStream& candidate = *task.FGraph.Finput_streams[file.ist_index + i];
        if (candidate.user_set_discard == AVDISCARD_ALL)
            continue;
        if (CheckStreamSpecifier(file.ctx.get(), candidate.st, spec) > 0)
            return candidate;
    }
    task.Fatal(StrFormat("Stream specifier '%s' in filtergraph description %s matches no streams.", spec.c_str(),
                         fg.graph_desc.c_str()));
}

// Unlabelled: the first stream of the pad's kind that nothing uses yet.
TInputStream& UnlabelledInput(TCustomFFmpeg& task, const AVFilterInOut* cur, AVMediaType type)
{
    for (auto& candidate : task.FGraph.Finput_streams)
        if (candidate->st->codecpar->codec_type == type && candidate->discard &&
            candidate->user_set_discard != AVDISCARD_ALL)
            return *candidate;
    task.Fatal(StrFormat("Cannot find a matching stream for unlabeled input pad %d on filter %s", cur->pad_idx,
                         cur->filter_ctx->name));
}

// An input pad of the graph tied to its input stream, which is then read and decoded.
void AddGraphInput(TCustomFFmpeg& task, TFilterGraph& fg, const AVFilterInOut* cur)
{
    const AVMediaType type = PadType(cur, true);
    if (type != AVMEDIA_TYPE_VIDEO && type != AVMEDIA_TYPE_AUDIO)
        task.Fatal("Only video and audio filters supported currently.");
    TInputStream& ist = cur->name ? LabelledInput(task, fg, cur->name) : UnlabelledInput(task, cur, type);
    if (ist.st->codecpar->codec_type != type)
        task.Fatal(type == AVMEDIA_TYPE_VIDEO ? "Cannot connect video filter to audio input"
                                              : "Cannot connect audio filter to non audio input");
    if (!ist.avdec)
        task.Fatal(StrFormat("Decoder (codec %s) not found for input stream #%d:%d",
                             ff().avcodec_get_name(ist.st->codecpar->codec_id), ist.file_index, ist.st->index));
    auto ifilter = std::make_unique<TInputFilter>();
    ifilter->ist = &ist;
    ifilter->graph = &fg;
    ifilter->type_ = type;
    ifilter->name = cur->name ? cur->name : "";
    ist.discard = 0;
    ist.st->discard = AVDISCARD_NONE;
    ist.decoding_needed = 1;
    ist.filters.push_back(ifilter.get());
    fg.inputs.push_back(std::move(ifilter));
}

// An output pad of the graph, free until an output stream takes it.
void AddGraphOutput(TCustomFFmpeg& task, TFilterGraph& fg, const AVFilterInOut* cur)
{
    auto ofilter = std::make_unique<TOutputFilter>();
    ofilter->graph = &fg;
    ofilter->type_ = PadType(cur, false);
    ofilter->name = cur->name ? cur->name : "";
    if (ofilter->type_ != AVMEDIA_TYPE_VIDEO && ofilter->type_ != AVMEDIA_TYPE_AUDIO)
        task.Fatal(StrFormat("Only video and audio filters are supported currently; output %s is %s.",
                             ofilter->name.c_str(), TypeName(ofilter->type_)));
    fg.outputs.push_back(std::move(ofilter));
}

// Parses the graph's text once, in a scratch graph, to read its open pads.
void BindComplexGraph(TCustomFFmpeg& task, TFilterGraph& fg)
{
    fg.bound = true;
    TFilterGraphPtr graph(ff().avfilter_graph_alloc());
    if (!graph)
        task.Fatal("Error allocating a filter graph.");
    AVFilterInOut* inRaw = nullptr;
    AVFilterInOut* outRaw = nullptr;
    fg.graph_desc = GuardedFilterGraph(task, fg.graph_desc);
    const int ret = ff().avfilter_graph_parse2(graph.get(), fg.graph_desc.c_str(), &inRaw, &outRaw);
    TFilterInOutPtr inputs(inRaw), outputs(outRaw);
    if (ret < 0)
        task.Fatal("Error initializing complex filters: " + EngineErrorText(ret));
    if (!outputs)
        task.Fatal(StrFormat("Filtergraph %s has no outputs.", fg.graph_desc.c_str()));
    for (const AVFilterInOut* cur = inputs.get(); cur; cur = cur->next)
        AddGraphInput(task, fg, cur);
    for (const AVFilterInOut* cur = outputs.get(); cur; cur = cur->next)
        AddGraphOutput(task, fg, cur);
}

}  // namespace

void TCustomFFmpeg::BindComplexFilterGraphs()
{
    for (auto& fg : FGraph.Ffiltergraphs)
        if (!fg->graph_desc.empty() && !fg->bound)
            BindComplexGraph(*this, *fg);
}

TInputStream* TCustomFFmpeg::FilterGraphInput(TOutputStream& ost, int* ret)
{
    TFilterGraph& fg = *ost.filter->graph;
    *ret = 0;
    // A graph still waiting to learn its input's format reads that input.
    if (!fg.graph && FormatUnknown(fg))
        return fg.inputs[0]->ist;
    if (!fg.graph) {
        *ret = ConfigureFilterGraph(fg);
        if (*ret < 0)
            return nullptr;
    }
    const int request = ff().avfilter_graph_request_oldest(fg.graph.get());
    if (request >= 0) {
        ReapFilters(false);
        return nullptr;
    }
    if (request == AVERROR_EOF) {
        ReapFilters(true);
        for (auto& ofilter : fg.outputs)
            if (ofilter->ost)
                CloseOutputStream(*ofilter->ost);
        return nullptr;
    }
    if (request != AVERROR(EAGAIN)) {
        *ret = request;
        return nullptr;
    }
    // The input whose buffer source was asked for a frame most often.
    TInputStream* best = nullptr;
    unsigned most = 0;
    for (auto& ifilter : fg.inputs) {
        TInputStream& ist = *ifilter->ist;
        if (ifilter->eof || InputFileOf(ist).eagain || InputFileOf(ist).eof_reached)
            continue;
        const unsigned failed = ff().av_buffersrc_get_nb_failed_requests(ifilter->filter);
        if (!best || failed > most) {
            best = &ist;
            most = failed;
        }
    }
    if (!best)
        for (auto& ofilter : fg.outputs)
            if (ofilter->ost)
                ofilter->ost->unavailable = 1;
    return best;
}

}  // namespace reelsmith
