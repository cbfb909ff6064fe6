#pragma once
// Owning handles for FFmpeg objects. Every release goes through the bound table,
// so these are safe only while the libraries stay loaded (they do, for the process).

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_set>

#include "media/ffmpeg_api.h"

namespace reelsmith {

// AV_NOPTS_VALUE as a typed constant.
inline constexpr int64_t kNoPtsValue = INT64_MIN;

struct TFrameDeleter {
    void operator()(AVFrame* p) const { ff().av_frame_free(&p); }
};
struct TPacketDeleter {
    void operator()(AVPacket* p) const { ff().av_packet_free(&p); }
};
struct TCodecContextDeleter {
    void operator()(AVCodecContext* p) const { ff().avcodec_free_context(&p); }
};
struct TCodecParametersDeleter {
    void operator()(AVCodecParameters* p) const { ff().avcodec_parameters_free(&p); }
};
struct TBsfContextDeleter {
    void operator()(AVBSFContext* p) const { ff().av_bsf_free(&p); }
};
struct TFilterGraphDeleter {
    void operator()(AVFilterGraph* p) const { ff().avfilter_graph_free(&p); }
};
struct TFilterInOutDeleter {
    void operator()(AVFilterInOut* p) const { ff().avfilter_inout_free(&p); }
};
struct TBufferRefDeleter {
    void operator()(AVBufferRef* p) const { ff().av_buffer_unref(&p); }
};
struct TExprDeleter {
    void operator()(AVExpr* p) const { ff().av_expr_free(p); }
};
struct TAVIOContextDeleter {
    void operator()(AVIOContext* p) const { ff().avio_closep(&p); }
};
// An opened demuxer context.
struct TInputFormatContextDeleter {
    void operator()(AVFormatContext* p) const { ff().avformat_close_input(&p); }
};
// A demuxer context that may be someone else's: the decoder only answers questions about a
// task's opened input and leaves closing it to the task.
struct TMaybeOwnedInputContextDeleter {
    bool Owned = true;
    void operator()(AVFormatContext* p) const
    {
        if (Owned)
            ff().avformat_close_input(&p);
    }
};
// A muxer context: its file (when the muxer writes one) is closed before the context is freed.
struct TOutputFormatContextDeleter {
    void operator()(AVFormatContext* p) const
    {
        if (p->oformat && !(p->oformat->flags & AVFMT_NOFILE))
            ff().avio_closep(&p->pb);
        ff().avformat_free_context(p);
    }
};
// Memory from av_malloc and friends.
struct TAvFreeDeleter {
    void operator()(void* p) const { ff().av_free(p); }
};
// FIFOs holding AVPacket*, AVFrame* or AVSubtitle entries: the entries are released too.
struct TPacketFifoDeleter {
    void operator()(AVFifo* p) const;
};
struct TFrameFifoDeleter {
    void operator()(AVFifo* p) const;
};
struct TSubtitleFifoDeleter {
    void operator()(AVFifo* p) const;
};
// A plain FIFO whose entries own nothing.
struct TFifoDeleter {
    void operator()(AVFifo* p) const { ff().av_fifo_freep2(&p); }
};
struct TSwsContextDeleter {
    void operator()(SwsContext* p) const { ff().sws_freeContext(p); }
};
struct TSwrContextDeleter {
    void operator()(SwrContext* p) const { ff().swr_free(&p); }
};

using TFramePtr = std::unique_ptr<AVFrame, TFrameDeleter>;

// The bytes a frame's buffers hold: what keeping a reference to it costs.
inline size_t FrameBytes(const AVFrame* frame)
{
    size_t bytes = 0;
    for (const AVBufferRef* buf : frame->buf)
        if (buf)
            bytes += buf->size;
    for (int i = 0; i < frame->nb_extended_buf; ++i)
        bytes += frame->extended_buf[i]->size;
    return bytes;
}
using TPacketPtr = std::unique_ptr<AVPacket, TPacketDeleter>;
using TCodecContextPtr = std::unique_ptr<AVCodecContext, TCodecContextDeleter>;
using TCodecParametersPtr = std::unique_ptr<AVCodecParameters, TCodecParametersDeleter>;
using TBsfContextPtr = std::unique_ptr<AVBSFContext, TBsfContextDeleter>;
using TFilterGraphPtr = std::unique_ptr<AVFilterGraph, TFilterGraphDeleter>;
using TFilterInOutPtr = std::unique_ptr<AVFilterInOut, TFilterInOutDeleter>;
using TBufferRefPtr = std::unique_ptr<AVBufferRef, TBufferRefDeleter>;
using TExprPtr = std::unique_ptr<AVExpr, TExprDeleter>;
using TAVIOContextPtr = std::unique_ptr<AVIOContext, TAVIOContextDeleter>;
using TInputFormatContextPtr = std::unique_ptr<AVFormatContext, TInputFormatContextDeleter>;
using TOutputFormatContextPtr = std::unique_ptr<AVFormatContext, TOutputFormatContextDeleter>;
using TMaybeOwnedInputContextPtr = std::unique_ptr<AVFormatContext, TMaybeOwnedInputContextDeleter>;
using TPacketFifoPtr = std::unique_ptr<AVFifo, TPacketFifoDeleter>;
using TFrameFifoPtr = std::unique_ptr<AVFifo, TFrameFifoDeleter>;
using TSubtitleFifoPtr = std::unique_ptr<AVFifo, TSubtitleFifoDeleter>;
using TFifoPtr = std::unique_ptr<AVFifo, TFifoDeleter>;
using TSwsContextPtr = std::unique_ptr<SwsContext, TSwsContextDeleter>;
using TSwrContextPtr = std::unique_ptr<SwrContext, TSwrContextDeleter>;
template <typename T>
using TAvMemPtr = std::unique_ptr<T, TAvFreeDeleter>;

// A decoded subtitle, released with avsubtitle_free.
struct TOwnedSubtitle {
    AVSubtitle subtitle{};
    TOwnedSubtitle() = default;
    ~TOwnedSubtitle() { ff().avsubtitle_free(&subtitle); }
    TOwnedSubtitle(const TOwnedSubtitle&) = delete;
    TOwnedSubtitle& operator=(const TOwnedSubtitle&) = delete;
};

// An owned AVDictionary. Empty (null) until the first Set. It remembers its keys, so a
// new key is added without the library's linear search (many distinct keys would
// otherwise cost quadratic time).
class TDictionary {
public:
    TDictionary() = default;
    ~TDictionary() { Reset(); }
    TDictionary(const TDictionary&) = delete;
    TDictionary& operator=(const TDictionary&) = delete;
    TDictionary(TDictionary&& other) noexcept;
    TDictionary& operator=(TDictionary&& other) noexcept;

