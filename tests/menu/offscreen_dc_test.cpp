#include "COffscreenDC.h"
#include "DibCanvas.h"

#include <gtest/gtest.h>

namespace {

TEST(COffscreenDC, PaintsInTargetCoordinatesAndCopiesOnDestruction) {
    DibCanvas target(60, 40, RGB(0, 0, 0));
    const CRect area(10, 5, 50, 25);
    {
        COffscreenDC offscreen(&target.Dc(), area);
        offscreen.FillSolidRect(0, 0, 60, 40, RGB(0, 200, 0));
        offscreen.SetPixel(10, 5, RGB(255, 0, 0));
        offscreen.SetPixel(49, 24, RGB(0, 0, 255));
        EXPECT_EQ(target.Pixel(20, 10), RGB(0, 0, 0)) << "nothing on the target yet";
    }
    EXPECT_EQ(target.Pixel(10, 5), RGB(255, 0, 0));
    EXPECT_EQ(target.Pixel(49, 24), RGB(0, 0, 255));
    EXPECT_EQ(target.Pixel(30, 15), RGB(0, 200, 0));
    EXPECT_EQ(target.Count(CRect(0, 0, 60, 40), RGB(0, 0, 0)),
              60 * 40 - area.Width() * area.Height())
        << "only the rectangle is copied";
}

} // namespace
