#include <gtest/gtest.h>

#include "app/preview_placement.h"

namespace quillo::app {
namespace {

TEST(PreviewPlacement, StretchesIntoThePictureKeepingTheAspect) {
    const struct {
        int bitmapWidth, bitmapHeight, pictureWidth, pictureHeight;
        PictureRect placed;
    } cases[] = {
        // a = 0.8 < b = 1.2: full height, side margins round(66.67) = 67.
        {320, 240, 400, 200, {67, 0, 266, 200}},
        // a = 2 > b = 0.8: full width, top and bottom margins (200 - 80) / 2 = 60.
        {640, 160, 320, 200, {0, 60, 320, 80}},
        // The same shape: no margins.
        {320, 240, 160, 120, {0, 0, 160, 120}},
        // a = b counts as a >= b.
        {100, 100, 50, 50, {0, 0, 50, 50}},
        // Ties go to the even neighbour: round(0.5) = 0, round(1.5) = 2, round(2.5) = 2.
        {100, 50, 100, 51, {0, 0, 100, 51}},
        {100, 50, 100, 53, {0, 2, 100, 49}},
        {100, 50, 100, 55, {0, 2, 100, 51}},
        {50, 100, 55, 100, {2, 0, 51, 100}},
        // Nothing to draw.
        {0, 240, 400, 200, {}},
        {320, 240, 0, 200, {}},
    };
    for (const auto& c : cases) {
        const PictureRect placed =
            PreviewPlacement(c.bitmapWidth, c.bitmapHeight, c.pictureWidth, c.pictureHeight);
        EXPECT_EQ(placed, c.placed)
            << c.bitmapWidth << "x" << c.bitmapHeight << " in " << c.pictureWidth << "x"
            << c.pictureHeight << ": " << placed.Left << "," << placed.Top << " " << placed.Width
            << "x" << placed.Height;
    }
}

}  // namespace
}  // namespace quillo::app
