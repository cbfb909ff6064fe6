#include "app/file_list_io.h"

#include <QSaveFile>
#include <QStringDecoder>
#include <cstring>

#include "base/bounded_file_read.h"
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
            paths.append(text.mid(start, i - start));
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
    *paths = DecodeFileList(QByteArray::fromStdString(bytes));
    return true;
}

bool WriteFileList(const QString& path, const QStringList& paths, QString* error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = QStringLiteral("Cannot create file \"%1\". %2").arg(path, file.errorString());
        return false;
    }
    for (const QString& line : paths)
        file.write(FileNameBytes(line) + "\r\n");
    if (!file.commit()) {
        *error = QStringLiteral("Cannot write file \"%1\". %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

}  // namespace reelsmith
