// Simple filter graphs: buffer source, the inserted rotation and trim filters, the
// user's -vf/-af text, scaling and format negotiation for the encoder, buffer sink.

#include <cmath>

#include "engine/custom_ffmpeg.h"
#include "engine/engine_error.h"
#include "engine/pipeline/pixel_format_choice.h"
#include "media/engine_log.h"

namespace reelsmith {

namespace {

std::string Seconds(int64_t micros) { return StrFormat("%.6f", double(micros) / AV_TIME_BASE); }

// The display matrix turns the picture upright; its signs tell a mirrored picture from a rotated one.
std::string RotationFilters(const TInputStream& ist)
{
    if (!ist.autorotate)
        return {};
    const auto* matrix =
        reinterpret_cast<const int32_t*>(ff().av_stream_get_side_data(ist.st, AV_PKT_DATA_DISPLAYMATRIX, nullptr));
    if (!matrix)
        return {};
    double theta = -std::round(ff().av_display_rotation_get(matrix));
    theta -= 360 * std::floor(theta / 360 + 0.9 / 360);
    if (std::fabs(theta - 90) < 1.0)
        return matrix[3] < 1 ? "transpose=clock" : "transpose=cclock_flip";
    if (std::fabs(theta - 180) < 1.0) {
        std::string chain = matrix[0] < 0 ? "hflip" : "";
        if (matrix[4] < 0)
            chain += chain.empty() ? "vflip" : ",vflip";
        return chain;
    }
    if (std::fabs(theta - 270) < 1.0)
        return matrix[3] < 0 ? "transpose=clock_flip" : "transpose=cclock";
    if (std::fabs(theta) > 1.0)
        return StrFormat("rotate=%f*PI/180", theta);
    return matrix[4] < 0 ? "vflip" : "";
}

std::string TrimFilter(bool video, int64_t start, int64_t duration)
{
    if (start == kNoPtsValue && duration == INT64_MAX)
        return {};
    std::string text = video ? "trim=" : "atrim=";
    std::string sep;
    if (start != kNoPtsValue) {
        text += "start=" + Seconds(start);
        sep = ":";
    }
    if (duration != INT64_MAX)
        text += sep + "duration=" + Seconds(duration);
    return text;
}

// The formats the encoder may get: its strictness is taken from its options first, as the mjpeg
// rule depends on it; -pix_fmt "+..." also switches the graph's automatic conversion off.
std::string EncoderFormatList(const TOutputStream& ost, AVFilterGraph* graph)
{
    AVCodecContext* enc = ost.enc_ctx.get();
    if (const char* strict = ost.encoder_opts.Get("strict"))
        ff().av_opt_set(enc, "strict", strict, 0);
    if (ost.keep_pix_fmt)
        ff().avfilter_graph_set_auto_convert(graph, AVFILTER_AUTO_CONVERT_NONE);
    return OutputPixelFormatList(ost.enc, enc->strict_std_compliance, enc->pix_fmt, ost.keep_pix_fmt);
}

std::string LayoutText(const AVChannelLayout& layout)
{
    char buf[128] = {};
    ff().av_channel_layout_describe(&layout, buf, sizeof buf);
    return buf;
}

std::string AudioFormatFilter(const TOutputStream& ost)
{
    const AVCodecContext* enc = ost.enc_ctx.get();
    const AVCodec* codec = ost.enc;
    std::string fmts, rates, layouts;
    if (enc->sample_fmt != AV_SAMPLE_FMT_NONE)
        fmts = ff().av_get_sample_fmt_name(enc->sample_fmt);
    else if (codec && codec->sample_fmts)
        for (const AVSampleFormat* p = codec->sample_fmts; *p != AV_SAMPLE_FMT_NONE; ++p)
            fmts += (fmts.empty() ? "" : "|") + std::string(ff().av_get_sample_fmt_name(*p));
    if (enc->sample_rate)
        rates = std::to_string(enc->sample_rate);
    else if (codec && codec->supported_samplerates)
        for (const int* p = codec->supported_samplerates; *p; ++p)
            rates += (rates.empty() ? "" : "|") + std::to_string(*p);
    if (enc->ch_layout.order != AV_CHANNEL_ORDER_UNSPEC && enc->ch_layout.nb_channels) {
        layouts = LayoutText(enc->ch_layout);
    } else if (enc->ch_layout.nb_channels) {
        const AVChannelLayout* chosen = nullptr;
        if (codec && codec->ch_layouts)
            for (const AVChannelLayout* p = codec->ch_layouts; p->nb_channels; ++p)
                if (p->nb_channels == enc->ch_layout.nb_channels) {
                    chosen = p;
                    break;
                }
        if (chosen) {
            layouts = LayoutText(*chosen);
        } else {
            layouts = LayoutText(*TChannelLayout::Default(enc->ch_layout.nb_channels));
        }
    } else if (codec && codec->ch_layouts) {
        for (const AVChannelLayout* p = codec->ch_layouts; p->nb_channels; ++p)
            layouts += (layouts.empty() ? "" : "|") + LayoutText(*p);
    }
    if (fmts.empty() && rates.empty() && layouts.empty())
        return {};
    std::string text = "aformat=";
    std::string sep;
    if (!fmts.empty()) {
        text += "sample_fmts=" + fmts;
        sep = ":";
    }
    if (!rates.empty()) {
        text += sep + "sample_rates=" + rates;
        sep = ":";
    }
    if (!layouts.empty())
        text += sep + "channel_layouts=" + layouts;
    return text;
}

void Append(std::string& chain, const std::string& piece)
{
    if (!piece.empty())
        chain += (chain.empty() ? "" : ",") + piece;
}

// "key=value" pairs of a dictionary joined by sep, in the dictionary's order.
std::string JoinPairs(const TDictionary& dict, const char* sep)
{
    std::string text;
    const AVDictionaryEntry* e = nullptr;
    while (dict.get() && (e = ff().av_dict_get(dict.get(), "", e, AV_DICT_IGNORE_SUFFIX)))
        text += (text.empty() ? "" : sep) + std::string(e->key) + "=" + e->value;
    return text;
}

// -map_channel as a pan filter: output channel i takes the mapped input channel; a muted one is left
// out, which pan fills with silence.
std::string ChannelMapFilter(const TOutputStream& ost)
{
    if (ost.audio_channels_map.empty())
        return {};
    std::string args = LayoutText(*TChannelLayout::Default(ost.audio_channels_mapped()));
    for (int i = 0; i < ost.audio_channels_mapped(); ++i) {
        const int source = ost.audio_channels_map[size_t(i)];
        if (source != -1)
            args += StrFormat("|c%d=c%d", i, source);
    }
    EngineLog(TLogLevel::llInfo,
              StrFormat("%s is forwarded to lavfi similarly to -af %s=%s.", "-map_channel", "pan", args.c_str()));
    return "pan=" + args;
}

// -async and -vol on the audio input side, forwarded to filters.
std::string AudioInputFilters(const TGlobalOptions& global, const TFilterGraph& fg)
{
    std::string chain;
    if (global.Faudio_sync_method > 0) {
        std::string args =
            StrFormat("async=%d:min_hard_comp=%f", global.Faudio_sync_method, double(global.Faudio_drift_threshold));
        if (!fg.reconfiguration)
            args += ":first_pts=0";
        EngineLog(TLogLevel::llInfo,
                  StrFormat("%s is forwarded to lavfi similarly to -af %s=%s.", "-async", "aresample", args.c_str()));
        Append(chain, "aresample=" + args);
    }
    if (global.Faudio_volume != 256) {
        EngineLog(TLogLevel::llWarning, "-vol has been deprecated. Use the volume audio filter instead.");
        Append(chain, StrFormat("volume=%f", global.Faudio_volume / 256.0));
    }
    return chain;
}

std::string SourceArgs(TInputFilter& ifilter, const AVCodecParameters* par)
{
    const TInputStream& ist = *ifilter.ist;
    if (ifilter.type_ == AVMEDIA_TYPE_VIDEO) {
        const int width = ifilter.width ? ifilter.width : par->width;
        const int height = ifilter.height ? ifilter.height : par->height;
        const int format = ifilter.format >= 0 ? ifilter.format : par->format;
        AVRational sar = ifilter.sample_aspect_ratio.num   ? ifilter.sample_aspect_ratio
                         : ist.st->sample_aspect_ratio.num ? ist.st->sample_aspect_ratio
                                                           : par->sample_aspect_ratio;
        if (!sar.den)
            sar = AVRational{0, 1};
        std::string args = StrFormat("video_size=%dx%d:pix_fmt=%d:time_base=%d/%d:pixel_aspect=%d/%d", width, height,
                                     format, ist.st->time_base.num, ist.st->time_base.den, sar.num, sar.den);
        if (ist.framerate.num)
            args += StrFormat(":frame_rate=%d/%d", ist.framerate.num, ist.framerate.den);
        return args;
    }
    const int rate = ifilter.sample_rate ? ifilter.sample_rate : par->sample_rate;
    const int format = ifilter.format >= 0 ? ifilter.format : par->format;
    TChannelLayout layout(ifilter.ch_layout.get()->nb_channels ? *ifilter.ch_layout : par->ch_layout);
    if (layout.get()->order == AV_CHANNEL_ORDER_UNSPEC)
        layout = TChannelLayout::Default(layout.get()->nb_channels);
    return StrFormat("time_base=1/%d:sample_rate=%d:sample_fmt=%s:channel_layout=%s", rate, rate,
                     ff().av_get_sample_fmt_name(static_cast<AVSampleFormat>(format)), LayoutText(*layout).c_str());
}

// Links src's output pad through chain (a filter text, "null" when empty) to dst's input pad.
int LinkThrough(AVFilterGraph* graph, AVFilterContext* src, int srcPad, const std::string& chain, AVFilterContext* dst,
                int dstPad, bool video)
{
    TFilterInOutPtr outputs(ff().avfilter_inout_alloc());
    TFilterInOutPtr inputs(ff().avfilter_inout_alloc());
    if (!outputs || !inputs)
        return AVERROR(ENOMEM);
    outputs->name = ff().av_strdup("in");
    outputs->filter_ctx = src;
    outputs->pad_idx = srcPad;
    inputs->name = ff().av_strdup("out");
    inputs->filter_ctx = dst;
    inputs->pad_idx = dstPad;
    AVFilterInOut* outRaw = outputs.release();
    AVFilterInOut* inRaw = inputs.release();
    const std::string text = chain.empty() ? (video ? "null" : "anull") : chain;
    const int ret = ff().avfilter_graph_parse_ptr(graph, text.c_str(), &inRaw, &outRaw, nullptr);
    inputs.reset(inRaw);
    outputs.reset(outRaw);
    return ret;
}

// A simple graph takes the stream's scaler and resampler options and the -filter_threads count.
int ApplyStreamGraphOptions(const TCustomFFmpegOpt& task, AVFilterGraph* graph, const TOutputStream& ost)
{
    const std::string swsOpts = JoinPairs(ost.sws_dict, ":");
    if (!swsOpts.empty()) {
        ff().av_freep(&graph->scale_sws_opts);
        graph->scale_sws_opts = ff().av_strdup(swsOpts.c_str());
    }
    const std::string swrOpts = JoinPairs(ost.swr_opts, ":");
    int ret = 0;
    if (!swrOpts.empty())
        ret = ff().av_opt_set(graph, "aresample_swr_opts", swrOpts.c_str(), 0);
    if (ret >= 0 && !task.FGlobal.Ffilter_nbthreads.empty())
        ret = ff().av_opt_set(graph, "threads", task.FGlobal.Ffilter_nbthreads.c_str(), 0);
    return ret;
}

// Filters the engine puts between a graph input's buffer source and the graph.
std::string InputChain(const TCustomFFmpegOpt& task, const TFilterGraph& fg, const TInputFilter& ifilter)
{
    const TInputStream& ist = *ifilter.ist;
    const TInputFile& ifile = *task.FGraph.Finput_files[ist.file_index];
    const bool video = ifilter.type_ == AVMEDIA_TYPE_VIDEO;
    std::string chain;
    if (video)
        Append(chain, RotationFilters(ist));
    else
        Append(chain, AudioInputFilters(task.FGlobal, fg));
    const bool inputTrim = ifile.start_time != kNoPtsValue && ifile.accurate_seek;
    Append(chain, TrimFilter(video, inputTrim ? 0 : kNoPtsValue, ifile.recording_time));
    return chain;
}

// Filters between a graph output and its buffer sink: what the encoder accepts, and -ss/-t of the output.
std::string OutputChain(const TCustomFFmpegOpt& task, const TOutputFilter& ofilter, AVFilterGraph* graph)
{
    const TOutputStream& ost = *ofilter.ost;
    const TOutputFile& of = *task.FGraph.Foutput_files[ost.file_index];
    const bool video = ofilter.type_ == AVMEDIA_TYPE_VIDEO;
    std::string chain;
    if (video) {
        const AVCodecContext* enc = ost.enc_ctx.get();
        if ((enc->width || enc->height) && ost.autoscale) {
            const std::string swsOpts = JoinPairs(ost.sws_dict, ":");
            Append(chain, StrFormat("scale=%d:%d", enc->width, enc->height) + (swsOpts.empty() ? "" : ":" + swsOpts));
        }
        const std::string fmts = EncoderFormatList(ost, graph);
        if (!fmts.empty())
            Append(chain, "format=pix_fmts=" + fmts);
    } else {
        Append(chain, ChannelMapFilter(ost));
        Append(chain, AudioFormatFilter(ost));
        if (!ost.apad.empty())
            Append(chain, "apad=" + ost.apad);
    }
    Append(chain, TrimFilter(video, of.start_time, of.recording_time));
    return chain;
}

// The buffer sources and sinks of a graph being configured, in the order of its pads.
struct TGraphEnds {
    std::vector<AVFilterContext*> sources;
    std::vector<AVFilterContext*> sinks;
};

// A new graph for fg: bicubic scaling unless the stream says otherwise, and for a complex graph
// the -filter_complex_threads count. 0 or -ENOMEM.
int AllocateGraph(const TGlobalOptions& global, TFilterGraph& fg)
{
    fg.graph.reset(ff().avfilter_graph_alloc());
    if (!fg.graph)
        return AVERROR(ENOMEM);
    fg.graph->scale_sws_opts = ff().av_strdup("flags=bicubic");
    if (!global.Fauto_conversion_filters)
        ff().avfilter_graph_set_auto_convert(fg.graph.get(), AVFILTER_AUTO_CONVERT_NONE);
    if (!fg.graph_desc.empty() && global.Ffilter_complex_nbthreads > 0)
        fg.graph->nb_threads = global.Ffilter_complex_nbthreads;
    return 0;
}

// A failed configuration leaves no graph behind; the error text names the step. Returns ret.
int FailGraph(TCustomFFmpeg& task, TFilterGraph& fg, int ret, const std::string& text)
{
    task.FLastErrMsg = text + ": " + EngineErrorText(ret);
    fg.graph.reset();
    return ret;
}

int CreateBufferSource(AVFilterGraph* graph, TInputFilter& ifilter, const std::string& name, AVFilterContext** src)
{
    const bool video = ifilter.type_ == AVMEDIA_TYPE_VIDEO;
    return ff().avfilter_graph_create_filter(src, ff().avfilter_get_by_name(video ? "buffer" : "abuffer"), name.c_str(),
                                             SourceArgs(ifilter, ifilter.ist->st->codecpar).c_str(), nullptr, graph);
}

int CreateBufferSink(AVFilterGraph* graph, const TOutputFilter& ofilter, const std::string& name,
                     AVFilterContext** sink)
{
    const bool video = ofilter.type_ == AVMEDIA_TYPE_VIDEO;
    return ff().avfilter_graph_create_filter(sink, ff().avfilter_get_by_name(video ? "buffersink" : "abuffersink"),
                                             name.c_str(), nullptr, nullptr, graph);
}

// "0", "1" or ">1": the open pads of a parsed graph.
const char* PadCount(const AVFilterInOut* pads) { return !pads ? "0" : pads->next ? ">1" : "1"; }

// The text of a simple graph must leave exactly one input and one output open. 0, or -EINVAL with
// the reference's text in the task's error. Asked only once a graph failed.
int CheckSimpleGraphPads(TCustomFFmpeg& task, const std::string& text)
{
    TFilterGraphPtr scratch(ff().avfilter_graph_alloc());
    if (!scratch)
        return AVERROR(ENOMEM);
    AVFilterInOut* inRaw = nullptr;
    AVFilterInOut* outRaw = nullptr;
    const int ret = ff().avfilter_graph_parse2(scratch.get(), text.c_str(), &inRaw, &outRaw);
    TFilterInOutPtr inputs(inRaw), outputs(outRaw);
    if (ret < 0)
        return 0;  // the real parse reports it
    if (inputs && !inputs->next && outputs && !outputs->next)
        return 0;
    task.FLastErrMsg = StrFormat(
        "Simple filtergraph '%s' was expected to have exactly 1 input and 1 output. However, it had %s input(s) and "
        "%s output(s). Please adjust, or use a complex filtergraph (-filter_complex) instead.",
        text.c_str(), PadCount(inputs.get()), PadCount(outputs.get()));
    EngineLog(TLogLevel::llError, task.FLastErrMsg);
    return AVERROR(EINVAL);
}

// A simple graph: buffer source, the engine's input filters, the stream's -vf/-af text, the
// engine's output filters, buffer sink. 0 or a negative code (the graph is then gone).
int LinkSimpleGraph(TCustomFFmpeg& task, TFilterGraph& fg, TGraphEnds& ends)
{
    AVFilterGraph* graph = fg.graph.get();
    TInputFilter& ifilter = *fg.inputs[0];
    TOutputFilter& ofilter = *fg.outputs[0];
    const TInputStream& ist = *ifilter.ist;
    const TOutputStream& ost = *ofilter.ost;
    int ret = ApplyStreamGraphOptions(task, graph, ost);
    if (ret < 0)
        return FailGraph(task, fg, ret, "Error configuring filters");
    ret = CreateBufferSource(graph, ifilter, "in", &ends.sources[0]);
    if (ret >= 0)
        ret = CreateBufferSink(graph, ofilter, "out", &ends.sinks[0]);
    if (ret < 0)
        return FailGraph(task, fg, ret, "Error configuring filters");
    std::string chain = InputChain(task, fg, ifilter);
    Append(chain, ost.avfilter);
    Append(chain, OutputChain(task, ofilter, graph));
    ret = LinkThrough(graph, ends.sources[0], 0, chain, ends.sinks[0], 0, ifilter.type_ == AVMEDIA_TYPE_VIDEO);
    if (ret < 0 && CheckSimpleGraphPads(task, ost.avfilter) < 0) {
        fg.graph.reset();
        return AVERROR(EINVAL);
    }
    if (ret < 0)
        return FailGraph(task, fg, ret,
                         StrFormat("Error initializing a simple filtergraph between streams %d:%d->%d:%d",
                                   ist.file_index, ist.st->index, ost.file_index, ost.index));
    return 0;
}

// Each open input of a complex graph gets a buffer source and the engine's input filters. The pads
// come in the same order as when the graph was first parsed to bind them.
int LinkComplexInputs(TCustomFFmpeg& task, TFilterGraph& fg, AVFilterInOut* open, TGraphEnds& ends)
{
    size_t i = 0;
    for (AVFilterInOut* cur = open; cur; cur = cur->next, ++i) {
        if (i >= fg.inputs.size())
            return FailGraph(task, fg, AVERROR(EINVAL), "Error configuring complex filters");
        TInputFilter& ifilter = *fg.inputs[i];
        const TInputStream& ist = *ifilter.ist;
        int ret = CreateBufferSource(
            fg.graph.get(), ifilter,
            StrFormat("graph %d input from stream %d:%d", fg.index, ist.file_index, ist.st->index), &ends.sources[i]);
        if (ret >= 0)
            ret = LinkThrough(fg.graph.get(), ends.sources[i], 0, InputChain(task, fg, ifilter), cur->filter_ctx,
                              cur->pad_idx, ifilter.type_ == AVMEDIA_TYPE_VIDEO);
        if (ret < 0)
            return FailGraph(task, fg, ret, "Error configuring complex filters");
    }
    return 0;
}

// Each open output of a complex graph goes through the engine's output filters to a buffer sink.
int LinkComplexOutputs(TCustomFFmpeg& task, TFilterGraph& fg, AVFilterInOut* open, TGraphEnds& ends)
{
    size_t j = 0;
    for (AVFilterInOut* cur = open; cur; cur = cur->next, ++j) {
        if (j >= fg.outputs.size())
            return FailGraph(task, fg, AVERROR(EINVAL), "Error configuring complex filters");
        TOutputFilter& ofilter = *fg.outputs[j];
        if (!ofilter.ost)
            return FailGraph(task, fg, AVERROR(EINVAL),
                             StrFormat("Filter %s has an unconnected output", cur->filter_ctx->name));
        int ret = CreateBufferSink(fg.graph.get(), ofilter, StrFormat("out_%d_%d", fg.index, int(j)), &ends.sinks[j]);
        if (ret >= 0)
            ret = LinkThrough(fg.graph.get(), cur->filter_ctx, cur->pad_idx, OutputChain(task, ofilter, fg.graph.get()),
                              ends.sinks[j], 0, ofilter.type_ == AVMEDIA_TYPE_VIDEO);
        if (ret < 0)
            return FailGraph(task, fg, ret, "Error configuring complex filters");
    }
    return 0;
}

// A complex graph: the user's -filter_complex text with its open pads linked to sources and sinks.
int LinkComplexGraph(TCustomFFmpeg& task, TFilterGraph& fg, TGraphEnds& ends)
{
    AVFilterInOut* inRaw = nullptr;
    AVFilterInOut* outRaw = nullptr;
    const int ret = ff().avfilter_graph_parse2(fg.graph.get(), fg.graph_desc.c_str(), &inRaw, &outRaw);
    TFilterInOutPtr openInputs(inRaw), openOutputs(outRaw);
    if (ret < 0)
        return FailGraph(task, fg, ret, "Error initializing complex filters");
    if (const int linked = LinkComplexInputs(task, fg, openInputs.get(), ends); linked < 0)
        return linked;
    return LinkComplexOutputs(task, fg, openOutputs.get(), ends);
}

// The inputs keep their buffer sources; an input not yet fed takes its format from the stream.
void RecordGraphInputs(TFilterGraph& fg, const TGraphEnds& ends)
{
    for (size_t i = 0; i < fg.inputs.size(); ++i) {
        TInputFilter& ifilter = *fg.inputs[i];
        ifilter.filter = ends.sources[i];
        if (ifilter.format < 0) {
            const AVCodecParameters* par = ifilter.ist->st->codecpar;
            ifilter.format = par->format;
            ifilter.width = par->width;
            ifilter.height = par->height;
            ifilter.sample_rate = par->sample_rate;
        }
    }
}

// The outputs keep their buffer sinks and what the configured graph delivers to them.
void RecordGraphOutputs(TFilterGraph& fg, const TGraphEnds& ends)
{
    for (size_t j = 0; j < fg.outputs.size(); ++j) {
        TOutputFilter& ofilter = *fg.outputs[j];
        ofilter.filter = ends.sinks[j];
        const AVFilterLink* link = ends.sinks[j]->inputs[0];
        ofilter.format = link->format;
        ofilter.width = link->w;
        ofilter.height = link->h;
        ofilter.sample_rate = link->sample_rate;
        ofilter.frame_rate = link->frame_rate;
        ofilter.ch_layout.Assign(link->ch_layout);
    }
}

}  // namespace

int TCustomFFmpeg::ConfigureFilterGraph(TFilterGraph& fg)
{
    if (const int ret = AllocateGraph(FGlobal, fg); ret < 0)
        return ret;
    TGraphEnds ends{std::vector<AVFilterContext*>(fg.inputs.size()), std::vector<AVFilterContext*>(fg.outputs.size())};
    const int linked = fg.graph_desc.empty() ? LinkSimpleGraph(*this, fg, ends) : LinkComplexGraph(*this, fg, ends);
    if (linked < 0)
        return linked;
    if (const int ret = ff().avfilter_graph_config(fg.graph.get(), nullptr); ret < 0) {
        // Checked only on failure: parsing the text again would initialise every filter twice.
        if (fg.graph_desc.empty() && CheckSimpleGraphPads(*this, fg.outputs[0]->ost->avfilter) < 0) {
            fg.graph.reset();
            return AVERROR(EINVAL);
        }
        return FailGraph(*this, fg, ret, "Error reinitializing filters!");
    }
    RecordGraphInputs(fg, ends);
    RecordGraphOutputs(fg, ends);
    fg.reconfiguration = 1;
    return 0;
}

}  // namespace reelsmith
