#include <gtest/gtest.h>

#include "intake/file_list_model.h"

using reelsmith::FileCell;
using reelsmith::TFileListModel;
using reelsmith::TFileListRow;

namespace {

TFileListRow MakeRow(const QString& name, qint64 micros, qint64 bytes)
{
    TFileListRow row;
    row.Caption = name;
    row.cell(FileCell::SourcePath) = QStringLiteral("/media/other/") + name;
    row.cell(FileCell::DurationMicros) = QString::number(micros);
    row.cell(FileCell::SizeBytes) = QString::number(bytes);
    return row;
}

QStringList Names(const TFileListModel& model)
{
    QStringList names;
    for (int i = 0; i < model.Count(); ++i)
        names << model.Row(i).Caption;
    return names;
}

class FileListModelTest : public testing::Test {
protected:
    void SetUp() override
    {
        // Paths sort the other way round from the captions, so "Source" sorting shows its rule.
        model.Append(MakeRow(QStringLiteral("beta.avi"), 30'000'000, 300));
        model.Append(MakeRow(QStringLiteral("Alpha.mkv"), 10'000'000, 200));
        model.Append(MakeRow(QStringLiteral("gamma.mp4"), 20'000'000, 100));
        model.Append(MakeRow(QStringLiteral("delta.ts"), 0, 400));  // unknown duration
    }
    TFileListModel model;
    const QLocale english{QLocale::English, QLocale::UnitedStates};
};

}  // namespace

TEST_F(FileListModelTest, HeaderClicksFollowTheToggleRules)
{
    // The list starts as sorted by name ascending, so the first click on "Name" turns it round.
    model.ClickColumn(0);
    EXPECT_TRUE(model.SortDescending());
    EXPECT_EQ(Names(model), QStringList({"gamma.mp4", "delta.ts", "beta.avi", "Alpha.mkv"}));

    model.ClickColumn(1);
    EXPECT_FALSE(model.SortDescending());
    EXPECT_EQ(Names(model), QStringList({"delta.ts", "Alpha.mkv", "gamma.mp4", "beta.avi"}));
    model.ClickColumn(1);
    EXPECT_TRUE(model.SortDescending());
    EXPECT_EQ(Names(model), QStringList({"beta.avi", "gamma.mp4", "Alpha.mkv", "delta.ts"}));

    model.ClickColumn(2);
    EXPECT_EQ(model.SortColumn(), 2);
    EXPECT_FALSE(model.SortDescending());
    EXPECT_EQ(Names(model), QStringList({"gamma.mp4", "Alpha.mkv", "beta.avi", "delta.ts"}));
}

TEST_F(FileListModelTest, SourceColumnSortsByCaption)
{
    model.ClickColumn(3);
    EXPECT_EQ(Names(model), QStringList({"Alpha.mkv", "beta.avi", "delta.ts", "gamma.mp4"}));
}

TEST_F(FileListModelTest, ResortKeepsColumnAndDirectionForNewRows)
{
    model.ClickColumn(2);
    model.ClickColumn(2);  // largest first
    model.Append(MakeRow(QStringLiteral("huge.vob"), 1, 5000));
    model.Resort();
    EXPECT_EQ(model.Row(0).Caption, QStringLiteral("huge.vob"));
}

TEST_F(FileListModelTest, TotalsSkipUnknownDurations)
{
    const auto totals = model.Totals();
    EXPECT_EQ(totals.SizeBytes, 1000);
    EXPECT_EQ(totals.DurationMicros, 60'000'000);
    EXPECT_EQ(model.StatusText(english), QStringLiteral("Files: 4 (Size: 0 MB, Duration: 00:01:00)"));
}

TEST_F(FileListModelTest, RemoveTakesExactlyTheGivenRows)
{
    model.RemoveRows({3, 1, 1, 99, -1});
    EXPECT_EQ(Names(model), QStringList({"beta.avi", "gamma.mp4"}));
    EXPECT_EQ(model.Totals().SizeBytes, 400);
    model.RemoveRows({0, 1});
    EXPECT_EQ(model.Count(), 0);
    EXPECT_EQ(model.StatusText(english), QStringLiteral("Files: 0 (Size: 0 MB, Duration: 00:00:00)"));
}