    AVDictionary* get() const { return m_Dict; }
    // For library calls that fill or consume a dictionary in place.
    AVDictionary** address()
    {
        m_Indexed = false;
        return &m_Dict;
    }
    AVDictionary* Release();
    void Reset();

    int Set(const std::string& key, const std::string& value, int flags = 0);
    // The value of key (exact, case-insensitive as the library compares), or null.
    const char* Get(const std::string& key) const;
    int Count() const;
    bool Empty() const { return Count() == 0; }
    // Copies every entry of source; flags as av_dict_copy (AV_DICT_DONT_OVERWRITE keeps ours).
    int CopyFrom(const TDictionary& source, int flags = 0);

private:
    void Reindex();
    static std::string Folded(const std::string& key);
    AVDictionary* m_Dict = nullptr;
    std::unordered_set<std::string> m_Keys;  // case-folded keys present in m_Dict
    bool m_Indexed = true;
};

// An owned AVChannelLayout (released with av_channel_layout_uninit).
class TChannelLayout {
public:
    TChannelLayout() = default;
    ~TChannelLayout();
    TChannelLayout(const TChannelLayout& other);
    TChannelLayout& operator=(const TChannelLayout& other);
    TChannelLayout(TChannelLayout&& other) noexcept;
    TChannelLayout& operator=(TChannelLayout&& other) noexcept;
    // A copy of a layout the library owns (a stream's, a link's).
    explicit TChannelLayout(const AVChannelLayout& source);
    // The native layout the library picks for a channel count.
    static TChannelLayout Default(int channels);
    // Only a channel count, no order (what -ac asks of an encoder).
    static TChannelLayout Unspecified(int channels);

    AVChannelLayout* get() { return &m_Layout; }
    const AVChannelLayout* get() const { return &m_Layout; }
    AVChannelLayout& operator*() { return m_Layout; }
    const AVChannelLayout& operator*() const { return m_Layout; }

    // Replaces the layout with a copy of source.
    void Assign(const AVChannelLayout& source);
    // Replaces the layout with one parsed from text ("5.1", "stereo", "3C"...); 0 or a
    // negative code, the layout left empty on failure.
    int Parse(const std::string& text);
    // Copies the layout into a field of a library structure (a codec context's, say),
    // releasing what the field held.
    void CopyTo(AVChannelLayout& field) const;
    // Hands the layout over to such a field, which releases what it held; this one is
    // left empty.
    void MoveTo(AVChannelLayout& field);

private:
    AVChannelLayout m_Layout{};
};

}  // namespace reelsmith
