#pragma once
// Collects key/value pairs with the dictionary's rules (keys compare without regard to
// ASCII case, a later value replaces an earlier one, AV_DICT_APPEND extends it) in
// constant time per pair, and builds the library dictionary once at the end. Setting
// many distinct keys straight into a library dictionary costs quadratic time.

#include <string>
#include <unordered_map>
#include <vector>

#include "media/ffmpeg_handles.h"

namespace reelsmith {

class TDictBuilder {
public:
    // flags: 0, AV_DICT_APPEND or AV_DICT_DONT_OVERWRITE.
    void Set(const std::string& key, const std::string& value, int flags = 0);
    const std::string* Get(const std::string& key) const;
    int Count() const { return static_cast<int>(m_Index.size()); }
    bool Empty() const { return m_Index.empty(); }
    void Clear();

    // The entries in the order they were last set.
    TDictionary Build() const;
    // Adds every entry to dict with av_dict_set flags (AV_DICT_DONT_OVERWRITE keeps dict's).
    void CopyInto(TDictionary& dict, int flags) const;

private:
    struct TEntry {
        std::string key;
        std::string value;
        bool live = true;
    };
    static std::string Folded(const std::string& key);
    std::vector<TEntry> m_Entries;
    std::unordered_map<std::string, size_t> m_Index;  // folded key -> live entry
};

}  // namespace reelsmith
