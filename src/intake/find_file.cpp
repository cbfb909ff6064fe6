#include "intake/find_file.h"
#include "base/text.h"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <memory>

namespace reelsmith {

struct TFindFile::TEntry {
    std::string Name;
    uint32_t Attributes = 0;
    struct stat Status {};
};

namespace {

// Enumeration order: names compared without regard to letter case, then byte-wise,
// so every run over the same tree reports in the same order.
bool NameOrder(const std::string& a, const std::string& b)
{
    const std::string upperA = AsciiUppered(a);
    const std::string upperB = AsciiUppered(b);
    return upperA != upperB ? upperA < upperB : a < b;
}

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

uint32_t AttributesOf(const std::string& name, const struct stat& status, bool isLink)
{
    uint32_t attributes = 0;
    if (!name.empty() && name[0] == '.')
        attributes |= faHidden;
    if (S_ISDIR(status.st_mode))
        attributes |= faDirectory;
    if (isLink)
        attributes |= faReparsePoint;
    if ((status.st_mode & S_IWUSR) == 0)
        attributes |= faReadonly;
    if (attributes == 0)
        attributes = faNormal;
    return attributes;
}

// Lists a folder: regular files and folders only (links followed). Pipes, sockets and
// devices are never reported: opening one to probe it could block for ever.
template <typename Entry>
std::vector<Entry> ListFolder(const std::string& folder)
{
    std::vector<Entry> entries;
    DirHandle dir(opendir(folder.c_str()));
    if (!dir)
        return entries;
    const int fd = dirfd(dir.get());
    while (const dirent* item = readdir(dir.get())) {
        const std::string name = item->d_name;
        if (name == "." || name == "..")
            continue;
        Entry entry;
        entry.Name = name;
        struct stat linkStatus {};
        if (fstatat(fd, name.c_str(), &linkStatus, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        const bool isLink = S_ISLNK(linkStatus.st_mode);
        entry.Status = linkStatus;
        if (isLink && fstatat(fd, name.c_str(), &entry.Status, 0) != 0)
            continue;  // a dangling link
        if (!S_ISREG(entry.Status.st_mode) && !S_ISDIR(entry.Status.st_mode))
            continue;
        entry.Attributes = AttributesOf(name, entry.Status, isLink);
        entries.push_back(std::move(entry));
    }
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return NameOrder(a.Name, b.Name); });
    return entries;
}

bool MatchesMask(const std::string& mask, const std::string& name)
{
    if (mask == "*" || mask == "*.*")
        return true;
    return fnmatch(mask.c_str(), name.c_str(), FNM_CASEFOLD) == 0;
}

}  // namespace

bool TAttributesCriteria::Matches(uint32_t attributes) const
{
    if ((attributes & OnAttributes) != OnAttributes)
        return false;
    if ((attributes & OffAttributes) != 0)
        return false;
    if (AnyOnAttributes != 0 && (attributes & AnyOnAttributes) == 0)
        return false;
    if (AnyOffAttributes != 0 && (attributes & AnyOffAttributes) == AnyOffAttributes)
        return false;
    return true;
}

std::vector<std::string> SplitMasks(const std::string& text)
{
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t end = std::min(text.find(';', start), text.size());
        const std::string part = Trimmed(std::string_view(text).substr(start, end - start), kBlanks);
        const bool seen = std::any_of(parts.begin(), parts.end(),
                                      [&](const std::string& p) { return EqualsIgnoringAsciiCase(p, part); });
        if (!part.empty() && !seen)
            parts.push_back(part);
        start = end + 1;
    }
    return parts;
}

std::string NormalizeFolder(const std::string& folder)
{
    std::filesystem::path path(folder);
    std::error_code error;
    if (path.is_relative())
        path = std::filesystem::current_path(error) / path;
    std::string text = path.lexically_normal().string();
    if (text.empty() || text.back() != '/')
        text += '/';
    return text;
}

