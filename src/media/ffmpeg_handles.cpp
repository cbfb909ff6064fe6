#include "media/ffmpeg_handles.h"
#include "base/text.h"

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

TDictionary::TDictionary(TDictionary&& other) noexcept
    : m_Dict(other.m_Dict), m_Keys(std::move(other.m_Keys)), m_Indexed(other.m_Indexed)
{
    other.m_Dict = nullptr;
    other.m_Keys.clear();
    other.m_Indexed = true;
}

TDictionary& TDictionary::operator=(TDictionary&& other) noexcept
{
    if (this != &other) {
        Reset();
        m_Dict = other.m_Dict;
        m_Keys = std::move(other.m_Keys);
        m_Indexed = other.m_Indexed;
        other.m_Dict = nullptr;
        other.m_Keys.clear();
        other.m_Indexed = true;
    }
    return *this;
}

AVDictionary* TDictionary::Release()
{
    AVDictionary* d = m_Dict;
    m_Dict = nullptr;
    m_Keys.clear();
    m_Indexed = true;
    return d;
}

void TDictionary::Reset()
{
    if (m_Dict)
        ff().av_dict_free(&m_Dict);
    m_Keys.clear();
    m_Indexed = true;
}

std::string TDictionary::Folded(const std::string& key) { return AsciiLowered(key); }

void TDictionary::Reindex()
{
    m_Keys.clear();
    const AVDictionaryEntry* e = nullptr;
    while (m_Dict && (e = ff().av_dict_get(m_Dict, "", e, AV_DICT_IGNORE_SUFFIX)))
        m_Keys.insert(Folded(e->key));
    m_Indexed = true;
}

int TDictionary::Set(const std::string& key, const std::string& value, int flags)
{
    if (!m_Indexed)
        Reindex();
    // The index follows case-insensitive, whole-key semantics only.
    if (flags & (AV_DICT_MATCH_CASE | AV_DICT_IGNORE_SUFFIX | AV_DICT_MULTIKEY)) {
        m_Indexed = false;
        return ff().av_dict_set(&m_Dict, key.c_str(), value.c_str(), flags);
    }
    std::string folded = Folded(key);
    const bool known = m_Keys.count(folded) != 0;
    const int ret = ff().av_dict_set(&m_Dict, key.c_str(), value.c_str(), known ? flags : flags | AV_DICT_MULTIKEY);
    if (ret >= 0)
        m_Keys.insert(std::move(folded));
    return ret;
}

const char* TDictionary::Get(const std::string& key) const
{
    if (!m_Dict)
        return nullptr;
    const AVDictionaryEntry* e = ff().av_dict_get(m_Dict, key.c_str(), nullptr, 0);
    return e ? e->value : nullptr;
}

int TDictionary::Count() const { return m_Dict ? ff().av_dict_count(m_Dict) : 0; }

int TDictionary::CopyFrom(const TDictionary& source, int flags)
{
    const AVDictionaryEntry* e = nullptr;
    while (source.m_Dict && (e = ff().av_dict_get(source.m_Dict, "", e, AV_DICT_IGNORE_SUFFIX)))
        if (const int ret = Set(e->key, e->value, flags); ret < 0)
            return ret;
    return 0;
}

namespace {

// An empty layout was never touched by the library, so it can go without a call (a record
// may outlive or predate the loaded libraries).
bool Holds(const AVChannelLayout& layout)
{
    return layout.order != AV_CHANNEL_ORDER_UNSPEC || layout.nb_channels || layout.u.map;
}

}  // namespace

TChannelLayout::~TChannelLayout()
{
    if (Holds(m_Layout))
        ff().av_channel_layout_uninit(&m_Layout);
}

TChannelLayout::TChannelLayout(TChannelLayout&& other) noexcept : m_Layout(other.m_Layout) { other.m_Layout = {}; }

TChannelLayout& TChannelLayout::operator=(TChannelLayout&& other) noexcept
{
    if (this != &other) {
        if (Holds(m_Layout))
            ff().av_channel_layout_uninit(&m_Layout);
        m_Layout = other.m_Layout;
        other.m_Layout = {};
    }
    return *this;
}

TChannelLayout::TChannelLayout(const AVChannelLayout& source) { ff().av_channel_layout_copy(&m_Layout, &source); }

TChannelLayout TChannelLayout::Default(int channels)
{
    TChannelLayout layout;
    ff().av_channel_layout_default(&layout.m_Layout, channels);
    return layout;
}

TChannelLayout TChannelLayout::Unspecified(int channels)
{
    TChannelLayout layout;
    layout.m_Layout.order = AV_CHANNEL_ORDER_UNSPEC;
    layout.m_Layout.nb_channels = channels;
    return layout;
}

void TChannelLayout::Assign(const AVChannelLayout& source)
{
    if (&source != &m_Layout)
        ff().av_channel_layout_copy(&m_Layout, &source);
}

int TChannelLayout::Parse(const std::string& text)
{
    if (Holds(m_Layout))
        ff().av_channel_layout_uninit(&m_Layout);
    const int ret = ff().av_channel_layout_from_string(&m_Layout, text.c_str());
    if (ret < 0 && Holds(m_Layout))
        ff().av_channel_layout_uninit(&m_Layout);
    return ret;
}

void TChannelLayout::CopyTo(AVChannelLayout& field) const
{
    if (&field != &m_Layout)
        ff().av_channel_layout_copy(&field, &m_Layout);
}

void TChannelLayout::MoveTo(AVChannelLayout& field)
{
    if (&field == &m_Layout)
        return;
    ff().av_channel_layout_uninit(&field);
    field = m_Layout;
    m_Layout = {};
}

TChannelLayout::TChannelLayout(const TChannelLayout& other) { ff().av_channel_layout_copy(&m_Layout, &other.m_Layout); }

TChannelLayout& TChannelLayout::operator=(const TChannelLayout& other)
{
    if (this != &other)
        ff().av_channel_layout_copy(&m_Layout, &other.m_Layout);
    return *this;
}

}  // namespace reelsmith
