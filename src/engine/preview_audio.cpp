#include "engine/preview_audio.h"

#include <algorithm>
#include <chrono>

#include "engine/engine_error.h"
#include "media/engine_log.h"

namespace reelsmith {

TPreviewAudio::TPreviewAudio() : FRing(kBytesPerSecond), FPlayer([this] { Play(); }) {}

TPreviewAudio::~TPreviewAudio() { Close(); }

void TPreviewAudio::Write(const AVFrame* frame)
{
    if (frame->format != FInFormat || frame->sample_rate != FInRate ||
        ff().av_channel_layout_compare(&frame->ch_layout, FInLayout.get()) != 0 || !FSwr) {
        AVChannelLayout out{};
        ff().av_channel_layout_default(&out, kChannels);
        TChannelLayout in;
        ff().av_channel_layout_copy(in.get(), &frame->ch_layout);
        SwrContext* swr = nullptr;
        const int ret =
            ff().swr_alloc_set_opts2(&swr, &out, AV_SAMPLE_FMT_S16, kRate, in.get(),
                                     static_cast<AVSampleFormat>(frame->format), frame->sample_rate, 0, nullptr);
        FSwr.reset(swr);
        if (ret < 0 || ff().swr_init(swr) < 0) {
            FSwr.reset();
            EngineLog(TLogLevel::llError, "Cannot create the preview audio resampler.");
            return;
        }
        FInFormat = frame->format;
        FInRate = frame->sample_rate;
        ff().av_channel_layout_copy(FInLayout.get(), &frame->ch_layout);
        const char* name = ff().av_get_sample_fmt_name(static_cast<AVSampleFormat>(frame->format));
        EngineLog(TLogLevel::llInfo,
                  StrFormat("need resample %d Hz %s %d channels to %d Hz %s %d channels", frame->sample_rate,
                            name ? name : "?", frame->ch_layout.nb_channels, kRate, "s16", kChannels));
    }
    const int maxSamples = int(int64_t(frame->nb_samples) * kRate / std::max(frame->sample_rate, 1)) + 256;
    FResampled.resize(size_t(maxSamples) * kChannels * 2);
    uint8_t* out[1] = {FResampled.data()};
    const int samples = ff().swr_convert(FSwr.get(), out, maxSamples, const_cast<const uint8_t**>(frame->extended_data),
                                         frame->nb_samples);
    if (samples <= 0)
        return;
    const size_t bytes = size_t(samples) * kChannels * 2;
    std::lock_guard lock(FLock);
    for (size_t i = 0; i < bytes; ++i) {
        FRing[(FHead + FFill) % FRing.size()] = FResampled[i];
        if (FFill < FRing.size())
            ++FFill;
        else
            FHead = (FHead + 1) % FRing.size();
    }
    FWritten += int64_t(bytes);
}

void TPreviewAudio::Play()
{
    using namespace std::chrono;
    auto last = steady_clock::now();
    std::unique_lock lock(FLock);
    while (!FClosed) {
        FWake.wait_for(lock, milliseconds(20));
        const auto now = steady_clock::now();
        const int64_t due = duration_cast<microseconds>(now - last).count() * kBytesPerSecond / 1000000;
        last = now;
        if (FPaused)
            continue;
        const size_t taken = std::min<size_t>(FFill, size_t(due));
        FHead = (FHead + taken) % FRing.size();
        FFill -= taken;
        FPlayed += int64_t(taken);
    }
}

void TPreviewAudio::Pause()
{
    std::lock_guard lock(FLock);
    FPaused = true;
}

void TPreviewAudio::Resume()
{
    std::lock_guard lock(FLock);
    FPaused = false;
}

void TPreviewAudio::Close()
{
    {
        std::lock_guard lock(FLock);
        FClosed = true;
    }
    FWake.notify_all();
    if (FPlayer.joinable())
        FPlayer.join();
}

int64_t TPreviewAudio::BytesWritten() const
{
    std::lock_guard lock(FLock);
    return FWritten;
}

int64_t TPreviewAudio::BytesPlayed() const
{
    std::lock_guard lock(FLock);
    return FPlayed;
}

}  // namespace reelsmith
