#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>

#include "app/file_list_io.h"
#include "base/qt/file_name.h"
#include "support/test_media.h"

using namespace reelsmith;

namespace {

QByteArray Utf16(const QString& text, bool bigEndian)
{
    QByteArray bytes;
    for (QChar c : text) {
        const char hi = static_cast<char>(c.unicode() >> 8), lo = static_cast<char>(c.unicode() & 0xFF);
        bytes.append(bigEndian ? hi : lo);
        bytes.append(bigEndian ? lo : hi);
    }
    return bytes;
}

}  // namespace

TEST(FileList, ByteOrderMarksSelectTheEncoding)
{
    const QString text = QStringLiteral("/v/Grüße.mp4\r\n/v/b c.mkv\r\n");
    const QStringList expected{QStringLiteral("/v/Grüße.mp4"), QStringLiteral("/v/b c.mkv")};
    struct Case {
        const char* name;
        QByteArray bytes;
    };
    const Case cases[] = {
        {"no mark is UTF-8", text.toUtf8()},
        {"UTF-8 mark", QByteArray("\xEF\xBB\xBF") + text.toUtf8()},
        {"UTF-16 LE mark", QByteArray("\xFF\xFE") + Utf16(text, false)},
        {"UTF-16 BE mark", QByteArray("\xFE\xFF") + Utf16(text, true)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(DecodeFileList(c.bytes), expected);
    }
}

TEST(FileList, LineEndsAndEmptyLines)
{
    EXPECT_EQ(DecodeFileList("/a.mp4\n\n/b.mp4\r/c.mp4"), QStringList({"/a.mp4", "/b.mp4", "/c.mp4"}));
    EXPECT_EQ(DecodeFileList(" /blank at both ends.mp4 \r\n"), QStringList({" /blank at both ends.mp4 "}));
    EXPECT_TRUE(DecodeFileList("").isEmpty());
}

TEST(FileList, WriteThenReadKeepsThePathsWithCrLf)
{
    test::TempFolder folder;
    const QString path = QString::fromStdString(folder.file("list.fls"));
    const QStringList paths{QStringLiteral("/v/Grüße.mp4"), QStringLiteral("/v/two.mkv")};
    QString error;
    ASSERT_TRUE(WriteFileList(path, paths, &error)) << error.toStdString();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QStringLiteral("/v/Grüße.mp4\r\n/v/two.mkv\r\n").toUtf8());
    QStringList read;
    ASSERT_TRUE(ReadFileList(path, &read, &error));
    EXPECT_EQ(read, paths);
}

TEST(FileList, UnreadableListGivesTheFileError)
{
    QStringList read{"kept"};
    QString error;
    EXPECT_FALSE(ReadFileList(QStringLiteral("/nonexistent/list.fls"), &read, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("/nonexistent/list.fls")));
    EXPECT_EQ(read, QStringList({"kept"}));
}

// A list name may point at anything: a pipe nobody writes to must not block, a device that
// never ends must not fill the memory, and a file growing past the cap is refused.
TEST(FileList, OnlyRegularFilesOfBoundedSizeAreRead)
{
    test::TempFolder folder;
    const std::string fifo = folder.file("pipe.fls");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string zero = folder.file("zero.fls");
    ASSERT_EQ(symlink("/dev/zero", zero.c_str()), 0);
    const std::string large = folder.file("large.fls");
    {
        const int fd = open(large.c_str(), O_CREAT | O_WRONLY, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(ftruncate(fd, 64 * 1024 * 1024 + 1), 0);  // sparse: no real disk use
        close(fd);
    }
    struct Case {
        std::string path;
        const char* errorPart;
    };
    const Case cases[] = {
        {fifo, "It is not a regular file."},
        {zero, "It is not a regular file."},
        {folder.path(), "It is not a regular file."},
        {large, "The file is too large."},
        {folder.file("missing.fls"), "No such file or directory"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        QStringList read{"kept"};
        QString error;
        EXPECT_FALSE(ReadFileList(QString::fromStdString(c.path), &read, &error));
        EXPECT_TRUE(error.contains(QString::fromLatin1(c.errorPart))) << error.toStdString();
        EXPECT_EQ(read, QStringList({"kept"}));
    }
}

// Linux names are bytes: a Latin-1 name in a list reads back as the same bytes.
TEST(FileList, NamesThatAreNotUtf8KeepTheirBytes)
{
    test::TempFolder folder;
    const std::string listPath = folder.file("latin1.fls");
    const QByteArray name("/v/caf\xE9 \xE0 l'ombre.mp4");
    {
        QFile file(QString::fromStdString(listPath));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(name + "\r\n/v/plain.mp4\r\n");
    }
    QStringList read;
    QString error;
    ASSERT_TRUE(ReadFileList(QString::fromStdString(listPath), &read, &error)) << error.toStdString();
    ASSERT_EQ(read.size(), 2);
    EXPECT_EQ(FileNameBytes(read[0]), name);
    const QString rewritten = QString::fromStdString(folder.file("again.fls"));
    ASSERT_TRUE(WriteFileList(rewritten, read, &error));
    QFile file(rewritten);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), name + "\r\n/v/plain.mp4\r\n");
}
