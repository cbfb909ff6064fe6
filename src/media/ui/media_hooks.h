#pragma once
// The main window's Preview (F3, toolbar) and Properties (F4) commands: the Preview and
// Properties windows, over what they need of the window.
#include <QString>

#include "intake/file_list_row.h"

class QWidget;

namespace reelsmith {

// What the media windows need of the main window.
class IMediaHost {
public:
    virtual ~IMediaHost() = default;
    virtual QWidget* Window() = 0;  // owner of the windows
};

void ShowPreview(IMediaHost& host, const QString& sourcePath);
void ShowProperties(IMediaHost& host, const TFileListRow& row);

}  // namespace reelsmith
