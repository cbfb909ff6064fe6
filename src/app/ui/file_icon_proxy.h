#pragma once
// Adds the small icon of each file's type (found by its extension only) to the file list.
#include <QHash>
#include <QIcon>
#include <QIdentityProxyModel>

namespace reelsmith {

class TFileIconProxy : public QIdentityProxyModel {
    Q_OBJECT
public:
    using QIdentityProxyModel::QIdentityProxyModel;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    QIcon IconForName(const QString& fileName) const;
    mutable QHash<QString, QIcon> m_BySuffix;
};

}  // namespace reelsmith
