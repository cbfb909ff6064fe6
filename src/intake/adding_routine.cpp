#include "intake/adding_routine.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>

#include <cerrno>
#include <cstring>
#include <optional>

#include "intake/accepted_extensions.h"
#include "base/qt/file_name.h"
#include "intake/row_cells.h"

namespace reelsmith {

namespace {

std::string LocalName(const QString& path) { return FileNameString(path); }

// A path as the system resolves it: its folder with links, "." and ".." resolved, and its
// own name ("X/./a.mp4", "X//a.mp4" and "Y/a.mp4" with Y a link to X are one). The name
// itself stays: a link or a hard link under another name is a row of its own, with an
// output of its own name.
std::optional<std::string> ResolvedPath(const QString& path)
{
    const std::string local = LocalName(path);
    const size_t slash = local.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : local.substr(0, slash);
    char resolved[PATH_MAX];
    if (!::realpath(folder.c_str(), resolved))
        return std::nullopt;
    return std::string(resolved) + "/" + local.substr(slash == std::string::npos ? 0 : slash + 1);
}

const QString kNotAFile = QStringLiteral("not found, or not a regular file");

}  // namespace

TAddingRoutine::TAddingRoutine(IMediaProbe& probe, IFileListTarget& list, TAddingHooks hooks)
    : m_Probe(probe), m_List(list), m_Hooks(std::move(hooks))
{
    m_FindFile.Criteria().Files.Subfolders = true;
    m_FindFile.Criteria().Files.FileName = std::string(kAcceptedMediaMasks);
    m_FindFile.OnFileMatch = [this](TFindFile&, const TFileDetails& file) {
        m_Candidates.append(FileNameText(file.Location + file.Name));
        ProcessMessages();
    };
}

int TAddingRoutine::Run(const QStringList& pending)
{
    CollectCandidates(pending);
    const int added = AddCandidates();
    m_List.Resort();
    return added;
}

void TAddingRoutine::CollectCandidates(const QStringList& pending)
{
    for (const QString& path : pending) {
        if (IsFolder(path)) {
            SearchFolder(path);
            continue;
        }
        if (path.isEmpty())
            continue;
        // Only regular files are candidates: a pipe or device named like a video would block the probe.
        if (!IsRegularFile(path))
            Reject(path, kNotAFile);
        else if (!HasAcceptedMediaExtension(LocalName(path)))
            Reject(path, QStringLiteral("not a media file type that can be added"));
        else
            m_Candidates.append(path);
    }
}

void TAddingRoutine::SearchFolder(const QString& folder)
{
    ShowStatus(QStringLiteral("Searching in folders...") + QStringLiteral("\n\n") + DisplayedFileName(folder));
    ProcessMessages();
    m_FindFile.Criteria().Files.Location = {LocalName(folder)};
    m_FindFile.Execute();
}

int TAddingRoutine::AddCandidates()
{
    const QStringList listed = m_List.SourcePaths();
    m_ListedPaths = QSet<QString>(listed.begin(), listed.end());
    m_ListedFiles.clear();
    for (const QString& path : listed)
        if (const auto resolved = ResolvedPath(path))
            m_ListedFiles.insert(*resolved);
    int added = 0;
    const auto count = m_Candidates.size();
    for (qsizetype i = 0; i < count; ++i) {
        if (m_Hooks.Cancelled && m_Hooks.Cancelled())
            break;
        const QString& path = m_Candidates[i];
        ShowStatus(QStringLiteral("%1 of %2\n\n%3").arg(i + 1).arg(count).arg(DisplayedFileName(path)));
        ProcessMessages();
        if (AddCandidate(path))
            ++added;
    }
    return added;
}

bool TAddingRoutine::AddCandidate(const QString& path)
{
    const std::string local = LocalName(path);
    int64_t size = 0;
    if (m_ListedPaths.contains(path) || !HasAcceptedMediaExtension(local))
        return false;
    if (!IsRegularFile(path, &size)) {
        Reject(path, kNotAFile);
        return false;
    }
    // The same file spelled another way is already a row: it is there, not rejected.
    const auto resolved = ResolvedPath(path);
    if (resolved && m_ListedFiles.contains(*resolved))
        return false;
    const std::optional<TProbedMedia> media = m_Probe.Probe(local);
    if (!media) {
        // A file the probe could not open for want of rights is no damaged file.
        if (access(local.c_str(), R_OK) != 0)
            Reject(path, QStringLiteral("cannot be read: ") + QString::fromLocal8Bit(std::strerror(errno)));
        else
            Reject(path, QStringLiteral("cannot be read as audio or video"));
        return false;
    }
    m_List.AppendRow(MakeFileListRow(path, size, *media));
    m_ListedPaths.insert(path);
    if (resolved)
        m_ListedFiles.insert(*resolved);
    return true;
}

void TAddingRoutine::Reject(const QString& path, const QString& reason) { m_Rejected.push_back({path, reason}); }

void TAddingRoutine::ShowStatus(const QString& text)
{
    if (m_Hooks.ShowStatus)
        m_Hooks.ShowStatus(text);
}

void TAddingRoutine::ProcessMessages()
{
    if (m_Hooks.ProcessMessages)
        m_Hooks.ProcessMessages();
}

}  // namespace reelsmith
