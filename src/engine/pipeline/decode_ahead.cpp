#include "engine/pipeline/decode_ahead.h"

#include "engine/pipeline/decode.h"
#include "engine/pipeline/input_reader.h"
#include "engine/pipeline/transcode_loop.h"

namespace reelsmith {

namespace {

// Keeps every event, the frames by reference, for the loop to take in order.
class TKeepEvents final : public IDecodeSink {
public:
    TKeepEvents(TDecodedPacket& decoded, size_t& frameBytes) : m_Decoded(decoded), m_FrameBytes(frameBytes) {}

    void DecodeFailed(int ret, const TInputClock& clock) override
    {
        m_Decoded.events.push_back(TDecodeEvent{nullptr, ret, clock});
    }

    void FrameDecoded(AVFrame* frame, const TInputClock& clock) override
    {
        TFramePtr kept(ff().av_frame_alloc());
        if (!kept) {
            m_Decoded.events.push_back(TDecodeEvent{nullptr, AVERROR(ENOMEM), clock});
            return;
        }
        ff().av_frame_move_ref(kept.get(), frame);
        m_FrameBytes += FrameBytes(kept.get());
        m_Decoded.events.push_back(TDecodeEvent{std::move(kept), 0, clock});
    }

private:
    TDecodedPacket& m_Decoded;
    size_t& m_FrameBytes;
};

}  // namespace

TAheadItem TAheadItem::Closed()
{
    TAheadItem item;
    item.read = TQueuedPacket::Closed();
    return item;
}

bool DecodedAhead(const TInputStream& ist)
{
    if (!ist.decoding_needed || ist.discard || !ist.dec_ctx || ist.hwaccel_id != HWACCEL_NONE ||
        ist.dec_ctx->hw_device_ctx || ist.dec_ctx->hw_frames_ctx)
        return false;
    const AVMediaType type = ist.dec_ctx->codec_type;
    return type == AVMEDIA_TYPE_VIDEO || type == AVMEDIA_TYPE_AUDIO;
}

TDecodeAhead::TDecodeAhead(TInputReader& reader, const TInputFile& file, std::vector<const TInputStream*> streams)
    : m_Reader(reader), m_File(file), m_Queue(kDecodeAheadItems, kDecodeAheadBytes)
{
    m_Streams.resize(streams.size());
    for (size_t i = 0; i < streams.size(); ++i) {
        TStream& stream = m_Streams[i];
        stream.ist = streams[i];
        if (!stream.ist)
            continue;
        stream.clock = stream.ist->clock;
        stream.scratch.reset(ff().av_packet_alloc());
        stream.frame.reset(ff().av_frame_alloc());
        if (!stream.scratch || !stream.frame)
            throw std::bad_alloc();
    }
}

TDecodeAhead::~TDecodeAhead()
{
    RequestStop();
    Join();
}

void TDecodeAhead::Start()
{
    m_Thread = std::thread([this] { Run(); });
}

void TDecodeAhead::RequestStop()
{
    m_Stopping = true;
    m_Queue.Close();
}

void TDecodeAhead::Join()
{
    if (m_Thread.joinable())
        m_Thread.join();
}

TDecodedPacket TDecodeAhead::Decode(int index, const AVPacket* pkt, size_t* frameBytes)
{
    TStream& stream = m_Streams[size_t(index)];
    TDecodedPacket decoded;
    decoded.stream = index;
    TKeepEvents sink(decoded, *frameBytes);
    DecodeStreamPacket(*stream.ist, stream.clock, stream.scratch.get(), stream.frame.get(), pkt, sink);
    decoded.after = stream.clock;
    return decoded;
}

void TDecodeAhead::Run()
{
    for (;;) {
        TAheadItem item;
        item.read = m_Reader.Next();
        if (m_Stopping)
            return;
        if (item.read.status < 0 && item.read.status != AVERROR(EAGAIN)) {
            // The end of the input: the loop gives every stream its end, the decoders drained here.
            for (size_t i = 0; i < m_Streams.size(); ++i)
                if (m_Streams[i].ist)
                    item.drains.push_back(Decode(int(i), nullptr, &item.frameBytes));
            m_Queue.Push(std::move(item));
            return;
        }
        if (item.read.status == 0) {
            AVPacket* pkt = item.read.pkt.get();
            if (Decodes(pkt->stream_index)) {
                ApplyInputTimeOffset(m_File, *m_Streams[size_t(pkt->stream_index)].ist, pkt);
                item.decoded = Decode(pkt->stream_index, pkt, &item.frameBytes);
            }
        }
        if (!m_Queue.Push(std::move(item)))
            return;
    }
}

void TDecodeAheads::StartAll(const TJobGraph& graph)
{
    m_Threads.clear();
    m_Threads.resize(graph.Finput_files.size());
    for (size_t f = 0; f < graph.Finput_files.size(); ++f) {
        const TInputFile& file = *graph.Finput_files[f];
        std::vector<const TInputStream*> streams(size_t(file.nb_streams), nullptr);
        bool any = false;
        for (int i = 0; i < file.nb_streams; ++i) {
            const TInputStream& ist = *graph.Finput_streams[size_t(file.ist_index + i)];
            if (DecodedAhead(ist)) {
                streams[size_t(i)] = &ist;
                any = true;
            }
        }
        if (any)
            m_Threads[f] = std::make_unique<TDecodeAhead>(m_Readers.Of(int(f)), file, std::move(streams));
    }
    for (auto& thread : m_Threads)
        if (thread)
            thread->Start();
}

void TDecodeAheads::StopAll()
{
    for (auto& thread : m_Threads)
        if (thread)
            thread->RequestStop();
    m_Readers.StopThreads();  // a thread waiting for its reader's next packet gets the end
    for (auto& thread : m_Threads)
        if (thread)
            thread->Join();
    m_Threads.clear();
    m_Readers.StopAll();  // no thread takes from them any more
}

}  // namespace reelsmith
