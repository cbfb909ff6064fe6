#include <gtest/gtest.h>

#include "base/qt/window_fit.h"

using namespace reelsmith;

namespace {

struct FitCase {
    const char* name;
    QSize wanted;
    QSize minimum;
    QRect available;
    QSize client;
    QPoint frameTopLeft;
};

const QMargins kFrame{4, 32, 4, 4};

// Screens as users have them: a panel at the top or bottom takes part of the height.
const FitCase kCases[] = {
    {"fits as it is", {800, 600}, {400, 400}, {0, 0, 1280, 900}, {800, 600}, {236, 132}},
    {"1024x600 with a top panel", {800, 600}, {400, 400}, {0, 27, 1024, 573}, {800, 537}, {108, 27}},
    {"800x600 without panels", {800, 600}, {400, 400}, {0, 0, 800, 600}, {792, 564}, {0, 0}},
    {"stored size larger than the screen", {3000, 2000}, {400, 400}, {0, 0, 1920, 1040}, {1912, 1004}, {0, 0}},
    {"minimum wins over the screen", {800, 600}, {700, 500}, {0, 0, 640, 480}, {700, 500}, {0, 0}},
    {"second screen to the right", {800, 600}, {400, 400}, {1920, 0, 1280, 1024}, {800, 600}, {2156, 194}},
};

}  // namespace

TEST(WindowFit, WholeWindowOnTheAvailableArea)
{
    for (const FitCase& c : kCases) {
        const TWindowPlace place = FittedWindowPlace(c.wanted, c.minimum, c.available, kFrame);
        EXPECT_EQ(place.ClientSize, c.client) << c.name;
        EXPECT_EQ(place.FrameTopLeft, c.frameTopLeft) << c.name;
        const QRect outer(place.FrameTopLeft, place.ClientSize.grownBy(kFrame));
        if (c.minimum.height() + kFrame.top() + kFrame.bottom() <= c.available.height()) {
            EXPECT_TRUE(c.available.contains(outer)) << c.name;
        }
    }
}
