#include "effects/color_adjustment.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "effects_test_support.h"

namespace quillo::effects {
namespace {

using testing::At;
using testing::GreyRamp;
using testing::Pixel;

const std::vector<int> kLevels = {0, 16, 64, 128, 192, 255};

struct LevelCase {
    std::string name;
    std::function<void(media::Bitmap&)> pass;
    std::vector<int> levels;
    std::vector<int> expected;
};

// Each level goes through the pass as a grey pixel; all three bytes must agree.
void ExpectLevels(const LevelCase& test) {
    SCOPED_TRACE(test.name);
    media::Bitmap ramp = GreyRamp();
    test.pass(ramp);
    ASSERT_EQ(test.levels.size(), test.expected.size());
    for (std::size_t i = 0; i < test.levels.size(); ++i) {
        const auto want = static_cast<std::uint8_t>(test.expected[i]);
        EXPECT_EQ(At(ramp, test.levels[i], 0), (Pixel{want, want, want}))
            << "level " << test.levels[i];
    }
}

TEST(AdjustExposure, MapsLevelsByItsTable) {
    const std::vector<LevelCase> cases = {
        {"E 100",
         [](media::Bitmap& b) { AdjustExposure(b, 100.0f); },
         kLevels,
         {0, 38, 125, 196, 235, 255}},
        {"E -100",
         [](media::Bitmap& b) { AdjustExposure(b, -100.0f); },
         kLevels,
         {0, 0, 0, 0, 52, 255}},
        {"E 512",
         [](media::Bitmap& b) { AdjustExposure(b, 512.0f); },
         kLevels,
         {0, 110, 228, 252, 254, 255}},
        {"E -255 keeps the ends",
         [](media::Bitmap& b) { AdjustExposure(b, -255.0f); },
         {0, 255},
         {0, 255}},
    };
    for (const LevelCase& test : cases) {
        ExpectLevels(test);
    }
}

TEST(AdjustColors, ContrastPivotsOn170) {
    const std::vector<int> levels = {0, 64, 128, 170, 200, 255};
    const auto contrast = [](int c) {
        return [c](media::Bitmap& b) { AdjustColors(b, 256, c, 255); };
    };
    const std::vector<LevelCase> cases = {
        {"C 50", contrast(50), levels, {0, 20, 111, 170, 212, 255}},
        {"C -50", contrast(-50), levels, {50, 95, 140, 170, 191, 230}},
        {"C 99", contrast(99), levels, {0, 0, 0, 170, 255, 255}},
        {"C 100 is C 99", contrast(100), levels, {0, 0, 0, 170, 255, 255}},
        {"C -100", contrast(-100), levels, {170, 170, 170, 170, 170, 170}},
        {"C 0 is the identity", contrast(0), levels, levels},
    };
    for (const LevelCase& test : cases) {
        ExpectLevels(test);
    }
}

TEST(AdjustColors, BrightnessScalesLevels) {
    const std::vector<int> levels = {0, 1, 64, 128, 254, 255};
    const auto brightness = [](int b) {
        return [b](media::Bitmap& bitmap) { AdjustColors(bitmap, b, 0, 256); };
    };
    const std::vector<LevelCase> cases = {
        {"B 256 is the identity", brightness(256), levels, levels},
        {"B 255", brightness(255), levels, {0, 1, 63, 127, 253, 254}},
        {"B 128", brightness(128), levels, {0, 1, 32, 64, 127, 128}},
        {"B 0", brightness(0), levels, {1, 1, 1, 1, 1, 1}},
        {"B 512 clamps", brightness(512), {0, 64, 128, 255}, {0, 127, 255, 255}},
    };
    for (const LevelCase& test : cases) {
        ExpectLevels(test);
    }
}

TEST(AdjustColors, SaturationMovesChannelsAroundTheirMean) {
    struct Case {
        int saturation;
        Pixel expected;
    };
    // Bytes in memory order: (200, 100, 50).
    const std::vector<Case> cases = {
        {0, {116, 116, 116}},  {128, {158, 108, 83}}, {255, {200, 100, 50}},
        {256, {200, 100, 50}}, {512, {255, 84, 0}},
    };
    for (const Case& test : cases) {
        media::Bitmap bitmap(1, 1);
        testing::Set(bitmap, 0, 0, {200, 100, 50});
        AdjustColors(bitmap, 256, 0, test.saturation);
        EXPECT_EQ(At(bitmap, 0, 0), test.expected) << "S " << test.saturation;
    }
}

// Odd sizes have padded scan lines: every pixel is worked on as on its own, and the padding
// is never touched.
TEST(AdjustColors, BothPassesCoverEveryPixelOfAnOddSizeAndNoPadding) {
    const std::vector<std::pair<std::string, std::function<void(media::Bitmap&)>>> passes = {
        {"colours", [](media::Bitmap& b) { AdjustColors(b, 300, 40, 400); }},
        {"neutral colours", [](media::Bitmap& b) { AdjustColors(b, 255, 0, 255); }},
        {"exposure", [](media::Bitmap& b) { AdjustExposure(b, -60.0f); }},
    };
    for (const auto& [name, pass] : passes) {
        SCOPED_TRACE(name);
        const media::Bitmap source = testing::Noise(33, 17);
        media::Bitmap frame = source;
        const int padding = frame.Stride() - frame.Width() * 3;
        ASSERT_GT(padding, 0);
        for (int y = 0; y < frame.Height(); ++y) {
            std::memset(frame.ScanLine(y) + frame.Width() * 3, 0xAB, padding);
        }
        pass(frame);
        for (int y = 0; y < frame.Height(); ++y) {
            for (int i = 0; i < padding; ++i) {
                ASSERT_EQ(frame.ScanLine(y)[frame.Width() * 3 + i], 0xAB) << "row " << y;
            }
            for (int x = 0; x < frame.Width(); ++x) {
                media::Bitmap one(1, 1);
                testing::Set(one, 0, 0, At(source, x, y));
                pass(one);
                ASSERT_EQ(At(frame, x, y), At(one, 0, 0)) << "pixel " << x << ", " << y;
            }
        }
    }
}

TEST(AdjustColorsAndExposure, GivesTheBytesOfBothPassesInTurn) {
    struct Case {
        int brightness;
        int contrast;
        int saturation;
        float exposure;
    };
    const std::vector<Case> cases = {
        {255, 0, 255, 40.0f},     {300, 25, 400, -70.0f}, {0, -100, 0, 512.0f},
        {512, 100, 512, -255.0f}, {128, 60, 128, 1.0f},
    };
    for (const Case& test : cases) {
        media::Bitmap both = testing::Noise(33, 17);
        media::Bitmap inTurn = both;
        AdjustColorsAndExposure(both, test.brightness, test.contrast, test.saturation,
                                test.exposure);
        AdjustColors(inTurn, test.brightness, test.contrast, test.saturation);
        AdjustExposure(inTurn, test.exposure);
        EXPECT_EQ(both, inTurn) << test.brightness << " " << test.contrast << " " << test.saturation
                                << " " << test.exposure;
    }
}

}  // namespace
}  // namespace quillo::effects
