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

TFileListRow MakeFileListRow(const QString& path, int64_t sizeBytes, const TProbedMedia& media, const QLocale& locale)
{
    // Any negative duration is an unknown one: sorting and totals must never see it.
    const int64_t duration = media.Duration < 0 ? 0 : media.Duration;
    TFileListRow row;
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
