#include "app/file_list_io.h"

#include <QFile>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStringDecoder>

namespace reelsmith {

namespace {

// A list holds paths, so anything this large is not a list; reading it whole would only
// waste memory.
constexpr qint64 kMaxListBytes = 64 * 1024 * 1024;

QString DecodeText(const QByteArray& bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes.mid(3));
    if (bytes.startsWith("\xFF\xFE")) {
        QStringDecoder decoder(QStringDecoder::Utf16LE, QStringDecoder::Flag::Stateless);
        return decoder(bytes.mid(2));
    }
    if (bytes.startsWith("\xFE\xFF")) {
        QStringDecoder decoder(QStringDecoder::Utf16BE, QStringDecoder::Flag::Stateless);
        return decoder(bytes.mid(2));
    }
    return QString::fromUtf8(bytes);
}

}  // namespace

QStringList DecodeFileList(const QByteArray& bytes)
{
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\r|\n"));
    QStringList paths = DecodeText(bytes).split(lineBreak);
    paths.removeAll(QString());
    return paths;
}

bool ReadFileList(const QString& path, QStringList* paths, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("Cannot open file \"%1\". %2").arg(path, file.errorString());
        return false;
    }
    if (file.size() > kMaxListBytes) {
        *error = QStringLiteral("Cannot open file \"%1\". The file is too large.").arg(path);
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        *error = QStringLiteral("Cannot read file \"%1\". %2").arg(path, file.errorString());
        return false;
    }
    *paths = DecodeFileList(bytes);
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
        file.write(line.toUtf8() + "\r\n");
    if (!file.commit()) {
        *error = QStringLiteral("Cannot write file \"%1\". %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

}  // namespace reelsmith
