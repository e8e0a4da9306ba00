#include "effects/text_watermark.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "effects_test_support.h"

namespace quillo::effects {
namespace {

using testing::At;
using testing::Noise;
using testing::Pixel;
using testing::Solid;

class TextWatermark : public ::testing::Test {
protected:
    static void SetUpTestSuite() { testing::UseOffscreenGui(); }

    // A text item whose box is the measured size of its text.
    static WmRec Item(const std::string& text, int left, int top, std::uint32_t color) {
        WmRec item;
        item.Text = text;
        item.Font.Name = "DejaVu Sans";
        item.Font.Size = 14;
        item.Font.Color = color;
        const TextSize size = MeasureText(text, item.Font);
        item.TextLeft = left;
        item.TextTop = top;
        item.TextWidth = size.Width;
        item.TextHeight = size.Height;
        return item;
    }

    // The pixels a text covers: black text in a white box over white changes every pixel it
    // touches at all, since (255 + 255 * o) >> 8 stays below 255 for any overlay byte o below
    // 255. The box path is used, so that the mask does not rest on the frame copy it checks.
    static std::vector<bool> GlyphMask(WmRec item, int width, int height) {
        item.Font.Color = 0x000000;
        item.HasBackground = true;
        item.BackColor = 0xFFFFFF;
        item.TextOpacity = 255;
        media::Bitmap white = Solid(width, height, {255, 255, 255});
        DrawTextItem(white, item);
        std::vector<bool> mask(std::size_t(width) * height);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                mask[std::size_t(y) * width + x] = !(At(white, x, y) == Pixel{255, 255, 255});
            }
        }
        return mask;
    }

    static int CountChanged(const media::Bitmap& a, const media::Bitmap& b) {
        int changed = 0;
        for (int y = 0; y < a.Height(); ++y) {
            for (int x = 0; x < a.Width(); ++x) {
                changed += At(a, x, y) == At(b, x, y) ? 0 : 1;
            }
        }
        return changed;
    }

    static bool Inside(const WmRec& item, int x, int y) {
        return x >= item.TextLeft && x < item.TextLeft + item.TextWidth && y >= item.TextTop &&
               y < item.TextTop + item.TextHeight;
    }
};

TEST(FontPixelSize, IsPointsAt96DotsPerInch) {
    const std::vector<std::pair<int, int>> cases = {{7, 9},   {9, 12}, {12, 16}, {26, 35},
                                                    {70, 93}, {1, 1},  {0, 1},   {-8, 1}};
    for (const auto& [points, pixels] : cases) {
        EXPECT_EQ(FontPixelSize(points), pixels) << points << " pt";
    }
}

TEST_F(TextWatermark, MeasuresTheAdvanceAndTheLineHeight) {
    WatermarkFont font;
    font.Name = "DejaVu Sans";
    font.Size = 14;
    const TextSize one = MeasureText("Quillo", font);
    EXPECT_GT(one.Width, 0);
    EXPECT_GE(one.Height, FontPixelSize(font.Size));
    EXPECT_EQ(MeasureText("Quillo", font), one);
    EXPECT_GT(MeasureText("Quillo Quillo", font).Width, one.Width);
    EXPECT_EQ(MeasureText("", font), (TextSize{0, one.Height}));
    font.Size = 28;
    const TextSize twice = MeasureText("Quillo", font);
    EXPECT_GT(twice.Width, one.Width * 3 / 2);
    EXPECT_GT(twice.Height, one.Height * 3 / 2);
}

TEST_F(TextWatermark, WithoutBackgroundOnlyTheGlyphPixelsChange) {
    const media::Bitmap source = Noise(120, 40);
    const WmRec item = Item("Quillo Wg", 6, 5, 0xFFFFFF);
    const std::vector<bool> mask = GlyphMask(item, 120, 40);
    media::Bitmap frame = source;
    DrawTextItem(frame, item);
    int changed = 0;
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 120; ++x) {
            if (!(At(frame, x, y) == At(source, x, y))) {
                ++changed;
                ASSERT_TRUE(mask[std::size_t(y) * 120 + x]) << "not a glyph: " << x << ", " << y;
            }
        }
    }
    EXPECT_GT(changed, 30);
}

