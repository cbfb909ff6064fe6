#pragma once
// Images of the main window's toolbar buttons: icons of the desktop's icon theme, the
// bundled Adwaita theme when the desktop names none, and the style's own icons last.
#include <QIcon>
#include <QString>

class QWidget;

namespace reelsmith {

enum class ToolbarImage { Convert, Command, Extract, Burn, Add, Paste, Preview, Properties, Remove };

// Makes the desktop's icon theme reachable also where no desktop names one.
void EnsureIconTheme();

QIcon ToolbarIcon(ToolbarImage image, const QWidget* context);
// 48 when the screen has more than 150 pixels per inch, else 24.
int ToolbarImageSize(const QWidget* context);

}  // namespace reelsmith
