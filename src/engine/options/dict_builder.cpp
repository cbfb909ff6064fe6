#include "engine/options/dict_builder.h"

namespace reelsmith {

std::string TDictBuilder::Folded(const std::string& key)
{
    std::string folded = key;
    for (char& c : folded)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return folded;
}

void TDictBuilder::Set(const std::string& key, const std::string& value, int flags)
{
    const std::string folded = Folded(key);
    std::string newValue = value;
    if (const auto it = index_.find(folded); it != index_.end()) {
        if (flags & AV_DICT_DONT_OVERWRITE)
            return;
        TEntry& old = entries_[it->second];
        if (flags & AV_DICT_APPEND)
            newValue = old.value + value;
        old.live = false;
        old.key.clear();
        old.value.clear();
    }
    index_[folded] = entries_.size();
    entries_.push_back({key, std::move(newValue), true});
    // Keep the dead slots from piling up when one key is set over and over.
    if (entries_.size() > 64 && entries_.size() > 2 * index_.size()) {
        std::vector<TEntry> live;
        live.reserve(index_.size());
        for (TEntry& e : entries_)
            if (e.live)
                live.push_back(std::move(e));
        entries_ = std::move(live);
        for (size_t i = 0; i < entries_.size(); ++i)
            index_[Folded(entries_[i].key)] = i;
    }
}

const std::string* TDictBuilder::Get(const std::string& key) const
{
    const auto it = index_.find(Folded(key));
    return it == index_.end() ? nullptr : &entries_[it->second].value;
}

void TDictBuilder::Clear()
{
    entries_.clear();
    index_.clear();
}

TDictionary TDictBuilder::Build() const
{
    TDictionary dict;
    // Keys are unique here, so the library need not search for them.
    for (const TEntry& e : entries_)
        if (e.live)
            dict.Set(e.key, e.value);  // new keys: the dictionary adds them without a search
    return dict;
}

void TDictBuilder::CopyInto(TDictionary& dict, int flags) const
{
    for (const TEntry& e : entries_)
        if (e.live)
            dict.Set(e.key, e.value, flags);
}

}  // namespace reelsmith
