#pragma once
// A theme file ("Dark.qss"): a Qt style sheet whose leading comment names the theme and
// gives its palette and the colours of the main window's toolbar buttons, as lines
// "name: Dark", "palette Window: #2d2f33", "palette Disabled.Text: #7a7d82",
// "button-hot: #3b4a5e". Reading it needs no display.
#include <QString>
#include <QStringList>
#include <map>

namespace reelsmith {

struct TThemeFile {
    QString Name;
    // Palette role name (optionally "Disabled." or "Inactive." first) to a "#rrggbb" colour.
    std::map<QString, QString> Palette;
    QString ButtonHot;
    QString ButtonFocused;
    QString ButtonPressed;
    QString StyleSheet;  // the whole text, handed to Qt as it stands
};

// The palette roles a theme must give: without them some window would keep light colours.
QStringList RequiredPaletteRoles();

// Parses a theme's text. False when the name, a required palette role or a button colour is
// missing, or a colour is not "#rrggbb".
bool ParseThemeFile(const QString& text, TThemeFile* theme);

// Reads and parses a theme file; false when it cannot be read or is not a theme.
bool ReadThemeFile(const QString& path, TThemeFile* theme);

}  // namespace reelsmith
