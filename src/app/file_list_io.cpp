#include "app/file_list_io.h"

#include <QStringDecoder>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "app/file_urls.h"
#include "base/bounded_file_read.h"
#include "base/file_replace.h"
#include "base/qt/file_name.h"

namespace reelsmith {

namespace {

// A list holds paths, so anything this large is not a list; reading it whole would only
// waste memory.
constexpr size_t kMaxListBytes = 64 * 1024 * 1024;

QString DecodeText(const QByteArray& bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return FileNameText(bytes.mid(3));
    if (bytes.startsWith("\xFF\xFE")) {
        QStringDecoder decoder(QStringDecoder::Utf16LE, QStringDecoder::Flag::Stateless);
        return decoder(bytes.mid(2));
    }
    if (bytes.startsWith("\xFE\xFF")) {
        QStringDecoder decoder(QStringDecoder::Utf16BE, QStringDecoder::Flag::Stateless);
        return decoder(bytes.mid(2));
    }
    return FileNameText(bytes);  // names that are not UTF-8 stay the bytes they are
}

QString SystemMessage(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

constexpr char kUrlStart[] = "file://";

// A line that a plain name would break, or that would read back as a URL.
bool NeedsUrl(const QString& path)
{
    return path.contains(QLatin1Char('\n')) || path.contains(QLatin1Char('\r')) ||
           path.startsWith(QLatin1String(kUrlStart));
}

QString LineToPath(const QString& line)
{
    if (!line.startsWith(QLatin1String(kUrlStart)))
        return line;
    const QString path = LocalPathFromFileUrl(FileNameBytes(line));
    return path.isEmpty() ? line : path;  // not a local file URL: a name as it stands
}

// The folder of the list, absolute, with a trailing "/"; the working folder's name may be no UTF-8.
QString ListFolder(const QString& listPath)
{
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(FileNameString(listPath), error);
    return WithTrailingSlash(FileNameText(absolute.parent_path().native()));
}

// "." parts and doubled "/" never change which file a path names; ".." does (through a
// link), so it stays.
QString WithoutDotParts(const QString& path)
{
    const QStringList parts = path.split(QLatin1Char('/'));
    QStringList kept;
    for (const QString& part : parts)
        if (!part.isEmpty() && part != QLatin1String("."))
            kept.append(part);
    QString clean = kept.join(QLatin1Char('/'));
    if (path.startsWith(QLatin1Char('/')))
        clean.prepend(QLatin1Char('/'));
    return clean;
}

}  // namespace

QStringList DecodeFileList(const QByteArray& bytes)
{
    // Split by hand: a regular expression refuses text that holds kept bytes (not valid UTF-16).
    const QString text = DecodeText(bytes);
    QStringList paths;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != QLatin1Char('\r') && text[i] != QLatin1Char('\n'))
            continue;
        if (i > start)
            paths.append(LineToPath(text.mid(start, i - start)));
        start = i + 1;
    }
    return paths;
}

bool ReadFileList(const QString& path, QStringList* paths, QString* error)
{
    const QString shown = DisplayedFileName(path);
    std::string bytes;
    int code = 0;
    switch (ReadBoundedFile(FileNameString(path), kMaxListBytes, &bytes, &code)) {
    case TBoundedRead::Read: break;
    case TBoundedRead::CannotOpen:
        *error = QStringLiteral("Cannot open file \"%1\". %2").arg(shown, SystemMessage(code));
        return false;
    case TBoundedRead::NotRegular:
        *error = QStringLiteral("Cannot open file \"%1\". It is not a regular file.").arg(shown);
        return false;
    case TBoundedRead::TooLarge:
        *error = QStringLiteral("Cannot open file \"%1\". The file is too large.").arg(shown);
        return false;
    case TBoundedRead::CannotRead:
        *error = QStringLiteral("Cannot read file \"%1\". %2").arg(shown, SystemMessage(code));
        return false;
    }
    const QString folder = ListFolder(path);
    paths->clear();
    for (const QString& line : DecodeFileList(QByteArray::fromStdString(bytes)))
        paths->append(WithoutDotParts(line.startsWith(QLatin1Char('/')) ? line : folder + line));
    return true;
}

QByteArray EncodeFileList(const QStringList& paths)
{
    QByteArray bytes;
    for (const QString& path : paths) {
        const QByteArray name = FileNameBytes(path);
        if (NeedsUrl(path))
            bytes += "file://" + name.toPercentEncoding("/");
        else
            bytes += name;
        bytes += "\r\n";
    }
    return bytes;
}

bool WriteFileList(const QString& path, const QStringList& paths, QString* error)
{
    const QByteArray bytes = EncodeFileList(paths);
    const bool existed = PathExists(path);
    std::string reason;
    if (ReplaceFileContents(FileNameString(path), std::string_view(bytes.constData(), bytes.size()), &reason))
        return true;
    QString because = QString::fromLocal8Bit(reason.c_str());
    if (!because.endsWith(QLatin1Char('.')))
        because += QLatin1Char('.');
    *error = QStringLiteral("Cannot write file \"%1\". %2").arg(DisplayedFileName(path), because);
    if (existed)
        *error += QStringLiteral(" The list saved there before is kept.");
    return false;
}

}  // namespace reelsmith
