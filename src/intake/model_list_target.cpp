#include "intake/model_list_target.h"

namespace reelsmith {

QStringList TModelListTarget::SourcePaths() const
{
    QStringList paths;
    paths.reserve(m_Model.Count());
    for (int i = 0; i < m_Model.Count(); ++i)
        paths << m_Model.Row(i).cell(FileCell::SourcePath);
    return paths;
}

}  // namespace reelsmith
