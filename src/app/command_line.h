#pragma once
// The program's parameters: mode, output folder, sources (files or one ".fls" list) and
// a last parameter "x" that ends the program after the automatic run.
#include <QString>
#include <QStringList>

#include "intake/rejected_input.h"

namespace reelsmith {

enum class TRunMode { None, Convert, ExtractAudio };

struct TCommandLine {
    TRunMode Mode = TRunMode::None;
    QString OutputFolder;     // as given; empty means no automatic work at all
    QString FileList;         // the ".fls" list named in position 3, if any
    QStringList Files;        // positions 3.., up to the first empty one (not yet checked)
    TRejectedInputs Ignored;  // sources after an empty position or beyond position 999
    bool ExitAtEnd = false;

    bool Automatic() const { return !OutputFolder.isEmpty(); }
};

// params holds the parameters without the program itself.
TCommandLine ParseCommandLine(const QStringList& params);

// "Open with": when the first parameter names an existing file or folder (so it is not a
// mode), every parameter is a path to add to the list, made absolute; nothing is run.
// Empty for every other command line.
QStringList OpenWithPaths(const QStringList& params);

// The last parameter, lower-cased, is "x".
bool LastParameterIsExit(const QStringList& params);

// The existing files among the listed ones, in order, as absolute paths; missing ones and
// folders are passed over and added to passedOver with their reason.
QStringList ExistingFiles(const QStringList& paths, TRejectedInputs* passedOver = nullptr);

}  // namespace reelsmith