TEST_F(TextWatermark, WithBackgroundTheWholeBoxIsBlended) {
    for (const int opacity : {255, 128}) {
        SCOPED_TRACE(opacity);
        const media::Bitmap source = Noise(90, 36);
        WmRec item = Item("Box", 11, 7, 0xFFFFFF);
        item.TextWidth += 20;  // a box larger than its text keeps the fill beyond it
        item.HasBackground = true;
        item.BackColor = 0x102030;
        item.TextOpacity = opacity;
        const std::vector<bool> mask = GlyphMask(item, 90, 36);
        media::Bitmap frame = source;
        DrawTextItem(frame, item);
        for (int y = 0; y < 36; ++y) {
            for (int x = 0; x < 90; ++x) {
                const Pixel before = At(source, x, y);
                const auto blend = [opacity](int d, int o) {
                    return std::uint8_t(((256 - opacity) * d + opacity * o) >> 8);
                };
                const Pixel filled{blend(before.b, 0x30), blend(before.g, 0x20),
                                   blend(before.r, 0x10)};
                if (!Inside(item, x, y)) {
                    ASSERT_EQ(At(frame, x, y), before) << "outside: " << x << ", " << y;
                } else if (!mask[std::size_t(y) * 90 + x]) {
                    ASSERT_EQ(At(frame, x, y), filled) << "box: " << x << ", " << y;
                }
            }
        }
    }
}

TEST_F(TextWatermark, GlyphsTakeTheFontColour) {
    media::Bitmap frame = Solid(80, 30, {0, 0, 0});
    WmRec item = Item("HHH", 2, 2, 0x3366CC);
    item.Font.Bold = true;
    DrawTextItem(frame, item);
    // Inside the strokes of a bold H coverage is full: the colour, blended at 255 over 0.
    const Pixel solid{std::uint8_t(255 * 0xCC >> 8), std::uint8_t(255 * 0x66 >> 8),
                      std::uint8_t(255 * 0x33 >> 8)};
    int solidPixels = 0;
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 80; ++x) {
            solidPixels += At(frame, x, y) == solid ? 1 : 0;
        }
    }
    EXPECT_GT(solidPixels, 20);
}

TEST_F(TextWatermark, EachStyleChangesTheDrawing) {
    const std::vector<std::pair<std::string, std::function<void(WatermarkFont&)>>> styles = {
        {"bold", [](WatermarkFont& f) { f.Bold = true; }},
        {"italic", [](WatermarkFont& f) { f.Italic = true; }},
        {"underline", [](WatermarkFont& f) { f.Underline = true; }},
        {"strikeout", [](WatermarkFont& f) { f.StrikeOut = true; }},
        {"family", [](WatermarkFont& f) { f.Name = "DejaVu Serif"; }},
        {"size", [](WatermarkFont& f) { f.Size = 16; }},
    };
    const WmRec plain = Item("Styles", 1, 1, 0xFFFFFF);
    media::Bitmap plainFrame(70, 30);
    DrawTextItem(plainFrame, plain);
    for (const auto& [name, change] : styles) {
        WmRec styled = plain;
        change(styled.Font);
        media::Bitmap styledFrame(70, 30);
        DrawTextItem(styledFrame, styled);
        EXPECT_GT(CountChanged(plainFrame, styledFrame), 5) << name;
    }
}

TEST_F(TextWatermark, TheBoxCutsTheTextOffAndIsNeverStretched) {
    const WmRec whole = Item("A long line of text", 0, 0, 0xFFFFFF);
    media::Bitmap wide(200, 30);
    DrawTextItem(wide, whole);
    WmRec cut = whole;
    cut.TextWidth = 25;
    cut.TextHeight = whole.TextHeight / 2;
    media::Bitmap narrow(200, 30);
    DrawTextItem(narrow, cut);
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 200; ++x) {
            // Inside the small box the glyphs are the same as in the full-size box.
            const Pixel expected = Inside(cut, x, y) ? At(wide, x, y) : Pixel{};
            ASSERT_EQ(At(narrow, x, y), expected) << x << ", " << y;
        }
    }
    EXPECT_GT(CountChanged(narrow, media::Bitmap(200, 30)), 0);
}

