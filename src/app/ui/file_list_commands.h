#pragma once
// File > Open and File > Save: the ".fls" file lists, through the pending-paths list.
#include <QString>

namespace reelsmith {

class Tfrm_Main;

inline constexpr char kFileListFilter[] = "VC Filelist (*.fls)";

// Shows the open dialog, then OpenFileList.
void Open1Click(Tfrm_Main& main);
// Reads the list first: only a list that was read replaces the rows (through AddFiles). A
// list that cannot be read (a folder, a pipe, a device, too large) keeps the rows and shows
// the error. Does nothing when nothing has that name.
void OpenFileList(Tfrm_Main& main, const QString& path);

// Shows the save dialog (no overwrite question; "fls" is added to a name without one), then
// SaveFileList.
void Save1Click(Tfrm_Main& main);
// Writes every row's source path in list order; an empty list writes no file. A list that
// cannot be written whole says why and leaves the file that was there as it was.
void SaveFileList(Tfrm_Main& main, const QString& path);

}  // namespace reelsmith
