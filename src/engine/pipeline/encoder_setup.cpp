// Opening encoders (or copying parameters) and writing the headers.

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "engine/custom_ffmpeg.h"
#include "engine/engine_error.h"
#include "engine/pipeline/write_guard.h"
#include "media/engine_log.h"

namespace reelsmith {

namespace {

// An integer option of a filter instance (`fallback` when it has none).
int FilterIntOption(AVFilterContext* filter, const char* name, int fallback)
{
    uint8_t* text = nullptr;
    if (ff().av_opt_get(filter, name, AV_OPT_SEARCH_CHILDREN, &text) < 0 || !text)
        return fallback;
    const int value = std::atoi(reinterpret_cast<const char*>(text));
    ff().av_freep(&text);
    return value;
}

// The colour range of the pictures a graph delivers to `sink`, given the range of the pictures fed in.
// The encoder is opened before the first picture is filtered, so the range is worked out from the
// configured filters: a scaler that converts gives limited range (full for yuvj* formats) unless told
// otherwise, a range setter gives its own, every other filter keeps what it receives.
AVColorRange GraphOutputRange(AVFilterContext* sink, AVColorRange range)
{
    std::vector<AVFilterContext*> chain;
    for (AVFilterContext* f = sink; f && f->nb_inputs > 0 && f->inputs[0]; f = f->inputs[0]->src)
        chain.insert(chain.begin(), f->inputs[0]->src);
    for (AVFilterContext* f : chain) {
        const std::string name = f->filter->name;
        if (name == "scale" && f->nb_inputs && f->nb_outputs && f->inputs[0] && f->outputs[0]) {
            const AVFilterLink* in = f->inputs[0];
            const AVFilterLink* out = f->outputs[0];
            const int inOption = FilterIntOption(f, "in_range", AVCOL_RANGE_UNSPECIFIED);
            const int outOption = FilterIntOption(f, "out_range", AVCOL_RANGE_UNSPECIFIED);
            const bool converts =
                in->w != out->w || in->h != out->h || in->format != out->format || inOption != outOption;
            if (!converts)
                continue;
            if (outOption != AVCOL_RANGE_UNSPECIFIED) {
                range = static_cast<AVColorRange>(outOption);
            } else {
                const char* format = ff().av_get_pix_fmt_name(static_cast<AVPixelFormat>(out->format));
                range = format && !std::strncmp(format, "yuvj", 4) ? AVCOL_RANGE_JPEG : AVCOL_RANGE_MPEG;
            }
        } else if (name == "setrange" || name == "setparams") {
            const int option = FilterIntOption(f, "range", -1);
            if (option >= 0)
                range = static_cast<AVColorRange>(option);
        }
    }
    return range;
}

// The encoder's frame rate: -r, else the graph's, else the input's (25 when none is known),
// held under -fpsmax and moved to the nearest rate the encoder supports.
AVRational VideoEncoderRate(const TOutputStream& ost, const TInputStream* ist)
{
    const TOutputFilter& of = *ost.filter;
    AVRational rate = ost.frame_rate;
    if (!rate.num)
        rate = of.frame_rate;
    if (!rate.num && ist)
        rate = ist->framerate;
    if ((!rate.num || !rate.den) && ist) {
        rate = AVRational{25, 1};
        EngineLog(TLogLevel::llWarning,
                  StrFormat("No information about the input framerate is available. Falling back to a default "
                            "value of 25fps for output stream #%d:%d. Use the -r option if you want a different "
                            "framerate.",
                            ost.file_index, ost.index));
    }
    if (ost.max_frame_rate.num && (!rate.num || !rate.den || av_q2d(rate) > av_q2d(ost.max_frame_rate)))
        rate = ost.max_frame_rate;
    if (!rate.num || !rate.den)
        rate = AVRational{25, 1};
    if (ost.enc->supported_framerates && !ost.force_fps) {
        const int idx = ff().av_find_nearest_q_idx(rate, ost.enc->supported_framerates);
        rate = ost.enc->supported_framerates[idx];
    }
    // MPEG-4 Part 2 stores the time base in 16-bit fields (a 15 fps camera's 500000/33333 would be refused).
    if (ost.enc->id == AV_CODEC_ID_MPEG4)
        ff().av_reduce(&rate.num, &rate.den, rate.num, rate.den, 65535);
    return rate;
}

// A video encoder takes the rate, the picture the graph delivers, the aspect (-aspect wins) and
// the source's colour properties.
void SetVideoEncoderParameters(TOutputStream& ost, const TInputStream* ist)
{
    AVCodecContext* enc = ost.enc_ctx.get();
    const TOutputFilter& of = *ost.filter;
    const AVRational rate = VideoEncoderRate(ost, ist);
    ost.frame_rate = rate;
    enc->width = of.width;
    enc->height = of.height;
    enc->pix_fmt = static_cast<AVPixelFormat>(of.format);
    enc->framerate = rate;
    enc->time_base = AVRational{rate.den, rate.num};
    AVRational sar = ost.filter->filter->inputs[0]->sample_aspect_ratio;
    if (ost.frame_aspect_ratio.num) {
        int64_t num = int64_t(ost.frame_aspect_ratio.num) * enc->height;
        int64_t den = int64_t(ost.frame_aspect_ratio.den) * enc->width;
        ff().av_reduce(&sar.num, &sar.den, num, den, INT_MAX);
    }
    enc->sample_aspect_ratio = sar;
    ost.st->sample_aspect_ratio = sar;
    enc->color_range = GraphOutputRange(ost.filter->filter, ist ? ist->dec_ctx->color_range : AVCOL_RANGE_UNSPECIFIED);
    if (ist) {
        enc->chroma_sample_location = ist->dec_ctx->chroma_sample_location;
        enc->color_primaries = ist->dec_ctx->color_primaries;
        enc->color_trc = ist->dec_ctx->color_trc;
        enc->colorspace = ist->dec_ctx->colorspace;
    }
}

// The stream's video sync method: -fps_mode, else -vsync, and for "auto" what the output format
// and the input (input is null for a stream without one) suggest.
int VsyncMethod(const TOutputStream& ost, const TGlobalOptions& global, const AVOutputFormat* fmt,
                const TInputFile* input)
{
    int method = global.Fvideo_sync_method;
    if (ost.fps_mode == "passthrough")
        method = VSYNC_PASSTHROUGH;
    else if (ost.fps_mode == "cfr")
        method = VSYNC_CFR;
    else if (ost.fps_mode == "vfr")
        method = VSYNC_VFR;
    else if (ost.fps_mode == "drop")
        method = VSYNC_DROP;
    if (method != VSYNC_AUTO)
        return method;
    if (!std::strcmp(fmt->name, "avi"))
        method = VSYNC_VFR;
    else
        method = (fmt->flags & AVFMT_VARIABLE_FPS) ? ((fmt->flags & AVFMT_NOTIMESTAMPS) ? VSYNC_PASSTHROUGH : VSYNC_VFR)
                                                   : VSYNC_CFR;
    if (input && method == VSYNC_CFR) {
        if (!std::strcmp(input->ctx->iformat->name, "lavfi"))
            method = VSYNC_VFR;
        // A lone stream starts where its first picture is: a raw elementary stream
        // whose first picture comes one frame after zero gets no leading copy.
        else if (input->nb_streams == 1 && input->input_ts_offset == 0)
            method = VSYNC_VSCFR;
    }
    if (method == VSYNC_CFR && global.Fcopy_ts)
        method = VSYNC_VSCFR;
    return method;
}

// An audio encoder takes what the graph delivers.
void SetAudioEncoderParameters(TOutputStream& ost)
{
    AVCodecContext* enc = ost.enc_ctx.get();
    const TOutputFilter& of = *ost.filter;
    enc->sample_fmt = static_cast<AVSampleFormat>(of.format);
    enc->sample_rate = of.sample_rate;
    of.ch_layout.CopyTo(enc->ch_layout);
    enc->time_base = AVRational{1, of.sample_rate};
}

// The MJPEG encoder always runs on one thread, whatever -threads says.
void SetEncoderThreads(TOutputStream& ost)
{
    if (!std::strcmp(ost.enc->name, "mjpeg"))
        ost.encoder_opts.Set("threads", "1");
    else if (!ost.encoder_opts.Get("threads"))
        ost.encoder_opts.Set("threads", "auto");
}

// 0, or the library's code with errorText set.
int OpenEncoder(TOutputStream& ost, std::string& errorText)
{
    const int ret = ff().avcodec_open2(ost.enc_ctx.get(), ost.enc, ost.encoder_opts.address());
    if (ret < 0) {
        errorText = StrFormat(
            "Error while opening encoder for output stream #%d:%d (%s) - maybe incorrect "
            "parameters such as bit_rate, rate, width or height. Please check error log "
            "message(reported by FFLogger) to find out more detail information.",
            ost.file_index, ost.index, EngineErrorText(ret).c_str());
        return ret;
    }
    ost.is_avcodec_opened = 1;
    return 0;
}

// After opening: a warning for a bit rate given in kbit/s, the frame size an audio sink must
// deliver to a fixed-size encoder, and a warning for options the encoder left.
void ReportOpenedEncoder(TOutputStream& ost)
{
    const AVCodecContext* enc = ost.enc_ctx.get();
    if (enc->bit_rate && enc->bit_rate < 1000 && enc->codec_id != AV_CODEC_ID_CODEC2)
        EngineLog(TLogLevel::llWarning,
                  "The bitrate parameter is set too low. It takes bits/s as argument, not kbits/s");
    if (ost.enc->type == AVMEDIA_TYPE_AUDIO && !(ost.enc->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE))
        ff().av_buffersink_set_frame_size(ost.filter->filter, enc->frame_size);
    if (const AVDictionaryEntry* t = ff().av_dict_get(ost.encoder_opts.get(), "", nullptr, AV_DICT_IGNORE_SUFFIX))
        EngineLog(TLogLevel::llWarning, StrFormat("Codec AVOption %s (%s) specified for output file #%d has not been "
                                                  "used for any stream.",
                                                  t->key, t->value, ost.file_index));
}

// The muxer's stream takes the opened encoder's parameters, time base and rates, and the source's
// metadata. 0 or a negative code.
int SetStreamFromEncoder(TOutputStream& ost, const TInputStream* ist)
{
    const AVCodecContext* enc = ost.enc_ctx.get();
    const int ret = ff().avcodec_parameters_from_context(ost.st->codecpar, enc);
    if (ret < 0)
        return ret;
    if (ost.st->codecpar->codec_tag == 0 && enc->codec_tag)
        ost.st->codecpar->codec_tag = enc->codec_tag;
    ost.st->time_base = enc->time_base;
    ost.mux_timebase = enc->time_base;
    if (enc->codec_type == AVMEDIA_TYPE_VIDEO) {
        ost.st->avg_frame_rate = ost.frame_rate;
        ost.st->r_frame_rate = ost.frame_rate;
    }
    if (ist)
        ff().av_dict_copy(&ost.st->metadata, ist->st->metadata, AV_DICT_DONT_OVERWRITE);
    ost.initialized = 1;
    return 0;
}

}  // namespace

// Subtitles are encoded straight from the decoder, without a filter graph.
void TCustomFFmpeg::SetSubtitleEncoderParameters(TOutputStream& ost)
{
    AVCodecContext* enc = ost.enc_ctx.get();
    TInputStream* ist = SourceOf(ost);
    enc->time_base = AV_TIME_BASE_Q;
    if (!ist)
        return;
    if (!enc->width) {
        enc->width = ist->dec_ctx->width ? ist->dec_ctx->width : ist->st->codecpar->width;
        enc->height = ist->dec_ctx->height ? ist->dec_ctx->height : ist->st->codecpar->height;
    }
    const AVCodecDescriptor* in = ff().avcodec_descriptor_get(ist->st->codecpar->codec_id);
    const AVCodecDescriptor* out = ff().avcodec_descriptor_get(enc->codec_id);
    const int inProps = in ? in->props & (AV_CODEC_PROP_TEXT_SUB | AV_CODEC_PROP_BITMAP_SUB) : 0;
    const int outProps = out ? out->props & (AV_CODEC_PROP_TEXT_SUB | AV_CODEC_PROP_BITMAP_SUB) : 0;
    if (inProps && outProps && !(inProps & outProps))
        Fatal("Subtitle encoding currently only possible from text to text or bitmap to bitmap");
    if (ist->dec_ctx->subtitle_header && !enc->subtitle_header) {
        // The encoder frees its header; it gets its own copy, terminated for text headers.
        const int size = ist->dec_ctx->subtitle_header_size;
        enc->subtitle_header = static_cast<uint8_t*>(ff().av_mallocz(size_t(size) + 1));
        if (!enc->subtitle_header)
            Fatal("Error allocating the subtitle header.");
        std::memcpy(enc->subtitle_header, ist->dec_ctx->subtitle_header, size_t(size));
        enc->subtitle_header_size = size;
    }
}

int TCustomFFmpeg::InitOutputStreamEncode(TOutputStream& ost)
{
    AVCodecContext* enc = ost.enc_ctx.get();
    TInputStream* ist = SourceOf(ost);
    if (enc->codec_type == AVMEDIA_TYPE_SUBTITLE) {
        SetSubtitleEncoderParameters(ost);
    } else if (enc->codec_type == AVMEDIA_TYPE_VIDEO) {
        SetVideoEncoderParameters(ost, ist);
        const TInputFile* input = ist ? &InputFileOf(*ist) : nullptr;
        ost.vsync_method = VsyncMethod(ost, FGlobal, FGraph.Foutput_files[ost.file_index]->format, input);
        ost.is_cfr = ost.vsync_method == VSYNC_CFR || ost.vsync_method == VSYNC_VSCFR;
    } else {
        SetAudioEncoderParameters(ost);
    }
    SetEncoderThreads(ost);
    OpenPassLog(ost);
    if (const int ret = OpenEncoder(ost, FLastErrMsg); ret < 0)
        return ret;
    ReportOpenedEncoder(ost);
    return SetStreamFromEncoder(ost, ist);
}

// Two-pass encoding: pass 1 writes the encoder's statistics to "<prefix>-<stream>.log",
// pass 2 reads them back before the encoder opens.
void TCustomFFmpeg::OpenPassLog(TOutputStream& ost)
{
    AVCodecContext* enc = ost.enc_ctx.get();
    if (!(enc->flags & (AV_CODEC_FLAG_PASS1 | AV_CODEC_FLAG_PASS2)))
        return;
    const std::string logName =
        StrFormat("%s-%d.log", ost.logfile_prefix.empty() ? "ffencoder2pass" : ost.logfile_prefix.c_str(), ost.index);
    const bool x264 = !std::strcmp(ost.enc->name, "libx264");
    if (x264)
        ost.encoder_opts.Set("stats", logName, AV_DICT_DONT_OVERWRITE);
    if (enc->flags & AV_CODEC_FLAG_PASS1) {
        // libx264 writes its log (-stats when given) and "<log>.mbtree" itself.
        const std::string written = x264 ? ost.encoder_opts.Get("stats") : logName;
        for (const std::string& name : {written, written + ".mbtree"})
            if (const std::string refusal = PathWriteRefusal(*this, name, "the pass log"); !refusal.empty())
                Fatal(refusal);
    }
    if (x264)
        return;
    if (enc->flags & AV_CODEC_FLAG_PASS2) {
        std::string text;
        std::unique_ptr<FILE, TFileCloser> file(std::fopen(logName.c_str(), "rb"));
        char buf[65536];
        size_t n = 0;
        while (file && (n = std::fread(buf, 1, sizeof buf, file.get())) > 0)
            text.append(buf, n);
        if (!file || std::ferror(file.get()))
            Fatal(StrFormat("Error reading log file '%s' for pass-2 encoding", logName.c_str()));
        ff().av_freep(&enc->stats_in);
        enc->stats_in = ff().av_strdup(text.c_str());
        if (!enc->stats_in)
            Fatal(StrFormat("Error reading log file '%s' for pass-2 encoding", logName.c_str()));
    }
    if (enc->flags & AV_CODEC_FLAG_PASS1) {
        ost.logfile.reset(std::fopen(logName.c_str(), "wb"));
        if (!ost.logfile)
            Fatal(
                StrFormat("Cannot write log file '%s' for pass-1 encoding: %s", logName.c_str(), std::strerror(errno)));
    }
}

int TCustomFFmpeg::InitOutputStreamCopy(TOutputStream& ost)
{
    TInputStream* ist = SourceOf(ost);
    if (!ist) {  // an attachment: its data is all in the header
        ost.initialized = 1;
        ost.finished = 3;
        return 0;
    }
    TOutputFile& of = *FGraph.Foutput_files[ost.file_index];
    AVCodecParameters* par = ost.st->codecpar;
    const uint32_t forcedTag = par->codec_tag;
    int ret = ff().avcodec_parameters_copy(par, ist->st->codecpar);
    if (ret < 0)
        return ret;
    if (forcedTag) {
        par->codec_tag = forcedTag;
    } else {
        unsigned tag = 0;
        if (!(!of.format->codec_tag ||
              ff().av_codec_get_id(of.format->codec_tag, ist->st->codecpar->codec_tag) == par->codec_id ||
              !ff().av_codec_get_tag2(of.format->codec_tag, par->codec_id, &tag)))
            par->codec_tag = 0;
    }
    ost.mux_timebase = ist->st->time_base;
    ost.st->time_base = ist->st->time_base;
    ost.st->avg_frame_rate = ost.frame_rate.num ? ost.frame_rate : ist->st->avg_frame_rate;
    ost.st->r_frame_rate = ist->st->r_frame_rate;
    if (par->codec_type == AVMEDIA_TYPE_VIDEO) {
        AVRational sar = ist->st->sample_aspect_ratio.num ? ist->st->sample_aspect_ratio : par->sample_aspect_ratio;
        if (ost.frame_aspect_ratio.num) {
            ff().av_reduce(&sar.num, &sar.den, int64_t(ost.frame_aspect_ratio.num) * par->height,
                           int64_t(ost.frame_aspect_ratio.den) * par->width, INT_MAX);
        }
        ost.st->sample_aspect_ratio = par->sample_aspect_ratio = sar;
        if (const uint8_t* sd = ff().av_stream_get_side_data(ist->st, AV_PKT_DATA_DISPLAYMATRIX, nullptr))
            if (uint8_t* dst = ff().av_stream_new_side_data(ost.st, AV_PKT_DATA_DISPLAYMATRIX, 9 * sizeof(int32_t)))
                std::memcpy(dst, sd, 9 * sizeof(int32_t));
    }
    if (par->codec_type == AVMEDIA_TYPE_AUDIO && FGlobal.Faudio_volume != 256)
        Fatal("-acodec/-c:audio copy and -vol are incompatible (frames are not decoded)");
    ff().av_dict_copy(&ost.st->metadata, ist->st->metadata, AV_DICT_DONT_OVERWRITE);
    ost.initialized = 1;
    return 0;
}

int TCustomFFmpeg::WriteHeaderIfReady(TOutputFile& of)
{
    if (of.header_written)
        return 0;
    for (unsigned i = 0; i < of.ctx->nb_streams; ++i)
        if (!FGraph.Foutput_streams[of.ost_index + i]->initialized)
            return 0;
    for (unsigned i = 0; i < of.ctx->nb_streams; ++i) {
        TOutputStream& ost = *FGraph.Foutput_streams[of.ost_index + i];
        if (ost.bsf_ctx) {
            AVBSFContext* bsf = ost.bsf_ctx.get();
            ff().avcodec_parameters_copy(bsf->par_in, ost.st->codecpar);
            bsf->time_base_in = ost.mux_timebase;
            int ret = ff().av_bsf_init(bsf);
            if (ret < 0) {
                FLastErrMsg = StrFormat("Error initializing bitstream filter: %s", bsf->filter->name);
                return ret;
            }
            ff().avcodec_parameters_copy(ost.st->codecpar, bsf->par_out);
            ost.st->time_base = bsf->time_base_out;
        }
    }
    FIo.LastWrite = ff().av_gettime_relative();
    int ret = ff().avformat_write_header(of.ctx.get(), of.opts.address());
    FIo.LastWrite = INT64_MAX;
    if (ret < 0) {
        // A full disk or a refused write is no question of codec parameters.
        const bool storage = ret == AVERROR(ENOSPC) || ret == AVERROR(EIO) || ret == AVERROR(EDQUOT) ||
                             ret == AVERROR(EFBIG) || ret == AVERROR(EPERM) || ret == AVERROR(EACCES) ||
                             ret == AVERROR(EROFS);
        FLastErrMsg =
            StrFormat(storage ? "Could not write the start of output file #%d: %s"
                              : "Could not write header for output file #%d (incorrect codec parameters ?): %s",
                      of.index, EngineErrorText(ret).c_str());
        return ret;
    }
    of.header_written = 1;
    ff().av_dump_format(of.ctx.get(), of.index, of.ctx->url, 1);
    return 0;
}

}  // namespace reelsmith
