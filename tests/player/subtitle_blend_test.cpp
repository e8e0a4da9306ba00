#include "player/subtitle_blend.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

namespace quillo::player {
namespace {

constexpr std::uint32_t Word(int a, int first, int second, int third) {
    return static_cast<std::uint32_t>(a) << 24 | static_cast<std::uint32_t>(first) << 16 |
           static_cast<std::uint32_t>(second) << 8 | static_cast<std::uint32_t>(third);
}

// A bitmap rectangle over its own index and palette storage.
struct BitmapRect {
    BitmapRect(int x, int y, int width, int height, int lineSize, int colours)
        : indexes(static_cast<std::size_t>(lineSize) * height, 0) {
        rect.type = SUBTITLE_BITMAP;
        rect.x = x;
        rect.y = y;
        rect.w = width;
        rect.h = height;
        rect.nb_colors = colours;
        rect.data[0] = indexes.data();
        rect.linesize[0] = lineSize;
        rect.data[1] = reinterpret_cast<std::uint8_t*>(palette.data());
    }
    std::uint8_t& Index(int x, int y) {
        return indexes[static_cast<std::size_t>(y) * rect.linesize[0] + x];
    }

    std::vector<std::uint8_t> indexes;
    std::array<std::uint32_t, 256> palette{};
    AVSubtitleRect rect{};
};

TEST(PlayerDisplaySubtitle, PaletteBecomesStudioRangeYCbCrKeepingAlpha) {
    struct Case {
        std::uint32_t argb;
        std::uint32_t yuva;
    };
    const Case cases[] = {
        {Word(0xFF, 255, 255, 255), Word(0xFF, 235, 128, 128)},  // white
        {Word(0xFF, 0, 0, 0), Word(0xFF, 16, 128, 128)},         // black
        {Word(0x80, 255, 0, 0), Word(0x80, 81, 90, 240)},        // red
        {Word(0x00, 0, 255, 0), Word(0x00, 144, 54, 34)},        // green
        {Word(0x40, 0, 0, 255), Word(0x40, 41, 240, 110)},       // blue
        {Word(0xFF, 128, 128, 128), Word(0xFF, 126, 128, 128)},  // grey
    };
    BitmapRect bitmap(0, 0, 1, 1, 1, std::size(cases));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        bitmap.palette[i] = cases[i].argb;
    }
    const std::uint32_t beyond = Word(0xFF, 255, 0, 0);
    bitmap.palette[std::size(cases)] = beyond;

    PaletteToYuva(bitmap.rect);

    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(bitmap.palette[i], cases[i].yuva)
            << "entry " << i << ": " << std::hex << bitmap.palette[i];
    }
    EXPECT_EQ(bitmap.palette[std::size(cases)], beyond) << "an entry past the colours";
}

// A 4:2:0 picture over its own planes, each row wider than the picture so that a write
// beyond the picture shows.
struct Picture {
    Picture(int width, int height, std::uint8_t y, std::uint8_t cb, std::uint8_t cr) {
        const int chromaWidth = (width + 1) / 2;
        const int chromaHeight = (height + 1) / 2;
        const int lineSizes[3] = {width + 5, chromaWidth + 3, chromaWidth + 3};
        const int rows[3] = {height, chromaHeight, chromaHeight};
        const std::uint8_t values[3] = {y, cb, cr};
        frame.width = width;
        frame.height = height;
        frame.format = AV_PIX_FMT_YUV420P;
        for (int p = 0; p < 3; ++p) {
            // One spare row below each plane as well.
            planes[p].assign(static_cast<std::size_t>(lineSizes[p]) * (rows[p] + 1), kOutside);
            for (int row = 0; row < rows[p]; ++row) {
                std::memset(planes[p].data() + static_cast<std::size_t>(row) * lineSizes[p],
                            values[p], p == 0 ? width : chromaWidth);
            }
            frame.data[p] = planes[p].data();
            frame.linesize[p] = lineSizes[p];
        }
    }
    std::uint8_t& At(int plane, int x, int y) {
        return planes[plane][static_cast<std::size_t>(y) * frame.linesize[plane] + x];
    }

    static constexpr std::uint8_t kOutside = 0xEE;
    std::array<std::vector<std::uint8_t>, 3> planes;
    AVFrame frame{};
};

TEST(PlayerDisplaySubtitle, OpaqueAndHalfTransparentPixelsBlendByHand) {
    Picture picture(8, 4, 100, 128, 128);
    const std::uint32_t transparent = Word(0, 0, 128, 128);
    const std::uint32_t opaque = Word(255, 200, 50, 220);
    const std::uint32_t half = Word(128, 40, 200, 20);

    // Two pixels sharing one chroma sample: opaque at x 2, transparent at x 3.
    BitmapRect pair(2, 0, 2, 1, 2, 3);
    pair.palette = {transparent, opaque, half};
    pair.Index(0, 0) = 1;
    pair.Index(1, 0) = 0;
    BlendSubtitleRect(picture.frame, pair.rect);
    EXPECT_EQ(picture.At(0, 2, 0), 200);
    EXPECT_EQ(picture.At(0, 3, 0), 100);
    // alpha (255 + 0) >> 1 = 127: (128·2·128 + (50 + 128)·127) / 510 and the same with 220.
    EXPECT_EQ(picture.At(1, 1, 0), 108);
    EXPECT_EQ(picture.At(2, 1, 0), 150);

    // Half transparent over x 5..7, y 1..3: 1 x 1, 2 x 1, 1 x 2 and 2 x 2 blocks.
    BitmapRect square(5, 1, 3, 3, 4, 3);
    square.palette = {transparent, opaque, half};
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 3; ++x) {
            square.Index(x, y) = 2;
        }
    }
    BlendSubtitleRect(picture.frame, square.rect);
    EXPECT_EQ(picture.At(0, 5, 1), 69);  // (127·100 + 128·40) / 255
    EXPECT_EQ(picture.At(0, 7, 3), 69);
    EXPECT_EQ(picture.At(0, 4, 1), 100);
    EXPECT_EQ(picture.At(0, 5, 0), 100);
    for (const auto [cx, cy] : {std::array{2, 0}, {3, 0}, {2, 1}, {3, 1}}) {
        EXPECT_EQ(picture.At(1, cx, cy), 164) << cx << "," << cy;
        EXPECT_EQ(picture.At(2, cx, cy), 73) << cx << "," << cy;
    }
    EXPECT_EQ(picture.At(1, 1, 1), 128);
    EXPECT_EQ(picture.At(1, 0, 0), 128);
}

