#include "app/ui/file_icon_proxy.h"

#include <QFileInfo>
#include <QMimeDatabase>

#include "base/ui/toolbar_icons.h"

namespace reelsmith {

QVariant TFileIconProxy::data(const QModelIndex& index, int role) const
{
    if (role == Qt::DecorationRole && index.column() == 0)
        return IconForName(QIdentityProxyModel::data(index, Qt::DisplayRole).toString());
    return QIdentityProxyModel::data(index, role);
}

QIcon TFileIconProxy::IconForName(const QString& fileName) const
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    const auto cached = m_BySuffix.constFind(suffix);
    if (cached != m_BySuffix.constEnd())
        return *cached;
    reelsmith::EnsureIconTheme();
    const QMimeType type = QMimeDatabase().mimeTypeForFile(fileName, QMimeDatabase::MatchExtension);
    QIcon icon = QIcon::fromTheme(type.iconName());
    if (icon.isNull())
        icon = QIcon::fromTheme(type.genericIconName(), QIcon::fromTheme(QStringLiteral("video-x-generic")));
    m_BySuffix.insert(suffix, icon);
    return icon;
}

}  // namespace reelsmith
