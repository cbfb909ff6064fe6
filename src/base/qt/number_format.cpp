#include "base/qt/number_format.h"

#include <cmath>

namespace reelsmith {

namespace {

double RoundHalfAwayFromZero(double value) { return value < 0 ? -std::floor(-value + 0.5) : std::floor(value + 0.5); }

QString Grouped(double rounded, const QLocale& locale)
{
    QLocale grouping = locale;
    grouping.setNumberOptions(grouping.numberOptions() & ~QLocale::OmitGroupSeparator);
    return grouping.toString(rounded, 'f', 0);
}

}  // namespace

QString FormatGrouped0(double value, const QLocale& locale) { return Grouped(RoundHalfAwayFromZero(value), locale); }

QString FormatGroupedHash(double value, const QLocale& locale)
{
    const double rounded = RoundHalfAwayFromZero(value);
    if (rounded == 0)
        return {};
    return Grouped(rounded, locale);
}

QString FormatTwoDecimals(double value, const QLocale& locale)
{
    QLocale plain = locale;
    plain.setNumberOptions(plain.numberOptions() | QLocale::OmitGroupSeparator);
    return plain.toString(RoundHalfAwayFromZero(value * 100) / 100, 'f', 2);
}

QString FormatGroupedTwoDecimals(double value, const QLocale& locale)
{
    QLocale grouping = locale;
    grouping.setNumberOptions(grouping.numberOptions() & ~QLocale::OmitGroupSeparator);
    return grouping.toString(RoundHalfAwayFromZero(value * 100) / 100, 'f', 2);
}

QString FormatDuration(int64_t micros)
{
    const int64_t seconds = micros / 1000000;
    return QString::asprintf("%.2lld:%.2lld:%.2lld", static_cast<long long>(seconds / 3600),
                             static_cast<long long>((seconds / 60) % 60), static_cast<long long>(seconds % 60));
}

QString FormatSizeMBorGB(int64_t bytes, const QLocale& locale)
{
    constexpr double kMiB = 1048576.0;
    constexpr double kGiB = 1073741824.0;
    // "0 MB" for a total of a few kilobytes read as if the files were empty.
    if (bytes > 0 && bytes < static_cast<int64_t>(kMiB))
        return FormatFileSize(bytes, locale);
    if (bytes <= static_cast<int64_t>(kGiB))
        return FormatGrouped0(static_cast<double>(bytes) / kMiB, locale) + QStringLiteral(" MB");
    return FormatTwoDecimals(static_cast<double>(bytes) / kGiB, locale) + QStringLiteral(" GB");
}

QString FormatFileSize(int64_t bytes, const QLocale& locale)
{
    const double value = static_cast<double>(bytes);
    if (bytes < 1024)
        return FormatGrouped0(value, locale) + QStringLiteral(" bytes");
    if (bytes < 1048576)
        return FormatGrouped0(value / 1024.0, locale) + QStringLiteral(" KB");
    if (bytes < 1073741824)
        return FormatGrouped0(value / 1048576.0, locale) + QStringLiteral(" MB");
    return FormatTwoDecimals(value / 1073741824.0, locale) + QStringLiteral(" GB");
}

}  // namespace reelsmith
