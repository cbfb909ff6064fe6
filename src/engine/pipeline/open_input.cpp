// Opening one input file of a task: demuxer, seeking, input streams and the input record.

#include "engine/pipeline/open_input.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "engine/options/codec_options.h"
#include "engine/custom_ffmpeg.h"
#include "engine/engine_error.h"
#include "media/engine_log.h"
#include "media/custom_decoder.h"
#include "media/input_protocols.h"

namespace reelsmith {

namespace {

int ReadInterruptTrampoline(void* opaque) { return static_cast<TCustomFFmpeg*>(opaque)->ReadInterrupt(); }

const AVCodec* FindDecoderByName(TCustomFFmpeg& task, const std::string& name, AVMediaType type)
{
    const AVCodec* codec = ff().avcodec_find_decoder_by_name(name.c_str());
    if (!codec) {
        const AVCodecDescriptor* desc = ff().avcodec_descriptor_get_by_name(name.c_str());
        if (desc)
            codec = ff().avcodec_find_decoder(desc->id);
    }
    const char* kind = ff().av_get_media_type_string(type);
    if (!codec)
        task.Fatal(StrFormat("Unknown decoder '%s'", name.c_str()));
    if (codec->type != type)
        task.Fatal(StrFormat("Invalid %s type '%s'", kind ? kind : "", name.c_str()));
    return codec;
}

// Calls a reading library function under the read time-out (see ReadInterrupt).
template <typename TCall>
int WatchedRead(TCustomFFmpeg& task, TCall&& call)
{
    task.FIo.LastRead = ff().av_gettime_relative();
    const int ret = call();
    task.FIo.LastRead = INT64_MAX;
    return ret;
}

// -f: the demuxer asked for, or none (probe). 0 or -22 with the error text.
int FindInputFormat(TCustomFFmpeg& task, const TOptionsContext& o, const AVInputFormat** fmt)
{
    *fmt = nullptr;
    if (o.format.empty())
        return 0;
    *fmt = ff().av_find_input_format(o.format.c_str());
    if (!*fmt) {
        task.FLastErrMsg = StrFormat("Unknown input format: '%s'", o.format.c_str());
        EngineLog(TLogLevel::llFatal, task.FLastErrMsg);
        return AVERROR(EINVAL);
    }
    return 0;
}

// The input's -sample_fmt, -ar, -s and -pix_fmt as demuxer options, and -ac, -ch_layout and -r
// where the demuxer has such an option.
void SetDemuxerOptions(TOptionsContext& o, const AVInputFormat* fmt)
{
    TDictionary& fopts = o.g.format_opts;
    if (const auto* v = o.sample_fmts.Last())
        fopts.Set("sample_fmt", *v);
    if (const auto* v = o.audio_sample_rate.Last())
        fopts.Set("sample_rate", std::to_string(*v));
    if (const auto* v = o.frame_sizes.Last())
        fopts.Set("video_size", *v);
    if (const auto* v = o.frame_pix_fmts.Last())
        fopts.Set("pixel_format", *v);
    if (!fmt || !fmt->priv_class)
        return;
    const void* cls = &fmt->priv_class;
    auto has = [&](const char* name) {
        return ff().av_opt_find(const_cast<void*>(cls), name, nullptr, 0, AV_OPT_SEARCH_FAKE_OBJ) != nullptr;
    };
    if (const auto* v = o.audio_channels.Last(); v && has("ch_layout"))
        fopts.Set("ch_layout", std::to_string(*v) + "C");
    if (const auto* v = o.audio_ch_layouts.Last(); v && has("ch_layout"))
        fopts.Set("ch_layout", *v);
    if (const auto* v = o.frame_rates.Last(); v && has("framerate"))
        fopts.Set("framerate", *v);
}

// A decoder named for a whole kind (-c:v name) must exist before the file is opened.
void CheckKindDecoders(TCustomFFmpeg& task, const TOptionsContext& o)
{
    for (const auto& item : o.codec_names.items) {
        const char kind = item.specifier.empty() ? '\0' : item.specifier[0];
        const AVMediaType type = kind == 'v'   ? AVMEDIA_TYPE_VIDEO
                                 : kind == 'a' ? AVMEDIA_TYPE_AUDIO
                                 : kind == 's' ? AVMEDIA_TYPE_SUBTITLE
                                 : kind == 'd' ? AVMEDIA_TYPE_DATA
                                               : AVMEDIA_TYPE_UNKNOWN;
        if (type != AVMEDIA_TYPE_UNKNOWN && item.specifier.size() == 1)
            FindDecoderByName(task, item.u, type);
    }
}

// Local files only, unless the input's own options widen it (names come from lists). 0 or
// -EPERM with the error text when url needs a protocol the list leaves out.
int AllowInputProtocols(TCustomFFmpeg& task, TDictionary& fopts, const std::string& fileName, const std::string& url)
{
    if (!fopts.Get("protocol_whitelist"))
        fopts.Set("protocol_whitelist", DefaultInputProtocols(fileName));
    if (const std::string refused = RefusedProtocolText(url, fopts.Get("protocol_whitelist")); !refused.empty()) {
        task.FLastErrMsg = fileName + ": " + refused;
        EngineLog(TLogLevel::llFatal, task.FLastErrMsg);
        return AVERROR(EPERM);
    }
    return 0;
}

// A named pipe is read without blocking, so a writer that never delivers cannot hold the
// read past the time-out (the library polls the interrupt between tries). The task keeps the
// descriptor; url becomes "pipe:<fd>". The descriptor, or -1 when fileName is no pipe.
int OpenNamedPipe(TCustomFFmpeg& task, TDictionary& fopts, const std::string& fileName, std::string& url)
{
    struct stat info {};
    if (stat(fileName.c_str(), &info) != 0 || !S_ISFIFO(info.st_mode))
        return -1;
    const int pipeFd = open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (pipeFd >= 0) {
        const std::string whitelist = fopts.Get("protocol_whitelist");
        url = "pipe:" + std::to_string(pipeFd);
        task.FIo.OwnedPipes.push_back(pipeFd);
        // The named file is the input; the descriptor is only how it is read.
        fopts.Set("protocol_whitelist", whitelist + ",pipe");
    }
    return pipeFd;
}

// The library frees the context itself when opening fails (ctx is then empty).
int OpenDemuxer(TCustomFFmpeg& task, TInputFormatContextPtr& ctx, const std::string& url, const AVInputFormat* fmt,
                TDictionary& fopts)
{
    return WatchedRead(task, [&] {
        AVFormatContext* raw = ctx.release();
        const int ret = ff().avformat_open_input(&raw, url.c_str(), fmt, fopts.address());
        ctx.reset(raw);
        return ret;
    });
}

void ReportOpenFailure(TCustomFFmpeg& task, const std::string& fileName, int pipeFd, int ret)
{
    if (pipeFd >= 0) {
        close(pipeFd);
        task.FIo.OwnedPipes.pop_back();
    }
    task.FLastErrMsg = fileName + ": " + task.ReadErrorText(ret);
    EngineLog(TLogLevel::llFatal, task.FLastErrMsg);
    if (ret == AVERROR_PROTOCOL_NOT_FOUND)
        EngineLog(TLogLevel::llError, StrFormat("Did you mean file:%s?", fileName.c_str()));
}

// Allocates the demuxer context of fileName and opens it with the file's options. 0 or a
// negative code with the error text.
int OpenInputContext(TCustomFFmpeg& task, TOptionsContext& o, const std::string& fileName, const AVInputFormat* fmt,
                     TInputFormatContextPtr& ctx)
{
    // Owned from here on: a fatal error below (an unknown decoder, say) must not lose it.
    ctx.reset(ff().avformat_alloc_context());
    if (!ctx) {
        task.FLastErrMsg = fileName + ": " + EngineErrorText(AVERROR(ENOMEM));
        return AVERROR(ENOMEM);
    }
    TDictionary& fopts = o.g.format_opts;
    SetDemuxerOptions(o, fmt);
    CheckKindDecoders(task, o);
    ctx->interrupt_callback.callback = ReadInterruptTrampoline;
    ctx->interrupt_callback.opaque = &task;
    const bool scanAllPmtsSet = fopts.Get("scan_all_pmts") != nullptr;
    if (!scanAllPmtsSet)
        fopts.Set("scan_all_pmts", "1", AV_DICT_DONT_OVERWRITE);

    std::string url = fileName == "-" ? std::string("pipe:") : fileName;
    if (const int ret = AllowInputProtocols(task, fopts, fileName, url); ret < 0)
        return ret;
    const int pipeFd = OpenNamedPipe(task, fopts, fileName, url);
    if (const int ret = OpenDemuxer(task, ctx, url, fmt, fopts); ret < 0) {
        ReportOpenFailure(task, fileName, pipeFd, ret);
        return ret;
    }
    if (!scanAllPmtsSet)
        fopts.Set("scan_all_pmts", "", 0);
    return 0;
}

// -c:<spec> name: the streams it matches are decoded by that codec.
void ForceStreamDecoders(TCustomFFmpeg& task, const TOptionsContext& o, AVFormatContext* ic)
{
    for (unsigned i = 0; i < ic->nb_streams; ++i) {
        AVStream* st = ic->streams[i];
        if (const std::string* name = o.codec_names.Match(ic, st))
            st->codecpar->codec_id = FindDecoderByName(task, *name, st->codecpar->codec_type)->id;
    }
}

// Reads ahead to learn the parameters of the streams, each with its own codec options. A
// failure is fatal only when no stream was found: 0 or the negative code with the error text.
int FindStreamInfo(TCustomFFmpeg& task, const TOptionsContext& o, AVFormatContext* ic, const std::string& fileName)
{
    if (task.FOnBeforeFindStreamInfo)
        task.FOnBeforeFindStreamInfo(&task, ic);
    std::vector<TDictionary> streamOpts(ic->nb_streams);
    for (unsigned i = 0; i < ic->nb_streams; ++i)
        streamOpts[i] =
            FilterCodecOpts(o.g.codec_opts, ic->streams[i]->codecpar->codec_id, ic, ic->streams[i], nullptr);
    // The library fills the array in place; the dictionaries take back what it leaves.
    std::vector<AVDictionary*> optsArray(ic->nb_streams, nullptr);
    for (unsigned i = 0; i < ic->nb_streams; ++i)
        optsArray[i] = streamOpts[i].Release();
    const int ret = WatchedRead(
        task, [&] { return ff().avformat_find_stream_info(ic, optsArray.empty() ? nullptr : optsArray.data()); });
    // The probe may have found more streams than there are dictionaries.
    for (size_t i = 0; i < optsArray.size(); ++i)
        *streamOpts[i].address() = optsArray[i];
    if (ret >= 0)
        return 0;
    EngineLog(TLogLevel::llFatal, StrFormat("%s: could not find codec parameters", fileName.c_str()));
    if (ic->nb_streams == 0) {
        task.FLastErrMsg = task.FIo.ReadTimedOut  // the probe's reads were cut off by the time-out
                               ? fileName + ": " + task.ReadErrorText(AVERROR_EXIT)
                               : StrFormat("%s: could not find codec parameters", fileName.c_str());
        return ret;
    }
    return 0;
}

// -sseof: a start counted from the end, once the duration is known. 0 or -22 with the error text.
int ResolveStartFromEnd(TCustomFFmpeg& task, TOptionsContext& o, const AVFormatContext* ic, const std::string& fileName)
{
    if (o.start_time != kNoPtsValue && o.start_time_eof != kNoPtsValue) {
        EngineLog(TLogLevel::llWarning,
                  StrFormat("Cannot use -ss and -sseof both, using -ss for %s", fileName.c_str()));
        o.start_time_eof = kNoPtsValue;
    }
    if (o.start_time_eof == kNoPtsValue)
        return 0;
    if (o.start_time_eof >= 0) {
        task.FLastErrMsg = "-sseof value must be negative; aborting";
        return AVERROR(EINVAL);
    }
    if (ic->duration > 0) {
        o.start_time = o.start_time_eof + ic->duration;
        if (o.start_time < 0) {
            o.start_time = 0;
            EngineLog(TLogLevel::llWarning,
                      StrFormat("-sseof value seeks to before start of file %s; ignored", fileName.c_str()));
        }
    } else {
        EngineLog(TLogLevel::llWarning, StrFormat("Cannot use -sseof, duration of %s not known", fileName.c_str()));
    }
    return 0;
}

// The task's input duration is that of its longest input, as far as -ss and -t leave it.
void AddInputDuration(TCustomFFmpeg& task, const TOptionsContext& o, const AVFormatContext* ic)
{
    if (ic->duration <= 0)
        return;
    const int64_t startOffset = o.start_time == kNoPtsValue ? 0 : o.start_time;
    int64_t length = ic->duration - startOffset;
    if (o.recording_time != INT64_MAX)
        length = std::min(length, o.recording_time);
    task.FIo.InputDuration = std::max(task.FIo.InputDuration, length);
}

// -ss: seeks to the start (a little before it when timestamps may come late). The timestamp of
// the start in the file's time.
int64_t SeekToStart(const TOptionsContext& o, AVFormatContext* ic, const std::string& fileName)
{
    int64_t timestamp = o.start_time == kNoPtsValue ? 0 : o.start_time;
    if (!o.seek_timestamp && ic->start_time != kNoPtsValue)
        timestamp += ic->start_time;
    if (o.start_time == kNoPtsValue)
        return timestamp;
    int64_t seekTimestamp = timestamp;
    if (!(ic->iformat->flags & AVFMT_SEEK_TO_PTS)) {
        bool dtsHeuristic = false;
        for (unsigned i = 0; i < ic->nb_streams; ++i)
            if (ic->streams[i]->codecpar->video_delay)
                dtsHeuristic = true;
        if (dtsHeuristic)
            seekTimestamp -= 3 * AV_TIME_BASE / 23;
    }
    if (ff().avformat_seek_file(ic, -1, INT64_MIN, seekTimestamp, seekTimestamp, 0) < 0)
        EngineLog(TLogLevel::llWarning, StrFormat("%s: could not seek to position %0.3f", fileName.c_str(),
                                                  double(timestamp) / AV_TIME_BASE));
    return timestamp;
}

// The input record's settings from the file's options; its streams follow it in the task.
void FillInputFile(const TCustomFFmpeg& task, const TOptionsContext& o, int64_t timestamp, TInputFile& file)
{
    const AVFormatContext* ic = file.ctx.get();
    const TGlobalOptions& global = task.FGlobal;
    file.ist_index = task.FGraph.Fnb_input_streams();
    file.start_time = o.start_time;
    file.recording_time = o.recording_time;
    file.input_ts_offset = o.input_ts_offset;
    file.ts_offset =
        o.input_ts_offset -
        (global.Fcopy_ts ? (global.Fstart_at_zero && ic->start_time != kNoPtsValue ? ic->start_time : 0) : timestamp);
    file.nb_streams = static_cast<int>(ic->nb_streams);
    file.rate_emu = o.rate_emu;
    file.readrate = o.readrate;
    file.accurate_seek = o.accurate_seek;
    file.loop = o.loop;
    file.thread_queue_size = o.thread_queue_size;
    file.input_sync_ref = o.input_sync_ref;
    file.pkt.reset(ff().av_packet_alloc());
}

// -readrate and -re.
void CheckReadRate(TCustomFFmpeg& task, const TOptionsContext& o)
{
    if (o.readrate < 0)
        task.Fatal(StrFormat("Option -readrate for Input #%d is %0.3f; it must be non-negative.",
                             task.FGraph.Fnb_input_files(), double(o.readrate)));
    if (o.readrate && o.rate_emu)
        EngineLog(TLogLevel::llWarning, StrFormat("Both -readrate and -re set for Input #%d. Using -readrate %0.3f.",
                                                  task.FGraph.Fnb_input_files(), double(o.readrate)));
    if (o.rate_emu)
        task.SetFrameRateEmulation(true);
}

// Input options the engine accepts but does not act on: hardware decoding, the subtitle
// duration fix and the layout guess limit. They are named in the log, never silently inert.
void ReportIgnoredInputOptions(const TOptionsContext& o)
{
    const std::pair<const char*, bool> given[] = {
        {"hwaccel", !o.hwaccels.Empty()},
        {"hwaccel_device", !o.hwaccel_devices.Empty()},
        {"hwaccel_output_format", !o.hwaccel_output_formats.Empty()},
        {"fix_sub_duration", !o.fix_sub_duration.Empty()},
        {"guess_layout_max", !o.guess_layout_max.Empty()},
    };
    for (const auto& [name, present] : given)
        if (present)
            EngineLog(TLogLevel::llWarning, StrFormat("options \"%s\" not supported, ignore", name));
}

// The per-stream input options: -itsscale, -autorotate, -reinit_filter, -top, -discard.
void ApplyInputStreamOptions(const TOptionsContext& o, AVFormatContext* ic, TInputStream& ist)
{
    AVStream* st = ist.st;
    if (const double* scale = o.ts_scale.Match(ic, st))
        ist.ts_scale = *scale;
    if (const int* v = o.autorotate.Match(ic, st))
        ist.autorotate = *v;
    if (const int* v = o.reinit_filters.Match(ic, st))
        ist.reinit_filters = *v;
    if (const int* v = o.top_field_first.Match(ic, st))
        ist.top_field_first = *v;
    if (const std::string* d = o.discard.Match(ic, st)) {
        if (*d == "all")
            ist.user_set_discard = AVDISCARD_ALL;
        else if (*d == "none")
            ist.user_set_discard = AVDISCARD_NONE;
    }
}

// The stream's decoder (named or the codec's own), its options and context, and for video the
// frame rate (-r on an input overrides the guess).
void PrepareDecoder(TCustomFFmpeg& task, const TOptionsContext& o, AVFormatContext* ic, TInputStream& ist)
{
    AVStream* st = ist.st;
    const std::string* name = o.codec_names.Match(ic, st);
    ist.avdec = name ? FindDecoderByName(task, *name, st->codecpar->codec_type)
                     : ff().avcodec_find_decoder(st->codecpar->codec_id);
    ist.decoder_opts = FilterCodecOpts(o.g.codec_opts, st->codecpar->codec_id, ic, st, ist.avdec);
    ist.dec_ctx.reset(ff().avcodec_alloc_context3(ist.avdec));
    if (!ist.dec_ctx || ff().avcodec_parameters_to_context(ist.dec_ctx.get(), st->codecpar) < 0)
        task.Fatal("Error allocating the decoder context.");
    if (st->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
        ist.framerate = GuessFrameRate(st);  // the real base rate: a variable-rate phone clip stays 30/1
        if (const std::string* r = o.frame_rates.Match(ic, st)) {
            if (ff().av_parse_video_rate(&ist.framerate, r->c_str()) < 0)
                task.Fatal(StrFormat("Error parsing framerate %s.", r->c_str()));
        }
    }
}

// The record of one input stream, discarded until an output or a graph uses it.
std::unique_ptr<TInputStream> NewInputStream(TCustomFFmpeg& task, const TOptionsContext& o, AVFormatContext* ic,
                                             AVStream* st, int fileIndex)
{
    auto ist = std::make_unique<TInputStream>();
    ist->st = st;
    ist->file_index = fileIndex;
    ist->discard = 1;
    st->discard = AVDISCARD_ALL;
    ist->clock.next_pts = ist->clock.next_dts = kNoPtsValue;
    ist->clock.filter_in_rescale_delta_last = kNoPtsValue;
    ist->clock.prev_pkt_pts = kNoPtsValue;
    ist->min_pts = INT64_MAX;
    ist->clock.max_pts = INT64_MIN;
    ist->ts_scale = 1.0;
    ApplyInputStreamOptions(o, ic, *ist);
    PrepareDecoder(task, o, ic, *ist);
    ist->decoded_frame.reset(ff().av_frame_alloc());
    ist->pkt.reset(ff().av_packet_alloc());
    return ist;
}

// Codec options that no stream of the file took are an error.
void CheckUnusedDecoderOptions(TCustomFFmpeg& task, const TOptionsContext& o,
                               const std::vector<std::unique_ptr<TInputStream>>& streams, int fileIndex,
                               const std::string& fileName)
{
    std::vector<const TDictionary*> used;
    for (const auto& ist : streams)
        used.push_back(&ist->decoder_opts);
    if (const std::string error = UnusedCodecOptionsError(o.g.codec_opts, used, false, fileIndex, fileName);
        !error.empty())
        task.Fatal(error);
}

}  // namespace

int ResolveRecordingTime(TCustomFFmpegOpt& task, TOptionsContext& o)
{
    if (o.stop_time != INT64_MAX && o.recording_time != INT64_MAX) {
        o.stop_time = INT64_MAX;
        EngineLog(TLogLevel::llWarning, "-t and -to cannot be used together; using -t.");
    }
    if (o.stop_time != INT64_MAX && o.recording_time == INT64_MAX) {
        const int64_t start = o.start_time == kNoPtsValue ? 0 : o.start_time;
        if (o.stop_time <= start) {
            task.FLastErrMsg = "-to value smaller than -ss; aborting.";
            EngineLog(TLogLevel::llError, task.FLastErrMsg);
            return AVERROR(EINVAL);
        }
        o.recording_time = o.stop_time - start;
    }
    return 0;
}

int TCustomFFmpeg::OpenInput(TOptionsContext& o, const std::string& fileName)
{
    int ret = ResolveRecordingTime(*this, o);
    if (ret < 0)
        return ret;
    const AVInputFormat* fmt = nullptr;
    if (ret = FindInputFormat(*this, o, &fmt); ret < 0)
        return ret;
    TInputFormatContextPtr ctx;
    if (ret = OpenInputContext(*this, o, fileName, fmt, ctx); ret < 0)
        return ret;
    AVFormatContext* ic = ctx.get();
    auto file = std::make_unique<TInputFile>();
    file->ctx = std::move(ctx);
    file->name = fileName;
    ForceStreamDecoders(*this, o, ic);
    if (FGlobal.Ffind_stream_info) {
        if (ret = FindStreamInfo(*this, o, ic, fileName); ret < 0)
            return ret;
    }
    if (ic->nb_streams == 0) {
        FLastErrMsg = fileName + ": " + "no streams found";
        return AVERROR_STREAM_NOT_FOUND;
    }
    if (ret = ResolveStartFromEnd(*this, o, ic, fileName); ret < 0)
        return ret;
    AddInputDuration(*this, o, ic);
    const int64_t timestamp = SeekToStart(o, ic, fileName);
    FillInputFile(*this, o, timestamp, *file);
    CheckReadRate(*this, o);

    const int fileIndex = FGraph.Fnb_input_files();
    // The streams join the task only with their file, so a fatal error leaves no stream behind.
    std::vector<std::unique_ptr<TInputStream>> streams;
    for (unsigned i = 0; i < ic->nb_streams; ++i)
        streams.push_back(NewInputStream(*this, o, ic, ic->streams[i], fileIndex));
    ff().av_dump_format(ic, fileIndex, fileName.c_str(), 0);
    CheckUnusedDecoderOptions(*this, o, streams, fileIndex, fileName);
    ReportIgnoredInputOptions(o);
    DumpAttachments(o, ic, fileName);

    for (auto& ist : streams)
        FGraph.Finput_streams.push_back(std::move(ist));
    FGraph.Finput_files.push_back(std::move(file));
    return 0;
}

}  // namespace reelsmith
