// Output streams: encoder choice, per-stream settings and the simple filter graph.

#include "engine/pipeline/stream_setup.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

#include "engine/options/codec_options.h"
#include "engine/custom_ffmpeg.h"
#include "engine/engine_error.h"
#include "engine/pipeline/write_guard.h"
#include "media/engine_log.h"
#include "engine/text_file.h"

namespace reelsmith {

namespace {

const AVCodec* ChooseEncoder(TCustomFFmpeg& task, TOptionsContext& o, AVFormatContext* oc, AVStream* st,
                             AVMediaType type, bool* copy)
{
    *copy = false;
    // Other kinds than video, audio and subtitles are never encoded, whatever -c says.
    if (type != AVMEDIA_TYPE_VIDEO && type != AVMEDIA_TYPE_AUDIO && type != AVMEDIA_TYPE_SUBTITLE) {
        *copy = true;
        return nullptr;
    }
    const std::string* name = o.codec_names.Match(oc, st);
    if (!name) {
        const AVCodecID id = ff().av_guess_codec(oc->oformat, nullptr, oc->url, nullptr, type);
        const AVCodec* enc = ff().avcodec_find_encoder(id);
        if (!enc) {
            const int file = task.FGraph.Fnb_output_files() - 1;
            EngineLog(TLogLevel::llFatal,
                      StrFormat("Automatic encoder selection failed for output stream #%d:%d. Default encoder for "
                                "format %s (codec %s) is probably disabled. Please choose an encoder manually.",
                                file, st->index, oc->oformat->name, ff().avcodec_get_name(id)));
            task.Fatal(StrFormat("Error selecting an encoder for stream %d:%d", file, st->index));
        }
        return enc;
    }
    if (*name == "copy") {
        *copy = true;
        return nullptr;
    }
    const AVCodec* enc = EncoderNamed(*name);
    if (!enc)
        task.Fatal(StrFormat("Unknown encoder '%s'", name->c_str()));
    if (enc->type != type)
        task.Fatal(StrFormat("Invalid encoder type '%s'", name->c_str()));
    return enc;
}

void CreateSimpleFilterGraph(TCustomFFmpeg& task, TOutputStream& ost, TInputStream& ist)
{
    auto fg = std::make_unique<TFilterGraph>();
    fg->index = task.FGraph.Fnb_filtergraphs();
    auto in = std::make_unique<TInputFilter>();
    auto out = std::make_unique<TOutputFilter>();
    in->ist = &ist;
    in->graph = fg.get();
    in->type_ = ist.st->codecpar->codec_type;
    out->ost = &ost;
    out->graph = fg.get();
    out->type_ = in->type_;
    ist.filters.push_back(in.get());
    ost.filter = out.get();
    fg->inputs.push_back(std::move(in));
    fg->outputs.push_back(std::move(out));
    task.FGraph.Ffiltergraphs.push_back(std::move(fg));
}

// -intra_matrix, -inter_matrix, -chroma_intra_matrix: 64 comma-separated coefficients each.
uint16_t* ParseMatrix(TCustomFFmpeg& task, const std::string& text)
{
    TAvMemPtr<uint16_t> matrix(static_cast<uint16_t*>(ff().av_mallocz(sizeof(uint16_t) * 64)));
    if (!matrix)
        task.Fatal("Could not allocate memory for intra matrix.");
    const char* p = text.c_str();
    for (int i = 0;; ++i) {
        matrix.get()[i] = static_cast<uint16_t>(std::atoi(p));
        if (i == 63)
            break;
        p = std::strchr(p, ',');
        if (!p)
            task.Fatal(StrFormat("Syntax error in matrix \"%s\" at coeff %d", text.c_str(), i));
        ++p;
    }
    return matrix.release();
}

// The encoder context owns (and frees) the matrices it is given.
void ApplyQuantiserMatrices(TCustomFFmpeg& task, TOptionsContext& o, AVFormatContext* oc, TOutputStream& ost)
{
    AVCodecContext* enc = ost.enc_ctx.get();
    if (const std::string* m = o.intra_matrices.Match(oc, ost.st)) {
        ff().av_freep(&enc->intra_matrix);
        enc->intra_matrix = ParseMatrix(task, *m);
    }
    if (const std::string* m = o.chroma_intra_matrices.Match(oc, ost.st)) {
        ff().av_freep(&enc->chroma_intra_matrix);
        enc->chroma_intra_matrix = ParseMatrix(task, *m);
    }
    if (const std::string* m = o.inter_matrices.Match(oc, ost.st)) {
        ff().av_freep(&enc->inter_matrix);
        enc->inter_matrix = ParseMatrix(task, *m);
    }
}

// -rc_override start,end,q/start,end,q...: a positive q is a fixed quantiser, a negative one a
// quality factor in percent.
void ApplyRateControlOverrides(TCustomFFmpeg& task, TOptionsContext& o, AVFormatContext* oc, TOutputStream& ost)
{
    const std::string* text = o.rc_overrides.Match(oc, ost.st);
    if (!text)
        return;
    std::vector<RcOverride> overrides;
    for (const char* p = text->c_str(); p;) {
        int start = 0, end = 0, q = 0;
        if (std::sscanf(p, "%d,%d,%d", &start, &end, &q) != 3)
            task.Fatal("error parsing rc_override");
        RcOverride r{};
        r.start_frame = start;
        r.end_frame = end;
        r.qscale = q > 0 ? q : 0;
        r.quality_factor = q > 0 ? 1.0f : float(-q / 100.0);
        overrides.push_back(r);
        p = std::strchr(p, '/');
        if (p)
            ++p;
    }
    AVCodecContext* enc = ost.enc_ctx.get();
    ff().av_freep(&enc->rc_override);
    enc->rc_override = static_cast<RcOverride*>(ff().av_mallocz(sizeof(RcOverride) * overrides.size()));
    if (!enc->rc_override)
        task.Fatal("Could not (re)allocate memory for rc_override.");
    std::memcpy(enc->rc_override, overrides.data(), sizeof(RcOverride) * overrides.size());
    enc->rc_override_count = static_cast<int>(overrides.size());
}

// -fps_mode takes cfr, vfr, passthrough, drop or auto, in any letter case.
std::string CheckedFpsMode(TCustomFFmpeg& task, const std::string& mode, const TOutputStream& ost)
{
    std::string lower = mode;
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const char* known : {"cfr", "vfr", "passthrough", "drop", "auto"})
        if (lower == known)
            return lower;
    task.Fatal(
        StrFormat("Invalid value %s specified for fps_mode of #%d:%d.", mode.c_str(), ost.file_index, ost.index));
}

void ApplyVideoSettings(TCustomFFmpeg& task, TOptionsContext& o, AVFormatContext* oc, TOutputStream& ost)
{
    AVStream* st = ost.st;
    if (const std::string* r = o.frame_rates.Match(oc, st))
        if (ff().av_parse_video_rate(&ost.frame_rate, r->c_str()) < 0)
            task.Fatal(StrFormat("Invalid framerate value: %s", r->c_str()));
    if (const std::string* r = o.max_frame_rates.Match(oc, st))
        if (ff().av_parse_video_rate(&ost.max_frame_rate, r->c_str()) < 0)
            task.Fatal(StrFormat("Invalid maximum framerate value: %s", r->c_str()));
    if (ost.frame_rate.num && ost.max_frame_rate.num)
        task.Fatal("Only one of -fpsmax and -r can be set for a stream.");
    if ((ost.frame_rate.num || ost.max_frame_rate.num) && task.FGlobal.Fvideo_sync_method == VSYNC_PASSTHROUGH)
        EngineLog(TLogLevel::llWarning, "Using -vsync passthrough and -r/-fpsmax can produce invalid output files");
    if (const std::string* a = o.frame_aspect_ratios.Match(oc, st)) {
        AVRational q{};
        if (ff().av_parse_ratio(&q, a->c_str(), 255, 0, nullptr) < 0 || q.num <= 0 || q.den <= 0)
            task.Fatal(StrFormat("Invalid aspect ratio: %s", a->c_str()));
        ost.frame_aspect_ratio = q;
    }
    if (ost.stream_copy)
        return;
    AVCodecContext* enc = ost.enc_ctx.get();
    if (const std::string* s = o.frame_sizes.Match(oc, st))
        if (ff().av_parse_video_size(&enc->width, &enc->height, s->c_str()) < 0)
            task.Fatal(StrFormat("Invalid frame size: %s.", s->c_str()));
    if (const std::string* p = o.frame_pix_fmts.Match(oc, st)) {
        std::string name = *p;
        if (!name.empty() && name[0] == '+') {
            ost.keep_pix_fmt = 1;
            name.erase(0, 1);
        }
        if (!name.empty()) {
            enc->pix_fmt = ff().av_get_pix_fmt(name.c_str());
            if (enc->pix_fmt == AV_PIX_FMT_NONE)
                task.Fatal(StrFormat("Unknown pixel format requested: %s.", name.c_str()));
        }
    }
    ApplyQuantiserMatrices(task, o, oc, ost);
    ApplyRateControlOverrides(task, o, oc, ost);
    if (task.FGlobal.Fdo_psnr)
        enc->flags |= AV_CODEC_FLAG_PSNR;
    if (const int* v = o.force_fps.Match(oc, st))
        ost.force_fps = *v;
    if (const int* v = o.top_field_first.Match(oc, st))
        ost.top_field_first = *v;
    if (const std::string* m = o.fps_mode.Match(oc, st))
        ost.fps_mode = CheckedFpsMode(task, *m, ost);
    if (const int* pass = o.pass.Match(oc, st); pass && *pass) {
        if (*pass < 1 || *pass > 3)
            task.Fatal(StrFormat("Invalid pass number %d for output stream %d:%d.", *pass, ost.file_index, ost.index));
        if (*pass & 1)
            enc->flags |= AV_CODEC_FLAG_PASS1;
        if (*pass & 2)
            enc->flags |= AV_CODEC_FLAG_PASS2;
    }
    if (const std::string* prefix = o.passlogfiles.Match(oc, st))
        ost.logfile_prefix = *prefix;
    if (const std::string* kf = o.forced_key_frames.Match(oc, st))
        ost.forced_keyframes = *kf;
    if (const int* v = o.autoscale.Match(oc, st))
        ost.autoscale = *v;
}

// The -map_channel entries meant for this output stream, in the order given.
void CollectChannelMaps(TCustomFFmpeg& task, const TOptionsContext& o, TOutputStream& ost)
{
    for (const TAudioChannelMap& map : o.audio_channel_maps) {
        if ((map.ofile_idx != -1 && map.ofile_idx != ost.file_index) ||
            (map.ostream_idx != -1 && map.ostream_idx != ost.index))
            continue;
        const TInputStream* ist = nullptr;
        if (map.channel_idx != -1) {
            if (ost.source_index < 0)
                task.Fatal(
                    StrFormat("Cannot determine input stream for channel mapping %d.%d", ost.file_index, ost.index));
            ist = task.FGraph.Finput_streams[size_t(ost.source_index)].get();
        }
        if (!ist || (ist->file_index == map.file_idx && ist->st->index == map.stream_idx))
            ost.audio_channels_map.push_back(map.channel_idx);
    }
}

void ApplyAudioSettings(TCustomFFmpeg& task, TOptionsContext& o, AVFormatContext* oc, TOutputStream& ost)
{
    if (ost.stream_copy)
        return;
    AVStream* st = ost.st;
    AVCodecContext* enc = ost.enc_ctx.get();
    if (const int* ac = o.audio_channels.Match(oc, st))
        TChannelLayout::Unspecified(*ac).MoveTo(enc->ch_layout);
    if (const std::string* layout = o.audio_ch_layouts.Match(oc, st)) {
        TChannelLayout parsed;
        if (parsed.Parse(*layout) < 0) {
            // The old syntax ("FL|FR", masks) still works, with a warning.
            const uint64_t mask = ff().av_get_channel_layout(layout->c_str());
            if (!mask)
                task.Fatal(StrFormat("Unknown channel layout: %s", layout->c_str()));
            EngineLog(TLogLevel::llWarning,
                      StrFormat("Channel layout '%s' uses a deprecated syntax.", layout->c_str()));
            ff().av_channel_layout_from_mask(parsed.get(), mask);
        }
        parsed.MoveTo(enc->ch_layout);
    }
    if (const int* ar = o.audio_sample_rate.Match(oc, st))
        enc->sample_rate = *ar;
    if (const std::string* sf = o.sample_fmts.Match(oc, st)) {
        enc->sample_fmt = ff().av_get_sample_fmt(sf->c_str());
        if (enc->sample_fmt == AV_SAMPLE_FMT_NONE)
            task.Fatal(StrFormat("Invalid sample format '%s'", sf->c_str()));
    }
    if (const std::string* apad = o.apad.Match(oc, st))
        ost.apad = *apad;
    CollectChannelMaps(task, o, ost);
}

// A new stream of the output file: its id (-streamid) and kind.
AVStream* NewMuxerStream(TCustomFFmpeg& task, const TOptionsContext& o, AVFormatContext* oc, AVMediaType type)
{
    AVStream* st = ff().avformat_new_stream(oc, nullptr);
    if (!st)
        task.Fatal("Could not alloc stream.");
    st->codecpar->codec_type = type;
    if (o.streamid_map.size() > static_cast<size_t>(st->index) && o.streamid_map[st->index])
        st->id = o.streamid_map[st->index];
    return st;
}

// The record of a stream of the last output file: its encoder (or stream copy), the encoder's
// context and options, and the scaler and resampler options of the file.
std::unique_ptr<TOutputStream> NewStreamRecord(TCustomFFmpeg& task, TOptionsContext& o, AVFormatContext* oc,
                                               AVStream* st, AVMediaType type, int sourceIndex)
{
    auto ost = std::make_unique<TOutputStream>();
    ost->file_index = task.FGraph.Fnb_output_files() - 1;
    ost->index = st->index;
    ost->st = st;
    ost->source_index = sourceIndex;
    ost->last_mux_dts = kNoPtsValue;
    ost->pkt.reset(ff().av_packet_alloc());
    bool copy = false;
    ost->enc = ChooseEncoder(task, o, oc, st, type, &copy);
    ost->stream_copy = copy;
    ost->encoding_needed = !copy;
    ost->enc_ctx.reset(ff().avcodec_alloc_context3(ost->enc));
    if (!ost->enc_ctx)
        task.Fatal("Error allocating the encoding context.");
    ost->enc_ctx->codec_type = type;
    ost->ref_par.reset(ff().avcodec_parameters_alloc());
    if (!ost->ref_par)
        task.Fatal("Error allocating the encoding parameters.");
    ost->filtered_frame.reset(ff().av_frame_alloc());
    ost->last_frame.reset(ff().av_frame_alloc());
    if (!ost->filtered_frame || !ost->last_frame)
        task.Fatal("Error allocating the filtered frame.");
    if (!ost->pkt)
        task.Fatal("Error allocating the packet.");
    if (ost->enc) {
        ost->encoder_opts = FilterCodecOpts(o.g.codec_opts, ost->enc->id, oc, st, ost->enc);
        if (o.bitexact)
            ost->encoder_opts.Set("flags", "+bitexact", AV_DICT_APPEND);
    }
    ost->sws_dict.CopyFrom(o.g.sws_dict);
    ost->swr_opts.CopyFrom(o.g.swr_opts);
    return ost;
}

// -time_base is a hint to the muxer, given as the stream's time base before the header;
// -enc_time_base is the encoder's (0: the frame or sample rate, negative: the source's).
void ApplyTimeBases(TCustomFFmpeg& task, TOptionsContext& o, AVFormatContext* oc, TOutputStream& ost)
{
    if (const std::string* text = o.time_bases.Match(oc, ost.st)) {
        AVRational q{};
        if (ff().av_parse_ratio(&q, text->c_str(), INT_MAX, 0, nullptr) < 0 || q.num <= 0 || q.den <= 0)
            task.Fatal(StrFormat("Invalid time base: %s", text->c_str()));
        ost.st->time_base = q;
    }
    if (const std::string* text = o.enc_time_bases.Match(oc, ost.st)) {
        AVRational q{};
        if (ff().av_parse_ratio(&q, text->c_str(), INT_MAX, 0, nullptr) < 0 || q.den <= 0)
            task.Fatal(StrFormat("Invalid time base: %s", text->c_str()));
        ost.enc_timebase = q;
    }
}

// The options of every kind of stream: -frames, -bsf, -tag, -q, -copyinkf, -copypriorss,
// -disposition, -max_muxing_queue_size; and the global header the format may want.
void ApplyStreamOptions(TCustomFFmpeg& task, TOptionsContext& o, AVFormatContext* oc, TOutputStream& ost)
{
    AVStream* st = ost.st;
    if (const int64_t* frames = o.max_frames.Match(oc, st))
        ost.max_frames = *frames;
    for (const auto& item : o.max_frames.items)
        if (item.specifier.empty() && st->codecpar->codec_type != AVMEDIA_TYPE_VIDEO) {
            EngineLog(TLogLevel::llWarning,
                      "Applying unspecific -frames to non video streams, maybe you meant -vframes ?");
            break;
        }
    ApplyTimeBases(task, o, oc, ost);
    if (const int* v = o.bits_per_raw_sample.Match(oc, st))
        ost.bits_per_raw_sample = *v;
    if (const std::string* bsfs = o.bitstream_filters.Match(oc, st); bsfs && !bsfs->empty()) {
        AVBSFContext* bsf = nullptr;
        if (ff().av_bsf_list_parse_str(bsfs->c_str(), &bsf) < 0)
            task.Fatal(StrFormat("Error parsing bitstream filter sequence '%s'", bsfs->c_str()));
        ost.bsf_ctx.reset(bsf);
    }
    if (const std::string* tag = o.codec_tags.Match(oc, st)) {
        char* end = nullptr;
        uint32_t value = static_cast<uint32_t>(std::strtol(tag->c_str(), &end, 0));
        if (!end || *end) {
            const std::string t = *tag + std::string(4, '\0');
            value = MKTAG(t[0], t[1], t[2], t[3]);
        }
        st->codecpar->codec_tag = value;
        ost.enc_ctx->codec_tag = value;
    }
    if (const double* q = o.qscale.Match(oc, st); q && *q >= 0) {
        ost.enc_ctx->flags |= AV_CODEC_FLAG_QSCALE;
        ost.enc_ctx->global_quality = static_cast<int>(FF_QP2LAMBDA * *q);
    }
    if (const int* v = o.copy_initial_nonkeyframes.Match(oc, st))
        ost.copy_initial_nonkeyframes = *v;
    if (const int* v = o.copy_prior_start.Match(oc, st))
        ost.copy_prior_start = *v;
    if (const std::string* d = o.disposition.Match(oc, st))
        ost.disposition = *d;
    if (const int* v = o.max_muxing_queue_size.Match(oc, st))
        ost.max_muxing_queue_size = *v;
    if (const int* v = o.muxing_queue_data_threshold.Match(oc, st))
        ost.muxing_queue_data_threshold = static_cast<size_t>(std::max(*v, 0));
    if (oc->oformat->flags & AVFMT_GLOBALHEADER)
        ost.enc_ctx->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
}

// The stream's own filters: -filter (-vf, -af) or -filter_script, never both.
struct TStreamFilters {
    std::optional<std::string> text;      // the filter text, read from the script for -filter_script
    const std::string* script = nullptr;  // the -filter_script file
    // The filter text or the script's name, as messages name them.
    const std::string& Name() const { return script ? *script : *text; }
    const char* Kind() const { return script ? "Filtergraph script" : "Filtergraph"; }
};

TStreamFilters ReadStreamFilters(TCustomFFmpeg& task, const TOptionsContext& o, AVFormatContext* oc, TOutputStream& ost)
{
    TStreamFilters result;
    const std::string* filters = o.filters.Match(oc, ost.st);
    result.script = o.filter_scripts.Match(oc, ost.st);
    if (filters && result.script)
        task.Fatal(
            StrFormat("Both -filter and -filter_script set for output stream #%d:%d.", ost.file_index, ost.index));
    if (filters) {
        ost.filters = *filters;
        result.text = *filters;
    }
    if (result.script) {
        std::string scriptText;
        if (const int ret = ReadOptionFile(*result.script, scriptText); ret < 0)
            task.Fatal(StrFormat("Error opening file %s.", result.script->c_str()));
        ost.filters_script = *result.script;
        result.text = std::move(scriptText);
    }
    if (result.text)
        result.text = GuardedFilterGraph(task, *result.text);
    return result;
}

// Filters and hooks need decoded frames: a copied stream can have neither, and a stream that a
// complex graph feeds has no filters of its own.
void CheckFilteringAllowed(TCustomFFmpeg& task, const TOutputStream& ost, AVMediaType type,
                           const TStreamFilters& filters, bool fromGraph)
{
    if (fromGraph && ost.stream_copy)
        task.Fatal(
            StrFormat("Streamcopy requested for output stream %d:%d, which is fed from a complex filtergraph. "
                      "Filtering and streamcopy cannot be used together.",
                      ost.file_index, ost.index));
    if (fromGraph && filters.text)
        task.Fatal(
            StrFormat("Filtergraph '%s' was specified through the -vf/-af/-filter option for output stream "
                      "%d:%d, which is fed from a complex filtergraph.\n-vf/-af/-filter and -filter_complex "
                      "cannot be used together for the same stream.",
                      filters.text->c_str(), ost.file_index, ost.index));
    if (ost.stream_copy && filters.text)
        task.Fatal(
            StrFormat("%s '%s' was defined for %s output stream %d:%d but codec copy was selected.\n"
                      "Filtering and streamcopy cannot be used together.",
                      filters.Kind(), filters.Name().c_str(), type == AVMEDIA_TYPE_VIDEO ? "video" : "audio",
                      ost.file_index, ost.index));
    if (ost.stream_copy && type == AVMEDIA_TYPE_AUDIO && (task.FOnAudioInputHook || task.FOnAudioOutputHook))
        task.Fatal("-acodec/-c:audio copy and AudioHook are incompatible (frames are not decoded)");
    if (ost.stream_copy && type == AVMEDIA_TYPE_VIDEO &&
        (task.FOnVideoInputHook || task.FOnVideoOutputHook || task.FOnFrameInputHook || task.FOnFrameOutputHook))
        task.Fatal("-vcodec/-c:video copy and VideoHook are incompatible (frames are not decoded)");
}

// The settings of the stream's kind, and the filter text of a video or audio stream.
void ApplyKindSettings(TCustomFFmpeg& task, TOptionsContext& o, AVFormatContext* oc, TOutputStream& ost,
                       AVMediaType type, const TStreamFilters& filters)
{
    if (type == AVMEDIA_TYPE_VIDEO) {
        ApplyVideoSettings(task, o, oc, ost);
        ost.avfilter = filters.text ? *filters.text : "null";
    } else if (type == AVMEDIA_TYPE_AUDIO) {
        ApplyAudioSettings(task, o, oc, ost);
        ost.avfilter = filters.text ? *filters.text : "anull";
        if (ost.stream_copy && task.FGlobal.Faudio_volume != 256)
            task.Fatal("-acodec/-c:audio copy and -vol are incompatible (frames are not decoded)");
    } else if (type == AVMEDIA_TYPE_SUBTITLE && !ost.stream_copy) {
        if (const std::string* size = o.canvas_sizes.Match(oc, ost.st))
            if (ff().av_parse_video_size(&ost.enc_ctx->width, &ost.enc_ctx->height, size->c_str()) < 0)
                task.Fatal(StrFormat("Invalid frame size: %s.", size->c_str()));
    } else if (type == AVMEDIA_TYPE_DATA && !ost.stream_copy) {
        task.Fatal("Data stream encoding not supported yet (only streamcopy)");
    } else if (type != AVMEDIA_TYPE_SUBTITLE && type != AVMEDIA_TYPE_ATTACHMENT && !ost.stream_copy) {
        task.Fatal("Unknown stream encoding not supported yet (only streamcopy)");
    }
}

// The input stream feeds the output stream: it is read, and decoded unless the stream is copied
// (video and audio then go through a simple filter graph).
void ConnectSourceStream(TCustomFFmpeg& task, TOutputStream& ost, AVMediaType type, TInputStream& ist)
{
    ist.discard = 0;
    ist.st->discard = static_cast<AVDiscard>(ist.user_set_discard);
    const bool decoded = type == AVMEDIA_TYPE_VIDEO || type == AVMEDIA_TYPE_AUDIO || type == AVMEDIA_TYPE_SUBTITLE;
    if (!ost.stream_copy && decoded) {
        if (!ist.avdec)
            task.Fatal(StrFormat("Decoder (codec %s) not found for input stream #%d:%d",
                                 ff().avcodec_get_name(ist.st->codecpar->codec_id), ist.file_index, ist.st->index));
        ist.decoding_needed = 1;
        if (type != AVMEDIA_TYPE_SUBTITLE)
            CreateSimpleFilterGraph(task, ost, ist);
    }
    ost.sync_ist = &ist;
}

}  // namespace

