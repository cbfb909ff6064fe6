#pragma once
// Preview audio of a running task: decoded audio resampled to the player's format and
// written into a ring buffer. The player here is a silent stand-in: it drains the buffer
// at the rate real playback would, so a slow or absent sound device never holds up the
// conversion, and pauses with the task.

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "media/ffmpeg_handles.h"

namespace reelsmith {

class TPreviewAudio {
public:
    static constexpr int kRate = 44100;
    static constexpr int kChannels = 2;
    static constexpr int kBytesPerSecond = kRate * kChannels * 2;  // signed 16 bits

    TPreviewAudio();
    ~TPreviewAudio();
    TPreviewAudio(const TPreviewAudio&) = delete;
    TPreviewAudio& operator=(const TPreviewAudio&) = delete;

    // Resamples a decoded frame and writes it; the oldest bytes give way when the ring is full.
    void Write(const AVFrame* frame);
    void Pause();
    void Resume();
    // Ends writing and stops the player.
    void Close();

    int64_t BytesWritten() const;
    int64_t BytesPlayed() const;

private:
    void Play();

    TSwrContextPtr FSwr;
    int FInRate = 0, FInFormat = -1;
    TChannelLayout FInLayout;
    std::vector<uint8_t> FResampled;
    mutable std::mutex FLock;
    std::condition_variable FWake;
    std::vector<uint8_t> FRing;
    size_t FHead = 0, FFill = 0;
    int64_t FWritten = 0, FPlayed = 0;
    bool FPaused = false, FClosed = false;
    std::thread FPlayer;
};

}  // namespace reelsmith
