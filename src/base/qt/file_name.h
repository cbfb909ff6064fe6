#pragma once
// File names as the system has them: bytes. Qt reads every name as UTF-8 and replaces what
// is not valid UTF-8 (names written in Latin-1 on old disks and shares), so such a file could
// not be opened again. Here each byte that is not part of valid UTF-8 is kept in the text as
// one lone low surrogate (U+DC80 + byte - 0x80) and turned back into that byte exactly.
// Qt's own file functions cannot open such a text: status and opening go through the bytes.
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <string>

namespace reelsmith {

QString FileNameText(const QByteArray& bytes);
inline QString FileNameText(const std::string& bytes) { return FileNameText(QByteArray::fromStdString(bytes)); }

QByteArray FileNameBytes(const QString& text);
inline std::string FileNameString(const QString& text) { return FileNameBytes(text).toStdString(); }

// A name for the eye: kept bytes read "\xE9", control characters (a line break in a name)
// read "\n", "\r", "\t" or "\x01", so a name never splits a log line or hides a byte. A
// name that would show longer than 4096 characters shows its first 3072 and its last 1000
// around "…" (a list line may be megabytes; laying that out would take minutes).
QString DisplayedFileName(const QString& text);

// Status of the named file itself, links followed.
bool IsExistingFile(const QString& path);  // anything but a folder
bool IsRegularFile(const QString& path, int64_t* size = nullptr);
bool IsFolder(const QString& path);
bool PathExists(const QString& path);
// Something has this name, a dangling link included.
bool NameTaken(const QString& path);

// A folder text with a trailing "/" added when missing; empty stays empty.
QString WithTrailingSlash(const QString& folder);

}  // namespace reelsmith
