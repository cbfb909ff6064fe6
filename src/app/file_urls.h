#pragma once
// Local file paths from the clipboard and drag-and-drop formats of file managers:
// "text/uri-list" (one URL a line, "#" lines are comments) and
// "x-special/gnome-copied-files" ("copy" or "cut", then one URL a line). Only file URLs of
// this machine count (no host or "localhost"); other schemes and plain text are ignored.
#include <QByteArray>
#include <QString>
#include <QStringList>

namespace reelsmith {

inline constexpr char kUriListMime[] = "text/uri-list";
inline constexpr char kGnomeCopiedFilesMime[] = "x-special/gnome-copied-files";

// The path of one local file URL, percent-decoding kept as file-name bytes; empty otherwise.
QString LocalPathFromFileUrl(const QByteArray& url);

QStringList LocalPathsFromUriList(const QByteArray& text);
QStringList LocalPathsFromGnomeCopiedFiles(const QByteArray& text);

// The paths of whichever format holds some, the URI list first; in the given order.
QStringList LocalPathsFromMime(const QByteArray& uriList, const QByteArray& gnomeCopiedFiles);

}  // namespace reelsmith
