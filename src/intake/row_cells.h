#pragma once
// Formats the caption and the eight cells of a file list row from a probed file.
#include <QLocale>
#include <QString>
#include <cstdint>
#include <string>

#include "intake/file_list_row.h"
#include "intake/media_probe.h"

namespace reelsmith {

TFileListRow MakeFileListRow(const QString& path, int64_t sizeBytes, const TProbedMedia& media,
                             const QLocale& locale = QLocale());

// "25.00 fps"; "-" when the rate is not a positive number (0/1 means unknown, x/0 is undefined).
QString FormatFrameRate(int num, int den);
// "128 kb" from bits per second; "-" when not positive.
QString FormatBitRate(int64_t bitsPerSecond);

// The Properties window's pictures of a row: "3877 kb" as "3877 kbit/s" ("-" stays),
// "44100 Hz", "2 (stereo)", and "-" for what is unknown or empty.
QString BitRateWithUnit(const QString& bitRateText);
QString SampleRateText(int hertz);
QString ChannelsText(int channels, const std::string& layout);
QString DetailText(const std::string& text);

}  // namespace reelsmith
