// Opening one output file of a task: muxer, stream selection, output streams, the file.

#include <climits>
#include <filesystem>

#include <cstring>

#include "engine/options/codec_options.h"
#include "engine/custom_ffmpeg.h"
#include "engine/engine_error.h"
#include "engine/pipeline/open_input.h"
#include "engine/pipeline/stream_setup.h"
#include "engine/pipeline/write_guard.h"
#include "media/engine_log.h"
#include "media/input_protocols.h"
#include "engine/text_file.h"

namespace reelsmith {

namespace {

// Index of the best stream of a kind over all inputs (the tool's score), or -1.
int BestStream(TCustomFFmpeg& task, AVMediaType type, const AVOutputFormat* ofmt)
{
    int best = -1;
    int64_t bestScore = 0;
    const bool wantsAttachedPic = ofmt->video_codec == AV_CODEC_ID_PNG || ofmt->video_codec == AV_CODEC_ID_MJPEG;
    for (const auto& file : task.FGraph.Finput_files) {
        int fileBest = -1;
        int64_t fileBestScore = 0;
        for (int i = 0; i < file->nb_streams; ++i) {
            const int index = file->ist_index + i;
            const TInputStream& ist = *task.FGraph.Finput_streams[index];
            const AVCodecParameters* par = ist.st->codecpar;
            if (par->codec_type != type || ist.user_set_discard == AVDISCARD_ALL)
                continue;
            int64_t score =
                type == AVMEDIA_TYPE_VIDEO ? int64_t(par->width) * par->height : int64_t(par->ch_layout.nb_channels);
            if (type == AVMEDIA_TYPE_VIDEO) {
                const bool attached = ist.st->disposition & AV_DISPOSITION_ATTACHED_PIC;
                if (wantsAttachedPic ? !attached : attached)
                    score = 1;
            }
            score += (ist.st->event_flags & AVSTREAM_EVENT_FLAG_NEW_PACKETS) ? 100000000 : 0;
            const int64_t bonus = (ist.st->disposition & AV_DISPOSITION_DEFAULT) ? 5000000 : 0;
            if (score + bonus > fileBestScore) {
                fileBestScore = score + bonus;
                fileBest = index;
            }
        }
        if (fileBest >= 0) {
            const TInputStream& ist = *task.FGraph.Finput_streams[fileBest];
            if (ist.st->disposition & AV_DISPOSITION_DEFAULT)
                fileBestScore -= 5000000;
            if (fileBestScore > bestScore) {
                bestScore = fileBestScore;
                best = fileBest;
            }
        }
    }
    return best;
}

int TextOrBitmap(AVCodecID id)
{
    const AVCodecDescriptor* desc = ff().avcodec_descriptor_get(id);
    return desc ? desc->props & (AV_CODEC_PROP_TEXT_SUB | AV_CODEC_PROP_BITMAP_SUB) : -1;
}

// The first subtitle stream, when a subtitle codec was named for the output (-c:s) or the
// format's own subtitle encoder handles the same kind (text or bitmap) as the input.
int SubtitleStream(TCustomFFmpeg& task, const TOptionsContext& o, const AVOutputFormat* ofmt,
                   const std::string& fileName)
{
    const std::string* name = nullptr;
    for (const auto& item : o.codec_names.items)
        if (item.specifier == "s")
            name = &item.u;
    const AVCodecID defaultId = ff().av_guess_codec(ofmt, nullptr, fileName.c_str(), nullptr, AVMEDIA_TYPE_SUBTITLE);
    if (!name && !ff().avcodec_find_encoder(defaultId))
        return -1;
    for (int i = 0; i < task.FGraph.Fnb_input_streams(); ++i) {
        const TInputStream& ist = *task.FGraph.Finput_streams[i];
        if (ist.st->codecpar->codec_type != AVMEDIA_TYPE_SUBTITLE || ist.user_set_discard == AVDISCARD_ALL)
            continue;
        const int in = TextOrBitmap(ist.st->codecpar->codec_id);
        const int out = TextOrBitmap(defaultId);
        if (name || in <= 0 || out <= 0 || (in & out))
            return i;
    }
    return -1;
}

// Chapters of the first input that has any, moved by the input's -ss and cut at -t.
void CopyChapters(const TCustomFFmpeg& task, const TOptionsContext& o, AVFormatContext* oc)
{
    for (const auto& file : task.FGraph.Finput_files) {
        AVFormatContext* src = file->ctx.get();
        if (!src->nb_chapters)
            continue;
        for (unsigned i = 0; i < src->nb_chapters; ++i) {
            const AVChapter* in = src->chapters[i];
            const int64_t offset = (file->start_time == kNoPtsValue ? 0 : file->start_time);
            const int64_t start = ff().av_rescale_q(in->start, in->time_base, AV_TIME_BASE_Q) - offset;
            if (start < 0 && ff().av_rescale_q(in->end, in->time_base, AV_TIME_BASE_Q) - offset < 0)
                continue;
            if (o.recording_time != INT64_MAX && start >= o.recording_time)
                break;
            auto* out = static_cast<AVChapter*>(ff().av_mallocz(sizeof(AVChapter)));
            if (!out)
                break;
            out->id = in->id;
            out->time_base = in->time_base;
            out->start = std::max<int64_t>(0, in->start - ff().av_rescale_q(offset, AV_TIME_BASE_Q, in->time_base));
            out->end = in->end - ff().av_rescale_q(offset, AV_TIME_BASE_Q, in->time_base);
            if (o.recording_time != INT64_MAX)
                out->end = std::min(out->end, ff().av_rescale_q(o.recording_time, AV_TIME_BASE_Q, in->time_base));
            ff().av_dict_copy(&out->metadata, in->metadata, 0);
            if (ff().av_dynarray_add_nofree(&oc->chapters, reinterpret_cast<int*>(&oc->nb_chapters), out) < 0)
                ff().av_free(out);
        }
        break;
    }
}

// Without -map_metadata, the first input's metadata (less what no longer holds) and chapters;
// then -metadata, global or per stream.
void CopyMetadata(TCustomFFmpeg& task, TOptionsContext& o, AVFormatContext* oc)
{
    if (task.FGraph.Fnb_input_files() > 0 && o.metadata_map.Empty()) {
        AVFormatContext* ic = task.FGraph.Finput_files[0]->ctx.get();
        ff().av_dict_copy(&oc->metadata, ic->metadata, AV_DICT_DONT_OVERWRITE);
        for (const char* key : {"creation_time", "company_name", "product_name", "product_version"})
            ff().av_dict_set(&oc->metadata, key, nullptr, 0);
        if (o.recording_time != INT64_MAX)
            ff().av_dict_set(&oc->metadata, "duration", nullptr, 0);
        if (o.chapters_input_file == INT_MAX)
            CopyChapters(task, o, oc);
    }
    for (const auto& item : o.metadata.items) {
        const std::string& text = item.u;
        const auto eq = text.find('=');
        if (eq == std::string::npos)
            task.Fatal(StrFormat("No '=' character in metadata string %s.", text.c_str()));
        const std::string key = text.substr(0, eq);
        const std::string value = text.substr(eq + 1);
        if (item.specifier.empty() || item.specifier[0] == 'g') {
            ff().av_dict_set(&oc->metadata, key.c_str(), value.empty() ? nullptr : value.c_str(), 0);
        } else if (item.specifier[0] == 's') {
            const std::string spec = item.specifier.size() > 2 ? item.specifier.substr(2) : "";
            for (unsigned i = 0; i < oc->nb_streams; ++i)
                if (CheckStreamSpecifier(oc, oc->streams[i], spec) > 0)
                    ff().av_dict_set(&oc->streams[i]->metadata, key.c_str(), value.empty() ? nullptr : value.c_str(),
                                     0);
        }
    }
}

// -attach: the whole file becomes the extra data of an attachment stream named after it.
void NewAttachmentStream(TCustomFFmpeg& task, AVFormatContext* oc, const std::string& path)
{
    std::string content;
    const int ret = ReadOptionFile(path, content);
    if (ret == AVERROR(EFBIG))
        task.Fatal(StrFormat("Attachment %s too large.", path.c_str()));
    if (ret < 0)
        task.Fatal(StrFormat("Could not open attachment file %s.", path.c_str()));
    AVStream* st = ff().avformat_new_stream(oc, nullptr);
    if (!st)
        task.Fatal("Could not alloc stream.");
    st->codecpar->codec_type = AVMEDIA_TYPE_ATTACHMENT;
    auto owned = std::make_unique<TOutputStream>();
    TOutputStream& ost = *owned;
    ost.file_index = task.FGraph.Fnb_output_files() - 1;
    ost.index = st->index;
    ost.st = st;
    ost.source_index = -1;
    ost.stream_copy = 1;
    ost.last_mux_dts = kNoPtsValue;
    ost.attachment_filename = path;
    ost.pkt.reset(ff().av_packet_alloc());
    ost.enc_ctx.reset(ff().avcodec_alloc_context3(nullptr));
    if (!ost.enc_ctx || !ost.pkt)
        task.Fatal("Error allocating the encoding context.");
    st->codecpar->extradata = static_cast<uint8_t*>(ff().av_mallocz(content.size() + AV_INPUT_BUFFER_PADDING_SIZE));
    if (!st->codecpar->extradata)
        task.Fatal(StrFormat("Attachment %s too large.", path.c_str()));
    std::memcpy(st->codecpar->extradata, content.data(), content.size());
    st->codecpar->extradata_size = static_cast<int>(content.size());
    const std::string name = std::filesystem::path(path).filename().string();
    ff().av_dict_set(&st->metadata, "filename", name.c_str(), AV_DICT_DONT_OVERWRITE);
    task.FGraph.Foutput_streams.push_back(std::move(owned));
}

// Each stream takes its source's dispositions; -disposition changes them (a "+flag" adds to what
// was copied). Without any -disposition, a kind with several streams and no default one gets its
// first stream marked default.
void SetDispositions(TCustomFFmpeg& task, TOutputFile& of)
{
    AVFormatContext* oc = of.ctx.get();
    bool manual = false;
    for (unsigned i = 0; i < oc->nb_streams; ++i) {
        const TOutputStream& ost = *task.FGraph.Foutput_streams[size_t(of.ost_index) + i];
        if (const TInputStream* ist = task.SourceOf(ost))
            ost.st->disposition = ist->st->disposition;
        manual = manual || !ost.disposition.empty();
    }
    if (manual) {
        const AVClass* cls = ff().av_stream_get_class();
        const AVOption* option = ff().av_opt_find(&cls, "disposition", nullptr, 0, AV_OPT_SEARCH_FAKE_OBJ);
        for (unsigned i = 0; i < oc->nb_streams; ++i) {
            const TOutputStream& ost = *task.FGraph.Foutput_streams[size_t(of.ost_index) + i];
            if (ost.disposition.empty())
                continue;
            if (!option || ff().av_opt_eval_flags(&cls, option, ost.disposition.c_str(), &ost.st->disposition) < 0)
                task.Fatal(StrFormat("Error parsing disposition '%s'.", ost.disposition.c_str()));
        }
        return;
    }
    int count[AVMEDIA_TYPE_NB] = {};
    bool hasDefault[AVMEDIA_TYPE_NB] = {};
    for (unsigned i = 0; i < oc->nb_streams; ++i) {
        const AVStream* st = oc->streams[i];
        const int type = st->codecpar->codec_type;
        if (type < 0 || type >= AVMEDIA_TYPE_NB)
            continue;
        ++count[type];
        hasDefault[type] = hasDefault[type] || (st->disposition & AV_DISPOSITION_DEFAULT);
    }
    for (unsigned i = 0; i < oc->nb_streams; ++i) {
        AVStream* st = oc->streams[i];
        const int type = st->codecpar->codec_type;
        if (type < 0 || type >= AVMEDIA_TYPE_NB || count[type] < 2 || hasDefault[type] ||
            (st->disposition & AV_DISPOSITION_ATTACHED_PIC))
            continue;
        st->disposition |= AV_DISPOSITION_DEFAULT;
        hasDefault[type] = true;
    }
}

// Every task has its input by the time an output is set; only a task without one has nothing to feed it.
bool InputStreamPotentiallyAvailable(const TCustomFFmpeg& task)
{
    if (task.FGraph.Fnb_input_files() > 0)
        return true;
    for (const auto& fg : task.FGraph.Ffiltergraphs)
        if (!fg->graph_desc.empty() && fg->inputs.empty())
            return true;
    return false;
}

// An input is never overwritten, and an output is a local file or the standard output. 0, or
// -EPERM with the error text.
int RefuseOutputName(TCustomFFmpeg& task, const std::string& fileName)
{
    task.FLastErrMsg = WriteRefusal(task, fileName, "the output");
    if (task.FLastErrMsg.empty())
        return 0;
    EngineLog(TLogLevel::llError, task.FLastErrMsg);
    return AVERROR(EPERM);
}

// The files named by global options (-progress, -vstats_file, -sdp_file) follow the rules of
// every file written; -progress is opened with the first output, when every input is known.
// 0, or a negative code with the error text.
int OpenNamedFiles(TCustomFFmpeg& task)
{
    TGlobalOptions& global = task.FGlobal;
    const struct {
        const std::string& name;
        const char* what;
        bool byPath;  // opened as a path, not through a protocol
    } named[] = {{global.Fprogress_url, "the progress file", false},
                 {global.Fvstats_filename, "the -vstats file", true},
                 {global.Fsdp_filename, "the SDP file", false}};
    for (const auto& file : named) {
        if (file.name.empty())
            continue;
        task.FLastErrMsg =
            file.byPath ? PathWriteRefusal(task, file.name, file.what) : WriteRefusal(task, file.name, file.what);
        if (!task.FLastErrMsg.empty()) {
            EngineLog(TLogLevel::llError, task.FLastErrMsg);
            return AVERROR(EPERM);
        }
    }
    if (global.Fprogress_url.empty() || global.Fprogress_avio)
        return 0;
    TDictionary options;
    options.Set("protocol_whitelist", OutputProtocols(global.Fprogress_url));
    AVIOContext* avio = nullptr;
    const int ret = ff().avio_open2(&avio, global.Fprogress_url.c_str(), AVIO_FLAG_WRITE, nullptr, options.address());
    if (ret < 0) {
        task.FLastErrMsg = "Failed to open progress URL \"" + global.Fprogress_url + "\": " + EngineErrorText(ret);
        EngineLog(TLogLevel::llError, task.FLastErrMsg);
        return ret;
    }
    global.Fprogress_avio.reset(avio);
    return 0;
}

// The muxer context of fileName (-f, or the format its name suggests) in a new output record.
// 0 or a negative code with the error text.
int NewOutputFile(TCustomFFmpeg& task, const TOptionsContext& o, const std::string& fileName,
                  std::unique_ptr<TOutputFile>& of)
{
    AVFormatContext* raw = nullptr;
    const int ret = ff().avformat_alloc_output_context2(&raw, nullptr, o.format.empty() ? nullptr : o.format.c_str(),
                                                        fileName.c_str());
    TOutputFormatContextPtr ctx(raw);
    if (!ctx) {
        task.FLastErrMsg = fileName + ": " + EngineErrorText(ret < 0 ? ret : AVERROR(ENOMEM));
        EngineLog(TLogLevel::llError, task.FLastErrMsg);
        return ret < 0 ? ret : AVERROR(ENOMEM);
    }
    of = std::make_unique<TOutputFile>();
    of->ctx = std::move(ctx);
    AVFormatContext* oc = of->ctx.get();
    of->format = oc->oformat;
    of->index = task.FGraph.Fnb_output_files();
    of->ost_index = task.FGraph.Fnb_output_streams();
    of->recording_time = o.recording_time;
    of->start_time = o.start_time;
    of->limit_filesize = o.limit_filesize;
    of->shortest = o.shortest;
    of->opts.CopyFrom(o.g.format_opts);
    GuardOutputContext(task, oc, fileName);
    if (o.bitexact)
        oc->flags |= AVFMT_FLAG_BITEXACT;
    return 0;
}

// Takes the task's last output file away again, with its streams and simple graphs, unless kept;
// the pads of complex graphs that fed it are free again.
struct TOutputRollback {
    TCustomFFmpeg& task;
    bool keep = false;
    ~TOutputRollback()
    {
        if (keep)
            return;
        auto& outs = task.FGraph.Foutput_streams;
        const int first = task.FGraph.Foutput_files.back()->ost_index;
        const int fileIndex = task.FGraph.Fnb_output_files() - 1;
        auto ownsGraph = [&](const std::unique_ptr<TFilterGraph>& fg) {
            return fg->graph_desc.empty() && fg->nb_outputs() && fg->outputs[0]->ost &&
                   fg->outputs[0]->ost->file_index == fileIndex;
        };
        for (auto& fg : task.FGraph.Ffiltergraphs) {
            if (ownsGraph(fg))
                for (auto& in : fg->inputs)
                    if (in->ist)
                        std::erase(in->ist->filters, in.get());
            if (!fg->graph_desc.empty())  // complex graphs stay; their pads are free again
                for (auto& out : fg->outputs)
                    if (out->ost && out->ost->file_index == fileIndex)
                        out->ost = nullptr;
        }
        std::erase_if(task.FGraph.Ffiltergraphs, ownsGraph);
        outs.erase(outs.begin() + first, outs.end());
        task.FGraph.Foutput_files.pop_back();
    }
};

// The kinds that unlabelled outputs of complex graphs gave the output.
struct TGraphKinds {
    bool video = false;
    bool audio = false;
};

// Unlabelled outputs of complex graphs go to this output and take the place of the automatic
// choice of their kind.
TGraphKinds AddUnlabelledGraphOutputs(TCustomFFmpeg& task, TOptionsContext& o, AVFormatContext* oc)
{
    TGraphKinds kinds;
    for (auto& fg : task.FGraph.Ffiltergraphs)
        for (auto& out : fg->outputs)
            if (!fg->graph_desc.empty() && !out->ost && out->name.empty()) {
                (out->type_ == AVMEDIA_TYPE_VIDEO ? kinds.video : kinds.audio) = true;
                NewOutputStream(task, o, oc, out->type_, -1, out.get());
            }
    return kinds;
}

// The free output pad of a complex graph with that label.
TOutputFilter& LabelledGraphOutput(TCustomFFmpeg& task, const std::string& label)
{
    TOutputFilter* pad = nullptr;
    for (auto& fg : task.FGraph.Ffiltergraphs)
        for (auto& out : fg->outputs)
            if (!pad && !fg->graph_desc.empty() && !out->ost && out->name == label)
                pad = out.get();
    if (!pad)
        task.Fatal(
            StrFormat("Output with label '%s' does not exist in any defined filter graph, or was "
                      "already used elsewhere.",
                      label.c_str()));
    return *pad;
}

// One -map: a labelled graph output, or an input stream unless its kind is disabled (-vn...).
void AddMappedStream(TCustomFFmpeg& task, TOptionsContext& o, AVFormatContext* oc, const TStreamMap& map)
{
    if (!map.linklabel.empty()) {
        TOutputFilter& pad = LabelledGraphOutput(task, map.linklabel);
        NewOutputStream(task, o, oc, pad.type_, -1, &pad);
        return;
    }
    const int index = task.FGraph.Finput_files[map.file_index]->ist_index + map.stream_index;
    const TInputStream& ist = *task.FGraph.Finput_streams[index];
    if (ist.user_set_discard == AVDISCARD_ALL)
        task.Fatal(StrFormat("Stream #%d:%d is disabled and cannot be mapped.", map.file_index, map.stream_index));
    const AVMediaType type = ist.st->codecpar->codec_type;
    if ((o.video_disable && type == AVMEDIA_TYPE_VIDEO) || (o.audio_disable && type == AVMEDIA_TYPE_AUDIO) ||
        (o.subtitle_disable && type == AVMEDIA_TYPE_SUBTITLE) || (o.data_disable && type == AVMEDIA_TYPE_DATA))
        return;
    if (type != AVMEDIA_TYPE_VIDEO && type != AVMEDIA_TYPE_AUDIO && type != AVMEDIA_TYPE_SUBTITLE &&
        type != AVMEDIA_TYPE_DATA && type != AVMEDIA_TYPE_ATTACHMENT &&
        !(type == AVMEDIA_TYPE_UNKNOWN && task.FGlobal.Fcopy_unknown_streams)) {
        const std::string text =
            StrFormat("Cannot map stream #%d:%d - unsupported type.", map.file_index, map.stream_index);
        if (task.FGlobal.Fignore_unknown_streams) {
            EngineLog(TLogLevel::llWarning, text);
            return;
        }
        task.Fatal(text +
                   "\r\nIf you want unsupported types ignored instead of failing, please use the -ignore_unknown "
                   "option\r\nIf you want them copied, please use -copy_unknown");
    }
    NewOutputStream(task, o, oc, type, index);
}

// Without -map: the best video and audio stream the format takes (unless a graph gave that
// kind) and a subtitle stream it can encode.
void AddAutomaticStreams(TCustomFFmpeg& task, TOptionsContext& o, AVFormatContext* oc, const std::string& fileName,
                         const TGraphKinds& fromGraphs)
{
    const AVOutputFormat* ofmt = oc->oformat;
    auto takes = [&](AVMediaType type) {
        return ff().av_guess_codec(ofmt, nullptr, fileName.c_str(), nullptr, type) != AV_CODEC_ID_NONE;
    };
    if (!o.video_disable && !fromGraphs.video && takes(AVMEDIA_TYPE_VIDEO)) {
        const int best = BestStream(task, AVMEDIA_TYPE_VIDEO, ofmt);
        if (best >= 0)
            NewOutputStream(task, o, oc, AVMEDIA_TYPE_VIDEO, best);
    }
    if (!o.audio_disable && !fromGraphs.audio && takes(AVMEDIA_TYPE_AUDIO)) {
        const int best = BestStream(task, AVMEDIA_TYPE_AUDIO, ofmt);
        if (best >= 0)
            NewOutputStream(task, o, oc, AVMEDIA_TYPE_AUDIO, best);
    }
    if (!o.subtitle_disable) {
        const int sub = SubtitleStream(task, o, ofmt, fileName);
        if (sub >= 0)
            NewOutputStream(task, o, oc, AVMEDIA_TYPE_SUBTITLE, sub);
    }
}

// The streams of the output being opened: unlabelled complex graph outputs, then those of -map
// or the automatic choice, then the -attach files.
void AddOutputStreams(TCustomFFmpeg& task, TOptionsContext& o, AVFormatContext* oc, const std::string& fileName)
{
    const TGraphKinds fromGraphs = AddUnlabelledGraphOutputs(task, o, oc);
    if (!o.stream_maps.empty()) {
        for (const TStreamMap& map : o.stream_maps)
            if (!map.disabled)
                AddMappedStream(task, o, oc, map);
    } else {
        AddAutomaticStreams(task, o, oc, fileName, fromGraphs);
    }
    for (const std::string& path : o.attachments)
        NewAttachmentStream(task, oc, path);
}

// Codec options that no stream of the output took are an error.
void CheckUnusedEncoderOptions(TCustomFFmpeg& task, const TOptionsContext& o, const TOutputFile& file,
                               const std::string& fileName)
{
    std::vector<const TDictionary*> used;
    for (int i = file.ost_index; i < task.FGraph.Fnb_output_streams(); ++i)
        used.push_back(&task.FGraph.Foutput_streams[size_t(i)]->encoder_opts);
    if (const std::string error = UnusedCodecOptionsError(o.g.codec_opts, used, true, file.index, fileName);
        !error.empty())
        task.Fatal(error);
}

// What the muxer needs of the name (a number pattern) and of the inputs. 0 or -22 with the error text.
int CheckMuxerNeeds(TCustomFFmpeg& task, const AVFormatContext* oc, const std::string& fileName)
{
    if ((oc->oformat->flags & AVFMT_NEEDNUMBER) && !ff().av_filename_number_test(oc->url)) {
        task.FLastErrMsg = fileName + ": " + EngineErrorText(AVERROR(EINVAL));
        return AVERROR(EINVAL);
    }
    if (!(oc->oformat->flags & AVFMT_NOSTREAMS) && !InputStreamPotentiallyAvailable(task)) {
        task.FLastErrMsg = "No input streams but output needs an input stream";
        EngineLog(TLogLevel::llError, task.FLastErrMsg);
        return AVERROR(EINVAL);
    }
    return 0;
}

// Opens the file for a muxer that writes one; a regular file made here is the task's to remove
// when it fails. 0 or a negative code with the error text.
int OpenOutputIO(TCustomFFmpeg& task, TOutputFile& file, const std::string& fileName)
{
    AVFormatContext* oc = file.ctx.get();
    if (oc->oformat->flags & AVFMT_NOFILE)
        return 0;
    file.opts.Set("protocol_whitelist", OutputProtocols(fileName));
    task.FIo.LastWrite = ff().av_gettime_relative();
    const int ret =
        ff().avio_open2(&oc->pb, fileName.c_str(), AVIO_FLAG_WRITE, &oc->interrupt_callback, file.opts.address());
    task.FIo.LastWrite = INT64_MAX;
    if (ret < 0) {
        task.FLastErrMsg = fileName + ": " + EngineErrorText(ret);
        EngineLog(TLogLevel::llError, task.FLastErrMsg);
        return ret;
    }
    const std::string path = fileName.rfind("file:", 0) == 0 ? fileName.substr(5) : fileName;
    std::error_code error;
    if (std::filesystem::is_regular_file(path, error))
        task.FIo.CreatedFiles.push_back(path);
    return 0;
}

}  // namespace

int TCustomFFmpeg::OpenOutput(TOptionsContext& o, const std::string& name)
{
    const std::string fileName = name == "-" ? "pipe:" : name;
    int ret = ResolveRecordingTime(*this, o);
    if (ret < 0)
        return ret;
    if (ret = RefuseOutputName(*this, fileName); ret < 0)
        return ret;
    if (FLastErrMsg = OptionNamingAnInput(*this, fileName, o.g.format_opts); !FLastErrMsg.empty()) {
        EngineLog(TLogLevel::llError, FLastErrMsg);
        return AVERROR(EPERM);
    }
    if (ret = OpenNamedFiles(*this); ret < 0)
        return ret;
    std::unique_ptr<TOutputFile> of;
    if (ret = NewOutputFile(*this, o, fileName, of); ret < 0)
        return ret;
    TOutputFile& file = *of;
    AVFormatContext* oc = file.ctx.get();
    FGraph.Foutput_files.push_back(std::move(of));
    // On failure the half-made output is taken away again.
    TOutputRollback rollback{*this};

    BindComplexFilterGraphs();
    AddOutputStreams(*this, o, oc, fileName);
    if (oc->nb_streams == 0 && !(oc->oformat->flags & AVFMT_NOSTREAMS)) {
        FLastErrMsg = StrFormat("Output file #%d does not contain any stream", file.index);
        EngineLog(TLogLevel::llError, FLastErrMsg);
        return AVERROR(EINVAL);
    }
    CheckUnusedEncoderOptions(*this, o, file, fileName);
    SetDispositions(*this, file);
    if (ret = CheckMuxerNeeds(*this, oc, fileName); ret < 0)
        return ret;
    if (ret = OpenOutputIO(*this, file, fileName); ret < 0)
        return ret;
    if (o.mux_preload != 0)
        file.opts.Set("preload", std::to_string(int64_t(o.mux_preload * AV_TIME_BASE)));
    oc->max_delay = int(o.mux_max_delay * AV_TIME_BASE);

    CopyMetadata(*this, o, oc);
    if (o.recording_time != INT64_MAX) {
        oc->duration = o.recording_time;
        FIo.OutputDuration = std::max(FIo.OutputDuration, o.recording_time);
    }
    rollback.keep = true;
    return 0;
}

}  // namespace reelsmith
