#pragma once
// The destination of a run: the " Output " choice, the command line's folder, and the
// write-access test of a chosen folder.
#include <QString>
#include <functional>

namespace reelsmith {

enum class TDestinationChoice { Specify = 0, Original = 1, Path = 2 };

inline const char* const kAccessDeniedText = "Access is denied. Unable to save to the selected directory.";
inline const char* const kNoOutputPathText = "Output path is not specified.";

struct TDestinationRequest {
    TDestinationChoice Choice = TDestinationChoice::Specify;
    QString CommandLineFolder;  // position 2 of the command line; wins when not empty
    QString PathText;           // the folder box of "Use following path:"
    // Shows the folder browser; false when it is cancelled.
    std::function<bool(QString* folder)> Browse;
    // A chosen folder that does not exist: true to create it. Empty when nobody can answer;
    // the run then creates it.
    std::function<bool(const QString& folder)> AskCreate;
};

struct TDestination {
    bool Ok = false;
    QString OutputPath;  // ends in "/", or empty for "beside each source"
    QString Error;       // a message for an "Error" box, or empty for a silent stop
    bool ShowOutputTab = false;
};

// Makes a temporary file with the prefix "$" in the folder and deletes it again: the
// folder is writable exactly when both succeed. Nothing is left behind.
bool TestWriteAccess(const QString& folder);

TDestination ChooseDestination(const TDestinationRequest& request);

// Why the folder typed for "Use following path" cannot be used, or empty: it must be one
// line and a full path, not an address (pasted file URLs once made folders named "file:").
QString FixedPathError(const QString& text);

// Where the folder browser opens: the last destination while it exists, else the folder of
// the first source, else empty (the browser's own choice).
QString BrowseStartFolder(const QString& lastDestination, const QString& firstSource);

}  // namespace reelsmith
