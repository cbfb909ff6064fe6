#pragma once
// The dark theme of the View menu: the style sheet and palette of "Dark.qss" for the whole
// application, or Qt's Fusion style with its standard palette, and the colours of the main
// window's toolbar buttons and of its "Click here to add files" note in each.
#include <QColor>
#include <QString>

#include "app/theme_file.h"

namespace reelsmith {

class Tfrm_Main;

struct TButtonColours {
    QColor Caption;
    QColor Face;
    QColor Frame;
    QColor PressedFace;
    QColor NoteBackground;  // invalid: the note is transparent
};

// Before any theme is applied.
TButtonColours DesignButtonColours();
// The standard style (SetColors with Default true).
TButtonColours StandardButtonColours();
// A loaded theme (SetColors with Default false).
TButtonColours ThemeButtonColours(const TThemeFile& theme);

// The style sheet of the toolbar buttons in these colours (Tfrm_Main::SetColors).
QString ButtonSheet(const TButtonColours& colours);

// The "Dark" style file, found beside the program or in the data folder; empty when missing.
QString DarkThemePath();

// Runs after the "Dark theme" entry toggled: checked applies the theme in themePath (a
// missing or invalid file changes nothing), unchecked returns to the standard style. True
// when a style was applied and the buttons recoloured.
bool Darktheme1Click(Tfrm_Main& main, bool checked, const QString& themePath);
inline bool Darktheme1Click(Tfrm_Main& main, bool checked) { return Darktheme1Click(main, checked, DarkThemePath()); }

}  // namespace reelsmith
