#include "engine/pipeline/encode_ahead.h"

#include <cstring>

namespace reelsmith {

size_t TEncodeJob::Bytes() const { return frame ? FrameBytes(frame.get()) : 0; }

bool EncodedAheadFormat(const AVOutputFormat* format)
{
    // Muxers whose packets go through the common interleaving by time stamp, and nothing of
    // their own that depends on the order of the calls.
    static constexpr const char* kFormats[] = {"avi", "matroska", "webm", "mp4", "mov", "3gp", "3g2",
                                               "ipod", "psp", "flv", "mpeg", "vob", "dvd", "svcd",
                                               "vcd", "mpegts", "ogg", "asf", "nut"};
    if (!format || !format->name)
        return false;
    for (const char* name : kFormats)
        if (std::strcmp(format->name, name) == 0)
            return true;
    return false;
}

TEncodeAhead::TEncodeAhead(AVCodecContext* enc, FILE* passLog)
    : m_Enc(enc), m_PassLog(passLog), m_Jobs(kEncodeAheadPictures, kEncodeAheadBytes)
{
}

TEncodeAhead::~TEncodeAhead() { Stop(); }

void TEncodeAhead::Start()
{
    m_Thread = std::thread([this] { Run(); });
}

bool TEncodeAhead::Encode(TFramePtr frame)
{
    {
        std::lock_guard lock(m_Mutex);
        if (m_Failed)
            return false;
    }
    if (!m_Jobs.Push(TEncodeJob{std::move(frame)}))
        return false;
    ++m_Given;
    return true;
}

std::vector<TEncodedPacket> TEncodeAhead::TakeReady()
{
    std::lock_guard lock(m_Mutex);
    std::vector<TEncodedPacket> ready(std::make_move_iterator(m_Ready.begin()), std::make_move_iterator(m_Ready.end()));
    m_Ready.clear();
    return ready;
}

std::vector<TEncodedPacket> TEncodeAhead::Finish()
{
    {
        std::unique_lock lock(m_Mutex);
        m_Done.wait(lock, [this] { return m_Encoded >= m_Given || m_Failed; });
    }
    Stop();
    return TakeReady();
}

void TEncodeAhead::Stop()
{
    m_Jobs.Close();
    if (m_Thread.joinable())
        m_Thread.join();
}

void TEncodeAhead::Put(TEncodedPacket packet)
{
    std::lock_guard lock(m_Mutex);
    if (packet.error < 0)
        m_Failed = true;
    m_Ready.push_back(std::move(packet));
}

void TEncodeAhead::Run()
{
    for (;;) {
        TEncodeJob job = m_Jobs.Pop();
        if (!job.frame)
            return;
        int ret = ff().avcodec_send_frame(m_Enc, job.frame.get());
        job.frame.reset();
        if (ret < 0) {
            Put(TEncodedPacket{nullptr, ret});
        } else {
            for (;;) {
                TPacketPtr pkt(ff().av_packet_alloc());
                ret = pkt ? ff().avcodec_receive_packet(m_Enc, pkt.get()) : AVERROR(ENOMEM);
                if (ret == AVERROR(EAGAIN))
                    break;
                if (m_PassLog && m_Enc->stats_out)
                    std::fputs(m_Enc->stats_out, m_PassLog);
                if (ret < 0) {
                    Put(TEncodedPacket{nullptr, ret});
                    break;
                }
                Put(TEncodedPacket{std::move(pkt), 0});
            }
        }
        std::lock_guard lock(m_Mutex);
        ++m_Encoded;
        m_Done.notify_all();
        if (m_Failed) {
            m_Jobs.Close();  // a loop blocked on a full queue gets its answer
            return;
        }
    }
}

}  // namespace reelsmith
