#pragma once
// What the adding routine needs of the main window's file list.
#include <QStringList>

#include "intake/file_list_row.h"

namespace reelsmith {

class IFileListTarget {
public:
    virtual ~IFileListTarget() = default;
    virtual QStringList SourcePaths() const = 0;
    virtual void AppendRow(TFileListRow row) = 0;
    // Sorts the whole list again by its current sort column and direction.
    virtual void Resort() = 0;
};

}  // namespace reelsmith
