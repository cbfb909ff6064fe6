#pragma once
// Help > Help (F1): the HTML user manual in the default browser.
#include <QString>

namespace reelsmith {

class Tfrm_Main;

// The manual's first page, found beside the program or in the data folder; empty when missing.
QString HelpFilePath();

void Help2Click(Tfrm_Main& main);
// Opens the page, or tells the user that the manual is missing (empty or absent path).
void OpenHelp(Tfrm_Main& main, const QString& path);

}  // namespace reelsmith
