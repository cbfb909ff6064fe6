#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <algorithm>
#include <filesystem>
#include <fstream>

#include "app/file_list_io.h"
#include "base/qt/file_name.h"
#include "support/small_disk.h"
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

QByteArray ReadBytes(const std::string& path)
{
    QFile file(QString::fromStdString(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

std::vector<std::string> Names(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
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

// Every save is checked before it counts: a list that cannot be written whole says why, and
// the list that was there keeps its bytes (a full disk used to leave 0 bytes and no error).
TEST(FileList, ASaveThatFailsSaysWhyAndKeepsTheListThatWasThere)
{
    test::TempFolder folder;
    const std::string disk = folder.file("disk");
    test::SmallDisk small(disk, 64 * 1024);
    const QStringList paths{QStringLiteral("/v/new one.mp4"), QStringLiteral("/v/new two.mkv")};
    const QByteArray old("/v/old.mp4\r\n");
    enum class Place { FullDisk, Folder, Fifo, MissingFolder, Plain };
    struct Case {
        const char* name;
        Place place;
        bool existing;     // a list is there before
        bool saved;        // expected result
        const char* says;  // part of the message
    };
    const Case cases[] = {
        {"full disk, new list", Place::FullDisk, false, false, "No space left on device"},
        {"full disk, over a list", Place::FullDisk, true, false, "The list saved there before is kept."},
        {"a folder of that name", Place::Folder, false, false, "Is a directory"},
        {"a pipe of that name", Place::Fifo, false, false, "It is not a regular file."},
        {"no such folder", Place::MissingFolder, false, false, "No such file or directory"},
        {"over a list, room enough", Place::Plain, true, true, ""},
    };
    bool fullDiskSkipped = false;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.place == Place::FullDisk && !small.Mounted()) {
            fullDiskSkipped = true;
            continue;
        }
        const std::string where = c.place == Place::FullDisk ? disk : folder.file(c.name);
        if (c.place != Place::MissingFolder)
            std::filesystem::create_directories(where);
        const std::string list = where + "/list.fls";
        if (c.place == Place::Folder)
            std::filesystem::create_directories(list);
        if (c.place == Place::Fifo) {
            ASSERT_EQ(mkfifo(list.c_str(), 0600), 0);
        }
        if (c.existing)
            std::ofstream(list, std::ios::binary) << old.toStdString();
        if (c.place == Place::FullDisk)
            small.Fill();
        QString error;
        EXPECT_EQ(WriteFileList(QString::fromStdString(list), paths, &error), c.saved) << error.toStdString();
        if (c.saved) {
            EXPECT_EQ(ReadBytes(list), "/v/new one.mp4\r\n/v/new two.mkv\r\n");
            continue;
        }
        EXPECT_TRUE(error.startsWith(QStringLiteral("Cannot write file \"%1\".").arg(QString::fromStdString(list))))
            << error.toStdString();
        EXPECT_TRUE(error.contains(QString::fromLatin1(c.says))) << error.toStdString();
        if (c.existing) {
            EXPECT_EQ(ReadBytes(list), old);
        }
        if (c.place == Place::FullDisk) {  // no temporary file left, and no empty list
            std::vector<std::string> expected{"filler"};
            if (c.existing)
                expected.push_back("list.fls");
            EXPECT_EQ(Names(disk), expected);
            std::filesystem::remove(disk + "/filler");
            std::filesystem::remove(list);
        }
    }
    if (fullDiskSkipped)
        GTEST_SKIP() << "full-disk cases skipped: " << small.Reason();
}

// Lists as users write them: relative lines belong to the list's folder, "." parts and
// doubled "/" are only spelling, and a name with a line break is saved as a file URL that
// reads back, while the lines of old lists (a "%" in a name included) read as before.
TEST(FileList, ListsAsUsersWriteThem)
{
    test::TempFolder folder;
    const QString here = QString::fromStdString(folder.path());
    struct Case {
        const char* line;
        QString path;
    };
    const Case cases[] = {
        {"/abs/a.mp4", QStringLiteral("/abs/a.mp4")},
        {"rel/a.mp4", here + QStringLiteral("/rel/a.mp4")},
        {"./rel/./a.mp4", here + QStringLiteral("/rel/a.mp4")},
        {"/abs//x/./a.mp4", QStringLiteral("/abs/x/a.mp4")},
        {"../up/a.mp4", here + QStringLiteral("/../up/a.mp4")},  // ".." may cross a link: kept
        {"file:///v/two%0Alines.mp4", QStringLiteral("/v/two\nlines.mp4")},
        {"/v/100%25 sure.mp4", QStringLiteral("/v/100%25 sure.mp4")},
    };
    const std::string list = folder.file("list.fls");
    {
        std::ofstream out(list, std::ios::binary);
        for (const Case& c : cases)
            out << c.line << "\r\n";
    }
    QStringList expected;
    for (const Case& c : cases)
        expected.append(c.path);
    QStringList read;
    QString error;
    // Named relatively too: the list's folder is where the list is, not the working folder.
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path("/");
    ASSERT_TRUE(ReadFileList(QString::fromStdString(list.substr(1)), &read, &error)) << error.toStdString();
    std::filesystem::current_path(previous);
    EXPECT_EQ(read, expected);

    const QStringList odd{QStringLiteral("/v/two\nlines.mp4"), QStringLiteral("/v/cr\rname.mp4"),
                          QStringLiteral("/v/100% sure #1?.mp4"), QStringLiteral("/v/plain.mp4")};
    const QString saved = QString::fromStdString(folder.file("odd.fls"));
    ASSERT_TRUE(WriteFileList(saved, odd, &error)) << error.toStdString();
    EXPECT_EQ(ReadBytes(saved.toStdString()),
              "file:///v/two%0Alines.mp4\r\nfile:///v/cr%0Dname.mp4\r\n/v/100% sure #1?.mp4\r\n/v/plain.mp4\r\n");
    ASSERT_TRUE(ReadFileList(saved, &read, &error));
    EXPECT_EQ(read, odd);
}
