#pragma once
// TFindFile: walks folder trees synchronously and reports every file that meets its
// criteria. A folder's own matches are reported before anything from its subfolders,
// mask by mask. Directories are entered at most once per search, so symbolic-link
// loops end.
#include <cstdint>
#include <ctime>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace reelsmith {

// File attributes as the criteria see them on Linux: dot-names are hidden, symbolic
// links are reparse points, a file the owner cannot write is read-only.
enum TFileAttribute : uint32_t {
    faReadonly = 0x0001,
    faHidden = 0x0002,
    faSystem = 0x0004,
    faDirectory = 0x0010,
    faArchive = 0x0020,
    faNormal = 0x0080,
    faReparsePoint = 0x0400,
};

struct TFileCriteria {
    std::string FileName;               // masks separated by ";", e.g. "*.AVI;*.MKV"; empty: "*"
    std::vector<std::string> Location;  // start folders (a list: Linux names may hold ";")
    bool Subfolders = true;
    uint16_t MinLevel = 0;  // files reported only from this level on; 0: no limit
    uint16_t MaxLevel = 0;  // subfolders entered only below this level; 0: no limit
};

struct TAttributesCriteria {
    uint32_t OnAttributes = 0;                                   // all must be set
    uint32_t OffAttributes = faHidden | faSystem | faDirectory;  // all must be clear
    uint32_t AnyOnAttributes = 0;                                // at least one set, when not 0
    uint32_t AnyOffAttributes = 0;                               // at least one clear, when not 0

    bool Matches(uint32_t attributes) const;
};

struct TSearchCriteria {
    TFileCriteria Files;
    TAttributesCriteria Attributes;
};

struct TFileDetails {
    std::string Location;  // the folder, ending in "/"
    std::string Name;
    uint32_t Attributes = 0;
    int64_t Size = 0;
    std::time_t CreatedTime = 0;  // status-change time: Linux keeps no creation time here
    std::time_t ModifiedTime = 0;
    std::time_t AccessedTime = 0;
};

enum class TFolderIgnore { fiNone, fiJustThis, fiJustSubfolders, fiThisAndSubfolders };

class TFindFile {
public:
    using TFileMatchEvent = std::function<void(TFindFile& sender, const TFileDetails& file)>;
    using TFolderChangeEvent = std::function<void(TFindFile& sender, const std::string& folder, TFolderIgnore& ignore)>;
    using TNotifyEvent = std::function<void(TFindFile& sender)>;

    TSearchCriteria& Criteria() { return m_Criteria; }
    const TSearchCriteria& Criteria() const { return m_Criteria; }

    // Runs a search to its end; ignored while one is running (a match handler that
    // lets window messages run must not start a second one).
    void Execute();
    // Makes a running search stop at its next check.
    void Abort() { m_Aborted = true; }

    bool Busy() const { return m_Busy; }
    bool Aborted() const { return m_Aborted; }
    int CurrentLevel() const { return m_CurrentLevel; }

    TFileMatchEvent OnFileMatch;
    TFolderChangeEvent OnFolderChange;
    TNotifyEvent OnSearchBegin;
    TNotifyEvent OnSearchFinish;

private:
    struct TEntry;
    struct TTarget {
        std::string Folder;  // absolute, ending in "/"
        std::vector<std::string> Masks;
        bool Recursive = true;
        uint16_t MinLevel = 0;
        uint16_t MaxLevel = 0;
    };

    std::vector<TTarget> BuildTargets() const;
    void SearchFolder(const TTarget& target, const std::string& folder);
    void ReportMatches(const TTarget& target, const std::string& folder, const std::vector<TEntry>& entries);
    bool EnterOnce(const std::string& folder);

    TSearchCriteria m_Criteria;
    bool m_Aborted = false;
    bool m_Busy = false;
    int m_CurrentLevel = 0;
    TSearchCriteria ActiveCriteria;
    std::set<std::pair<uint64_t, uint64_t>> VisitedFolders;  // (device, inode) entered this search
};

// Splits "a;b; c;;a" into trimmed, non-empty parts without repeats (case-insensitive).
std::vector<std::string> SplitMasks(const std::string& text);

// Turns a folder text into an absolute, lexically normal path ending in "/".
std::string NormalizeFolder(const std::string& folder);

}  // namespace reelsmith
