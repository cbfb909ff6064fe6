#pragma once
// The commands of the main window that open windows built elsewhere (Add Files, Adding,
// Preview, Properties, Burn, About, the runs, file lists, paste, help, theme, effects,
// custom size, folder browser, the start-up timers). Each is optional: an empty hook makes
// the command do nothing, while the command itself and its enabled state stay in place.
#include <QString>
#include <functional>
#include <memory>

#include "intake/file_list_row.h"

class QObject;

namespace reelsmith {

class Tfrm_Main;

struct TMainWindowHooks {
    using Command = std::function<void(Tfrm_Main&)>;

    Command AddFilesDialog;  // Add Files dialog; fills DroppedFiles and calls AddFiles()
    Command AddingWindow;    // modal Adding window; consumes DroppedFiles, appends rows
    std::function<void(Tfrm_Main&, const QString& sourcePath)> Preview;
    std::function<void(Tfrm_Main&, const reelsmith::TFileListRow& row)> Properties;
    Command Burn;
    Command About;
    Command Convert;        // File > Convert, F9, toolbar
    Command FfmpegCommand;  // File > FFMpeg command, toolbar
    Command ExtractAudio;   // File > Extract audio, Ctrl+E, toolbar
    Command OpenList;
    Command SaveList;
    Command Paste;
    Command Help;
    std::function<void(Tfrm_Main&, bool dark)> ApplyTheme;
    Command Effects;
    Command CustomFrameSize;  // the "..." button next to "Resolution:"
    Command BrowseOutput;     // the "..." button of the " Output " tab
    Command ParamTimer;       // first tick of the command-line timer
    Command UpdateTimer;      // first tick of the update-check timer
    // Creates the taskbar progress indicator at first show; freed before the settings are saved.
    std::function<std::unique_ptr<QObject>(Tfrm_Main&)> CreateTaskbarProgress;
};

}  // namespace reelsmith
