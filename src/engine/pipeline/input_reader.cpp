#include "engine/pipeline/input_reader.h"

#include <algorithm>

namespace reelsmith {

namespace {
// How long a reader waits before it asks an input that had nothing again.
constexpr std::chrono::milliseconds kRetryWait{10};
}  // namespace

TInputReader::TInputReader(AVFormatContext* ctx, size_t maxPackets, size_t maxBytes)
    : m_Ctx(ctx), m_Queue(maxPackets, maxBytes)
{
}

TInputReader::~TInputReader() { Stop(); }

void TInputReader::Start()
{
    m_Thread = std::thread([this] { Run(); });
}

void TInputReader::Stop()
{
    m_Queue.Close();
    if (m_Thread.joinable())
        m_Thread.join();
}

void TInputReader::Run()
{
    for (;;) {
        TQueuedPacket item;
        item.pkt.reset(ff().av_packet_alloc());
        if (!item.pkt) {
            item.status = AVERROR(ENOMEM);
            m_Queue.Push(std::move(item));
            return;
        }
        m_ReadStart = ff().av_gettime_relative();
        const int ret = ff().av_read_frame(m_Ctx, item.pkt.get());
        m_ReadStart = INT64_MAX;
        if (ret == AVERROR(EAGAIN)) {
            // The loop learns of it only once it has taken everything read before.
            if (m_Queue.Empty() && !m_Queue.Push(TQueuedPacket{nullptr, ret}))
                return;
            if (m_Queue.WaitClosedFor(kRetryWait))
                return;
            continue;
        }
        if (ret < 0) {
            item.pkt.reset();
            item.status = ret;
            m_Queue.Push(std::move(item));
            return;
        }
        if (!m_Queue.Push(std::move(item)))
            return;
    }
}

void TInputReaders::StartAll(const std::vector<AVFormatContext*>& inputs, const std::vector<int>& queueSizes)
{
    StopAll();
    for (size_t i = 0; i < inputs.size(); ++i) {
        const int packets = i < queueSizes.size() && queueSizes[i] > 0 ? queueSizes[i] : kReadAheadPackets;
        m_Readers.push_back(std::make_unique<TInputReader>(inputs[i], size_t(packets), kReadAheadBytes));
    }
    for (auto& reader : m_Readers)
        reader->Start();
}

void TInputReaders::StopThreads()
{
    if (m_Readers.empty())
        return;
    m_Stopping = true;
    for (auto& reader : m_Readers)
        reader->Stop();
}

void TInputReaders::StopAll()
{
    if (m_Readers.empty())
        return;
    StopThreads();
    m_Readers.clear();
    m_Stopping = false;
}

int64_t TInputReaders::OldestRead() const
{
    int64_t oldest = INT64_MAX;
    for (const auto& reader : m_Readers)
        oldest = std::min(oldest, reader->ReadStart());
    return oldest;
}

}  // namespace reelsmith
