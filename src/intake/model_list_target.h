#pragma once
// The main window's file list model as the adding routine's target.
#include "intake/file_list_model.h"
#include "intake/file_list_target.h"

namespace reelsmith {

class TModelListTarget : public IFileListTarget {
public:
    explicit TModelListTarget(TFileListModel& model) : m_Model(model) {}

    QStringList SourcePaths() const override;
    void AppendRow(TFileListRow row) override { m_Model.Append(std::move(row)); }
    void Resort() override { m_Model.Resort(); }

private:
    TFileListModel& m_Model;
};

}  // namespace reelsmith
