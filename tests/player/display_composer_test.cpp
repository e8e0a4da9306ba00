#include "player/display_composer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <vector>

#include "media/library_pointers.h"
#include "media/system_libraries.h"
#include "player/audio_waveform.h"

namespace quillo::player {
namespace {

using media::FramePtr;
namespace lib = media::lib;

struct PlacementCase {
    const char* name;
    float aspectRatio;
    AVRational sampleAspect;
    int pictureWidth;
    int pictureHeight;
    int displayWidth;
    int displayHeight;
    DisplayRect expected;
};

TEST(PlayerDisplayPlacement, PictureIsPlacedWithItsDisplayRatio) {
    const PlacementCase cases[] = {
        {"PAL anamorphic letterboxed", 0, {16, 11}, 720, 576, 640, 480, {0, 64, 640, 352}},
        {"fill the display", -1, {16, 11}, 720, 576, 640, 480, {0, 0, 640, 480}},
        {"tall picture pillarboxed", 0, {1, 1}, 1080, 1920, 640, 480, {185, 0, 270, 480}},
        {"forced ratio", 2.35F, {1, 1}, 1920, 1080, 1280, 720, {0, 88, 1280, 544}},
        {"unknown sample aspect counts as 1", 0, {0, 1}, 640, 360, 640, 480, {0, 60, 640, 360}},
        {"negative sample aspect counts as 1", 0, {-4, 3}, 640, 360, 640, 480, {0, 60, 640, 360}},
        {"odd display keeps its height", 0, {1, 1}, 640, 480, 641, 481, {0, 0, 640, 481}},
        {"fill with the display size unknown", -1, {1, 1}, 640, 480, 0, 0, {}},
        {"picture without height", 0, {1, 1}, 640, 0, 640, 480, {}},
        {"display without width", 0, {1, 1}, 640, 480, 0, 480, {}},
    };
    for (const PlacementCase& c : cases) {
        const double ratio = DisplayAspectRatio(c.aspectRatio, c.sampleAspect, c.pictureWidth,
                                                c.pictureHeight, c.displayWidth, c.displayHeight);
        const DisplayRect rect = PlacePicture(c.displayWidth, c.displayHeight, ratio);
        EXPECT_EQ(rect, c.expected) << c.name << ": got {" << rect.x << ", " << rect.y << ", "
                                    << rect.width << ", " << rect.height << "}";
    }
    // The ratio itself, where the display size is unknown: the picture's own.
    EXPECT_DOUBLE_EQ(DisplayAspectRatio(-1, {16, 11}, 720, 576, 0, 480), 16.0 / 11 * 720 / 576);
}

TEST(PlayerDisplayPlacement, UnusableRatioGivesAnEmptyRectangle) {
    const double ratios[] = {0.0,
                             -1.0,
                             std::numeric_limits<double>::quiet_NaN(),
                             std::numeric_limits<double>::infinity(),
                             1e-300,
                             1e300};
    for (const double ratio : ratios) {
        EXPECT_EQ(PlacePicture(640, 480, ratio), DisplayRect{}) << "ratio " << ratio;
    }
}

// A picture of one colour in 4:2:0.
FramePtr UniformPicture(int width, int height, std::uint8_t y, std::uint8_t cb, std::uint8_t cr) {
    FramePtr frame(lib::avutil.av_frame_alloc());
    if (!frame) {
        return frame;
    }
    frame->width = width;
    frame->height = height;
    frame->format = AV_PIX_FMT_YUV420P;
    if (lib::avutil.av_frame_get_buffer(frame.get(), 0) < 0) {
        return nullptr;
    }
    const std::uint8_t values[3] = {y, cb, cr};
    for (int plane = 0; plane < 3; ++plane) {
        const int rows = plane == 0 ? height : (height + 1) / 2;
        const int columns = plane == 0 ? width : (width + 1) / 2;
        for (int row = 0; row < rows; ++row) {
            std::uint8_t* line =
                frame->data[plane] + static_cast<std::ptrdiff_t>(row) * frame->linesize[plane];
            std::fill(line, line + columns, values[plane]);
        }
    }
    return frame;
}

struct Bgr {
    int b;
    int g;
    int r;
};

// What the scaler makes of a studio-range BT.601 colour.
Bgr ExpectedBgr(int y, int cb, int cr) {
    const double luma = 1.164 * (y - 16);
    const auto clamp = [](double v) {
        return static_cast<int>(std::lround(std::clamp(v, 0.0, 255.0)));
    };
    return {clamp(luma + 2.017 * (cb - 128)), clamp(luma - 0.392 * (cb - 128) - 0.813 * (cr - 128)),
            clamp(luma + 1.596 * (cr - 128))};
}

// Every pixel in the rectangle has the colour, opaque; every pixel outside is untouched zero.
void ExpectFrameShows(const DisplayFrame& frame, DisplayRect rect, Bgr colour) {
    constexpr int kTolerance = 3;
    for (int y = 0; y < frame.height; ++y) {
        const std::uint8_t* row = frame.Row(y);
        for (int x = 0; x < frame.width; ++x) {
            const std::uint8_t* p = row + x * 4;
            const bool inside =
                x >= rect.x && x < rect.x + rect.width && y >= rect.y && y < rect.y + rect.height;
            if (inside) {
                ASSERT_EQ(p[3], 255) << "alpha at " << x << "," << y;
                ASSERT_LE(std::abs(p[0] - colour.b), kTolerance) << "blue at " << x << "," << y;
                ASSERT_LE(std::abs(p[1] - colour.g), kTolerance) << "green at " << x << "," << y;
                ASSERT_LE(std::abs(p[2] - colour.r), kTolerance) << "red at " << x << "," << y;
            } else {
                ASSERT_EQ(p[0] | p[1] | p[2] | p[3], 0) << "band pixel at " << x << "," << y;
            }
        }
    }
}

class PlayerDisplayComposer : public ::testing::Test {
protected:
    void SetUp() override { media::testing::LoadSystemLibraries(); }

