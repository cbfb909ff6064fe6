#include "app/file_list_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QSaveFile>
#include <QStringDecoder>
#include <cerrno>
#include <cstring>

#include "intake/file_name.h"

namespace reelsmith {

namespace {

// A list holds paths, so anything this large is not a list; reading it whole would only
// waste memory.
constexpr qint64 kMaxListBytes = 64 * 1024 * 1024;

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

// Closes the descriptor on every way out.
struct TDescriptor {
    int Fd = -1;
    ~TDescriptor()
    {
        if (Fd >= 0)
            ::close(Fd);
    }
};

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
    // Non-blocking, so that opening a pipe with no writer returns; only regular files are read.
    TDescriptor file{::open(FileNameBytes(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY)};
    struct stat status {};
    if (file.Fd < 0 || ::fstat(file.Fd, &status) != 0) {
        *error = QStringLiteral("Cannot open file \"%1\". %2").arg(shown, SystemMessage(errno));
        return false;
    }
    if (!S_ISREG(status.st_mode)) {
        *error = QStringLiteral("Cannot open file \"%1\". It is not a regular file.").arg(shown);
        return false;
    }
    if (status.st_size > kMaxListBytes) {
        *error = QStringLiteral("Cannot open file \"%1\". The file is too large.").arg(shown);
        return false;
    }
    // The size may change while it is read, so the cap holds for what is read, not what was seen.
    QByteArray bytes;
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t n = ::read(file.Fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            *error = QStringLiteral("Cannot read file \"%1\". %2").arg(shown, SystemMessage(errno));
            return false;
        }
        if (n == 0)
            break;
        if (bytes.size() + n > kMaxListBytes) {
            *error = QStringLiteral("Cannot open file \"%1\". The file is too large.").arg(shown);
            return false;
        }
        bytes.append(buffer, n);
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
        file.write(FileNameBytes(line) + "\r\n");
    if (!file.commit()) {
        *error = QStringLiteral("Cannot write file \"%1\". %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

}  // namespace reelsmith