std::vector<TFindFile::TTarget> TFindFile::BuildTargets() const
{
    std::vector<std::string> masks = SplitMasks(ActiveCriteria.Files.FileName);
    if (masks.empty())
        masks.push_back("*");
    std::vector<TTarget> targets;
    for (const std::string& location : ActiveCriteria.Files.Location) {
        if (location.empty())
            continue;
        TTarget target{NormalizeFolder(location), masks, ActiveCriteria.Files.Subfolders, ActiveCriteria.Files.MinLevel,
                       ActiveCriteria.Files.MaxLevel};
        // Two targets with the same folder merge: the later settings win, masks add up.
        auto same =
            std::find_if(targets.begin(), targets.end(), [&](const TTarget& t) { return t.Folder == target.Folder; });
        if (same == targets.end()) {
            targets.push_back(std::move(target));
            continue;
        }
        for (const std::string& mask : same->Masks)
            if (std::find(target.Masks.begin(), target.Masks.end(), mask) == target.Masks.end())
                target.Masks.push_back(mask);
        *same = std::move(target);
    }
    return targets;
}

void TFindFile::Execute()
{
    if (m_Busy)
        return;
    m_Busy = true;
    m_Aborted = false;
    ActiveCriteria = m_Criteria;
    VisitedFolders.clear();
    if (OnSearchBegin)
        OnSearchBegin(*this);
    for (const TTarget& target : BuildTargets()) {
        if (m_Aborted)
            break;
        m_CurrentLevel = 0;
        SearchFolder(target, target.Folder);
    }
    VisitedFolders.clear();
    m_Busy = false;
    if (OnSearchFinish)
        OnSearchFinish(*this);
}

bool TFindFile::EnterOnce(const std::string& folder)
{
    struct stat status {};
    if (stat(folder.c_str(), &status) != 0 || !S_ISDIR(status.st_mode))
        return false;
    return VisitedFolders.emplace(static_cast<uint64_t>(status.st_dev), static_cast<uint64_t>(status.st_ino)).second;
}

void TFindFile::SearchFolder(const TTarget& target, const std::string& folder)
{
    if (m_Aborted || !EnterOnce(folder))
        return;
    ++m_CurrentLevel;
    TFolderIgnore ignore = TFolderIgnore::fiNone;
    if (OnFolderChange)
        OnFolderChange(*this, folder, ignore);
    const std::vector<TEntry> entries = ListFolder<TEntry>(folder);
    const bool skipFiles = ignore == TFolderIgnore::fiJustThis || ignore == TFolderIgnore::fiThisAndSubfolders;
    const bool skipFolders = ignore == TFolderIgnore::fiJustSubfolders || ignore == TFolderIgnore::fiThisAndSubfolders;
    if (!skipFiles && m_CurrentLevel >= target.MinLevel)
        ReportMatches(target, folder, entries);
    const bool deeper = target.Recursive && (target.MaxLevel == 0 || m_CurrentLevel < target.MaxLevel);
    if (!skipFolders && deeper) {
        // Hidden folders are not entered while the criteria keep hidden entries out.
        const uint32_t subfolderOffAttrs = ActiveCriteria.Attributes.OffAttributes & (faHidden | faSystem);
        for (const TEntry& entry : entries) {
            if (m_Aborted)
                break;
            if ((entry.Attributes & faDirectory) != 0 && (entry.Attributes & subfolderOffAttrs) == 0)
                SearchFolder(target, folder + entry.Name + "/");
        }
    }
    --m_CurrentLevel;
}

void TFindFile::ReportMatches(const TTarget& target, const std::string& folder, const std::vector<TEntry>& entries)
{
    for (const std::string& mask : target.Masks) {
        for (const TEntry& entry : entries) {
            if (m_Aborted)
                return;
            if (!ActiveCriteria.Attributes.Matches(entry.Attributes) || !MatchesMask(mask, entry.Name))
                continue;
            if (!OnFileMatch)
                continue;
            TFileDetails details;
            details.Location = folder;
            details.Name = entry.Name;
            details.Attributes = entry.Attributes;
            details.Size = static_cast<int64_t>(entry.Status.st_size);
            details.CreatedTime = entry.Status.st_ctime;
            details.ModifiedTime = entry.Status.st_mtime;
            details.AccessedTime = entry.Status.st_atime;
            OnFileMatch(*this, details);
        }
    }
}

}  // namespace reelsmith
