#pragma once
// The adding routine: turns the pending paths into file list rows. The first pass
// expands folders into media files and keeps files with an accepted extension; the
// second probes each new candidate once and appends its row; a file that is already a row,
// under any spelling of its folder ("X/./a.mp4", a link to X), is not added again. Cancel stops the second
// pass before the next candidate; rows already appended stay and the list is re-sorted.
// Every named file that does not become a row is kept with its reason, so the caller can
// tell the user.
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>
#include <set>
#include <string>

#include "intake/file_list_target.h"
#include "intake/find_file.h"
#include "intake/media_probe.h"
#include "intake/rejected_input.h"

namespace reelsmith {

struct TAddingHooks {
    std::function<void(const QString& text)> ShowStatus;  // the window's label
    std::function<void()> ProcessMessages;                // let window messages run
    std::function<bool()> Cancelled;                      // Cancel was pressed
};

class TAddingRoutine {
public:
    TAddingRoutine(IMediaProbe& probe, IFileListTarget& list, TAddingHooks hooks);

    // Both passes and the re-sort. Returns the number of rows appended.
    int Run(const QStringList& pending);

    void CollectCandidates(const QStringList& pending);
    int AddCandidates();
    const QStringList& Candidates() const { return m_Candidates; }
    // The named files and the files found in folders that gave no row, with the reason
    // (rows already in the list are not rejected: they are there).
    const TRejectedInputs& Rejected() const { return m_Rejected; }

private:
    void SearchFolder(const QString& folder);
    bool AddCandidate(const QString& path);
    void Reject(const QString& path, const QString& reason);
    void ShowStatus(const QString& text);
    void ProcessMessages();

    IMediaProbe& m_Probe;
    IFileListTarget& m_List;
    TAddingHooks m_Hooks;
    TFindFile m_FindFile;
    QStringList m_Candidates;
    QSet<QString> m_ListedPaths;
    std::set<std::string> m_ListedFiles;  // every row's path with its folder resolved
    TRejectedInputs m_Rejected;
};

}  // namespace reelsmith
