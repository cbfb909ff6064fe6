#pragma once
// The ".fls" file list: one source path per line. Written as UTF-8 without a byte-order
// mark, every line ended by CR LF; read as UTF-8 unless a UTF-8, UTF-16 LE or UTF-16 BE
// byte-order mark says otherwise. A name that holds a line break (or that starts with
// "file://") is written as a local file URL, "file:///v/two%0Alines.mp4", every other name
// as it stands, so lists of old read as they always did. A line that is not absolute is
// taken relative to the list's own folder.
#include <QByteArray>
#include <QString>
#include <QStringList>

namespace reelsmith {

// The lines of a list's bytes; empty lines are dropped, a local file URL gives its path,
// others are taken as they stand (relative ones stay relative).
QStringList DecodeFileList(const QByteArray& bytes);

// The bytes of a list holding paths.
QByteArray EncodeFileList(const QStringList& paths);

// Reads a list file; relative lines are resolved against the list's folder and "." parts
// and doubled "/" are taken out. On failure returns false and sets error to the platform's
// message.
bool ReadFileList(const QString& path, QStringList* paths, QString* error);

// Writes a list file whole (see base/file_replace.h): on failure returns false, sets error
// to the platform's message, and the file that was there is kept as it was.
bool WriteFileList(const QString& path, const QStringList& paths, QString* error);

}  // namespace reelsmith
