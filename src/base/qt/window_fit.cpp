#include "base/qt/window_fit.h"

#include <algorithm>

namespace reelsmith {

TWindowPlace FittedWindowPlace(QSize wanted, QSize minimum, const QRect& available, const QMargins& frame)
{
    const int roomWidth = available.width() - frame.left() - frame.right();
    const int roomHeight = available.height() - frame.top() - frame.bottom();
    const QSize client(std::max(minimum.width(), std::min(wanted.width(), roomWidth)),
                       std::max(minimum.height(), std::min(wanted.height(), roomHeight)));
    const QSize outer = client.grownBy(frame);
    // A window larger than the area even at its minimum keeps its title bar on screen.
    const QPoint topLeft(available.left() + std::max(0, (available.width() - outer.width()) / 2),
                         available.top() + std::max(0, (available.height() - outer.height()) / 2));
    return {topLeft, client};
}

}  // namespace reelsmith
