#pragma once
// Where a top-level window goes so that all of it, its frame included, lies on the screen's
// available area (the panels left out): the wanted size cut to what fits, never below the
// window's minimum, centred.
#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSize>

namespace reelsmith {

struct TWindowPlace {
    QPoint FrameTopLeft;  // for QWidget::move, which places the frame
    QSize ClientSize;     // for QWidget::resize, which sizes what is inside the frame
};

// The decoration a window manager typically adds, for a window not yet shown (its real frame is
// known only once it is on screen).
inline constexpr QMargins kAssumedWindowFrame{4, 32, 4, 4};

TWindowPlace FittedWindowPlace(QSize wanted, QSize minimum, const QRect& available, const QMargins& frame);

}  // namespace reelsmith
