#include "intake/adding_routine.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "intake/accepted_extensions.h"
#include "base/qt/file_name.h"
#include "intake/row_cells.h"

namespace reelsmith {

namespace {

std::string LocalName(const QString& path) { return FileNameString(path); }

const QString kNotAFile = QStringLiteral("not found, or not a regular file");

}  // namespace

TAddingRoutine::TAddingRoutine(IMediaProbe& probe, IFileListTarget& list, TAddingHooks hooks)
    : fProbe(probe), fList(list), fHooks(std::move(hooks))
{
    fFindFile.Criteria().Files.Subfolders = true;
    fFindFile.Criteria().Files.FileName = std::string(kAcceptedMediaMasks);
    fFindFile.OnFileMatch = [this](TFindFile&, const TFileDetails& file) {
        fCandidates.append(FileNameText(file.Location + file.Name));
        ProcessMessages();
    };
}

int TAddingRoutine::Run(const QStringList& pending)
{
    CollectCandidates(pending);
    const int added = AddCandidates();
    fList.Resort();
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
            fCandidates.append(path);
    }
}

void TAddingRoutine::SearchFolder(const QString& folder)
{
    ShowStatus(QStringLiteral("Searching in folders...") + QStringLiteral("\n\n") + DisplayedFileName(folder));
    ProcessMessages();
    fFindFile.Criteria().Files.Location = {LocalName(folder)};
    fFindFile.Execute();
}

int TAddingRoutine::AddCandidates()
{
    const QStringList listed = fList.SourcePaths();
    fListedPaths = QSet<QString>(listed.begin(), listed.end());
    int added = 0;
    const auto count = fCandidates.size();
    for (qsizetype i = 0; i < count; ++i) {
        if (fHooks.Cancelled && fHooks.Cancelled())
            break;
        const QString& path = fCandidates[i];
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
    if (fListedPaths.contains(path) || !HasAcceptedMediaExtension(local))
        return false;
    if (!IsRegularFile(path, &size)) {
        Reject(path, kNotAFile);
        return false;
    }
    const std::optional<TProbedMedia> media = fProbe.Probe(local);
    if (!media) {
        // A file the probe could not open for want of rights is no damaged file.
        if (access(local.c_str(), R_OK) != 0)
            Reject(path, QStringLiteral("cannot be read: ") + QString::fromLocal8Bit(std::strerror(errno)));
        else
            Reject(path, QStringLiteral("cannot be read as audio or video"));
        return false;
    }
    fList.AppendRow(MakeFileListRow(path, size, *media));
    fListedPaths.insert(path);
    return true;
}

void TAddingRoutine::Reject(const QString& path, const QString& reason) { fRejected.push_back({path, reason}); }

void TAddingRoutine::ShowStatus(const QString& text)
{
    if (fHooks.ShowStatus)
        fHooks.ShowStatus(text);
}

void TAddingRoutine::ProcessMessages()
{
    if (fHooks.ProcessMessages)
        fHooks.ProcessMessages();
}

}  // namespace reelsmith