    DisplayComposer composer_;
};

TEST_F(PlayerDisplayComposer, DisplaySizeSetsStrideAndClearsOnlyOnChange) {
    composer_.SetDisplaySize(333, 7);
    const DisplayFrame& frame = composer_.Frame();
    EXPECT_EQ(frame.width, 333);
    EXPECT_EQ(frame.height, 7);
    // (333 + 16) * 4 = 1396 bytes: the row and room for the scaler's last group, rounded up
    // to a multiple of 64.
    EXPECT_EQ(frame.stride, 1408);
    ASSERT_EQ(frame.pixels.size(), 1408U * 7);

    composer_.Frame().pixels[100] = 42;
    const std::uint8_t* const data = frame.pixels.data();
    composer_.SetDisplaySize(333, 7);
    EXPECT_EQ(frame.pixels.data(), data);
    EXPECT_EQ(frame.pixels[100], 42);

    composer_.SetDisplaySize(320, 7);
    EXPECT_EQ(frame.stride, 1344);
    ASSERT_EQ(frame.pixels.size(), 1344U * 7);
    EXPECT_EQ(frame.pixels[100], 0);
}

struct CompositionCase {
    const char* name;
    int displayWidth;
    int displayHeight;
    int pictureWidth;
    int pictureHeight;
    DisplayRect rect;
};

TEST_F(PlayerDisplayComposer, PictureFillsItsRectangleOpaqueAndLeavesTheBandsClear) {
    const CompositionCase cases[] = {
        {"letterbox", 640, 480, 720, 576, {0, 64, 640, 352}},
        {"same size", 320, 240, 320, 240, {0, 0, 320, 240}},
        // Unscaled, the scaler writes 14 pixels past this width: 4 of them land in the band
        // and must be cleared again, the rest in the row's spare room.
        {"same size, width 322", 330, 40, 322, 40, {4, 0, 322, 40}},
        {"scaled, width 322", 330, 40, 720, 80, {4, 0, 322, 40}},
        {"scaled, width 322, centred", 400, 40, 720, 80, {39, 0, 322, 40}},
        {"odd picture", 200, 80, 321, 241, {6, 0, 100, 80}},
        {"pillarbox", 640, 480, 1080, 1920, {185, 0, 270, 480}},
        {"right edge", 103, 20, 64, 20, {3, 0, 100, 20}},
    };
    const int y = 120;
    const int cb = 100;
    const int cr = 170;
    for (const CompositionCase& c : cases) {
        SCOPED_TRACE(c.name);
        DisplayComposer composer;
        composer.SetDisplaySize(c.displayWidth, c.displayHeight);
        const FramePtr picture = UniformPicture(c.pictureWidth, c.pictureHeight, y, cb, cr);
        ASSERT_TRUE(picture);

        ASSERT_TRUE(composer.ComposePicture(*picture, c.rect));

        // Exactly where it was asked to go, an odd left edge included.
        EXPECT_EQ(composer.Frame().picture, c.rect);
        ExpectFrameShows(composer.Frame(), c.rect, ExpectedBgr(y, cb, cr));
    }
}

TEST_F(PlayerDisplayComposer, NewRectangleLeavesNothingOfEarlierContentInTheBands) {
    composer_.SetDisplaySize(640, 480);
    const FramePtr grey = UniformPicture(640, 480, 180, 128, 128);
    const FramePtr red = UniformPicture(720, 576, 81, 90, 240);
    ASSERT_TRUE(grey && red);
    const DisplayRect whole{0, 0, 640, 480};
    const DisplayRect letterbox{0, 64, 640, 352};

    ASSERT_TRUE(composer_.ComposePicture(*grey, whole));
    ExpectFrameShows(composer_.Frame(), whole, ExpectedBgr(180, 128, 128));

    ASSERT_TRUE(composer_.ComposePicture(*red, letterbox));
    ExpectFrameShows(composer_.Frame(), letterbox, ExpectedBgr(81, 90, 240));

    // The waveform paints the whole frame through Frame(); the next picture clears it.
    SampleRing ring;
    DrawWaveform(composer_.Frame(), ring, 0, 2);
    ASSERT_EQ(composer_.Frame().picture, whole);
    ASSERT_TRUE(composer_.ComposePicture(*red, letterbox));
    ExpectFrameShows(composer_.Frame(), letterbox, ExpectedBgr(81, 90, 240));
}

TEST_F(PlayerDisplayComposer, UnusablePictureLeavesTheFrameUnchanged) {
    composer_.SetDisplaySize(64, 48);
    const FramePtr good = UniformPicture(64, 48, 120, 100, 170);
    ASSERT_TRUE(good);
    ASSERT_TRUE(composer_.ComposePicture(*good, {0, 8, 64, 32}));
    const std::vector<std::uint8_t> before = composer_.Frame().pixels;
    const DisplayRect placedBefore = composer_.Frame().picture;

    FramePtr noData(lib::avutil.av_frame_alloc());
    ASSERT_TRUE(noData);
    noData->width = 64;
    noData->height = 48;
    noData->format = AV_PIX_FMT_YUV420P;
    FramePtr onePixel = UniformPicture(1, 1, 16, 128, 128);
    FramePtr hardware = UniformPicture(64, 48, 16, 128, 128);
    FramePtr noFormat = UniformPicture(64, 48, 16, 128, 128);
    ASSERT_TRUE(onePixel && hardware && noFormat);
    hardware->format = AV_PIX_FMT_VAAPI;
    noFormat->format = AV_PIX_FMT_NONE;

    struct Case {
        const char* name;
        const AVFrame* picture;
        DisplayRect rect;
    };
    const Case cases[] = {
        {"no data", noData.get(), {0, 0, 64, 48}},
        {"nothing left at even size", onePixel.get(), {0, 0, 64, 48}},
        {"format the scaler cannot read", hardware.get(), {0, 0, 64, 48}},
        {"no format", noFormat.get(), {0, 0, 64, 48}},
        {"empty rectangle", good.get(), {0, 0, 0, 48}},
        {"rectangle beyond the frame", good.get(), {8, 0, 64, 48}},
        {"rectangle above the frame", good.get(), {0, -2, 64, 48}},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(composer_.ComposePicture(*c.picture, c.rect)) << c.name;
        EXPECT_EQ(composer_.Frame().pixels, before) << c.name;
        EXPECT_EQ(composer_.Frame().picture, placedBefore) << c.name;
    }
}

}  // namespace
}  // namespace quillo::player