TEST(FileListStatus, SizeSwitchesToGigabytesAboveOneGibibyte)
{
    const QLocale english{QLocale::English, QLocale::UnitedStates};
    TFileListModel model;
    model.Append(MakeRow(QStringLiteral("a.avi"), 360'000'000'000, 1073741824));
    EXPECT_EQ(model.StatusText(english), QStringLiteral("Files: 1 (Size: 1,024 MB, Duration: 100:00:00)"));
    model.Append(MakeRow(QStringLiteral("b.avi"), 0, 1));
    EXPECT_EQ(model.StatusText(english), QStringLiteral("Files: 2 (Size: 1.00 GB, Duration: 100:00:00)"));
}

TEST(FileListStatus, SelectionTextAndSums)
{
    const QLocale english{QLocale::English, QLocale::UnitedStates};
    TFileListModel model;
    model.Append(MakeRow(QStringLiteral("a.avi"), 0, 3 * 1048576));
    model.Append(MakeRow(QStringLiteral("b.avi"), 0, 2 * 1048576));
    EXPECT_EQ(model.SizeOf({0, 1}), 5 * 1048576);
    EXPECT_EQ(TFileListModel::SelectionText(2, model.SizeOf({0, 1}), english),
              QStringLiteral("Selected: 2 files, 5 MB"));
    EXPECT_EQ(TFileListModel::SelectionText(1, model.SizeOf({1}), english), QStringLiteral("Selected: 1 file, 2 MB"));
}

TEST(FileListStatus, GarbageCellsNeverOverflow)
{
    TFileListModel model;
    model.Append(MakeRow(QStringLiteral("a.avi"), INT64_MAX, INT64_MAX));
    model.Append(MakeRow(QStringLiteral("b.avi"), INT64_MAX, INT64_MAX));
    TFileListRow text = MakeRow(QStringLiteral("c.avi"), 0, 0);
    text.cell(FileCell::SizeBytes) = QStringLiteral("12 MB");
    model.Append(text);
    EXPECT_EQ(model.Totals().SizeBytes, INT64_MAX);
    model.ClickColumn(2);
    EXPECT_EQ(model.Row(0).Caption, QStringLiteral("c.avi"));
}

TEST(FileListModelView, ShowsFiveColumnsWithAlignment)
{
    TFileListModel model;
    TFileListRow row = MakeRow(QStringLiteral("clip.avi"), 0, 1);
    row.cell(FileCell::DurationText) = QStringLiteral("00:00:05");
    row.cell(FileCell::SizeText) = QStringLiteral("1");
    model.Append(row);
    EXPECT_EQ(model.columnCount(), 5);
    EXPECT_EQ(model.headerData(3, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("Source"));
    EXPECT_EQ(model.data(model.index(0, 1), Qt::DisplayRole).toString(), QStringLiteral("00:00:05"));
    EXPECT_EQ(model.data(model.index(0, 3), Qt::DisplayRole).toString(), QStringLiteral("/media/other/clip.avi"));
    const auto alignment = model.data(model.index(0, 2), Qt::TextAlignmentRole).value<Qt::Alignment>();
    EXPECT_TRUE(alignment & Qt::AlignRight);
}

// The last run's outcome: set by source path, the reason as the tooltip, sorted, cleared.
TEST(FileListModelView, StatusColumnShowsTheLastRunsOutcome)
{
    TFileListModel model;
    model.Append(MakeRow(QStringLiteral("a.avi"), 0, 1));
    model.Append(MakeRow(QStringLiteral("b.avi"), 0, 1));
    const QString b = model.Row(1).cell(FileCell::SourcePath);
    EXPECT_EQ(model.headerData(4, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("Status"));
    model.SetStatus(model.Row(0).cell(FileCell::SourcePath), QStringLiteral("converted"), QString());
    model.SetStatus(b, QStringLiteral("failed"), QStringLiteral("no audio track"));
    EXPECT_EQ(model.data(model.index(1, 4), Qt::DisplayRole).toString(), QStringLiteral("failed"));
    EXPECT_EQ(model.data(model.index(1, 4), Qt::ToolTipRole).toString(), QStringLiteral("no audio track"));
    EXPECT_EQ(model.data(model.index(0, 4), Qt::ToolTipRole).toString(), QStringLiteral("converted"));
    model.ClickColumn(4);
    model.ClickColumn(4);  // descending: "failed" before "converted"
    EXPECT_EQ(model.Row(0).Status, QStringLiteral("failed"));
    EXPECT_EQ(model.Row(0).cell(FileCell::SourcePath), b);
    model.ClearStatuses();
    EXPECT_TRUE(model.data(model.index(0, 4), Qt::DisplayRole).toString().isEmpty());
}
