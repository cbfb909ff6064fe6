#pragma once
// Help > Help (F1): the HTML user manual in the default browser, or in the program's own
// viewer when no browser can be started.
#include <QString>

#include "base/ui/open_external.h"

namespace reelsmith {

class Tfrm_Main;

// The manual's first page, found beside the program or in the data folder; empty when missing.
QString HelpFilePath();

void Help2Click(Tfrm_Main& main);
// Opens the page with `opener` (the desktop's), in the built-in viewer when that fails, or
// tells the user that the manual is missing (empty or absent path).
void OpenHelp(Tfrm_Main& main, const QString& path, const TDesktopOpener& opener = DesktopOpener());

}  // namespace reelsmith
