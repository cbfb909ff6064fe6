#pragma once
// The number pictures the windows show, with separators from the user's locale.
#include <QLocale>
#include <QString>
#include <cstdint>

namespace reelsmith {

// "#,0": whole number rounded half away from zero, with thousands separators.
QString FormatGrouped0(double value, const QLocale& locale = QLocale());
// "#,#": whole number with thousands separators; zero gives an empty text as the picture says.
QString FormatGroupedHash(double value, const QLocale& locale = QLocale());
// "#.#0": two decimals, no thousands separators.
QString FormatTwoDecimals(double value, const QLocale& locale = QLocale());
// "#,0.#0": two decimals with thousands separators.
QString FormatGroupedTwoDecimals(double value, const QLocale& locale = QLocale());

// "hh:mm:ss" of whole seconds of a microsecond duration; hours are not wrapped.
QString FormatDuration(int64_t micros);

// Total size as the status line shows it: MB with "#,0" up to 1 GiB, else GB with "#.#0";
// below 1 MiB (and above 0) bytes or KB as FormatFileSize gives them.
QString FormatSizeMBorGB(int64_t bytes, const QLocale& locale = QLocale());

// One file's size as the Properties window shows it: bytes, KB and MB with "#,0" below
// the next unit, GB with "#.#0".
QString FormatFileSize(int64_t bytes, const QLocale& locale = QLocale());

}  // namespace reelsmith
