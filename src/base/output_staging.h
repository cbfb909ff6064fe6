#pragma once
// An output file that appears under its final name only when it is complete. Begin creates
// a hidden temporary file beside the final name (".clip.partial-1a2b3c.mp4": the extension
// stays, since the container is chosen from it) exclusively, so nothing is truncated and no
// link is followed; the engine writes that file; Commit renames it to the final name, and
// Discard (or the destructor, or a termination signal) removes it. While the file is written,
// its write-back is started chunk by chunk (TWriteBack), so that the sync before the rename
// has little left; after the rename the folder is synced too, so that the name lasts as well
// as the bytes. The temporary file is held with flock(LOCK_EX) on its own descriptor while it
// is staged; the lock ends with the process, so Begin removes the hidden temporary files of
// its folder whose lock it can take: those of a killed process (SIGKILL leaves them), never
// one another run is writing.

#include <memory>
#include <string>

namespace reelsmith {

class TWriteBack;

enum class TCommitMode {
    // The final name is replaced atomically when it exists (a link there is replaced, never
    // followed): readers see the old file or the new one, never a part.
    Replace,
    // An existing final name is never replaced: when one appeared meanwhile (another program
    // wrote it), the output takes the first free name "name (1).ext", "name (2).ext", ….
    KeepExisting,
};

class TStagedOutput {
public:
    TStagedOutput();
    ~TStagedOutput();
    TStagedOutput(const TStagedOutput&) = delete;
    TStagedOutput& operator=(const TStagedOutput&) = delete;

    // Creates the temporary file for finalPath (a local path). False with Error() set when
    // it cannot be created, or when finalPath exists and is not a regular file or a link to
    // one (a dangling link counts as none: it is replaced, never followed).
    bool Begin(const std::string& finalPath);
    // Makes the written file durable and gives it its final name, then syncs the folder. False
    // with Error() set (the temporary file, or an output under a new name whose name could
    // not be made durable, is then removed; one that replaced a file stays, as the only copy).
    // FinalPath() is the name actually used.
    bool Commit(TCommitMode mode);
    // Removes the temporary file; nothing when none is staged.
    void Discard();

    bool Staged() const { return m_Fd >= 0; }
    const std::string& TempPath() const { return m_TempPath; }
    const std::string& FinalPath() const { return m_FinalPath; }
    const std::string& Error() const { return m_Error; }

private:
    bool CreateTemp();
    bool StillOurs() const;
    bool PlaceKeepingExisting();
    bool SyncFolderOfFinal(bool replaced);
    void Close();

    std::string m_FinalPath;
    std::string m_TempPath;
    std::string m_Error;
    int m_Fd = -1;  // held so that Commit can flush and recognise the file
    int m_Slot = -1;
    std::unique_ptr<TWriteBack> m_WriteBack;
};

// The hidden temporary name of finalPath with the given random tag, cut to fit a file name.
std::string StagingNameFor(const std::string& finalPath, const std::string& tag);

// Removes every file still staged in this process. Async-signal-safe: for a handler that
// must end the program at once.
void RemoveStagedFilesNow();

}  // namespace reelsmith
