#include "effects/frame_effects.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "effects/color_adjustment.h"
#include "effects/overlay_blend.h"
#include "effects/text_watermark.h"
#include "effects/watermark_error.h"
#include "effects_test_support.h"
#include "support/temp_folder.h"

namespace quillo::effects {
namespace {

using quillo::testing::TempFolder;
using testing::At;
using testing::Noise;
using testing::Pixel;
using testing::Solid;

class FrameEffects : public ::testing::Test {
protected:
    static void SetUpTestSuite() { testing::UseOffscreenGui(); }

    WmRec ImageItem(const std::string& name, const media::Bitmap& picture, int left, int top) {
        const auto file = folder_ / name;
        testing::WriteBmp(file, picture);
        WmRec item;
        item.Kind = WmRec::ImageKind;
        item.ImageFile = file;
        item.ImageLeft = left;
        item.ImageTop = top;
        item.StartSec = 0;
        item.EndSec = 100;
        return item;
    }

    TempFolder folder_;
    WatermarkImageCache images_;
};

TEST_F(FrameEffects, NeutralValuesWithoutItemsLeaveTheFrameUntouched) {
    const media::Bitmap source = Noise(33, 17);
    media::Bitmap frame = source;
    ApplyFrameEffects(frame, 1234567, PictureAdjustments{}, {}, images_);
    EXPECT_EQ(frame, source);
}

// Each pass runs only when its values differ from neutral, the colours before the exposure.
TEST_F(FrameEffects, RunsThePassesThatAreNotNeutral) {
    struct Case {
        std::string name;
        PictureAdjustments adjustments;
        std::function<void(media::Bitmap&)> expected;
    };
    const std::vector<Case> cases = {
        {"exposure only", {255, 0, 255, 40}, [](media::Bitmap& b) { AdjustExposure(b, 40.0f); }},
        {"brightness only",
         {200, 0, 255, 0},
         [](media::Bitmap& b) { AdjustColors(b, 200, 0, 255); }},
        {"contrast only",
         {255, -30, 255, 0},
         [](media::Bitmap& b) { AdjustColors(b, 255, -30, 255); }},
        {"saturation only", {255, 0, 0, 0}, [](media::Bitmap& b) { AdjustColors(b, 255, 0, 0); }},
        {"all four",
         {300, 25, 400, -70},
         [](media::Bitmap& b) {
             AdjustColors(b, 300, 25, 400);
             AdjustExposure(b, -70.0f);
         }},
    };
    for (const Case& test : cases) {
        media::Bitmap frame = Noise(33, 17);
        media::Bitmap expected = frame;
        test.expected(expected);
        ApplyFrameEffects(frame, 0, test.adjustments, {}, images_);
        EXPECT_EQ(frame, expected) << test.name;
    }
}

// Items show on the whole seconds of their range and are drawn in order over the adjusted
// picture, a later one over an earlier one.
TEST_F(FrameEffects, DrawsTheItemsOfTheFramesSecondInOrderOverTheAdjustedPicture) {
    const media::Bitmap red = Solid(4, 4, {0, 0, 255});
    const media::Bitmap blue = Solid(4, 4, {255, 0, 0});
    WmRec first = ImageItem("red.bmp", red, 2, 2);
    first.StartSec = 5;
    first.EndSec = 5;
    WmRec second = ImageItem("blue.bmp", blue, 4, 4);
    second.StartSec = 5;
    second.EndSec = 7;
    second.ImageOpacity = 128;
    const std::vector<WmRec> items = {first, second};
    const PictureAdjustments darker{128, 0, 255, 0};
    for (const std::int64_t pts : {4999999LL, 5000000LL, 5999999LL, 6000000LL, 8000000LL}) {
        SCOPED_TRACE(pts);
        media::Bitmap frame = Noise(12, 10);
        media::Bitmap expected = frame;
        AdjustColors(expected, 128, 0, 255);
        if (pts / 1000000 == 5) {
            BlendBitmap(expected, red, 2, 2, 255);
        }
        if (pts / 1000000 >= 5 && pts / 1000000 <= 7) {
            BlendBitmap(expected, blue, 4, 4, 128);
        }
        ApplyFrameEffects(frame, pts, darker, items, images_);
        EXPECT_EQ(frame, expected);
    }
}

TEST_F(FrameEffects, ItemsWithoutAnythingToDrawAreSkipped) {
    WmRec otherKind = ImageItem("other.bmp", Solid(3, 3, {9, 9, 9}), 0, 0);
    otherKind.Kind = 2;
    otherKind.Text = "text";
    WmRec noPicture;
    noPicture.Kind = WmRec::ImageKind;
    noPicture.EndSec = 100;
    WmRec noText;
    noText.Kind = WmRec::TextKind;
    noText.TextWidth = 20;
    noText.TextHeight = 20;
    noText.HasBackground = true;
    noText.EndSec = 100;
    const media::Bitmap source = Noise(20, 20);
    media::Bitmap frame = source;
    ApplyFrameEffects(frame, 0, {}, {otherKind, noPicture, noText}, images_);
    EXPECT_EQ(frame, source);
}

TEST_F(FrameEffects, ATextItemIsDrawnAsOnItsOwn) {
    WmRec text;
    text.Text = "Hook";
    text.Font.Name = "DejaVu Sans";
    text.Font.Size = 12;
    text.Font.Color = 0xFFFF00;
    const TextSize size = MeasureText(text.Text, text.Font);
    text.TextWidth = size.Width;
    text.TextHeight = size.Height;
    text.TextLeft = 3;
    text.TextTop = -2;
    text.TextOpacity = 200;
    text.EndSec = 1;
    media::Bitmap frame = Noise(33, 17);
    media::Bitmap expected = frame;
    AdjustExposure(expected, 30.0f);
    DrawTextItem(expected, text);
    ApplyFrameEffects(frame, 1999999, {255, 0, 255, 30}, {text}, images_);
    EXPECT_EQ(frame, expected);
    EXPECT_NE(frame, [] {
        media::Bitmap adjusted = Noise(33, 17);
        AdjustExposure(adjusted, 30.0f);
        return adjusted;
    }());
}

// The picture is drawn at its own size whatever the editor's layer size was, and cut at the
// frame's edges.
TEST_F(FrameEffects, AnImageLargerThanTheFrameIsClipped) {
    const media::Bitmap picture = Noise(50, 40, 9);
    WmRec item = ImageItem("large.bmp", picture, -5, -3);
    item.ImageWidth = 10;
    item.ImageHeight = 10;
    media::Bitmap frame = Noise(33, 17);
    ApplyFrameEffects(frame, 0, {}, {item}, images_);
    for (int y = 0; y < 17; ++y) {
        for (int x = 0; x < 33; ++x) {
            const Pixel p = At(picture, x + 5, y + 3);
            const Pixel expected{std::uint8_t((At(Noise(33, 17), x, y).b + 255 * p.b) >> 8),
                                 std::uint8_t((At(Noise(33, 17), x, y).g + 255 * p.g) >> 8),
                                 std::uint8_t((At(Noise(33, 17), x, y).r + 255 * p.r) >> 8)};
            ASSERT_EQ(At(frame, x, y), expected) << x << ", " << y;
        }
    }
}

// A picture missing at conversion time fails every frame that shows it, after the passes;
// once the file is there, the next frame draws it.
TEST_F(FrameEffects, AMissingPictureRaisesOnEveryFrameUntilItIsThere) {
    const media::Bitmap logo = Solid(5, 5, {10, 200, 30});
    WmRec item = ImageItem("logo.bmp", logo, 1, 1);
    std::filesystem::remove(item.ImageFile);
    for (int frameNumber = 0; frameNumber < 3; ++frameNumber) {
        media::Bitmap frame = Noise(16, 9);
        try {
            ApplyFrameEffects(frame, frameNumber * 40000, {}, {item}, images_);
            ADD_FAILURE() << "frame " << frameNumber << " was drawn";
        } catch (const WatermarkError& error) {
            EXPECT_NE(std::string(error.what()).find(item.ImageFile.string()), std::string::npos)
                << error.what();
        }
    }
    testing::WriteBmp(item.ImageFile, logo);
    media::Bitmap frame = Noise(16, 9);
    media::Bitmap expected = frame;
    BlendBitmap(expected, logo, 1, 1, 255);
    ApplyFrameEffects(frame, 120000, {}, {item}, images_);
    EXPECT_EQ(frame, expected);
}

}  // namespace
}  // namespace quillo::effects
