#include "media/ffmpeg_handles.h"

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
    : dict_(other.dict_), keys_(std::move(other.keys_)), indexed_(other.indexed_)
{
    other.dict_ = nullptr;
    other.keys_.clear();
    other.indexed_ = true;
}

TDictionary& TDictionary::operator=(TDictionary&& other) noexcept
{
    if (this != &other) {
        Reset();
        dict_ = other.dict_;
        keys_ = std::move(other.keys_);
        indexed_ = other.indexed_;
        other.dict_ = nullptr;
        other.keys_.clear();
        other.indexed_ = true;
    }
    return *this;
}

AVDictionary* TDictionary::Release()
{
    AVDictionary* d = dict_;
    dict_ = nullptr;
    keys_.clear();
    indexed_ = true;
    return d;
}

void TDictionary::Reset()
{
    if (dict_)
        ff().av_dict_free(&dict_);
    keys_.clear();
    indexed_ = true;
}

std::string TDictionary::Folded(const std::string& key)
{
    std::string folded = key;
    for (char& c : folded)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return folded;
}

void TDictionary::Reindex()
{
    keys_.clear();
    const AVDictionaryEntry* e = nullptr;
    while (dict_ && (e = ff().av_dict_get(dict_, "", e, AV_DICT_IGNORE_SUFFIX)))
        keys_.insert(Folded(e->key));
    indexed_ = true;
}

int TDictionary::Set(const std::string& key, const std::string& value, int flags)
{
    if (!indexed_)
        Reindex();
    // The index follows case-insensitive, whole-key semantics only.
    if (flags & (AV_DICT_MATCH_CASE | AV_DICT_IGNORE_SUFFIX | AV_DICT_MULTIKEY)) {
        indexed_ = false;
        return ff().av_dict_set(&dict_, key.c_str(), value.c_str(), flags);
    }
    std::string folded = Folded(key);
    const bool known = keys_.count(folded) != 0;
    const int ret = ff().av_dict_set(&dict_, key.c_str(), value.c_str(), known ? flags : flags | AV_DICT_MULTIKEY);
    if (ret >= 0)
        keys_.insert(std::move(folded));
    return ret;
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
    const AVDictionaryEntry* e = nullptr;
    while (source.dict_ && (e = ff().av_dict_get(source.dict_, "", e, AV_DICT_IGNORE_SUFFIX)))
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
    if (Holds(layout_))
        ff().av_channel_layout_uninit(&layout_);
}

TChannelLayout::TChannelLayout(TChannelLayout&& other) noexcept : layout_(other.layout_) { other.layout_ = {}; }

TChannelLayout& TChannelLayout::operator=(TChannelLayout&& other) noexcept
{
    if (this != &other) {
        if (Holds(layout_))
            ff().av_channel_layout_uninit(&layout_);
        layout_ = other.layout_;
        other.layout_ = {};
    }
    return *this;
}

TChannelLayout::TChannelLayout(const AVChannelLayout& source) { ff().av_channel_layout_copy(&layout_, &source); }

TChannelLayout TChannelLayout::Default(int channels)
{
    TChannelLayout layout;
    ff().av_channel_layout_default(&layout.layout_, channels);
    return layout;
}

TChannelLayout TChannelLayout::Unspecified(int channels)
{
    TChannelLayout layout;
    layout.layout_.order = AV_CHANNEL_ORDER_UNSPEC;
    layout.layout_.nb_channels = channels;
    return layout;
}

void TChannelLayout::Assign(const AVChannelLayout& source)
{
    if (&source != &layout_)
        ff().av_channel_layout_copy(&layout_, &source);
}

int TChannelLayout::Parse(const std::string& text)
{
    if (Holds(layout_))
        ff().av_channel_layout_uninit(&layout_);
    const int ret = ff().av_channel_layout_from_string(&layout_, text.c_str());
    if (ret < 0 && Holds(layout_))
        ff().av_channel_layout_uninit(&layout_);
    return ret;
}

void TChannelLayout::CopyTo(AVChannelLayout& field) const
{
    if (&field != &layout_)
        ff().av_channel_layout_copy(&field, &layout_);
}

void TChannelLayout::MoveTo(AVChannelLayout& field)
{
    if (&field == &layout_)
        return;
    ff().av_channel_layout_uninit(&field);
    field = layout_;
    layout_ = {};
}

TChannelLayout::TChannelLayout(const TChannelLayout& other) { ff().av_channel_layout_copy(&layout_, &other.layout_); }

TChannelLayout& TChannelLayout::operator=(const TChannelLayout& other)
{
    if (this != &other)
        ff().av_channel_layout_copy(&layout_, &other.layout_);
    return *this;
}

}  // namespace reelsmith
