// The progress report: the status line and the values handed to the progress callback.

#include <cmath>

#include "engine/custom_ffmpeg.h"
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
    return pb->pos + (pb->buf_ptr - pb->buffer);  // the current write position
}

}  // namespace

void TCustomFFmpeg::PrintReport(bool isLastReport, int64_t timerStart, int64_t curTime)
{
    if (!isLastReport) {
        if (Flast_time == -1)
            Flast_time = curTime;
        if ((curTime - Flast_time < FReportInterval && !Ffirst_report))
            return;
        if (Ffirst_report)
            for (const auto& of : FGraph.Foutput_files)
                if (!of->header_written)
                    return;
        Flast_time = curTime;
    }
    Ffirst_report = 0;
    const double t = double(curTime - timerStart) / 1000000.0;
    const int64_t totalSize = FGraph.Foutput_files.empty() ? -1 : OutputSize(*FGraph.Foutput_files[0]);

    int64_t frameNumber = -1;
    double fps = -1;
    float quality = -1;
    int64_t pts = INT64_MIN + 1;
    int64_t progressTime = 0;
    bool videoFound = false;
    std::string script;  // the -progress block
    for (const auto& ostPtr : FGraph.Foutput_streams) {
        const TOutputStream& ost = *ostPtr;
        quality = ost.stream_copy ? -1.0f : float(ost.quality) / FF_QP2LAMBDA;
        const bool video = ost.st->codecpar->codec_type == AVMEDIA_TYPE_VIDEO;
        if (video && !ost.stream_copy && !ost.frames_encoded)
            continue;
        if (video && videoFound)
            script += StrFormat("stream_%d_%d_q=%.1f\n", ost.file_index, ost.index, double(quality));
        if (video && !videoFound && (ost.stream_copy ? ost.packets_written : ost.frames_encoded)) {
            videoFound = true;
            frameNumber = ost.stream_copy ? ost.packets_written : ost.frame_number;
            fps = t > 1 ? double(frameNumber) / t : 0;
            script += StrFormat("frame=%lld\nfps=%.2f\nstream_%d_%d_q=%.1f\n", (long long)frameNumber, fps,
                                ost.file_index, ost.index, double(quality));
        }
        if (ost.last_mux_dts != kNoPtsValue) {
            const int64_t end = ff().av_rescale_q(ost.last_mux_dts, ost.st->time_base, AV_TIME_BASE_Q);
            pts = std::max(pts, end);
            progressTime = std::max(progressTime, end);
        }
    }
    const float bitRate = (pts != INT64_MIN + 1 && pts > 0 && totalSize >= 0)
                              ? float(double(totalSize) * 8 / (double(pts) / 1000.0))
                              : -1.0f;
    const double speed = t != 0 ? (double(pts) / 1000000.0) / t : -1;

    std::string line = StrFormat("frame=%5lld fps=%3.*f q=%3.1f ", (long long)std::max<int64_t>(frameNumber, 0),
                                 fps < 9.95, std::max(fps, 0.0), double(quality));
    line += totalSize >= 0 ? StrFormat("size=%8.0fkB time=", double(totalSize) / 1024.0) : "size=N/A time=";
    if (pts > 0) {
        const int64_t secs = pts / AV_TIME_BASE;
        line += StrFormat("%02lld:%02lld:%02lld.%03lld ", (long long)(secs / 3600), (long long)(secs / 60 % 60),
                          (long long)(secs % 60), (long long)(pts % AV_TIME_BASE / 1000));
    } else {
        line += "N/A ";
    }
    line += bitRate >= 0 ? StrFormat("bitrate=%6.1fkbits/s", double(bitRate)) : "bitrate=N/A";
    if (Fnb_frames_dup || Fnb_frames_drop)
        line += StrFormat(" dup=%lld drop=%lld", (long long)Fnb_frames_dup, (long long)Fnb_frames_drop);
    line += speed >= 0 && pts > 0 ? StrFormat(" speed=%4.3gx", speed) : " speed=N/A";

    if (FOnProgress)
        FOnProgress(this, -1, int(frameNumber), fps < 0 ? -1 : int(std::lround(fps)), quality, bitRate,
                    std::max<int64_t>(totalSize, 0), progressTime, FOutputDuration);
    if (isLastReport)
        EngineLog(TLogLevel::llInfo, line);
    if (FGlobal.Fprogress_avio)
        WriteProgressBlock(script, isLastReport, totalSize, pts, speed);
}

void TCustomFFmpeg::WriteProgressBlock(std::string script, bool isLastReport, int64_t totalSize, int64_t pts,
                                       double speed)
{
    const bool known = pts != INT64_MIN + 1;
    const double bitRate = known && pts > 0 && totalSize >= 0 ? double(totalSize) * 8 / (double(pts) / 1000.0) : -1;
    script += bitRate >= 0 ? StrFormat("bitrate=%6.1fkbits/s\n", bitRate) : "bitrate=N/A\n";
    script += totalSize >= 0 ? StrFormat("total_size=%lld\n", (long long)totalSize) : "total_size=N/A\n";
    if (known) {
        // out_time_ms carries microseconds too, as the reference tool's readers expect.
        script += StrFormat("out_time_us=%lld\nout_time_ms=%lld\n", (long long)pts, (long long)pts);
        const int64_t mag = pts < 0 ? -pts : pts;
        const int64_t secs = mag / AV_TIME_BASE;
        script += StrFormat("out_time=%s%02lld:%02lld:%02lld.%06lld\n", pts < 0 ? "-" : "", (long long)(secs / 3600),
                            (long long)(secs / 60 % 60), (long long)(secs % 60), (long long)(mag % AV_TIME_BASE));
    } else {
        script += "out_time_us=N/A\nout_time_ms=N/A\nout_time=N/A\n";
    }
    script += StrFormat("dup_frames=%lld\ndrop_frames=%lld\n", (long long)Fnb_frames_dup, (long long)Fnb_frames_drop);
    script += speed >= 0 && known ? StrFormat("speed=%4.3gx\n", speed) : "speed=N/A\n";
    script += StrFormat("progress=%s\n", isLastReport ? "end" : "continue");
    AVIOContext* avio = FGlobal.Fprogress_avio.get();
    ff().avio_write(avio, reinterpret_cast<const unsigned char*>(script.data()), static_cast<int>(script.size()));
    ff().avio_flush(avio);
    if (isLastReport) {
        AVIOContext* raw = FGlobal.Fprogress_avio.release();
        if (ff().avio_closep(&raw) < 0)
            EngineLog(TLogLevel::llError, "Error closing progress log, loss of information possible");
    }
}

}  // namespace reelsmith
