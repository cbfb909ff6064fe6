// The progress report: the status line and the values handed to the progress callback.

#include "engine/pipeline/transcode_report.h"

#include <cmath>

#include "engine/custom_ffmpeg.h"
#include "engine/pipeline/mux.h"
#include "media/engine_log.h"

namespace reelsmith {

namespace {

int64_t OutputSize(const TOutputFile& of)
{
    AVIOContext* pb = of.ctx ? of.ctx->pb : nullptr;
    if (!pb)
        return -1;
    const int64_t size = ff().avio_size(pb);
    if (size > 0)
        return size;
    return WritePosition(pb);
}

}  // namespace

bool ReportDue(TReportState& state, const TJobGraph& graph, int64_t interval, bool isLastReport, int64_t curTime)
{
    if (isLastReport)
        return true;
    if (state.Flast_time == -1)
        state.Flast_time = curTime;
    if ((curTime - state.Flast_time < interval && !state.Ffirst_report))
        return false;
    if (state.Ffirst_report)
        for (const auto& of : graph.Foutput_files)
            if (!of->header_written)
                return false;
    state.Flast_time = curTime;
    return true;
}

TReportValues CollectReport(const TJobGraph& graph, double seconds)
{
    TReportValues r;
    r.totalSize = graph.Foutput_files.empty() ? -1 : OutputSize(*graph.Foutput_files[0]);
    bool videoFound = false;
    for (const auto& ostPtr : graph.Foutput_streams) {
        const TOutputStream& ost = *ostPtr;
        r.quality = ost.stream_copy ? -1.0f : float(ost.quality) / FF_QP2LAMBDA;
        const bool video = ost.st->codecpar->codec_type == AVMEDIA_TYPE_VIDEO;
        if (video && !ost.stream_copy && !ost.frames_encoded)
            continue;
        if (video && videoFound)
            r.script += StrFormat("stream_%d_%d_q=%.1f\n", ost.file_index, ost.index, double(r.quality));
        if (video && !videoFound && (ost.stream_copy ? ost.packets_written : ost.frames_encoded)) {
            videoFound = true;
            r.frameNumber = ost.stream_copy ? ost.packets_written : ost.frame_number;
            r.fps = seconds > 1 ? double(r.frameNumber) / seconds : 0;
            r.script += StrFormat("frame=%lld\nfps=%.2f\nstream_%d_%d_q=%.1f\n", (long long)r.frameNumber, r.fps,
                                  ost.file_index, ost.index, double(r.quality));
        }
        if (ost.last_mux_dts != kNoPtsValue) {
            const int64_t end = ff().av_rescale_q(ost.last_mux_dts, ost.st->time_base, AV_TIME_BASE_Q);
            r.pts = std::max(r.pts, end);
            r.progressTime = std::max(r.progressTime, end);
        }
    }
    r.bitRate = (r.pts != INT64_MIN + 1 && r.pts > 0 && r.totalSize >= 0)
                    ? float(double(r.totalSize) * 8 / (double(r.pts) / 1000.0))
                    : -1.0f;
    r.speed = seconds != 0 ? (double(r.pts) / 1000000.0) / seconds : -1;
    return r;
}

std::string StatusLine(const TReportValues& r, const TFrameRateStats& frames)
{
    std::string line = StrFormat("frame=%5lld fps=%3.*f q=%3.1f ", (long long)std::max<int64_t>(r.frameNumber, 0),
                                 r.fps < 9.95, std::max(r.fps, 0.0), double(r.quality));
    line += r.totalSize >= 0 ? StrFormat("size=%8.0fkB time=", double(r.totalSize) / 1024.0) : "size=N/A time=";
    if (r.pts > 0) {
        const int64_t secs = r.pts / AV_TIME_BASE;
        line += StrFormat("%02lld:%02lld:%02lld.%03lld ", (long long)(secs / 3600), (long long)(secs / 60 % 60),
                          (long long)(secs % 60), (long long)(r.pts % AV_TIME_BASE / 1000));
    } else {
        line += "N/A ";
    }
    line += r.bitRate >= 0 ? StrFormat("bitrate=%6.1fkbits/s", double(r.bitRate)) : "bitrate=N/A";
    if (frames.Fnb_frames_dup || frames.Fnb_frames_drop)
        line += StrFormat(" dup=%lld drop=%lld", (long long)frames.Fnb_frames_dup, (long long)frames.Fnb_frames_drop);
    line += r.speed >= 0 && r.pts > 0 ? StrFormat(" speed=%4.3gx", r.speed) : " speed=N/A";
    return line;
}

std::string ProgressBlock(const TReportValues& r, const TFrameRateStats& frames, bool isLastReport)
{
    std::string script = r.script;
    const int64_t pts = r.pts;
    const bool known = pts != INT64_MIN + 1;
    const double bitRate = known && pts > 0 && r.totalSize >= 0 ? double(r.totalSize) * 8 / (double(pts) / 1000.0) : -1;
    script += bitRate >= 0 ? StrFormat("bitrate=%6.1fkbits/s\n", bitRate) : "bitrate=N/A\n";
    script += r.totalSize >= 0 ? StrFormat("total_size=%lld\n", (long long)r.totalSize) : "total_size=N/A\n";
    if (known) {
        // out_time_ms carries microseconds too, as readers of progress blocks expect.
        script += StrFormat("out_time_us=%lld\nout_time_ms=%lld\n", (long long)pts, (long long)pts);
        const int64_t mag = pts < 0 ? -pts : pts;
        const int64_t secs = mag / AV_TIME_BASE;
        script += StrFormat("out_time=%s%02lld:%02lld:%02lld.%06lld\n", pts < 0 ? "-" : "", (long long)(secs / 3600),
                            (long long)(secs / 60 % 60), (long long)(secs % 60), (long long)(mag % AV_TIME_BASE));
    } else {
        script += "out_time_us=N/A\nout_time_ms=N/A\nout_time=N/A\n";
    }
    script += StrFormat("dup_frames=%lld\ndrop_frames=%lld\n", (long long)frames.Fnb_frames_dup,
                        (long long)frames.Fnb_frames_drop);
    script += r.speed >= 0 && known ? StrFormat("speed=%4.3gx\n", r.speed) : "speed=N/A\n";
    script += StrFormat("progress=%s\n", isLastReport ? "end" : "continue");
    return script;
}

void TCustomFFmpeg::PrintReport(bool isLastReport, int64_t timerStart, int64_t curTime)
{
    if (!ReportDue(FLoop->report, FGraph, FReportInterval, isLastReport, curTime))
        return;
    FLoop->report.Ffirst_report = 0;
    const TReportValues r = CollectReport(FGraph, double(curTime - timerStart) / 1000000.0);
    const std::string line = StatusLine(r, FLoop->frames);
    if (FOnProgress)
        FOnProgress(this, -1, int(r.frameNumber), r.fps < 0 ? -1 : int(std::lround(r.fps)), r.quality, r.bitRate,
                    std::max<int64_t>(r.totalSize, 0), r.progressTime, FIo.OutputDuration);
    if (isLastReport)
        EngineLog(TLogLevel::llInfo, line);
    if (FGlobal.Fprogress_avio)
        WriteProgressBlock(ProgressBlock(r, FLoop->frames, isLastReport), isLastReport);
}

void TCustomFFmpeg::WriteProgressBlock(const std::string& block, bool isLastReport)
{
    AVIOContext* avio = FGlobal.Fprogress_avio.get();
    ff().avio_write(avio, reinterpret_cast<const unsigned char*>(block.data()), static_cast<int>(block.size()));
    ff().avio_flush(avio);
    if (isLastReport) {
        AVIOContext* raw = FGlobal.Fprogress_avio.release();
        if (ff().avio_closep(&raw) < 0)
            EngineLog(TLogLevel::llError, "Error closing progress log, loss of information possible");
    }
}

}  // namespace reelsmith
