#include "engine/ffmpeg_handles.h"

namespace reelsmith {

void TPacketFifoDeleter::operator()(AVFifo* p) const
{
    AVPacket* pkt = nullptr;
    while (ff().av_fifo_read(p, &pkt, 1) >= 0)
        ff().av_packet_free(&pkt);
    ff().av_fifo_freep2(&p);
}

void TFrameFifoDeleter::operator()(AVFifo* p) const
{
    AVFrame* frame = nullptr;
    while (ff().av_fifo_read(p, &frame, 1) >= 0)
        ff().av_frame_free(&frame);
    ff().av_fifo_freep2(&p);
}

void TSubtitleFifoDeleter::operator()(AVFifo* p) const
{
    AVSubtitle sub;
    while (ff().av_fifo_read(p, &sub, 1) >= 0)
        ff().avsubtitle_free(&sub);
    ff().av_fifo_freep2(&p);
}

TDictionary& TDictionary::operator=(TDictionary&& other) noexcept
{
    if (this != &other) {
        Reset();
        dict_ = other.Release();
    }
    return *this;
}

AVDictionary* TDictionary::Release()
{
    AVDictionary* d = dict_;
    dict_ = nullptr;
    return d;
}

void TDictionary::Reset()
{
    if (dict_)
        ff().av_dict_free(&dict_);
}

int TDictionary::Set(const std::string& key, const std::string& value, int flags)
{
    return ff().av_dict_set(&dict_, key.c_str(), value.c_str(), flags);
}

const char* TDictionary::Get(const std::string& key) const
{
    if (!dict_)
        return nullptr;
    const AVDictionaryEntry* e = ff().av_dict_get(dict_, key.c_str(), nullptr, 0);
    return e ? e->value : nullptr;
}

int TDictionary::Count() const { return dict_ ? ff().av_dict_count(dict_) : 0; }

int TDictionary::CopyFrom(const TDictionary& source, int flags)
{
    if (!source.dict_)
        return 0;
    return ff().av_dict_copy(&dict_, source.dict_, flags);
}

TChannelLayout::~TChannelLayout()
{
    if (layout_.order != AV_CHANNEL_ORDER_UNSPEC || layout_.nb_channels || layout_.u.map)
        ff().av_channel_layout_uninit(&layout_);
}

TChannelLayout::TChannelLayout(const TChannelLayout& other) { ff().av_channel_layout_copy(&layout_, &other.layout_); }

TChannelLayout& TChannelLayout::operator=(const TChannelLayout& other)
{
    if (this != &other)
        ff().av_channel_layout_copy(&layout_, &other.layout_);
    return *this;
}

}  // namespace reelsmith
