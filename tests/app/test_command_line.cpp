#include <gtest/gtest.h>

#include <QDir>
#include <fstream>

#include "app/command_line.h"
#include "base/qt/file_name.h"
#include "support/test_media.h"

using namespace reelsmith;

TEST(CommandLine, ModeFolderFilesAndExitFlag)
{
    struct Case {
        QStringList params;
        TRunMode mode;
        bool automatic;
        QStringList files;
        QString list;
        bool exit;
        QStringList ignored = {};
    };
    const Case cases[] = {
        {{"-v", "/out", "a.mp4", "b.mkv", "x"}, TRunMode::Convert, true, {"a.mp4", "b.mkv"}, {}, true},
        {{"-A", "/out", "a.mp4", "X"}, TRunMode::ExtractAudio, true, {"a.mp4"}, {}, true},
        {{"-x", "/out", "a.mp4", "b.mp4"}, TRunMode::None, true, {"a.mp4", "b.mp4"}, {}, false},
        {{"-v"}, TRunMode::Convert, false, {}, {}, false},
        {{"-v", "", "a.mp4"}, TRunMode::Convert, false, {"a.mp4"}, {}, false},
        {{"-v", "/out", "list.FLS", "more.mp4", "x"}, TRunMode::Convert, true, {}, "list.FLS", true, {"more.mp4"}},
        {{"-v", "/out", "a.mp4", "", "b.mp4", "x"}, TRunMode::Convert, true, {"a.mp4"}, {}, true, {"b.mp4"}},
        {{"-v", "/out", "x"}, TRunMode::Convert, true, {}, {}, true},
        {{}, TRunMode::None, false, {}, {}, false},
        {{"-v", "/out", "a.mp4", "xx"}, TRunMode::Convert, true, {"a.mp4", "xx"}, {}, false},
    };
    for (const Case& c : cases) {
        const TCommandLine line = ParseCommandLine(c.params);
        SCOPED_TRACE(c.params.join(' ').toStdString());
        EXPECT_EQ(line.Mode, c.mode);
        EXPECT_EQ(line.Automatic(), c.automatic);
        EXPECT_EQ(line.Files, c.files);
        EXPECT_EQ(line.FileList, c.list);
        EXPECT_EQ(line.ExitAtEnd, c.exit);
        QStringList ignored;
        for (const TRejectedInput& input : line.Ignored)
            ignored.append(input.Path);
        EXPECT_EQ(ignored, c.ignored);
    }
}

TEST(CommandLine, SourcesStopAtPosition999)
{
    QStringList params{"-v", "/out"};
    for (int i = 0; i < 1200; ++i)
        params.append(QStringLiteral("f%1").arg(i));
    params.append("x");
    const TCommandLine line = ParseCommandLine(params);
    ASSERT_EQ(line.Files.size(), 997);
    EXPECT_EQ(line.Files.back(), "f996");
    ASSERT_EQ(line.Ignored.size(), 203u);  // named, not dropped without a word
    EXPECT_EQ(line.Ignored.front().Path, "f997");
    EXPECT_EQ(line.Ignored.front().Reason, "ignored: beyond position 999");
}

TEST(CommandLine, ExistingFilesSkipsMissingOnesAndFolders)
{
    test::TempFolder folder;
    std::ofstream(folder.file("a.mp4")) << "x";
    const QString dir = QString::fromStdString(folder.path());
    TRejectedInputs passedOver;
    const QStringList existing =
        ExistingFiles({dir + "/missing.mp4", dir + "/a.mp4", dir, dir + "/a.mp4"}, &passedOver);
    EXPECT_EQ(existing, QStringList({dir + "/a.mp4", dir + "/a.mp4"}));
    EXPECT_EQ(passedOver, TRejectedInputs({{dir + "/missing.mp4", "not found"}, {dir, "a folder, not a file"}}));
}

TEST(CommandLine, OpenWithOnlyWhenTheFirstParameterExists)
{
    test::TempFolder folder;
    std::ofstream(folder.file("a.mp4")) << "x";
    std::ofstream(folder.file("-v")) << "x";
    const QString dir = QString::fromStdString(folder.path());
    const QString a = dir + "/a.mp4";
    const struct {
        QStringList params;
        QStringList paths;
    } cases[] = {
        {{a, dir, dir + "/gone.mkv"}, {a, dir, dir + "/gone.mkv"}},  // the Adding window names the missing one
        {{a}, {a}},
        {{dir + "/gone.mkv", a}, {}},  // the older form: a mode text, then an output folder
        {{"-v", dir, a, "x"}, {}},
        {{"-A", dir, a}, {}},
        {{"", a}, {}},
        {{}, {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(OpenWithPaths(c.params), c.paths) << c.params.join(' ').toStdString();

    // A relative name is made absolute; a file named like a mode is still a mode.
    const QString saved = QDir::currentPath();
    QDir::setCurrent(dir);
    EXPECT_EQ(OpenWithPaths({"a.mp4"}), QStringList{a});
    EXPECT_TRUE(OpenWithPaths({"-v", "a.mp4"}).isEmpty());
    QDir::setCurrent(saved);
}

TEST(CommandLine, TrailingSlash)
{
    EXPECT_EQ(WithTrailingSlash("/out"), "/out/");
    EXPECT_EQ(WithTrailingSlash("/out/"), "/out/");
    EXPECT_EQ(WithTrailingSlash(""), "");
}
