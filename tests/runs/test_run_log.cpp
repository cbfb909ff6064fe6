#include <gtest/gtest.h>

#include <QFile>

#include "runs/run_log.h"
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
