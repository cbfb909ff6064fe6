#include <gtest/gtest.h>

#include "base/qt/number_format.h"

using namespace reelsmith;

namespace {

struct FormatCase {
    const char* picture;
    QString (*format)(double, const QLocale&);
    double value;
    const char* english;
    const char* german;
};

const FormatCase kCases[] = {
    {"#,0", FormatGrouped0, 0, "0", "0"},
    {"#,0", FormatGrouped0, 1234567.5, "1,234,568", "1.234.568"},
    {"#,0", FormatGrouped0, 2.5, "3", "3"},
    {"#,0", FormatGrouped0, 2.4999, "2", "2"},
    {"#,#", FormatGroupedHash, 0, "", ""},
    {"#,#", FormatGroupedHash, 1048576, "1,048,576", "1.048.576"},
    {"#.#0", FormatTwoDecimals, 0.125, "0.13", "0,13"},
    {"#.#0", FormatTwoDecimals, 1234.5, "1234.50", "1234,50"},
    {"#,0.#0", FormatGroupedTwoDecimals, 1234.5, "1,234.50", "1.234,50"},
};

}  // namespace

TEST(NumberFormat, PicturesFollowTheLocale)
{
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    const QLocale german(QLocale::German, QLocale::Germany);
    for (const auto& c : kCases) {
        SCOPED_TRACE(std::string(c.picture) + " of " + std::to_string(c.value));
        EXPECT_EQ(c.format(c.value, english).toStdString(), c.english);
        EXPECT_EQ(c.format(c.value, german).toStdString(), c.german);
    }
}

TEST(NumberFormat, DurationKeepsWholeSecondsAndDoesNotWrapHours)
{
    EXPECT_EQ(FormatDuration(0).toStdString(), "00:00:00");
    EXPECT_EQ(FormatDuration(3723900000LL).toStdString(), "01:02:03");
    EXPECT_EQ(FormatDuration(100LL * 3600 * 1000000).toStdString(), "100:00:00");
}

TEST(NumberFormat, TotalSizeSwitchesToGigabytesAboveOneGiB)
{
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    EXPECT_EQ(FormatSizeMBorGB(1073741824LL, english).toStdString(), "1,024 MB");
    EXPECT_EQ(FormatSizeMBorGB(1073741825LL, english).toStdString(), "1.00 GB");
    EXPECT_EQ(FormatSizeMBorGB(1572864, english).toStdString(), "2 MB");
    // Below one MiB the status line says KB (or bytes) instead of "0 MB"; an empty list stays 0 MB.
    const struct {
        int64_t bytes;
        const char* text;
    } small[] = {{0, "0 MB"}, {500, "500 bytes"}, {119808, "117 KB"}, {1048575, "1,024 KB"}, {1048576, "1 MB"}};
    for (const auto& item : small)
        EXPECT_EQ(FormatSizeMBorGB(item.bytes, english).toStdString(), item.text) << item.bytes;
}

TEST(NumberFormat, FileSizeTakesTheLargestUnitBelowTheSize)
{
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    const struct {
        int64_t bytes;
        const char* text;
    } cases[] = {
        {0, "0 bytes"},          {1023, "1,023 bytes"},     {1024, "1 KB"},    {1535, "1 KB"},
        {1536, "2 KB"},          {1048575, "1,024 KB"},     {1048576, "1 MB"}, {1073741823, "1,024 MB"},
        {1073741824, "1.00 GB"}, {5368709120LL, "5.00 GB"},
    };
    for (const auto& item : cases)
        EXPECT_EQ(FormatFileSize(item.bytes, english).toStdString(), item.text) << item.bytes;
}
