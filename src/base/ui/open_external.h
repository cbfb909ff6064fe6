#pragma once
// Handing a file or a web address to the desktop's program for it. Without one (no browser,
// no media player, no desktop session) the user is told what could not be opened, with the
// path or address selectable to copy, instead of nothing happening.
#include <QString>
#include <QUrl>
#include <functional>

class QWidget;

namespace reelsmith {

// How the desktop is asked; true when a program took the address. Tests put their own in.
using TDesktopOpener = std::function<bool(const QUrl&)>;
TDesktopOpener DesktopOpener();

// Opens `url` with `opener`; when that fails, says so over `parent` ("Could not open the
// <what>: …" with the path or address) and returns false.
bool OpenExternally(QWidget* parent, const QUrl& url, const QString& what, const TDesktopOpener& opener);

// The message shown when nothing could open `url`.
QString CouldNotOpenText(const QUrl& url, const QString& what);

}  // namespace reelsmith
