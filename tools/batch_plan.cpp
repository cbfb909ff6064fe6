#include "batch_plan.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
#include <set>

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

using TFileId = std::pair<dev_t, ino_t>;

std::optional<TFileId> IdOf(const QString& path)
{
    struct stat status {};
    if (::stat(FileNameString(path).c_str(), &status) != 0)
        return std::nullopt;
    return TFileId{status.st_dev, status.st_ino};
}

// The sources an output name in folder could be: those whose file has a name there (itself, a
// hard link or a link). Comparing each output with these only keeps naming a list of thousands
// linear, where comparing with every source would stat each pair.
QStringList SourcesInFolder(const QStringList& sources, const QString& folder)
{
    std::set<TFileId> present;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(FileNameString(folder), error))
        if (const std::optional<TFileId> id = IdOf(FileNameText(entry.path().string())))
            present.insert(*id);
    QStringList atRisk;
    for (const QString& source : sources)
        if (const std::optional<TFileId> id = IdOf(source); id && present.count(*id))
            atRisk.append(source);
    return atRisk;
}

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
    QSet<QString> claimed;
    std::set<TFileId> seen;
    const QString outputFolder = WithTrailingSlash(CleanAbsolute(folder));
    const QStringList atRisk = SourcesInFolder(sources, outputFolder);
    for (const QString& source : sources) {
        TBatchItem item;
        item.Source = source;
        const std::optional<TFileId> id = IdOf(source);
        if (!PathExists(source)) {
            item.Outcome = TBatchOutcome::Failed;
            item.Reason = QStringLiteral("the file does not exist");
        } else if (!IsRegularFile(source)) {
            item.Outcome = TBatchOutcome::Failed;
            item.Reason =
                IsFolder(source) ? QStringLiteral("it is a folder") : QStringLiteral("it is not a regular file");
        } else if (id && !seen.insert(*id).second) {
            item.Outcome = TBatchOutcome::Skipped;
            item.Reason = QStringLiteral("the same file is listed before");
        } else {
            const QFileInfo info(source);
            const QString suffix = extension.isEmpty() ? info.suffix() : extension;
            item.Output = OutputPathFor(source, info.fileName(), outputFolder,
                                        suffix.isEmpty() ? QString() : QLatin1Char('.') + suffix, atRisk, claimed);
            claimed.insert(CleanAbsolute(item.Output));
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
