// File names as bytes: every byte string survives the trip through the text and back, valid
// UTF-8 reads as itself, and what is shown to the eye has no raw bytes or line breaks.
#include <gtest/gtest.h>
#include <unistd.h>

#include <random>

#include "base/qt/file_name.h"
#include "support/test_media.h"

using namespace reelsmith;

TEST(FileName, BytesSurviveTheTripThroughText)
{
    const QByteArray names[] = {
        "plain.mp4",
        "Gr\xC3\xBC\xC3\x9F"
        "e.mkv",                      // UTF-8
        "caf\xE9.mp4",                // Latin-1
        "\xFF\xFE\x80\xBF",           // bytes that never start UTF-8
        "\xC3",                       // a sequence cut short at the end
        "\xE2\x82",                   // and one cut short before the end
        "\xC0\xAF",                   // an overlong slash
        "\xED\xA0\x80",               // an encoded surrogate
        "\xF4\x90\x80\x80",           // beyond U+10FFFF
        "\xF0\x9F\x8E\xAC clip.mp4",  // outside the BMP
        "\xED\xB3\xA9",               // what an escaped 0xE9 would be if written as UTF-8
        "",
    };
    for (const QByteArray& name : names)
        EXPECT_EQ(FileNameBytes(FileNameText(name)), name) << name.toHex().toStdString();

    std::mt19937 random(15);
    for (int i = 0; i < 2000; ++i) {
        QByteArray name(static_cast<int>(random() % 12), '\0');
        for (char& byte : name)
            byte = static_cast<char>(random() % 256);
        ASSERT_EQ(FileNameBytes(FileNameText(name)), name) << name.toHex().toStdString();
    }
}

TEST(FileName, ValidUtf8ReadsAsItself)
{
    const QString text = QStringLiteral("/v/Grüße \U0001F3AC.mp4");
    EXPECT_EQ(FileNameText(text.toUtf8()), text);
    EXPECT_EQ(FileNameBytes(text), text.toUtf8());
}

TEST(FileName, DisplayedNamesEscapeBytesAndControlCharacters)
{
    struct Case {
        QByteArray bytes;
        QString shown;
    };
    const Case cases[] = {
        {"caf\xE9.mp4", QStringLiteral("caf\\xE9.mp4")},
        {"two\nlines.mp4", QStringLiteral("two\\nlines.mp4")},
        {"a\rb\tc\x01"
         "d\x7F",
         QStringLiteral("a\\rb\\tc\\x01d\\x7F")},
        {"Gr\xC3\xBC\xC3\x9F"
         "e.mkv",
         QStringLiteral("Grüße.mkv")},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DisplayedFileName(FileNameText(c.bytes)), c.shown) << c.bytes.toHex().toStdString();
}

TEST(FileName, StatusGoesThroughTheBytes)
{
    test::TempFolder folder;
    const std::string file = folder.file("caf\xE9.mp4");
    test::RunCommand("printf x > " + test::ShellQuote(file));
    const QString text = FileNameText(file);
    int64_t size = 0;
    EXPECT_TRUE(IsRegularFile(text, &size));
    EXPECT_EQ(size, 1);
    EXPECT_TRUE(IsExistingFile(text));
    EXPECT_TRUE(PathExists(text));
    EXPECT_FALSE(IsFolder(text));
    EXPECT_TRUE(IsFolder(FileNameText(folder.path())));
    EXPECT_FALSE(PathExists(FileNameText(folder.file("caf\xC3\xA9.mp4"))));  // the UTF-8 name is another file
    // A dangling link holds its name although nothing is behind it.
    const std::string link = folder.file("d\xE9j\xE0.mkv");
    ASSERT_EQ(symlink(folder.file("nowhere").c_str(), link.c_str()), 0);
    EXPECT_FALSE(PathExists(FileNameText(link)));
    EXPECT_TRUE(NameTaken(FileNameText(link)));
    EXPECT_FALSE(NameTaken(FileNameText(folder.file("free.mkv"))));
}

// A shown name never runs past a few KB: its start and its end around "…", never splitting
// an escape or a character of two UTF-16 units.
TEST(FileName, LongNamesAreShownCutAroundAnEllipsis)
{
    const QString emoji = QString::fromUtf8("\xF0\x9F\x8E\xAC");  // two UTF-16 units
    struct Case {
        const char* name;
        QString text;
        bool cut;
    };
    const Case cases[] = {
        {"at the limit", QString(4096, QLatin1Char('a')), false},
        {"one over", QString(4097, QLatin1Char('a')), true},
        {"20 MB", QString(20 * 1024 * 1024, QLatin1Char('n')) + QStringLiteral(".mp4"), true},
        {"kept bytes", FileNameText(QByteArray(2000, '\xE9')), true},  // 2000 bytes shown as 8000
        {"pairs", emoji.repeated(3000), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString shown = DisplayedFileName(c.text);
        EXPECT_LE(shown.size(), 4096 + 8);
        EXPECT_EQ(shown.contains(QChar(0x2026)), c.cut);
        if (!c.cut)
            continue;
        const QString head = shown.left(shown.indexOf(QChar(0x2026)));
        const QString tail = shown.mid(shown.indexOf(QChar(0x2026)) + 1);
        EXPECT_GE(head.size(), 3072);
        EXPECT_TRUE(head.endsWith(QLatin1String("\\xE9")) || !head.contains(QLatin1Char('\\')));
        EXPECT_FALSE(head.endsWith(QLatin1String("\\")) || head.endsWith(QLatin1String("\\x")));
        EXPECT_FALSE(head.back().isHighSurrogate() || tail.front().isLowSurrogate());
        EXPECT_TRUE(tail.size() <= 1000 && tail.size() > 990) << tail.size();
    }
    EXPECT_TRUE(DisplayedFileName(QString(20 * 1024 * 1024, QLatin1Char('n')) + QStringLiteral(".mp4"))
                    .endsWith(QStringLiteral("nnn.mp4")));
}
