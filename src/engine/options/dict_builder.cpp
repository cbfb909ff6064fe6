#include "engine/options/dict_builder.h"
#include "base/text.h"

namespace reelsmith {

std::string TDictBuilder::Folded(const std::string& key) { return AsciiLowered(key); }

void TDictBuilder::Set(const std::string& key, const std::string& value, int flags)
{
    const std::string folded = Folded(key);
    std::string newValue = value;
    if (const auto it = m_Index.find(folded); it != m_Index.end()) {
        if (flags & AV_DICT_DONT_OVERWRITE)
            return;
        TEntry& old = m_Entries[it->second];
        if (flags & AV_DICT_APPEND)
            newValue = old.value + value;
        old.live = false;
        old.key.clear();
        old.value.clear();
    }
    m_Index[folded] = m_Entries.size();
    m_Entries.push_back({key, std::move(newValue), true});
    // Keep the dead slots from piling up when one key is set over and over.
    if (m_Entries.size() > 64 && m_Entries.size() > 2 * m_Index.size()) {
        std::vector<TEntry> live;
        live.reserve(m_Index.size());
        for (TEntry& e : m_Entries)
            if (e.live)
                live.push_back(std::move(e));
        m_Entries = std::move(live);
        for (size_t i = 0; i < m_Entries.size(); ++i)
            m_Index[Folded(m_Entries[i].key)] = i;
    }
}

const std::string* TDictBuilder::Get(const std::string& key) const
{
    const auto it = m_Index.find(Folded(key));
    return it == m_Index.end() ? nullptr : &m_Entries[it->second].value;
}

void TDictBuilder::Clear()
{
    m_Entries.clear();
    m_Index.clear();
}

TDictionary TDictBuilder::Build() const
{
    TDictionary dict;
    // Keys are unique here, so the library need not search for them.
    for (const TEntry& e : m_Entries)
        if (e.live)
            dict.Set(e.key, e.value);  // new keys: the dictionary adds them without a search
    return dict;
}

void TDictBuilder::CopyInto(TDictionary& dict, int flags) const
{
    for (const TEntry& e : m_Entries)
        if (e.live)
            dict.Set(e.key, e.value, flags);
}

}  // namespace reelsmith
