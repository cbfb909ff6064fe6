#pragma once
// A path the user types into the Add Files dialog, read as a folder to open or a media file
// to select in its folder. GUI-free, so every case is testable headless.
#include <QString>

namespace reelsmith {

struct TTypedPath {
    QString Folder;    // the folder to open; empty when there is a problem
    QString FileName;  // the file to select in it, or empty
    QString Problem;   // in plain words, for the dialog; empty when the path can be used
};

// Blanks around the text are dropped; "~" stands for the home folder; a relative path is read
// from the folder shown.
TTypedPath ResolveTypedPath(const QString& typed, const QString& shownFolder);

}  // namespace reelsmith
