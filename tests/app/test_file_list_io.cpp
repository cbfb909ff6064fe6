#include <gtest/gtest.h>

#include <QFile>

#include "app/file_list_io.h"
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
