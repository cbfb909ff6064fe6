#include "intake/model_list_target.h"

namespace reelsmith {

QStringList TModelListTarget::SourcePaths() const
{
    QStringList paths;
    paths.reserve(fModel.Count());
    for (int i = 0; i < fModel.Count(); ++i)
        paths << fModel.Row(i).cell(FileCell::SourcePath);
    return paths;
}

}  // namespace reelsmith
