// Opening encoders (or copying parameters) and writing the headers.

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "engine/custom_ffmpeg.h"
#include "engine/engine_error.h"
#include "engine/pipeline/write_guard.h"
#include "engine/pipeline/hw_device.h"
#include "media/engine_log.h"

namespace reelsmith {

namespace {

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

// -enc_time_base: a positive ratio is the encoder's time base, a negative one the source's;
// otherwise (and without a source) -time_base, which the stream holds until the header is
// written, else the default.
AVRational EncoderTimeBase(const TOutputStream& ost, const TInputStream* ist, AVRational defaultTimeBase)
{
    if (ost.enc_timebase.num > 0)
        return ost.enc_timebase;
    if (ost.enc_timebase.num < 0) {
        if (ist)
            return ist->st->time_base;
        EngineLog(TLogLevel::llWarning, "Input stream data not available, using default time base");
    }
    if (ost.st->time_base.num > 0 && ost.st->time_base.den > 0)
        return ost.st->time_base;
    return defaultTimeBase;
}

// A rate above 1000 frames per second costs a constant-rate muxer a lot.
void WarnAboutHighRate(const TOutputStream& ost, const AVOutputFormat* format)
{
    const AVCodecContext* enc = ost.enc_ctx.get();
    const int vsync = ost.vsync_method;
    if (av_q2d(enc->time_base) < 0.001 && vsync != VSYNC_PASSTHROUGH &&
        (vsync == VSYNC_CFR || vsync == VSYNC_VSCFR || (vsync == VSYNC_AUTO && !(format->flags & AVFMT_VARIABLE_FPS))))
        EngineLog(TLogLevel::llWarning,
                  "Frame rate very high for a muxer not efficiently supporting it.\nPlease consider specifying a "
                  "lower framerate, a different muxer or setting vsync/fps_mode to vfr");
}

// The colour properties and the field order come from the first picture to encode (none when
// the stream ends without one); -top overrides the field order.
void SetFromFirstPicture(TOutputStream& ost, AVFrame* frame)
{
    AVCodecContext* enc = ost.enc_ctx.get();
    if (frame) {
        enc->color_range = frame->color_range;
        enc->color_primaries = frame->color_primaries;
        enc->color_trc = frame->color_trc;
        enc->colorspace = frame->colorspace;
        enc->chroma_sample_location = frame->chroma_location;
        if (enc->flags & (AV_CODEC_FLAG_INTERLACED_DCT | AV_CODEC_FLAG_INTERLACED_ME) && ost.top_field_first >= 0)
            frame->top_field_first = !!ost.top_field_first;
        if (frame->interlaced_frame) {
            if (enc->codec_id == AV_CODEC_ID_MJPEG)
                enc->field_order = frame->top_field_first ? AV_FIELD_TT : AV_FIELD_BB;
            else
                enc->field_order = frame->top_field_first ? AV_FIELD_TB : AV_FIELD_BT;
        } else {
            enc->field_order = AV_FIELD_PROGRESSIVE;
        }
    }
    if (ost.top_field_first == 0)
        enc->field_order = AV_FIELD_BB;
    else if (ost.top_field_first == 1)
        enc->field_order = AV_FIELD_TT;
}

// A video encoder takes the rate, the picture the graph delivers, the aspect (-aspect wins) and
// what the first picture says.
void SetVideoEncoderParameters(TOutputStream& ost, const TInputStream* ist, AVFrame* frame)
{
    AVCodecContext* enc = ost.enc_ctx.get();
    const TOutputFilter& of = *ost.filter;
    const AVRational rate = VideoEncoderRate(ost, ist);
    ost.frame_rate = rate;
    enc->time_base = EncoderTimeBase(ost, ist, AVRational{rate.den, rate.num});
    if (!enc->time_base.num || !enc->time_base.den)
        enc->time_base = ost.filter->filter->inputs[0]->time_base;
    enc->width = of.width;
    enc->height = of.height;
    enc->pix_fmt = static_cast<AVPixelFormat>(of.format);
    if (ost.bits_per_raw_sample)
        enc->bits_per_raw_sample = ost.bits_per_raw_sample;
    enc->framerate = rate;
    AVRational sar = ost.filter->filter->inputs[0]->sample_aspect_ratio;
    if (ost.frame_aspect_ratio.num) {
        int64_t num = int64_t(ost.frame_aspect_ratio.num) * enc->height;
        int64_t den = int64_t(ost.frame_aspect_ratio.den) * enc->width;
        ff().av_reduce(&sar.num, &sar.den, num, den, INT_MAX);
    }
    enc->sample_aspect_ratio = sar;
    ost.st->sample_aspect_ratio = sar;
    SetFromFirstPicture(ost, frame);
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
void SetAudioEncoderParameters(TOutputStream& ost, const TInputStream* ist)
{
    AVCodecContext* enc = ost.enc_ctx.get();
    const TOutputFilter& of = *ost.filter;
    enc->sample_fmt = static_cast<AVSampleFormat>(of.format);
    enc->sample_rate = of.sample_rate;
    of.ch_layout.CopyTo(enc->ch_layout);
    if (ost.bits_per_raw_sample)
        enc->bits_per_raw_sample = ost.bits_per_raw_sample;
    enc->time_base = EncoderTimeBase(ost, ist, AVRational{1, of.sample_rate});
}

// -force_key_frames TIME[,TIME...], where "chapters[DELTA]" stands for the starts of the output's
// chapters: the times in the encoder's time base, sorted.
void ParseForcedKeyFrames(TCustomFFmpeg& task, TOutputStream& ost, const AVFormatContext* oc)
{
    const AVRational tb = ost.enc_ctx->time_base;
    auto parseTime = [&task](const std::string& text) {
        int64_t us = 0;
        if (ff().av_parse_time(&us, text.c_str(), 1) < 0)
            task.Fatal(StrFormat("Invalid %s specification for %s: %s", "duration", "force_key_frames", text.c_str()));
        return us;
    };
    std::vector<int64_t> times;
    size_t from = 0;
    for (;;) {
        const size_t comma = ost.forced_keyframes.find(',', from);
        const std::string item = ost.forced_keyframes.substr(from, comma == std::string::npos ? comma : comma - from);
        if (item.compare(0, 8, "chapters") == 0) {
            const int64_t delta =
                ff().av_rescale_q(item.size() > 8 ? parseTime(item.substr(8)) : 0, AV_TIME_BASE_Q, tb);
            for (unsigned j = 0; j < oc->nb_chapters; ++j)
                times.push_back(ff().av_rescale_q(oc->chapters[j]->start, oc->chapters[j]->time_base, tb) + delta);
        } else {
            times.push_back(ff().av_rescale_q(parseTime(item), AV_TIME_BASE_Q, tb));
        }
        if (comma == std::string::npos)
            break;
        from = comma + 1;
    }
    std::sort(times.begin(), times.end());
    ost.forced_kf_pts = std::move(times);
}

// -force_key_frames: "expr:" an expression evaluated per picture, "source" the input's key frames,
// else a list of times. 0 or a negative code.
int PrepareForcedKeyFrames(TCustomFFmpeg& task, TOutputStream& ost, const AVFormatContext* oc)
{
    static const char* const names[] = {"n", "n_forced", "prev_forced_n", "prev_forced_t", "t", nullptr};
    if (ost.forced_keyframes.empty())
        return 0;
    if (ost.forced_keyframes.compare(0, 5, "expr:") == 0) {
        AVExpr* expr = nullptr;
        const std::string text = ost.forced_keyframes.substr(5);
        const int ret = ff().av_expr_parse(&expr, text.c_str(), names, nullptr, nullptr, nullptr, nullptr, 0, nullptr);
        if (ret < 0) {
            task.FLastErrMsg = StrFormat("Invalid force_key_frames expression '%s'", text.c_str());
            EngineLog(TLogLevel::llError, task.FLastErrMsg);
            return ret;
        }
        ost.forced_keyframes_pexpr.reset(expr);
        ost.forced_keyframes_expr_const_values[FKF_N] = 0;
        ost.forced_keyframes_expr_const_values[FKF_N_FORCED] = 0;
        ost.forced_keyframes_expr_const_values[FKF_PREV_FORCED_N] = NAN;
        ost.forced_keyframes_expr_const_values[FKF_PREV_FORCED_T] = NAN;
    } else if (ost.forced_keyframes.compare(0, 6, "source") != 0) {
        ParseForcedKeyFrames(task, ost, oc);
    }
    return 0;
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
    // -time_base gave the muxer a hint already; else the encoder's, its common factors removed.
    if (ost.st->time_base.num <= 0 || ost.st->time_base.den <= 0)
        ff().av_reduce(&ost.st->time_base.num, &ost.st->time_base.den, enc->time_base.num, enc->time_base.den, INT_MAX);
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

int TCustomFFmpeg::InitOutputStreamEncode(TOutputStream& ost, AVFrame* frame)
{
    AVCodecContext* enc = ost.enc_ctx.get();
    TInputStream* ist = SourceOf(ost);
    const TOutputFile& of = *FGraph.Foutput_files[ost.file_index];
    if (enc->codec_type == AVMEDIA_TYPE_SUBTITLE) {
        SetSubtitleEncoderParameters(ost);
    } else if (enc->codec_type == AVMEDIA_TYPE_VIDEO) {
        const TInputFile* input = ist ? &InputFileOf(*ist) : nullptr;
        ost.vsync_method = VsyncMethod(ost, FGlobal, of.format, input);
        ost.is_cfr = ost.vsync_method == VSYNC_CFR || ost.vsync_method == VSYNC_VSCFR;
        SetVideoEncoderParameters(ost, ist, frame);
        WarnAboutHighRate(ost, of.format);
        if (const int ret = PrepareForcedKeyFrames(*this, ost, of.ctx.get()); ret < 0)
            return ret;
    } else {
        SetAudioEncoderParameters(ost, ist);
    }
    SetEncoderThreads(ost);
    if (const int ret = HWDeviceSetupForEncode(FGraph, ost); ret < 0) {
        FLastErrMsg = StrFormat("Device setup failed for encoder on output stream #%d:%d : %s", ost.file_index,
                                ost.index, EngineErrorText(ret).c_str());
        return ret;
    }
    OpenPassLog(ost);
    if (const int ret = OpenEncoder(ost, FLastErrMsg); ret < 0)
        return ret;
    ReportOpenedEncoder(ost);
    if (const int ret = SetStreamFromEncoder(ost, ist); ret < 0)
        return ret;
    return InitBitstreamFilters(ost);
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
    if (ret < 0) {
        EngineLog(TLogLevel::llError, "avcodec_parameters_copy() failed");
        FLastErrMsg = "Error copying paramerets from input stream";
        return ret;
    }
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
    // The muxer's time base hint: -time_base, else the stream's time base as -copytb chooses it
    // (-1 automatic, 0 the decoder's, 1 the demuxer's), its common factors removed.
    ret = ff().avformat_transfer_internal_stream_timing_info(of.format, ost.st, ist->st,
                                                             static_cast<AVTimebaseSource>(FGlobal.Fcopy_tb));
    if (ret < 0)
        return ret;
    if (ost.st->time_base.num <= 0 || ost.st->time_base.den <= 0) {
        const AVRational tb = ost.frame_rate.num ? av_inv_q(ost.frame_rate) : ff().av_stream_get_codec_timebase(ost.st);
        ff().av_reduce(&ost.st->time_base.num, &ost.st->time_base.den, tb.num, tb.den, INT_MAX);
    }
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
    return InitBitstreamFilters(ost);
}

int TCustomFFmpeg::WriteHeaderIfReady(TOutputFile& of)
{
    if (of.header_written)
        return 0;
    for (unsigned i = 0; i < of.ctx->nb_streams; ++i)
        if (!FGraph.Foutput_streams[of.ost_index + i]->initialized)
            return 0;
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
    WriteQueuedPackets(of);
    return 0;
}

int TCustomFFmpeg::InitBitstreamFilters(TOutputStream& ost)
{
    AVBSFContext* bsf = ost.bsf_ctx.get();
    if (!bsf)
        return 0;
    ff().avcodec_parameters_copy(bsf->par_in, ost.st->codecpar);
    bsf->time_base_in = ost.mux_timebase;
    const int ret = ff().av_bsf_init(bsf);
    if (ret < 0) {
        FLastErrMsg = StrFormat("Error initializing bitstream filter: %s", bsf->filter->name);
        return ret;
    }
    ff().avcodec_parameters_copy(ost.st->codecpar, bsf->par_out);
    ost.st->time_base = bsf->time_base_out;
    return 0;
}

void TCustomFFmpeg::InitOutputStreamNow(TOutputStream& ost, AVFrame* frame)
{
    // The text is logged once, where the task's failure is caught.
    if (InitOutputStreamEncode(ost, frame) < 0 || WriteHeaderIfReady(*FGraph.Foutput_files[ost.file_index]) < 0)
        throw TEngineError(FLastErrMsg.empty()
                               ? StrFormat("Error initializing output stream %d:%d", ost.file_index, ost.index)
                               : FLastErrMsg);
}

}  // namespace reelsmith
