#pragma once
// The main window's Burn command (Ctrl+B): the Burn window over the list's rows, with the
// window's look, over what it needs of the main window.
#include <QColor>

#include "burn/ui/burn_window.h"
#include "intake/file_list_model.h"

namespace reelsmith {

// What the Burn window needs of the main window.
class IBurnHost {
public:
    virtual ~IBurnHost() = default;
    virtual QWidget* Window() = 0;  // owner of the Burn window
    virtual const TFileListModel& Files() const = 0;
    virtual bool DarkTheme() const = 0;
    // The toolbar's caption colour: the dark theme's neutral log colour.
    virtual QColor ButtonCaptionColour() const = 0;
    virtual QObject* TaskbarProgress() const = 0;  // prg_Win7, or null
};

// Options for the Burn window; tests may preset the image file and the message answers.
void ShowBurnWindow(IBurnHost& host, const TBurnWindowOptions& options = {});

}  // namespace reelsmith
