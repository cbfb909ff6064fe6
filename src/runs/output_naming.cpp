#include "runs/output_naming.h"

#include <QDir>
#include <QFileInfo>
#include <array>
#include <filesystem>

#include "base/qt/file_name.h"

namespace reelsmith {

namespace {

QString WithoutExtension(const QString& caption)
{
    const int dot = caption.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? caption.left(dot) : caption;
}

QString FolderOf(const QString& sourcePath) { return QFileInfo(sourcePath).absolutePath() + QLatin1Char('/'); }

}  // namespace

QString VideoExtension(const QString& formatText) { return QLatin1Char('.') + formatText.toLower(); }

QString AudioExtension(int formatIndex)
{
    static const std::array<const char*, 5> kExtensions = {".mp3", ".wav", ".ogg", ".flac", ".wma"};
    if (formatIndex < 0 || formatIndex >= static_cast<int>(kExtensions.size()))
        return {};
    return QString::fromLatin1(kExtensions[static_cast<size_t>(formatIndex)]);
}

QString PlainOutputPath(const QString& sourcePath, const QString& caption, const QString& outputFolder,
                        const QString& extension)
{
    const QString folder = outputFolder.isEmpty() ? FolderOf(sourcePath) : outputFolder;
    return folder + WithoutExtension(caption) + extension;
}

bool SameFile(const QString& a, const QString& b)
{
    if (QDir::cleanPath(QFileInfo(a).absoluteFilePath()) == QDir::cleanPath(QFileInfo(b).absoluteFilePath()))
        return true;
    std::error_code error;
    return std::filesystem::equivalent(FileNameString(a), FileNameString(b), error) && !error;
}

QString OutputPathFor(const QString& sourcePath, const QString& caption, const QString& outputFolder,
                      const QString& extension, const QStringList& runSources)
{
    return OutputPathFor(sourcePath, caption, outputFolder, extension, runSources, {});
}

QString OutputPathFor(const QString& sourcePath, const QString& caption, const QString& outputFolder,
                      const QString& extension, const QStringList& runSources, const QSet<QString>& claimed)
{
    const auto namesASource = [&](const QString& path) {
        if (claimed.contains(QDir::cleanPath(QFileInfo(path).absoluteFilePath())))
            return true;
        // A name that exists nowhere cannot be a source that is still there to lose.
        if (!PathExists(path))
            return false;
        if (SameFile(path, sourcePath))
            return true;
        for (const QString& source : runSources)
            if (SameFile(path, source))
                return true;
        return false;
    };
    const QString plain = PlainOutputPath(sourcePath, caption, outputFolder, extension);
    if (!namesASource(plain))
        return plain;
    const QString folder = QFileInfo(plain).path() + QLatin1Char('/');
    const QString stem = WithoutExtension(caption);
    for (int number = 1;; ++number) {
        const QString candidate = folder + stem + QStringLiteral(" (%1)").arg(number) + extension;
        if (!namesASource(candidate))
            return candidate;
    }
}

}  // namespace reelsmith
