#include "intake/typed_path.h"

#include <QDir>
#include <QFileInfo>

#include "base/qt/file_name.h"
#include "intake/accepted_extensions.h"

namespace reelsmith {

TTypedPath ResolveTypedPath(const QString& typed, const QString& shownFolder)
{
    TTypedPath result;
    QString path = typed.trimmed();
    if (path.isEmpty()) {
        result.Problem = QStringLiteral("Type a folder or file path.");
        return result;
    }
    if (path == QLatin1String("~") || path.startsWith(QLatin1String("~/")))
        path = QDir::homePath() + path.mid(1);
    const QFileInfo info(QDir(shownFolder), path);
    const QString full = QDir::cleanPath(info.absoluteFilePath());
    if (info.isDir()) {
        result.Folder = full;
    } else if (!info.isFile()) {
        result.Problem = QStringLiteral("No such folder or file: ") + DisplayedFileName(full);
    } else if (!HasAcceptedMediaExtension(FileNameString(full))) {
        result.Problem =
            DisplayedFileName(info.fileName()) + QStringLiteral(" is not a media file type that can be added.");
    } else {
        result.Folder = QFileInfo(full).absolutePath();
        result.FileName = info.fileName();
    }
    return result;
}

}  // namespace reelsmith
