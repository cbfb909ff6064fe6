#include "intake/row_cells.h"

#include <QFileInfo>

#include "base/qt/number_format.h"

namespace reelsmith {

QString FormatFrameRate(int num, int den)
{
    if (num <= 0 || den <= 0)
        return QStringLiteral("-");
    return QString::asprintf("%.2f fps", static_cast<double>(num) / den);
}

QString FormatBitRate(int64_t bitsPerSecond)
{
    if (bitsPerSecond <= 0)
        return QStringLiteral("-");
    return QString::asprintf("%lld kb", static_cast<long long>(bitsPerSecond / 1000));
}

QString BitRateWithUnit(const QString& bitRateText)
{
    if (!bitRateText.endsWith(QLatin1String(" kb")))
        return bitRateText;
    return bitRateText.chopped(3) + QStringLiteral(" kbit/s");
}

QString SampleRateText(int hertz) { return hertz > 0 ? QStringLiteral("%1 Hz").arg(hertz) : QStringLiteral("-"); }

QString ChannelsText(int channels, const std::string& layout)
{
    if (channels <= 0)
        return QStringLiteral("-");
    if (layout.empty() || layout == std::to_string(channels) + " channels")
        return QString::number(channels);
    return QStringLiteral("%1 (%2)").arg(channels).arg(QString::fromStdString(layout));
}

QString DetailText(const std::string& text)
{
    return text.empty() ? QStringLiteral("-") : QString::fromStdString(text);
}

TFileListRow MakeFileListRow(const QString& path, int64_t sizeBytes, const TProbedMedia& media, const QLocale& locale)
{
    // Any negative duration is an unknown one: sorting and totals must never see it.
    const int64_t duration = media.Duration < 0 ? 0 : media.Duration;
    TFileListRow row;
    row.Media = media;
    row.Caption = QFileInfo(path).fileName();
    row.cell(FileCell::DurationText) = FormatDuration(duration);
    row.cell(FileCell::SizeText) = FormatGroupedHash(static_cast<double>(sizeBytes), locale);
    row.cell(FileCell::SourcePath) = path;
    row.cell(FileCell::DurationMicros) = QString::number(duration);
    row.cell(FileCell::SizeBytes) = QString::number(sizeBytes);
    const bool videoFirst = media.VideoStreamCount > 0 && media.Stream0IsVideo;
    row.cell(FileCell::FrameRateText) = videoFirst ? FormatFrameRate(media.FrameRateNum, media.FrameRateDen) : "-";
    row.cell(FileCell::BitRateText) = videoFirst ? FormatBitRate(media.BitRate) : "-";
    row.cell(FileCell::FrameSizeText) =
        videoFirst ? QString::asprintf("%dx%d", media.Width, media.Height) : QStringLiteral("-");
    return row;
}

}  // namespace reelsmith
