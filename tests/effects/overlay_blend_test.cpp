#include "effects/overlay_blend.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "effects_test_support.h"

namespace quillo::effects {
namespace {

using testing::At;
using testing::Pixel;
using testing::Solid;

TEST(BlendBitmap, WeighsEachByteByTheOpacity) {
    struct Case {
        int overlay;
        int dest;
        int opacity;
        int expected;
    };
    const std::vector<Case> cases = {
        {255, 0, 255, 254}, {200, 100, 128, 150}, {200, 100, 0, 100},
        {0, 255, 255, 0},   {77, 77, 255, 77},    {77, 77, 1, 77},
        {10, 250, 64, 190}, {255, 0, 300, 254},   {255, 100, -5, 100},
    };
    for (const Case& test : cases) {
        const auto o = std::uint8_t(test.overlay);
        const auto d = std::uint8_t(test.dest);
        media::Bitmap dest = Solid(3, 2, {d, d, d});
        BlendBitmap(dest, Solid(3, 2, {o, o, o}), 0, 0, test.opacity);
        const auto e = std::uint8_t(test.expected);
        for (int y = 0; y < 2; ++y) {
            for (int x = 0; x < 3; ++x) {
                EXPECT_EQ(At(dest, x, y), (Pixel{e, e, e}))
                    << test.overlay << " over " << test.dest << " at " << test.opacity;
            }
        }
    }
}

// Each overlay pixel says where it came from, so a misplaced pixel shows.
Pixel Marked(int x, int y) {
    return {std::uint8_t(1 + x * 17), std::uint8_t(1 + y * 23), 200};
}

TEST(BlendBitmap, DrawsOnlyWhereTheOverlayMeetsTheFrame) {
    struct Case {
        int left;
        int top;
        int width;
        int height;
    };
    // The destination is 10 x 8.
    const std::vector<Case> cases = {
        {0, 0, 4, 3},       {3, 2, 4, 3},       {-2, -1, 4, 3},     {8, 6, 4, 3},
        {10, 0, 4, 3},      {0, 8, 4, 3},       {-4, 0, 4, 3},      {0, -3, 4, 3},
        {-1, -1, 12, 10},   {-3, 2, 14, 3},     {6, 0, 4, 8},       {9, 7, 1, 1},
        {INT_MIN, 0, 4, 3}, {INT_MAX, 0, 4, 3}, {-100, -100, 4, 3}, {0, 0, 10, 8},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(::testing::Message() << "overlay " << test.width << "x" << test.height
                                          << " at " << test.left << ", " << test.top);
        media::Bitmap overlay(test.width, test.height);
        for (int y = 0; y < test.height; ++y) {
            for (int x = 0; x < test.width; ++x) {
                testing::Set(overlay, x, y, Marked(x, y));
            }
        }
        media::Bitmap dest(10, 8);
        BlendBitmap(dest, overlay, test.left, test.top, 255);
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 10; ++x) {
                const long long ox = static_cast<long long>(x) - test.left;
                const long long oy = static_cast<long long>(y) - test.top;
                Pixel expected;
                if (ox >= 0 && ox < test.width && oy >= 0 && oy < test.height) {
                    const Pixel o = Marked(int(ox), int(oy));
                    // 255 over 0: (255 * o) >> 8.
                    expected = {std::uint8_t(255 * o.b >> 8), std::uint8_t(255 * o.g >> 8),
                                std::uint8_t(255 * o.r >> 8)};
                }
                ASSERT_EQ(At(dest, x, y), expected) << "pixel " << x << ", " << y;
            }
        }
    }
}

TEST(BlendBitmap, AnOddWidthLeavesThePaddingAlone) {
    media::Bitmap dest(5, 3);  // 15 bytes of pixels, 16 per scan line
    for (int y = 0; y < 3; ++y) {
        dest.ScanLine(y)[15] = 0x5A;
    }
    BlendBitmap(dest, Solid(5, 3, {255, 255, 255}), 0, 0, 255);
    for (int y = 0; y < 3; ++y) {
        EXPECT_EQ(dest.ScanLine(y)[15], 0x5A);
        EXPECT_EQ(At(dest, 4, y), (Pixel{254, 254, 254}));
    }
}

}  // namespace
}  // namespace quillo::effects