const AVCodec* EncoderNamed(const std::string& name)
{
    if (const AVCodec* enc = ff().avcodec_find_encoder_by_name(name.c_str()))
        return enc;
    const AVCodecDescriptor* descriptor = ff().avcodec_descriptor_get_by_name(name.c_str());
    return descriptor ? ff().avcodec_find_encoder(descriptor->id) : nullptr;
}

TOutputStream& NewOutputStream(TCustomFFmpeg& task, TOptionsContext& o, AVFormatContext* oc, AVMediaType type,
                               int sourceIndex, TOutputFilter* graphOutput)
{
    AVStream* st = NewMuxerStream(task, o, oc, type);
    std::unique_ptr<TOutputStream> owned = NewStreamRecord(task, o, oc, st, type, sourceIndex);
    TOutputStream& ost = *owned;
    ApplyStreamOptions(task, o, oc, ost);
    const TStreamFilters filters = ReadStreamFilters(task, o, oc, ost);
    CheckFilteringAllowed(task, ost, type, filters, graphOutput != nullptr);
    ApplyKindSettings(task, o, oc, ost, type, filters);

    if (graphOutput) {
        graphOutput->ost = &ost;
        ost.filter = graphOutput;
    } else {
        ConnectSourceStream(task, ost, type, *task.FGraph.Finput_streams[sourceIndex]);
    }
    task.FGraph.Foutput_streams.push_back(std::move(owned));
    return ost;
}

}  // namespace reelsmith
