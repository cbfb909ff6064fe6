// The adding routine over a fake probe and a plain row list: which paths become rows,
// in what order, how often each file is probed, and how the cells read.
#include <gtest/gtest.h>

#include <QFile>
#include <sys/stat.h>
#include <unistd.h>
#include <filesystem>
#include <fstream>

#include "intake/adding_routine.h"
#include "base/qt/file_name.h"
#include "intake/intake_fakes.h"
#include "intake/model_list_target.h"
#include "intake/row_cells.h"
#include "support/test_media.h"

namespace fs = std::filesystem;
using namespace reelsmith;
using reelsmith::test::FakeProbe;
using reelsmith::test::RowList;
using reelsmith::test::Touch;

namespace {

class AddingRoutineTest : public ::testing::Test {
protected:
    QString At(const std::string& name) const { return QString::fromStdString(folder.file(name)); }

    int Run(const QStringList& pending, TAddingHooks hooks = {})
    {
        TAddingRoutine routine(probe, list, std::move(hooks));
        const int added = routine.Run(pending);
        rejected.clear();
        for (const TRejectedInput& file : routine.Rejected())
            rejected.append(file.Path + " | " + file.Reason);
        return added;
    }

    reelsmith::test::TempFolder folder;
    FakeProbe probe;
    RowList list;
    QStringList rejected;  // "path | reason" of the last run
};

TEST_F(AddingRoutineTest, FolderGivesItsMediaFilesOnly)
{
    for (const char* name : {"drop/a.MKV", "drop/sub/b.mp4", "drop/c.txt", "drop/sub/.hidden.avi"})
        Touch(folder.file(name));
    EXPECT_EQ(Run({At("drop")}), 2);
    EXPECT_EQ(list.Paths(), (QStringList{At("drop/a.MKV"), At("drop/sub/b.mp4")}));
    EXPECT_EQ(list.resorts, 1);
}

TEST_F(AddingRoutineTest, EachPathBecomesOneRowAndIsProbedOnce)
{
    Touch(folder.file("d/x.avi"));
    Touch(folder.file("d/y.avi"));
    Run({At("d/x.avi"), At("d/x.avi"), At("d"), At("d/")});
    EXPECT_EQ(list.Paths(), (QStringList{At("d/x.avi"), At("d/y.avi")}));
    for (const auto& [path, count] : probe.probes)
        EXPECT_EQ(count, 1) << path;
}

TEST_F(AddingRoutineTest, ListedPathsAreSkippedExactlyByCase)
{
    Touch(folder.file("A.AVI"));
    Touch(folder.file("a.avi"));
    Run({At("A.AVI")});
    Run({At("A.AVI"), At("a.avi")});
    EXPECT_EQ(list.Paths(), (QStringList{At("A.AVI"), At("a.avi")}));
    EXPECT_EQ(probe.probes[folder.file("A.AVI")], 1);
}

// One file is one row however its path is spelled; the first spelling stays, the others are
// neither rows nor "not added" (the file is there). A link or hard link under another name
// is a file of its own name (its output has that name).
TEST_F(AddingRoutineTest, TheSameFileSpelledTwoWaysIsOneRow)
{
    Touch(folder.file("X/a.mp4"));
    Touch(folder.file("X/b.mp4"));
    fs::create_directory_symlink(folder.file("X"), folder.file("Y"));
    ASSERT_EQ(Run({At("X/a.mp4")}), 1);
    for (const char* spelling : {"X/./a.mp4", "X//a.mp4", "X/../X/a.mp4", "Y/a.mp4", "./X/a.mp4"}) {
        SCOPED_TRACE(spelling);
        EXPECT_EQ(Run({At(spelling)}), 0);
        EXPECT_TRUE(rejected.isEmpty()) << rejected.join("; ").toStdString();
    }
    // Within one adding too, and a folder search that finds the listed file again.
    EXPECT_EQ(Run({At("X/./b.mp4"), At("X/b.mp4"), At("X")}), 1);
    EXPECT_EQ(list.Paths(), (QStringList{At("X/a.mp4"), At("X/./b.mp4")}));
    EXPECT_EQ(probe.probes[folder.file("X/a.mp4")], 1);
}

TEST_F(AddingRoutineTest, NamesEveryGivenFileThatCannotBecomeARow)
{
    Touch(folder.file("notes.txt"));
    Touch(folder.file("photo.png"));
    Touch(folder.file("broken.mkv"));
    Touch(folder.file("clip.avi/inner.ts"));  // a folder named like a video is searched
    Touch(folder.file("good.mov"));
    Touch(folder.file("locked.mp4"));
    probe.rejected = {folder.file("broken.mkv"), folder.file("locked.mp4")};
    chmod(folder.file("locked.mp4").c_str(), 0);
    const bool root = access(folder.file("locked.mp4").c_str(), R_OK) == 0;
    const int added = Run({At("missing.avi"), At("notes.txt"), At("photo.png"), At("broken.mkv"), At("locked.mp4"),
                           At("clip.avi"), At("good.mov"), QString()});
    EXPECT_EQ(added, 2);
    EXPECT_EQ(list.Paths(), (QStringList{At("good.mov"), At("clip.avi/inner.ts")}));
    EXPECT_FALSE(probe.probes.count(folder.file("clip.avi")));
    EXPECT_EQ(rejected, (QStringList{At("missing.avi") + " | not found, or not a regular file",
                                     At("notes.txt") + " | not a media file type that can be added",
                                     At("photo.png") + " | not a media file type that can be added",
                                     At("broken.mkv") + " | cannot be read as audio or video",
                                     At("locked.mp4") + (root ? " | cannot be read as audio or video"
                                                              : " | cannot be read: Permission denied")}));
}

TEST_F(AddingRoutineTest, PipesLinksAndLoopsNeverReachTheProbe)
{
    Touch(folder.file("tree/real.avi"));
    ASSERT_EQ(mkfifo(folder.file("tree/pipe.avi").c_str(), 0600), 0);
    ASSERT_EQ(mkfifo(folder.file("lone.mkv").c_str(), 0600), 0);
    fs::create_directory_symlink(folder.file("tree"), folder.file("tree/loop"));
    fs::create_symlink(folder.file("tree/real.avi"), folder.file("tree/twin.avi"));
    fs::create_symlink(folder.file("nowhere.avi"), folder.file("tree/dangling.avi"));
    Run({At("tree"), At("lone.mkv")});
    EXPECT_EQ(list.Paths(), (QStringList{At("tree/real.avi"), At("tree/twin.avi")}));
    for (const auto& [path, count] : probe.probes)
        EXPECT_EQ(count, 1) << path;
}

TEST_F(AddingRoutineTest, FileGoneBeforeProbingIsSkipped)
{
    Touch(folder.file("stay.avi"));
    Touch(folder.file("gone.avi"));
    TAddingHooks hooks;
    hooks.ShowStatus = [&](const QString& text) {
        if (text.startsWith("1 of "))
            fs::remove(folder.file("gone.avi"));
    };
    Run({At("gone.avi"), At("stay.avi")}, hooks);
    EXPECT_EQ(list.Paths(), QStringList{At("stay.avi")});
    EXPECT_FALSE(probe.probes.count(folder.file("gone.avi")));
    EXPECT_EQ(rejected, QStringList{At("gone.avi") + " | not found, or not a regular file"});
}

TEST_F(AddingRoutineTest, CancelKeepsRowsAddedAndStillResorts)
{
    for (const char* name : {"c.avi", "b.avi", "a.avi"})
        Touch(folder.file(name));
    bool cancel = false;
    TAddingHooks hooks;
    hooks.Cancelled = [&] { return cancel; };
    hooks.ShowStatus = [&](const QString& text) { cancel = text.startsWith("2 of 3"); };
    EXPECT_EQ(Run({At("c.avi"), At("b.avi"), At("a.avi")}, hooks), 2);
    EXPECT_EQ(list.Paths(), (QStringList{At("b.avi"), At("c.avi")}));
    EXPECT_EQ(list.resorts, 1);
}

TEST_F(AddingRoutineTest, CancelDuringTheSearchLetsItFinishButProbesNothing)
{
    for (const char* name : {"t/1.avi", "t/2.avi", "t/s/3.avi"})
        Touch(folder.file(name));
    bool cancel = false;
    QStringList statuses;
    TAddingHooks hooks;
    hooks.Cancelled = [&] { return cancel; };
    hooks.ShowStatus = [&](const QString& text) { statuses << text; };
    hooks.ProcessMessages = [&] { cancel = true; };
    TAddingRoutine routine(probe, list, hooks);
    EXPECT_EQ(routine.Run({At("t")}), 0);
    EXPECT_EQ(routine.Candidates().size(), 3);
    EXPECT_TRUE(probe.probes.empty());
    EXPECT_EQ(statuses, QStringList{"Searching in folders...\n\n" + At("t")});
}

TEST_F(AddingRoutineTest, ProgressTextCountsCandidates)
{
    Touch(folder.file("p/one.avi"));
    Touch(folder.file("two.avi"));
    QStringList statuses;
    TAddingHooks hooks;
    hooks.ShowStatus = [&](const QString& text) { statuses << text; };
    Run({At("p"), At("two.avi")}, hooks);
    EXPECT_EQ(statuses, (QStringList{"Searching in folders...\n\n" + At("p"), "1 of 2\n\n" + At("p/one.avi"),
                                     "2 of 2\n\n" + At("two.avi")}));
}

struct CellCase {
    const char* name;
    TProbedMedia media;
    QStringList expected;  // DurationText, DurationMicros, FrameRateText, BitRateText, FrameSizeText
};

TEST(RowCells, FormatsAsTheListShowsThem)
{
    const auto video = [](int64_t duration, int num, int den, int64_t bitRate) {
        return TProbedMedia{duration, 1, true, num, den, bitRate, 640, 480};
    };
    const std::vector<CellCase> cases = {
        {"1 h 2 min 3.9 s",
         video(3'723'900'000, 25, 1, 128'999),
         {"01:02:03", "3723900000", "25.00 fps", "128 kb", "640x480"}},
        {"unknown duration", video(-1, 30000, 1001, 0), {"00:00:00", "0", "29.97 fps", "-", "640x480"}},
        {"100 hours",
         video(360'000'000'000, 24, 1, 5'000'000),
         {"100:00:00", "360000000000", "24.00 fps", "5000 kb", "640x480"}},
        {"zero denominator", video(1, 25, 0, 999), {"00:00:00", "1", "-", "0 kb", "640x480"}},
        {"unknown rate", video(1, 0, 1, 1000), {"00:00:00", "1", "-", "1 kb", "640x480"}},
        {"audio only", TProbedMedia{2'000'000, 0, false}, {"00:00:02", "2000000", "-", "-", "-"}},
        {"audio first, video second",
         TProbedMedia{2'000'000, 1, false, 25, 1, 1000, 8, 8},
         {"00:00:02", "2000000", "-", "-", "-"}},
    };
    for (const CellCase& c : cases) {
        const TFileListRow row = MakeFileListRow("/m/clip.mp4", 1234567, c.media, QLocale::c());
        const QStringList actual = {row.cell(FileCell::DurationText), row.cell(FileCell::DurationMicros),
                                    row.cell(FileCell::FrameRateText), row.cell(FileCell::BitRateText),
                                    row.cell(FileCell::FrameSizeText)};
        EXPECT_EQ(actual, c.expected) << c.name;
        EXPECT_EQ(row.Caption, "clip.mp4");
        EXPECT_EQ(row.cell(FileCell::SourcePath), "/m/clip.mp4");
        EXPECT_EQ(row.cell(FileCell::SizeText), "1,234,567");
        EXPECT_EQ(row.cell(FileCell::SizeBytes), "1234567");
    }
}

}  // namespace

namespace {

TEST_F(AddingRoutineTest, MainListModelIsResortedByItsCurrentColumn)
{
    for (const char* name : {"s/small.avi", "s/big.avi"})
        Touch(folder.file(name));
    std::ofstream(folder.file("s/big.avi")) << std::string(5000, 'x');
    TFileListModel model;
    model.ClickColumn(static_cast<int>(FileColumn::Size));
    model.ClickColumn(static_cast<int>(FileColumn::Size));  // largest first
    TModelListTarget target(model);
    TAddingRoutine routine(probe, target, {});
    routine.Run({At("s")});
    ASSERT_EQ(model.Count(), 2);
    EXPECT_EQ(model.Row(0).Caption, "big.avi");
    EXPECT_EQ(model.Row(1).Caption, "small.avi");
    EXPECT_EQ(target.SourcePaths(), (QStringList{At("s/big.avi"), At("s/small.avi")}));
}

}  // namespace

namespace {

// Names that are not UTF-8 (Latin-1 from old disks) are found in a folder and handed to the
// probe as the very bytes they are.
TEST_F(AddingRoutineTest, FolderScanKeepsNamesThatAreNotUtf8)
{
    const std::string latin1Folder = folder.file("dossier \xE9t\xE9");
    const std::string latin1File = latin1Folder + "/caf\xE9.mp4";
    Touch(latin1File);
    EXPECT_EQ(Run({FileNameText(latin1Folder)}), 1);
    ASSERT_EQ(list.rows.size(), 1u);
    EXPECT_EQ(FileNameString(list.Paths()[0]), latin1File);
    EXPECT_EQ(probe.probed, std::vector<std::string>{latin1File});
    EXPECT_EQ(DisplayedFileName(list.rows[0].Caption), QStringLiteral("caf\\xE9.mp4"));
}

}  // namespace
