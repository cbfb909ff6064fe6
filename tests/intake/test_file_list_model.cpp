#include <gtest/gtest.h>

#include <QMimeData>
#include <memory>

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

TEST_F(FileListModelTest, DraggedRowsSetTheOrderUntilTheNextHeaderClick)
{
    // Start: beta, Alpha, gamma, delta (the order of appending).
    struct TCase {
        std::vector<int> Rows;
        int Destination;
        QStringList Order;
    };
    const TCase cases[] = {
        {{2}, 0, {"gamma.mp4", "beta.avi", "Alpha.mkv", "delta.ts"}},
        {{0}, 4, {"Alpha.mkv", "gamma.mp4", "delta.ts", "beta.avi"}},
        {{0}, -1, {"Alpha.mkv", "gamma.mp4", "delta.ts", "beta.avi"}},
        {{3, 0, 3}, 2, {"Alpha.mkv", "beta.avi", "delta.ts", "gamma.mp4"}},  // list order kept
        {{1}, 1, {"beta.avi", "Alpha.mkv", "gamma.mp4", "delta.ts"}},        // onto itself: no change
        {{9, -2}, 0, {"beta.avi", "Alpha.mkv", "gamma.mp4", "delta.ts"}},
    };
    for (const TCase& c : cases) {
        TFileListModel moved;
        for (int i = 0; i < model.Count(); ++i)
            moved.Append(model.Row(i));
        moved.MoveRowsTo(c.Rows, c.Destination);
        EXPECT_EQ(Names(moved), c.Order) << c.Destination;
    }

    // Dropped through the view's own data, then new rows stay at the end until a header click.
    std::unique_ptr<QMimeData> drag(model.mimeData({model.index(3, 0), model.index(3, 1), model.index(1, 0)}));
    EXPECT_FALSE(model.dropMimeData(drag.get(), Qt::MoveAction, 0, 0, {}));
    ASSERT_TRUE(model.dropMimeData(drag.get(), Qt::CopyAction, 0, 0, {}));
    EXPECT_EQ(Names(model), QStringList({"Alpha.mkv", "delta.ts", "beta.avi", "gamma.mp4"}));
    EXPECT_TRUE(model.UserOrder());
    EXPECT_FALSE(model.flags(model.index(0, 0)) & Qt::ItemIsDropEnabled);
    EXPECT_TRUE(model.flags(model.index(0, 0)) & Qt::ItemIsDragEnabled);
    model.Append(MakeRow(QStringLiteral("aaa.avi"), 1, 1));
    model.Resort();
    EXPECT_EQ(model.Row(4).Caption, QStringLiteral("aaa.avi"));
    model.ClickColumn(0);  // the same column as before the drag: ascending again, not toggled
    EXPECT_FALSE(model.UserOrder());
    EXPECT_FALSE(model.SortDescending());
    EXPECT_EQ(model.Row(0).Caption, QStringLiteral("aaa.avi"));
}

TEST_F(FileListModelTest, TotalsSkipUnknownDurations)
{
    const auto totals = model.Totals();
    EXPECT_EQ(totals.SizeBytes, 1000);
    EXPECT_EQ(totals.DurationMicros, 60'000'000);
    EXPECT_EQ(model.StatusText(english), QStringLiteral("Files: 4 (Size: 1,000 bytes, Duration: 00:01:00)"));
}

TEST_F(FileListModelTest, RemoveTakesExactlyTheGivenRows)
{
    model.RemoveRows({3, 1, 1, 99, -1});
    EXPECT_EQ(Names(model), QStringList({"beta.avi", "gamma.mp4"}));
    EXPECT_EQ(model.Totals().SizeBytes, 400);
    model.RemoveRows({0, 1});
    EXPECT_EQ(model.Count(), 0);
    EXPECT_EQ(model.StatusText(english), QStringLiteral("Files: 0 (Size: 0 MB, Duration: 00:00:00)"));
    model.Append(MakeRow(QStringLiteral("x.avi"), 5'000'000, 119808));
    EXPECT_EQ(model.StatusText(english), QStringLiteral("Files: 1 (Size: 117 KB, Duration: 00:00:05)"));
    model.Clear();
    EXPECT_EQ(model.Totals().SizeBytes, 0);
    EXPECT_EQ(model.Totals().DurationMicros, 0);
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
