#include <gtest/gtest.h>

#include <QFile>
#include <filesystem>
#include <fstream>

#include "runs/run_log.h"
#include "support/small_disk.h"
#include "support/test_media.h"

using namespace reelsmith;

TEST(RunLog, ColoursInBothThemes)
{
    const TRgb buttonFont{200, 200, 200};
    struct Case {
        TLogColour colour;
        TRgb light;
        TRgb dark;
    };
    const Case cases[] = {
        {TLogColour::Neutral, {0, 0, 0}, buttonFont},         {TLogColour::Green, {0, 128, 0}, {55, 221, 130}},
        {TLogColour::Blue, {0, 0, 255}, {98, 162, 228}},      {TLogColour::Red, {255, 0, 0}, {228, 97, 97}},
        {TLogColour::Grey, {128, 128, 128}, {128, 128, 128}}, {TLogColour::Maroon, {128, 0, 0}, {214, 120, 96}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LogColourRgb(c.colour, false, buttonFont), c.light);
        EXPECT_EQ(LogColourRgb(c.colour, true, buttonFont), c.dark);
    }
}

TEST(RunLog, SavesOneLinePerEntryIncludingEmptyOnes)
{
    TRunLog log;
    log.Add("Loading AV components...", TLogColour::Neutral);
    log.Add("", TLogColour::Neutral);
    log.Add("File #1", TLogColour::Neutral, true);
    log.Add("Done.", TLogColour::Blue);
    EXPECT_EQ(log.PlainLines(), QStringList({"Loading AV components...", "", "File #1", "Done."}));
    EXPECT_TRUE(log.Lines()[2].Bold);

    test::TempFolder folder;
    const QString path = QString::fromStdString(folder.file("log.txt"));
    ASSERT_TRUE(log.SaveToFile(path));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("Loading AV components...\n\nFile #1\nDone.\n"));
    EXPECT_FALSE(log.SaveToFile(QStringLiteral("/nonexistent/log.txt")));
}

// The log never names the hidden temporary file the engine writes: an engine message about
// it names the output instead, with or without the "file:" the engine was given.
TEST(RunLog, LinesNameTheOutputNeverItsTemporaryFile)
{
    TRunLog log;
    log.ShowNameAs(QStringLiteral("/out/.clip.partial-1a2b3c.mp4"), QStringLiteral("/out/clip.mp4"));
    const struct {
        const char* line;
        const char* shown;
    } cases[] = {
        {"Error writing the end of file:/out/.clip.partial-1a2b3c.mp4: No space left on device",
         "Error writing the end of /out/clip.mp4: No space left on device"},
        {"/out/.clip.partial-1a2b3c.mp4: No space left on device", "/out/clip.mp4: No space left on device"},
        {"[mp4 @ 0x1] .clip.partial-1a2b3c.mp4: muxing failed", "[mp4 @ 0x1] clip.mp4: muxing failed"},
        {"/out/.other.partial-1a2b3c.mp4", "/out/.other.partial-1a2b3c.mp4"},
    };
    for (const auto& c : cases) {
        log.Add(QString::fromUtf8(c.line), TLogColour::Red);
        EXPECT_EQ(log.Lines().back().Text, QString::fromUtf8(c.shown));
        EXPECT_EQ(log.WithShownName(QString::fromUtf8(c.line)), QString::fromUtf8(c.shown));
    }
}

// A log that cannot be saved whole says why, and the file that was there keeps its bytes
// (on a full disk the log used to be saved as 0 bytes, "saved").
TEST(RunLog, ALogThatCannotBeSavedSaysWhyAndLeavesNoPart)
{
    TRunLog log;
    for (int i = 0; i < 2000; ++i)
        log.Add(QStringLiteral("line %1 of a long log").arg(i), TLogColour::Neutral);
    test::TempFolder folder;
    const std::string disk = folder.file("disk");
    test::SmallDisk small(disk, 32 * 1024);
    struct Case {
        const char* name;
        std::string path;
        bool fill;
        const char* reason;
    };
    const Case cases[] = {
        {"full disk", disk + "/log.txt", true, "No space left on device"},
        {"no folder", folder.file("missing/log.txt"), false, "No such file or directory"},
        {"a folder there", folder.path(), false, "Is a directory"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.fill && !small.Mounted())
            continue;
        if (c.fill) {
            std::ofstream(c.path) << "the previous run's log\n";
            small.Fill();
        }
        QString error;
        EXPECT_FALSE(log.SaveToFile(QString::fromStdString(c.path), &error));
        EXPECT_EQ(error, QString::fromLatin1(c.reason));
        if (c.fill) {
            std::ifstream in(c.path);
            std::string kept;
            std::getline(in, kept);
            EXPECT_EQ(kept, "the previous run's log");
            EXPECT_EQ(std::distance(std::filesystem::directory_iterator(disk), {}), 2);  // the log and the filler
        }
    }
    if (!small.Mounted())
        GTEST_SKIP() << "full-disk case skipped: " << small.Reason();
}
