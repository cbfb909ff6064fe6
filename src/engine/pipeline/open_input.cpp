// Opening one input file of a task: demuxer, seeking, input streams and the input record.

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

// Resolves -t/-to into a recording time. 0 or -22.
int ResolveRecordingTime(TCustomFFmpeg& task, TOptionsContext& o)
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

}  // namespace

int ResolveRecordingTimeOf(TCustomFFmpeg& task, TOptionsContext& o) { return ResolveRecordingTime(task, o); }

// -dump_attachment[:spec] [file]: the extra data of matching attachment streams, written to the
// named file or to the stream's "filename" tag. Existing files are kept unless -y is given.
void TCustomFFmpeg::DumpAttachments(const TOptionsContext& o, AVFormatContext* ic)
{
    for (const auto& item : o.dump_attachment.items) {
        for (unsigned i = 0; i < ic->nb_streams; ++i) {
            AVStream* st = ic->streams[i];
            if (CheckStreamSpecifier(ic, st, item.specifier) <= 0)
                continue;
            if (!st->codecpar->extradata_size) {
                EngineLog(TLogLevel::llWarning,
                          StrFormat("No extradata to dump in stream #%d:%d.", FGraph.Fnb_input_files(), int(i)));
                continue;
            }
            std::string name = item.u;
            if (const AVDictionaryEntry* e = ff().av_dict_get(st->metadata, "filename", nullptr, 0); name.empty() && e)
                name = e->value;
            if (name.empty())
                Fatal(StrFormat("No filename specified and no 'filename' tag in stream #%d:%d.",
                                FGraph.Fnb_input_files(), int(i)));
            if (!MayWriteAttachment(name))
                continue;
            AVIOContext* raw = nullptr;
            if (ff().avio_open2(&raw, name.c_str(), AVIO_FLAG_WRITE, &ic->interrupt_callback, nullptr) < 0)
                Fatal(StrFormat("Could not open file %s for writing.", name.c_str()));
            TAVIOContextPtr out(raw);
            ff().avio_write(raw, st->codecpar->extradata, st->codecpar->extradata_size);
            ff().avio_flush(raw);
            if (raw->error < 0)
                Fatal(StrFormat("Could not write file %s.", name.c_str()));
        }
    }
}

// The overwrite guard of -dump_attachment (-y, -n); the conversion outputs themselves are always replaced.
bool TCustomFFmpeg::MayWriteAttachment(const std::string& name)
{
    if (FGlobal.Ffile_overwrite && FGlobal.Fno_file_overwrite)
        Fatal("Error, both -y and -n supplied.");
    for (int i = 0; i < FGraph.Fnb_input_files(); ++i) {
        const AVFormatContext* ic = FGraph.Finput_files[size_t(i)]->ctx.get();
        if (ic->url && name == ic->url) {
            EngineLog(TLogLevel::llError, StrFormat("Output %s same as Input #%d - ignored.", name.c_str(), i));
            return false;
        }
    }
    struct stat info {};
    if (!FGlobal.Ffile_overwrite && stat(name.c_str(), &info) == 0) {
        EngineLog(TLogLevel::llWarning, StrFormat("File '%s' already exists. Ignored.", name.c_str()));
        return false;
    }
    return true;
}

