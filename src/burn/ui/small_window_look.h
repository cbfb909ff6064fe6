#pragma once
// The look the three small burn windows share: borderless (or a tool window), the grey
// frame with a white panel, the application font, centred on the owner.
#include <QString>

class QDialog;
class QLabel;

namespace reelsmith {

// A borderless grey window holding one white panel label, which is returned.
QLabel* MakePanelWindow(QDialog& window, const char* panelName, const QString& caption, const QString& text);
void CentreOnOwner(QDialog& window);

}  // namespace reelsmith