// The blend worked out per chroma sample from the 2 x 2 pixels it stands for.
void ReferenceBlend(Picture& picture, const AVSubtitleRect& rect,
                    const std::array<std::uint32_t, 256>& palette) {
    const auto inRect = [&](int x, int y) {
        return x >= 0 && y >= 0 && x < picture.frame.width && y < picture.frame.height &&
               x >= rect.x && y >= rect.y && x < rect.x + rect.w && y < rect.y + rect.h;
    };
    const auto entry = [&](int x, int y) {
        return palette[rect.data[0][(y - rect.y) * rect.linesize[0] + (x - rect.x)]];
    };
    for (int y = 0; y < picture.frame.height; ++y) {
        for (int x = 0; x < picture.frame.width; ++x) {
            if (inRect(x, y)) {
                const int a = static_cast<int>(entry(x, y) >> 24);
                const int luma = static_cast<int>((entry(x, y) >> 16) & 0xFF);
                std::uint8_t& old = picture.At(0, x, y);
                old = static_cast<std::uint8_t>(((255 - a) * old + a * luma) / 255);
            }
        }
    }
    for (int cy = 0; cy < (picture.frame.height + 1) / 2; ++cy) {
        for (int cx = 0; cx < (picture.frame.width + 1) / 2; ++cx) {
            int count = 0;
            int alpha = 0;
            int cb = 0;
            int cr = 0;
            for (int dy = 0; dy < 2; ++dy) {
                for (int dx = 0; dx < 2; ++dx) {
                    if (inRect(2 * cx + dx, 2 * cy + dy)) {
                        const std::uint32_t e = entry(2 * cx + dx, 2 * cy + dy);
                        ++count;
                        alpha += static_cast<int>(e >> 24);
                        cb += static_cast<int>((e >> 8) & 0xFF);
                        cr += static_cast<int>(e & 0xFF);
                    }
                }
            }
            if (count == 0) {
                continue;
            }
            const int shift = count == 4 ? 2 : count == 2 ? 1 : 0;
            const int a = alpha >> shift;
            std::uint8_t& oldCb = picture.At(1, cx, cy);
            std::uint8_t& oldCr = picture.At(2, cx, cy);
            oldCb =
                static_cast<std::uint8_t>(((oldCb << shift) * (255 - a) + cb * a) / (255 << shift));
            oldCr =
                static_cast<std::uint8_t>(((oldCr << shift) * (255 - a) + cr * a) / (255 << shift));
        }
    }
}

TEST(PlayerDisplaySubtitle, RectangleIsBlendedAtOddPositionsAndClippedToThePicture) {
    struct Case {
        const char* name;
        int x;
        int y;
        int width;
        int height;
    };
    const Case cases[] = {
        {"inside, even start", 2, 2, 4, 4},
        {"inside, odd start", 3, 1, 4, 3},
        {"odd start and odd size", 1, 3, 5, 3},
        {"over the top left corner", -3, -2, 6, 5},
        {"over the bottom right corner", 6, 5, 10, 10},
        {"over the whole picture", -1, -1, 12, 10},
        {"wholly right of the picture", 9, 0, 4, 4},
        {"wholly above the picture", 0, -6, 4, 6},
    };
    // A picture of odd size: its last chroma column and row stand for one pixel only.
    constexpr int kWidth = 9;
    constexpr int kHeight = 7;
    const std::array<std::uint32_t, 4> colours = {Word(0, 16, 128, 128), Word(255, 235, 16, 240),
                                                  Word(128, 60, 200, 40), Word(40, 180, 90, 150)};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BitmapRect bitmap(c.x, c.y, c.width, c.height, c.width + 3, colours.size());
        std::copy(colours.begin(), colours.end(), bitmap.palette.begin());
        for (int y = 0; y < c.height; ++y) {
            for (int x = 0; x < c.width; ++x) {
                bitmap.Index(x, y) = static_cast<std::uint8_t>((x + 2 * y) % 4);
            }
        }
        Picture picture(kWidth, kHeight, 90, 110, 150);
        Picture expected(kWidth, kHeight, 90, 110, 150);
        ReferenceBlend(expected, bitmap.rect, bitmap.palette);

        BlendSubtitleRect(picture.frame, bitmap.rect);

        EXPECT_EQ(picture.planes[0], expected.planes[0]) << "luma";
        EXPECT_EQ(picture.planes[1], expected.planes[1]) << "blue chroma";
        EXPECT_EQ(picture.planes[2], expected.planes[2]) << "red chroma";
    }
}

}  // namespace
}  // namespace quillo::player