// A box partly outside the frame draws what a frame large enough would show there.
TEST_F(TextWatermark, ABoxOverTheFrameEdgesIsClipped) {
    const media::Bitmap large = Noise(100, 40, 3);
    const WmRec item = Item("Edge Wg", 10, 8, 0x00FF00);
    media::Bitmap largeDrawn = large;
    DrawTextItem(largeDrawn, item);
    for (const auto& [dx, dy] : std::vector<std::pair<int, int>>{{17, 12}, {0, 15}, {-50, 3}}) {
        SCOPED_TRACE(::testing::Message() << "frame at " << dx << ", " << dy);
        // A 33 x 17 window of the large frame, whose origin is at (dx, dy) in it.
        media::Bitmap small(33, 17);
        for (int y = 0; y < 17; ++y) {
            for (int x = 0; x < 33; ++x) {
                const int lx = x + dx;
                const int ly = y + dy;
                if (lx >= 0 && lx < 100 && ly < 40) {
                    testing::Set(small, x, y, At(large, lx, ly));
                }
            }
        }
        const media::Bitmap smallSource = small;
        WmRec moved = item;
        moved.TextLeft -= dx;
        moved.TextTop -= dy;
        DrawTextItem(small, moved);
        for (int y = 0; y < 17; ++y) {
            for (int x = 0; x < 33; ++x) {
                const int lx = x + dx;
                const int ly = y + dy;
                const Pixel expected =
                    lx >= 0 && lx < 100 && ly < 40 ? At(largeDrawn, lx, ly) : At(smallSource, x, y);
                ASSERT_EQ(At(small, x, y), expected) << x << ", " << y;
            }
        }
    }
}

TEST_F(TextWatermark, AnUnknownFontFamilyFallsBackAndStillDraws) {
    WmRec item;
    item.Text = "Fallback";
    item.Font.Name = "No Such Font Family Anywhere";
    item.Font.Size = 14;
    item.Font.Color = 0xFFFFFF;
    const TextSize size = MeasureText(item.Text, item.Font);
    ASSERT_GT(size.Width, 0);
    ASSERT_GT(size.Height, 0);
    item.TextWidth = size.Width;
    item.TextHeight = size.Height;
    media::Bitmap frame(100, 30);
    DrawTextItem(frame, item);
    EXPECT_GT(CountChanged(frame, media::Bitmap(100, 30)), 30);
}

TEST_F(TextWatermark, NothingToDrawLeavesTheFrameAlone) {
    const std::vector<std::pair<std::string, std::function<void(WmRec&)>>> cases = {
        {"empty text", [](WmRec& i) { i.Text.clear(); }},
        {"zero width", [](WmRec& i) { i.TextWidth = 0; }},
        {"negative height", [](WmRec& i) { i.TextHeight = -4; }},
        {"right of the frame", [](WmRec& i) { i.TextLeft = 33; }},
        {"below the frame", [](WmRec& i) { i.TextTop = 17; }},
        {"above the frame", [](WmRec& i) { i.TextTop = -i.TextHeight; }},
        {"opacity 0", [](WmRec& i) { i.TextOpacity = 0; }},
    };
    for (const auto& [name, change] : cases) {
        WmRec item = Item("Gone", 0, 0, 0xFFFFFF);
        item.HasBackground = true;
        change(item);
        const media::Bitmap source = Noise(33, 17);
        media::Bitmap frame = source;
        DrawTextItem(frame, item);
        EXPECT_EQ(frame, source) << name;
    }
}

// The converter draws on its worker threads, several tasks at once.
TEST_F(TextWatermark, DrawsTheSameOnWorkerThreads) {
    WmRec item = Item("Threads", 4, 2, 0xFF8000);
    item.Font.Italic = true;
    item.TextOpacity = 170;
    media::Bitmap expected = Noise(80, 24);
    DrawTextItem(expected, item);
    std::vector<media::Bitmap> results(4 * 25);
    {
        std::vector<std::jthread> workers;
        for (int worker = 0; worker < 4; ++worker) {
            workers.emplace_back([&, worker] {
                for (int i = 0; i < 25; ++i) {
                    media::Bitmap frame = Noise(80, 24);
                    DrawTextItem(frame, item);
                    results[std::size_t(worker) * 25 + i] = std::move(frame);
                }
            });
        }
    }
    for (const media::Bitmap& result : results) {
        ASSERT_EQ(result, expected);
    }
}

}  // namespace
}  // namespace quillo::effects
