#pragma once
// What libburn's writer reads during a burn: the prepared image, passed through a stream of
// our own so that an abort stops the writer at its next sector. libburn looks at its own
// cancel flag only between large chunks, and at a low speed its stdio drive sleeps seconds
// per chunk; a failed read ends the write at once. The same stream paces the image
// recorder, so that no wait of libburn's stands between Abort and the end of the job.
#include <atomic>
#include <chrono>
#include <cstdint>

#include <libburn/libburn.h>

#include "burn/cancel_signal.h"

namespace reelsmith {

class TWriteStream {
public:
    // bytesPerSecond <= 0: as fast as the recorder takes it. image stays owned by the caller
    // and must outlive this stream.
    TWriteStream(burn::burn_source* image, TCancelSignal& cancel, double bytesPerSecond, TImageReadHook hook);
    ~TWriteStream();
    TWriteStream(const TWriteStream&) = delete;
    TWriteStream& operator=(const TWriteStream&) = delete;

    // The record to hand to burn_track_set_source. It holds a reference of its own, so the
    // track's reference going away never frees it; it lives as long as this object.
    burn::burn_source* Source() { return &m_Source; }
    std::int64_t BytesRead() const { return m_Read.load(); }
    // The image ended before its size or failed to read: libisofs gave up making it (a
    // source changed or vanished). The read then fails, so libburn pads nothing.
    bool Broken() const { return m_Broken.load(); }

private:
    static TWriteStream& Of(burn::burn_source* source) { return *static_cast<TWriteStream*>(source->data); }
    static int Read(burn::burn_source* source, unsigned char* buffer, int size);
    static off_t GetSize(burn::burn_source* source);
    static int SetSize(burn::burn_source* source, off_t size);
    static void FreeData(burn::burn_source* source);
    static int Cancel(burn::burn_source* source);

    burn::burn_source m_Source{};
    burn::burn_source* m_Image;
    TCancelSignal& m_Cancel;
    double m_BytesPerSecond;
    TImageReadHook m_Hook;
    std::chrono::steady_clock::time_point m_Start;
    std::atomic<std::int64_t> m_Read{0};
    std::atomic<bool> m_Broken{false};
};

}  // namespace reelsmith
