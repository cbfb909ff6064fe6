// The transcode loop: initialisation, the steps that read a packet for the output that
// needs one and hand it to the stages, the end of the run and cleanup.

#include "engine/pipeline/transcode_loop.h"

#include <algorithm>
#include <thread>

#include <unistd.h>

#include "engine/custom_ffmpeg.h"
#include "engine/engine_error.h"
#include "engine/pipeline/loop_state.h"
#include "engine/pipeline/mux.h"
#include "media/engine_log.h"

namespace reelsmith {

namespace {

int64_t Now() { return ff().av_gettime_relative(); }

const TInputStream* SourceIn(const TJobGraph& graph, const TOutputStream& ost)
{
    return ost.source_index >= 0 ? graph.Finput_streams[ost.source_index].get() : nullptr;
}

}  // namespace

bool FormatUnknown(const TFilterGraph& fg)
{
    if (!fg.graph_desc.empty() || fg.inputs.size() != 1)
        return false;
    const TInputFilter& ifilter = *fg.inputs[0];
    const bool media = ifilter.type_ == AVMEDIA_TYPE_VIDEO || ifilter.type_ == AVMEDIA_TYPE_AUDIO;
    return media && ifilter.format < 0 && ifilter.ist->st->codecpar->format < 0;
}

bool NeedOutput(TJobGraph& graph)
{
    for (auto& ostPtr : graph.Foutput_streams) {
        TOutputStream& ost = *ostPtr;
        TOutputFile& of = *graph.Foutput_files[ost.file_index];
        if (ost.finished)
            continue;
        if ((of.limit_filesize != INT64_MAX && of.ctx->pb && WritePosition(of.ctx->pb) >= of.limit_filesize) ||
            ost.frame_number >= ost.max_frames) {
            for (unsigned i = 0; i < of.ctx->nb_streams; ++i)
                FinishOutputStream(graph, *graph.Foutput_streams[of.ost_index + i]);
            continue;
        }
        return true;
    }
    return false;
}

TOutputStream* ChooseOutput(TJobGraph& graph)
{
    TOutputStream* chosen = nullptr;
    int64_t best = INT64_MAX;
    for (auto& ostPtr : graph.Foutput_streams) {
        TOutputStream& ost = *ostPtr;
        if (ost.finished || ost.unavailable)
            continue;
        const TInputStream* ist = SourceIn(graph, ost);
        if (ist ? graph.Finput_files[ist->file_index]->eof_reached : (!ost.filter || ost.inputs_done))
            continue;
        // A stream waiting for its first picture comes first: the file's header waits for it.
        if (!ost.initialized && !ost.inputs_done)
            return &ost;
        int64_t opts = ost.last_mux_dts == kNoPtsValue
                           ? INT64_MIN
                           : ff().av_rescale_q(ost.last_mux_dts, ost.st->time_base, AV_TIME_BASE_Q);
        if (ost.last_mux_dts == kNoPtsValue)
            EngineLog(TLogLevel::llDebug,
                      StrFormat("cur_dts is invalid st:%d (%d) [init:%d i_done:%d finish:%d] (this is harmless if it "
                                "occurs once at the start per stream)",
                                ost.index, ost.st->index, ost.initialized, ost.inputs_done, ost.finished));
        if (opts < best) {
            best = opts;
            chosen = &ost;
        }
    }
    return chosen;
}

bool ResetWaitingInputs(TJobGraph& graph)
{
    bool waiting = false;
    for (auto& f : graph.Finput_files)
        if (f->eagain) {
            f->eagain = 0;
            waiting = true;
        }
    for (auto& o : graph.Foutput_streams)
        if (o->unavailable) {
            o->unavailable = 0;
            waiting = true;
        }
    return waiting;
}

void ApplyInputTimeOffset(const TInputFile& ifile, const TInputStream& ist, AVPacket* pkt)
{
    const int64_t offset = ff().av_rescale_q(ifile.ts_offset, AV_TIME_BASE_Q, ist.st->time_base);
    if (pkt->dts != kNoPtsValue)
        pkt->dts += offset;
    if (pkt->pts != kNoPtsValue)
        pkt->pts += offset;
    if (ist.ts_scale != 1.0) {
        if (pkt->pts != kNoPtsValue)
            pkt->pts = int64_t(double(pkt->pts) * ist.ts_scale);
        if (pkt->dts != kNoPtsValue)
            pkt->dts = int64_t(double(pkt->dts) * ist.ts_scale);
    }
}

std::string StreamMappingLine(const TOutputStream& ost, const TInputStream* ist)
{
    if (!ist)
        return StrFormat("  filter graph %d -> Stream #%d:%d (%s)", ost.filter ? ost.filter->graph->index : -1,
                         ost.file_index, ost.index, ost.enc ? ost.enc->name : "?");
    std::string line =
        StrFormat("  Stream #%d:%d -> #%d:%d", ist->file_index, ist->st->index, ost.file_index, ost.index);
    if (ost.stream_copy)
        line += " (copy)";
    else
        line += StrFormat(" (%s (%s) -> %s (%s))", ff().avcodec_get_name(ist->st->codecpar->codec_id),
                          ist->avdec ? ist->avdec->name : "?", ff().avcodec_get_name(ost.enc->id), ost.enc->name);
    return line;
}

int TCustomFFmpeg::TranscodeInit()
{
    if (FIo.OutputDuration < 0)
        FIo.OutputDuration = FIo.InputDuration;
    FLastErrMsg.clear();
    int ret = 0;
    try {
        ret = PrepareStages();
    } catch (const TEngineError& e) {
        FLastErrMsg = e.what();
        TranscodeCleanup();
        return -1;
    }
    if (ret < 0) {
        if (FLastErrMsg.empty())
            FLastErrMsg = "transcode_init() error: " + EngineErrorText(ret) + ". " +
                          "Please check error log message(reported by FFLogger) to find out more detail information.";
        TranscodeCleanup();
        return ret;
    }
    EngineLog(TLogLevel::llInfo, "Stream mapping:");
    for (auto& ost : FGraph.Foutput_streams)
        EngineLog(TLogLevel::llInfo, StreamMappingLine(*ost, SourceOf(*ost)));
    FLoop->FTranscodeInitialized = true;
    return 0;
}

// Decoders, filter graphs, encoders and the files' headers, in that order; stops at the
// first failure.
int TCustomFFmpeg::PrepareStages()
{
    for (auto& fg : FGraph.Ffiltergraphs)
        for (auto& out : fg->outputs)
            if (!out->ost)
                Fatal(StrFormat("Filter %s has an unconnected output",
                                out->name.empty() ? fg->graph_desc.c_str() : out->name.c_str()));
    int ret = OpenDecoders();
    for (auto& fg : FGraph.Ffiltergraphs) {
        if (ret < 0)
            break;
        if (!FormatUnknown(*fg))
            ret = ConfigureFilterGraph(*fg);
    }
    for (auto& ost : FGraph.Foutput_streams) {
        if (ret < 0)
            break;
        // A video encoder opens with the first picture, as it takes the picture's colour and
        // field order; an audio encoder once its graph is configured.
        if (ost->stream_copy)
            ret = InitOutputStreamCopy(*ost);
        else if (!ost->filter)
            ret = InitOutputStreamEncode(*ost);
        else if (ost->enc_ctx->codec_type == AVMEDIA_TYPE_AUDIO && ost->filter->filter)
            ret = InitOutputStreamEncode(*ost);
    }
    for (auto& of : FGraph.Foutput_files) {
        if (ret < 0)
            break;
        ret = WriteHeaderIfReady(*of);
    }
    return ret;
}

int TCustomFFmpeg::OpenDecoders()
{
    for (auto& ist : FGraph.Finput_streams) {
        if (!ist->decoding_needed)
            continue;
        AVCodecContext* dec = ist->dec_ctx.get();
        dec->pkt_timebase = ist->st->time_base;
        if (!ist->decoder_opts.Get("threads"))
            ist->decoder_opts.Set("threads", "auto");
        const int ret = ff().avcodec_open2(dec, ist->avdec, ist->decoder_opts.address());
        if (ret < 0) {
            FLastErrMsg = StrFormat("Error while opening decoder for input stream #%d:%d : %s", ist->file_index,
                                    ist->st->index, EngineErrorText(ret).c_str());
            return ret;
        }
    }
    return 0;
}

void TCustomFFmpeg::Transcode()
{
    const int64_t timerStart = Now();
    FLoop->FTranscodeStart = timerStart;
    for (auto& ist : FGraph.Finput_streams)
        ist->start = timerStart;
    StartReaders();
    while (!FIo.Broken && TranscodeStep(timerStart)) {
    }
    FLoop->decodeAhead.StopAll();  // and the readers: the decoders are the loop's again
    // Flush what is still in flight; after Stop it is dropped instead when the owner discards
    // the output: an encoder's look-ahead holds seconds of work (libx264: 40 frames and more).
    if (!FIo.Broken || FFinishOnStop)
        FlushInFlight();
    if (!FIo.Broken)
        CheckSomethingWasWritten();
    FinishOutputs(timerStart);
    if (!FIo.Broken)
        CheckDecodeErrorRate();
}

bool TCustomFFmpeg::TranscodeStep(int64_t timerStart)
{
    FSuspender.Wait();
    const int64_t curTime = Now();
    if (FIo.Broken)
        return false;
    MuxEncodedAhead();
    if (!NeedOutput(FGraph)) {
        EngineLog(TLogLevel::llVerbose, "No more output streams to write to, finishing.");
        return false;
    }
    TOutputStream* ost = ChooseOutput(FGraph);
    if (!ost) {
        if (ResetWaitingInputs(FGraph)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            return true;
        }
        EngineLog(TLogLevel::llVerbose, "No more inputs to read from, finishing.");
        return false;
    }
    TInputStream* source = SourceOf(*ost);
    if (ost->filter) {
        // Fed by a filter graph: drain it, close the streams of a graph that ended
        // (a trim for -t), or read the input it waits for.
        int ret = 0;
        source = FilterGraphInput(*ost, &ret);
        if (ret < 0) {
            EngineLog(TLogLevel::llError, "Error while filtering: " + EngineErrorText(ret));
            return false;
        }
        if (!source) {
            PrintReport(false, timerStart, curTime);
            return true;
        }
    }
    ReadFromInput(*source, *ost, timerStart, curTime);
    return true;
}

// Rate emulation: whether the source's next packet is still ahead of the clock.
bool TCustomFFmpeg::AheadOfClock(const TInputFile& ifile, const TInputStream& source) const
{
    if (!(ifile.rate_emu || ifile.readrate > 0 || FrameRateEmulation()) || source.clock.dts == 0)
        return false;
    const float rate = ifile.readrate > 0 ? ifile.readrate : 1.0f;
    const int64_t elapsed = Now() - source.start - FTotalPauseTime;
    const int64_t ahead = int64_t(double(source.clock.dts) / rate);
    return ahead > elapsed;
}

// Reads one packet of the source's file and hands it to the stages.
void TCustomFFmpeg::ReadFromInput(TInputStream& source, TOutputStream& ost, int64_t timerStart, int64_t curTime)
{
    TInputFile& ifile = InputFileOf(source);
    if (AheadOfClock(ifile, source)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        return;
    }
    TAheadItem item = NextItem(source.file_index);
    if (item.read.status == AVERROR(EAGAIN)) {
        ifile.eagain = 1;
        ost.unavailable = 1;
        return;
    }
    if (item.read.status < 0) {
        // A read cut off by Stop is no failure of the input.
        if (!FIo.Broken)
            EndOfInput(ifile, item.read.status, item.drains);
        return;
    }
    AVPacket* pkt = ifile.pkt.get();
    ff().av_packet_move_ref(pkt, item.read.pkt.get());
    if (pkt->stream_index >= ifile.nb_streams) {
        ff().av_packet_unref(pkt);
        return;
    }
    TInputStream& ist = *FGraph.Finput_streams[ifile.ist_index + pkt->stream_index];
    ist.data_size += pkt->size;
    ist.nb_packets++;
    if (ist.discard) {
        ff().av_packet_unref(pkt);
        return;
    }
    if (item.decoded) {
        ProcessDecodedPacket(ist, pkt, *item.decoded);  // its time offset applied there
    } else {
        ApplyInputTimeOffset(ifile, ist, pkt);
        ProcessInputPacket(ist, pkt, false);
    }
    ff().av_packet_unref(pkt);
    PrintReport(false, timerStart, curTime);
}

// The input's next item: from its decoding thread when it has one, else from its reader.
TAheadItem TCustomFFmpeg::NextItem(int fileIndex)
{
    if (TDecodeAhead* ahead = FLoop->decodeAhead.Of(fileIndex))
        return ahead->Next();
    TAheadItem item;
    item.read = FLoop->readers.Of(fileIndex).Next();
    return item;
}

// Every input gets its reader thread; the loop takes their packets from here on.
void TCustomFFmpeg::StartReaders()
{
    std::vector<AVFormatContext*> inputs;
    std::vector<int> queueSizes;
    for (auto& file : FGraph.Finput_files) {
        inputs.push_back(file->ctx.get());
        queueSizes.push_back(file->thread_queue_size);
    }
    FLoop->readers.StartAll(inputs, queueSizes);
    if (FDecodeAhead)
        FLoop->decodeAhead.StartAll(FGraph);
}

// A read failed or the file ended: every stream of the file sees its end (drains: those of
// the streams decoded ahead).
void TCustomFFmpeg::EndOfInput(TInputFile& ifile, int ret, std::vector<TDecodedPacket>& drains)
{
    if (ret != AVERROR_EOF) {
        EngineLog(TLogLevel::llError, ifile.ctx->url + std::string(": ") + ReadErrorText(ret));
        if (FGlobal.Fexit_on_error)
            Fatal(ifile.ctx->url + std::string(": ") + ReadErrorText(ret));
    }
    for (int i = 0; i < ifile.nb_streams; ++i) {
        TInputStream& ist = *FGraph.Finput_streams[ifile.ist_index + i];
        if (ist.discard)
            continue;
        auto drained = std::find_if(drains.begin(), drains.end(), [i](const TDecodedPacket& d) { return d.stream == i; });
        if (drained != drains.end())
            ProcessDecodedPacket(ist, nullptr, *drained);
        else
            ProcessInputPacket(ist, nullptr, false);
    }
    ifile.eof_reached = 1;
}

// The end of every input not yet ended goes through the decoders, then the encoders are flushed.
void TCustomFFmpeg::FlushInFlight()
{
    for (auto& file : FGraph.Finput_files) {
        if (file->eof_reached)
            continue;
        for (int i = 0; i < file->nb_streams; ++i) {
            TInputStream& ist = *FGraph.Finput_streams[file->ist_index + i];
            if (!ist.discard && ist.decoding_needed)
                ProcessInputPacket(ist, nullptr, false);
        }
    }
    FlushEncoders();
}

// Trailers, the last report, the files closed; a failure there fails the task.
void TCustomFFmpeg::FinishOutputs(int64_t timerStart)
{
    StopEncodingAhead();  // after Stop, what they still hold is dropped
    TOutputsEnd end;
    WriteTrailers(end);
    PrintReport(true, timerStart, Now());
    CloseOutputFiles(end);
    FFinished = !FIo.Broken && end.failures == 0;
    TranscodeCleanup();
    if (end.failures)
        throw TEngineError(end.firstFailure);
}

// Ends the encoding threads still running (after Stop, or a failure): what they hold is dropped.
void TCustomFFmpeg::StopEncodingAhead()
{
    for (auto& ost : FGraph.Foutput_streams)
        ost->encode_ahead.reset();
}

void TCustomFFmpeg::CheckSomethingWasWritten()
{
    for (auto& of : FGraph.Foutput_files) {
        int64_t written = 0;
        bool carriesPackets = false;  // attachments live in the header alone
        for (auto& ost : FGraph.Foutput_streams) {
            if (ost->file_index != of->index || (ost->source_index < 0 && !ost->filter))
                continue;
            carriesPackets = true;
            written += ost->packets_written;
        }
        // The reference tool only warns and leaves a file that holds a header at best; here the
        // conversion fails, so an empty result never counts as done.
        if (carriesPackets && written == 0)
            throw TEngineError(
                "Output file is empty, nothing was encoded (check -ss / -t / -frames parameters if used)");
    }
}

void TCustomFFmpeg::CheckDecodeErrorRate()
{
    const TDecodeStats& stats = FLoop->decoding;
    if (double(stats.Fdecoded + stats.Ffailed) * FGlobal.Fmax_error_rate < double(stats.Ffailed)) {
        FFinished = false;
        throw TEngineError(StrFormat(
            "%lld of %lld decoding attempts failed, more than -max_error_rate %g allows. "
            "Conversion failed!",
            (long long)stats.Ffailed, (long long)(stats.Fdecoded + stats.Ffailed), double(FGlobal.Fmax_error_rate)));
    }
}

void TCustomFFmpeg::TranscodeCleanup()
{
    if (FLoop->FTranscodeCleanuped)
        return;
    FLoop->FTranscodeCleanuped = true;
    StopEncodingAhead();
    FLoop->decodeAhead.StopAll();  // and the readers, before anything they use goes
    InputsClosing();
    for (auto& ost : FGraph.Foutput_streams)
        if (ost->logfile && std::fclose(ost->logfile.release()) != 0)
            EngineLog(TLogLevel::llError, "Error closing logfile, loss of information possible");
    try {
        FGraph.Clear();
    } catch (const std::exception& e) {
        EngineLog(TLogLevel::llError, StrFormat("FreeOutputStreams() exception: %s", e.what()));
    }
    for (const int fd : FIo.OwnedPipes)
        close(fd);
    FIo.OwnedPipes.clear();
}

}  // namespace reelsmith
