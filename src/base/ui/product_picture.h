#pragma once
// The product picture (resources/icons/reelsmith.svg, built into the program): the window
// icon of every window and the picture of the About window.
#include <QIcon>
#include <QPixmap>

namespace reelsmith {

QIcon ProductIcon();
// Makes the built-in files (":/reelsmith/...", also the theme's pictures) reachable.
void EnsureProgramResources();
// The picture at a side length in device-independent pixels, sharp on the given pixel ratio.
QPixmap ProductPicture(int side, qreal devicePixelRatio = 1.0);

}  // namespace reelsmith
