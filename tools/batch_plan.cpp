#include "batch_plan.h"

#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "app/file_list_io.h"
#include "base/qt/file_name.h"
#include "runs/output_naming.h"

namespace reelsmith {

namespace {

// The size cap of the desktop's lists holds for standard input too.
constexpr qint64 kMaxListBytes = 64 * 1024 * 1024;

bool ReadStandardInput(QByteArray* bytes, QString* error)
{
    char buffer[65536];
    for (;;) {
        const ssize_t count = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (count == 0)
            return true;
        if (count < 0) {
            if (errno == EINTR)
                continue;
            *error = QString::fromLocal8Bit(std::strerror(errno));
            return false;
        }
        bytes->append(buffer, count);
        if (bytes->size() > kMaxListBytes) {
            *error = QStringLiteral("The list is larger than 64 MB.");
            return false;
        }
    }
}

QString CleanAbsolute(const QString& path) { return QDir::cleanPath(QFileInfo(path).absoluteFilePath()); }

}  // namespace

bool ReadBatchList(const QString& list, QStringList* paths, QString* error)
{
    if (list != QLatin1String("-"))
        return ReadFileList(list, paths, error);
    QByteArray bytes;
    if (!ReadStandardInput(&bytes, error))
        return false;
    paths->clear();
    const QString folder = WithTrailingSlash(QDir::currentPath());
    for (const QString& line : DecodeFileList(bytes))
        paths->append(line.startsWith(QLatin1Char('/')) ? line : folder + line);
    return true;
}

std::vector<TBatchItem> PlanBatch(const QStringList& sources, const QString& folder, const QString& extension)
{
    std::vector<TBatchItem> items;
    QStringList claimed;
    const QString outputFolder = WithTrailingSlash(CleanAbsolute(folder));
    for (const QString& source : sources) {
        TBatchItem item;
        item.Source = source;
        if (!PathExists(source)) {
            item.Outcome = TBatchOutcome::Failed;
            item.Reason = QStringLiteral("the file does not exist");
        } else if (!IsRegularFile(source)) {
            item.Outcome = TBatchOutcome::Failed;
            item.Reason =
                IsFolder(source) ? QStringLiteral("it is a folder") : QStringLiteral("it is not a regular file");
        } else {
            const QFileInfo info(source);
            const QString suffix = extension.isEmpty() ? info.suffix() : extension;
            item.Output = OutputPathFor(source, info.fileName(), outputFolder,
                                        suffix.isEmpty() ? QString() : QLatin1Char('.') + suffix, sources, claimed);
            claimed.append(CleanAbsolute(item.Output));
            if (NameTaken(item.Output)) {
                item.Outcome = TBatchOutcome::Skipped;
                item.Reason = QStringLiteral("the output exists: ") + DisplayedFileName(item.Output);
            }
        }
        items.push_back(item);
    }
    return items;
}

bool MakeOutputFolder(const QString& folder, QString* error)
{
    if (IsFolder(folder))
        return true;
    std::error_code failure;
    std::filesystem::create_directories(FileNameString(folder), failure);
    if (!failure && IsFolder(folder))
        return true;
    *error = QStringLiteral("the output folder \"%1\" cannot be created: %2")
                 .arg(DisplayedFileName(folder),
                      failure ? QString::fromLocal8Bit(failure.message()) : QStringLiteral("it is not a folder"));
    return false;
}

}  // namespace reelsmith