int TCustomFFmpeg::OpenInput(TOptionsContext& o, const std::string& fileName)
{
    int ret = ResolveRecordingTime(*this, o);
    if (ret < 0)
        return ret;

    const AVInputFormat* fmt = nullptr;
    if (!o.format.empty()) {
        fmt = ff().av_find_input_format(o.format.c_str());
        if (!fmt) {
            FLastErrMsg = StrFormat("Unknown input format: '%s'", o.format.c_str());
            EngineLog(TLogLevel::llFatal, FLastErrMsg);
            return AVERROR(EINVAL);
        }
    }

    // Owned from here on: a fatal error below (an unknown decoder, say) must not lose it.
    TInputFormatContextPtr owned(ff().avformat_alloc_context());
    AVFormatContext* raw = owned.get();
    if (!raw) {
        FLastErrMsg = fileName + ": " + EngineErrorText(AVERROR(ENOMEM));
        return AVERROR(ENOMEM);
    }
    TDictionary& fopts = o.g.format_opts;
    if (const auto* v = o.sample_fmts.Last())
        fopts.Set("sample_fmt", *v);
    if (const auto* v = o.audio_sample_rate.Last())
        fopts.Set("sample_rate", std::to_string(*v));
    if (const auto* v = o.frame_sizes.Last())
        fopts.Set("video_size", *v);
    if (const auto* v = o.frame_pix_fmts.Last())
        fopts.Set("pixel_format", *v);
    if (fmt && fmt->priv_class) {
        const void* cls = &fmt->priv_class;
        if (const auto* v = o.audio_channels.Last();
            v && ff().av_opt_find(const_cast<void*>(cls), "ch_layout", nullptr, 0, AV_OPT_SEARCH_FAKE_OBJ))
            fopts.Set("ch_layout", std::to_string(*v) + "C");
        if (const auto* v = o.audio_ch_layouts.Last();
            v && ff().av_opt_find(const_cast<void*>(cls), "ch_layout", nullptr, 0, AV_OPT_SEARCH_FAKE_OBJ))
            fopts.Set("ch_layout", *v);
        if (const auto* v = o.frame_rates.Last();
            v && ff().av_opt_find(const_cast<void*>(cls), "framerate", nullptr, 0, AV_OPT_SEARCH_FAKE_OBJ))
            fopts.Set("framerate", *v);
    }
    for (const auto& item : o.codec_names.items) {
        const char kind = item.specifier.empty() ? '\0' : item.specifier[0];
        const AVMediaType type = kind == 'v' ? AVMEDIA_TYPE_VIDEO : kind == 'a' ? AVMEDIA_TYPE_AUDIO
                               : kind == 's' ? AVMEDIA_TYPE_SUBTITLE : kind == 'd' ? AVMEDIA_TYPE_DATA
                                             : AVMEDIA_TYPE_UNKNOWN;
        if (type != AVMEDIA_TYPE_UNKNOWN && item.specifier.size() == 1)
            FindDecoderByName(*this, item.u, type);
    }
    raw->interrupt_callback.callback = ReadInterruptTrampoline;
    raw->interrupt_callback.opaque = this;
    const bool scanAllPmtsSet = fopts.Get("scan_all_pmts") != nullptr;
    if (!scanAllPmtsSet)
        fopts.Set("scan_all_pmts", "1", AV_DICT_DONT_OVERWRITE);

    // A named pipe is read without blocking, so a writer that never delivers cannot
    // hold the read past the time-out (the library polls the interrupt between tries).
    std::string url = fileName == "-" ? std::string("pipe:") : fileName;
    // Local files only, unless the input's own options widen it (names come from lists).
    if (!fopts.Get("protocol_whitelist"))
        fopts.Set("protocol_whitelist", DefaultInputProtocols(fileName));
    const std::string whitelist = fopts.Get("protocol_whitelist");
    if (const std::string refused = RefusedProtocolText(url, whitelist); !refused.empty()) {
        FLastErrMsg = fileName + ": " + refused;
        EngineLog(TLogLevel::llFatal, FLastErrMsg);
        return AVERROR(EPERM);
    }
    int pipeFd = -1;
    struct stat info {};
    if (stat(fileName.c_str(), &info) == 0 && S_ISFIFO(info.st_mode)) {
        pipeFd = open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (pipeFd >= 0) {
            url = "pipe:" + std::to_string(pipeFd);
            FOwnedPipes.push_back(pipeFd);
            // The named file is the input; the descriptor is only how it is read.
            fopts.Set("protocol_whitelist", whitelist + ",pipe");
        }
    }
    FLastRead = ff().av_gettime_relative();
    raw = owned.release();  // the library frees the context itself when opening fails
    ret = ff().avformat_open_input(&raw, url.c_str(), fmt, fopts.address());
    owned.reset(raw);
    FLastRead = INT64_MAX;
    if (ret < 0) {
        if (pipeFd >= 0) {
            close(pipeFd);
            FOwnedPipes.pop_back();
        }
        FLastErrMsg = fileName + ": " + ReadErrorText(ret);
        EngineLog(TLogLevel::llFatal, FLastErrMsg);
        if (ret == AVERROR_PROTOCOL_NOT_FOUND)
            EngineLog(TLogLevel::llError, StrFormat("Did you mean file:%s?", fileName.c_str()));
        return ret;
    }
    if (!scanAllPmtsSet)
        fopts.Set("scan_all_pmts", "", 0);
    auto file = std::make_unique<TInputFile>();
    file->ctx = std::move(owned);
    AVFormatContext* ic = raw;

    for (unsigned i = 0; i < ic->nb_streams; ++i) {
        AVStream* st = ic->streams[i];
        if (const std::string* name = o.codec_names.Match(ic, st))
            st->codecpar->codec_id = FindDecoderByName(*this, *name, st->codecpar->codec_type)->id;
    }

    if (FGlobal.Ffind_stream_info) {
        if (FOnBeforeFindStreamInfo)
            FOnBeforeFindStreamInfo(this, ic);
        std::vector<TDictionary> streamOpts(ic->nb_streams);
        std::vector<AVDictionary*> optsArray(ic->nb_streams, nullptr);
        for (unsigned i = 0; i < ic->nb_streams; ++i) {
            streamOpts[i] = FilterCodecOpts(o.g.codec_opts, ic->streams[i]->codecpar->codec_id, ic, ic->streams[i],
                                            nullptr);
            optsArray[i] = streamOpts[i].Release();
        }
        FLastRead = ff().av_gettime_relative();
        ret = ff().avformat_find_stream_info(ic, optsArray.empty() ? nullptr : optsArray.data());
        FLastRead = INT64_MAX;
        for (auto* d : optsArray)
            ff().av_dict_free(&d);
        if (ret < 0) {
            EngineLog(TLogLevel::llFatal, StrFormat("%s: could not find codec parameters", fileName.c_str()));
            if (ic->nb_streams == 0) {
                FLastErrMsg = FReadTimedOut  // the probe's reads were cut off by the time-out
                                  ? fileName + ": " + ReadErrorText(AVERROR_EXIT)
                                  : StrFormat("%s: could not find codec parameters", fileName.c_str());
                return ret;
            }
        }
    }
    if (ic->nb_streams == 0) {
        FLastErrMsg = fileName + ": " + "no streams found";
        return AVERROR_STREAM_NOT_FOUND;
    }

    if (o.start_time != kNoPtsValue && o.start_time_eof != kNoPtsValue) {
        EngineLog(TLogLevel::llWarning, StrFormat("Cannot use -ss and -sseof both, using -ss for %s", fileName.c_str()));
        o.start_time_eof = kNoPtsValue;
    }
    if (o.start_time_eof != kNoPtsValue) {
        if (o.start_time_eof >= 0) {
            FLastErrMsg = "-sseof value must be negative; aborting";
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
    }
    const int64_t startOffset = o.start_time == kNoPtsValue ? 0 : o.start_time;
    if (ic->duration > 0) {
        int64_t length = ic->duration - startOffset;
        if (o.recording_time != INT64_MAX)
            length = std::min(length, o.recording_time);
        FInputDuration = std::max(FInputDuration, length);
    }

    int64_t timestamp = startOffset;
    if (!o.seek_timestamp && ic->start_time != kNoPtsValue)
        timestamp += ic->start_time;
    if (o.start_time != kNoPtsValue) {
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
    }

    file->ist_index = FGraph.Fnb_input_streams();
    file->start_time = o.start_time;
    file->recording_time = o.recording_time;
    file->input_ts_offset = o.input_ts_offset;
    file->ts_offset = o.input_ts_offset -
                      (FGlobal.Fcopy_ts ? (FGlobal.Fstart_at_zero && ic->start_time != kNoPtsValue ? ic->start_time : 0)
                                        : timestamp);
    file->nb_streams = static_cast<int>(ic->nb_streams);
    file->rate_emu = o.rate_emu;
    file->readrate = o.readrate;
    file->accurate_seek = o.accurate_seek;
    file->loop = o.loop;
    file->input_sync_ref = o.input_sync_ref;
    file->pkt.reset(ff().av_packet_alloc());
    if (o.readrate < 0)
        Fatal(StrFormat("Option -readrate for Input #%d is %0.3f; it must be non-negative.", FGraph.Fnb_input_files(),
                        double(o.readrate)));
    if (o.readrate && o.rate_emu)
        EngineLog(TLogLevel::llWarning, StrFormat("Both -readrate and -re set for Input #%d. Using -readrate %0.3f.",
                                                  FGraph.Fnb_input_files(), double(o.readrate)));
    if (o.rate_emu)
        SetFrameRateEmulation(true);

    const int fileIndex = FGraph.Fnb_input_files();
    // The streams join the task only with their file, so a fatal error leaves no stream behind.
    std::vector<std::unique_ptr<TInputStream>> streams;
    for (unsigned i = 0; i < ic->nb_streams; ++i) {
        AVStream* st = ic->streams[i];
        auto ist = std::make_unique<TInputStream>();
        ist->st = st;
        ist->file_index = fileIndex;
        ist->discard = 1;
        st->discard = AVDISCARD_ALL;
        ist->next_pts = ist->next_dts = kNoPtsValue;
        ist->filter_in_rescale_delta_last = kNoPtsValue;
        ist->prev_pkt_pts = kNoPtsValue;
        ist->min_pts = INT64_MAX;
        ist->max_pts = INT64_MIN;
        ist->ts_scale = 1.0;
        if (const double* scale = o.ts_scale.Match(ic, st))
            ist->ts_scale = *scale;
        if (const int* v = o.autorotate.Match(ic, st))
            ist->autorotate = *v;
        if (const int* v = o.reinit_filters.Match(ic, st))
            ist->reinit_filters = *v;
        if (const std::string* d = o.discard.Match(ic, st)) {
            if (*d == "all")
                ist->user_set_discard = AVDISCARD_ALL;
            else if (*d == "none")
                ist->user_set_discard = AVDISCARD_NONE;
        }
        const std::string* name = o.codec_names.Match(ic, st);
        ist->avdec = name ? FindDecoderByName(*this, *name, st->codecpar->codec_type)
                          : ff().avcodec_find_decoder(st->codecpar->codec_id);
        ist->decoder_opts = FilterCodecOpts(o.g.codec_opts, st->codecpar->codec_id, ic, st, ist->avdec);
        ist->dec_ctx.reset(ff().avcodec_alloc_context3(ist->avdec));
        if (!ist->dec_ctx || ff().avcodec_parameters_to_context(ist->dec_ctx.get(), st->codecpar) < 0)
            Fatal("Error allocating the decoder context.");
        if (st->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
            ist->framerate = GuessFrameRate(st);  // the real base rate: a variable-rate phone clip stays 30/1
            if (const std::string* r = o.frame_rates.Match(ic, st)) {
                if (ff().av_parse_video_rate(&ist->framerate, r->c_str()) < 0)
                    Fatal(StrFormat("Error parsing framerate %s.", r->c_str()));
            }
        }
        ist->decoded_frame.reset(ff().av_frame_alloc());
        ist->pkt.reset(ff().av_packet_alloc());
        streams.push_back(std::move(ist));
    }
    ff().av_dump_format(ic, fileIndex, fileName.c_str(), 0);

    std::vector<const TDictionary*> used;
    for (const auto& ist : streams)
        used.push_back(&ist->decoder_opts);
    if (const std::string error = UnusedCodecOptionsError(o.g.codec_opts, used, false, fileIndex, fileName);
        !error.empty())
        Fatal(error);
    DumpAttachments(o, ic);

    for (auto& ist : streams)
        FGraph.Finput_streams.push_back(std::move(ist));
    FGraph.Finput_files.push_back(std::move(file));
    return 0;
}

}  // namespace reelsmith
