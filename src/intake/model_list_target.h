#pragma once
// The main window's file list model as the adding routine's target.
#include "intake/file_list_model.h"
#include "intake/file_list_target.h"

namespace reelsmith {

class TModelListTarget : public IFileListTarget {
public:
    explicit TModelListTarget(TFileListModel& model) : fModel(model) {}

    QStringList SourcePaths() const override;
    void AppendRow(TFileListRow row) override { fModel.Append(std::move(row)); }
    void Resort() override { fModel.Resort(); }

private:
    TFileListModel& fModel;
};

}  // namespace reelsmith
