#pragma once
// The ".fls" file list: one source path per line. Written as UTF-8 without a byte-order
// mark, every line ended by CR LF; read as UTF-8 unless a UTF-8, UTF-16 LE or UTF-16 BE
// byte-order mark says otherwise.
#include <QByteArray>
#include <QString>
#include <QStringList>

namespace reelsmith {

// The paths of a list's bytes; empty lines are dropped, others are taken as they stand.
QStringList DecodeFileList(const QByteArray& bytes);

// Reads a list file. On failure returns false and sets error to the platform's message.
bool ReadFileList(const QString& path, QStringList* paths, QString* error);

// Writes a list file. On failure returns false and sets error to the platform's message.
bool WriteFileList(const QString& path, const QStringList& paths, QString* error);

}  // namespace reelsmith
