#include "media/bitmap_converter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "media/system_libraries.h"

namespace quillo::media {
namespace {

class BitmapConverterTest : public ::testing::Test {
protected:
    void SetUp() override { testing::LoadSystemLibraries(); }

    // A packed B,G,R picture whose bytes encode their position.
    static std::vector<std::uint8_t> PatternPicture(int width, int height, int lineSize) {
        std::vector<std::uint8_t> pixels(static_cast<std::size_t>(lineSize) * height);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width * 3; ++x) {
                pixels[static_cast<std::size_t>(y) * lineSize + x] =
                    static_cast<std::uint8_t>((x * 7 + y * 13) & 0xFF);
            }
        }
        return pixels;
    }

    static void ExpectBitmapEquals(const Bitmap& bitmap, const std::vector<std::uint8_t>& pixels,
                                   int lineSize) {
        for (int y = 0; y < bitmap.Height(); ++y) {
            const std::uint8_t* row = bitmap.ScanLine(y);
            for (int x = 0; x < bitmap.Width() * 3; ++x) {
                ASSERT_EQ(row[x], pixels[static_cast<std::size_t>(y) * lineSize + x])
                    << "row " << y << " byte " << x;
            }
        }
    }

    BitmapConverter converter_;
};

TEST_F(BitmapConverterTest, PictureInTheBitmapsLayoutIsCopiedWithoutScaling) {
    const int lineSize = 640 * 3;
    const auto pixels = PatternPicture(640, 480, lineSize);
    const std::uint8_t* data[4] = {pixels.data()};
    const int lineSizes[4] = {lineSize};

    ASSERT_TRUE(converter_.PictureToBitmap(data, lineSizes, AV_PIX_FMT_BGR24, 480, 640));

    EXPECT_EQ(converter_.BufferSize(), 0);  // no conversion buffer was needed
    const Bitmap& bitmap = *converter_.GetBitmap();
    EXPECT_EQ(bitmap.Width(), 640);
    EXPECT_EQ(bitmap.Height(), 480);
    EXPECT_EQ(bitmap.Stride(), 1920);
    ExpectBitmapEquals(bitmap, pixels, lineSize);
}

TEST_F(BitmapConverterTest, OddWidthIsScaledAndKeepsItsPixels) {
    const int lineSize = 641 * 3;  // 1923: not a whole number of 32-bit words
    const auto pixels = PatternPicture(641, 480, lineSize);
    const std::uint8_t* data[4] = {pixels.data()};
    const int lineSizes[4] = {lineSize};

    ASSERT_TRUE(converter_.PictureToBitmap(data, lineSizes, AV_PIX_FMT_BGR24, 480, 641));

    EXPECT_GE(converter_.BufferSize(), 641 * 3 * 480);
    const Bitmap& bitmap = *converter_.GetBitmap();
    EXPECT_EQ(bitmap.Stride(), 1924);
    ExpectBitmapEquals(bitmap, pixels, lineSize);
}

// Writing an edited bitmap back: a picture in the bitmap's own layout takes the rows
// straight, with no buffer; one of odd width goes through the buffer and back.
TEST_F(BitmapConverterTest, EditedBitmapIsWrittenBackIntoThePicture) {
    struct Case {
        int width;
        int height;
        bool buffered;
    };
    for (const Case c : {Case{64, 48, false}, Case{65, 48, true}, Case{64, 47, true}}) {
        SCOPED_TRACE(::testing::Message() << c.width << "x" << c.height);
        BitmapConverter converter;
        const int lineSize = c.width * 3;
        auto pixels = PatternPicture(c.width, c.height, lineSize);
        std::uint8_t* data[4] = {pixels.data()};
        const int lineSizes[4] = {lineSize};
        ASSERT_TRUE(
            converter.PictureToBitmap(data, lineSizes, AV_PIX_FMT_BGR24, c.height, c.width));
        EXPECT_EQ(converter.BufferSize() > 0, c.buffered);

        Bitmap& bitmap = *converter.GetBitmap();
        for (int y = 0; y < bitmap.Height(); ++y) {
            for (int x = 0; x < bitmap.Width() * 3; ++x) {
                bitmap.ScanLine(y)[x] = static_cast<std::uint8_t>(255 - bitmap.ScanLine(y)[x]);
            }
        }
        ASSERT_TRUE(
            converter.BitmapToPicture(data, lineSizes, AV_PIX_FMT_BGR24, c.height, c.width));
        ExpectBitmapEquals(bitmap, pixels, lineSize);
    }
}

TEST_F(BitmapConverterTest, WrittenBackYuvPictureTakesTheEditedColour) {
    constexpr int Width = 64;
    constexpr int Height = 48;
    std::vector<std::uint8_t> luma(Width * Height, 16);  // black
    std::vector<std::uint8_t> blueDifference(Width * Height / 4, 128);
    std::vector<std::uint8_t> redDifference(Width * Height / 4, 128);
    std::uint8_t* data[4] = {luma.data(), blueDifference.data(), redDifference.data()};
    const int lineSizes[4] = {Width, Width / 2, Width / 2};
    ASSERT_TRUE(converter_.PictureToBitmap(data, lineSizes, AV_PIX_FMT_YUV420P, Height, Width));

    Bitmap& bitmap = *converter_.GetBitmap();
    for (int y = 0; y < Height; ++y) {
        std::fill_n(bitmap.ScanLine(y), Width * 3, std::uint8_t{255});  // white
    }
    ASSERT_TRUE(converter_.BitmapToPicture(data, lineSizes, AV_PIX_FMT_YUV420P, Height, Width));
    for (const std::uint8_t value : luma) {
        ASSERT_GE(value, 233);
    }
    EXPECT_NEAR(blueDifference[0], 128, 2);
    EXPECT_NEAR(redDifference[0], 128, 2);
}

TEST_F(BitmapConverterTest, WriteBackNeedsThePictureTheBitmapCameFrom) {
    EXPECT_FALSE(converter_.BitmapToPicture(nullptr, nullptr, AV_PIX_FMT_BGR24, 2, 2));
    const auto pixels = PatternPicture(4, 4, 12);
    const std::uint8_t* data[4] = {pixels.data()};
    const int lineSizes[4] = {12};
    ASSERT_TRUE(converter_.PictureToBitmap(data, lineSizes, AV_PIX_FMT_BGR24, 4, 4));
    std::vector<std::uint8_t> other(8 * 8 * 3);
    std::uint8_t* otherData[4] = {other.data()};
    const int otherLineSizes[4] = {24};
    EXPECT_FALSE(converter_.BitmapToPicture(otherData, otherLineSizes, AV_PIX_FMT_BGR24, 8, 8));
}

TEST_F(BitmapConverterTest, YuvPictureBecomesBlueGreenRed) {
    constexpr int Width = 64;
    constexpr int Height = 48;
    // Pure red in limited-range BT.601.
    std::vector<std::uint8_t> luma(Width * Height, 81);
    std::vector<std::uint8_t> blueDifference(Width * Height / 4, 90);
    std::vector<std::uint8_t> redDifference(Width * Height / 4, 240);
    const std::uint8_t* data[4] = {luma.data(), blueDifference.data(), redDifference.data()};
    const int lineSizes[4] = {Width, Width / 2, Width / 2};

    ASSERT_TRUE(converter_.PictureToBitmap(data, lineSizes, AV_PIX_FMT_YUV420P, Height, Width));

    const Bitmap& bitmap = *converter_.GetBitmap();
    for (const int y : {0, Height / 2, Height - 1}) {
        const std::uint8_t* pixel = bitmap.ScanLine(y) + 3 * (Width / 2);
        EXPECT_LE(pixel[0], 4) << "blue";
        EXPECT_LE(pixel[1], 4) << "green";
        EXPECT_GE(pixel[2], 250) << "red";
    }
}

TEST_F(BitmapConverterTest, ConvertingAgainReusesTheBufferAndFollowsNewSizes) {
    std::vector<std::uint8_t> luma(32 * 32, 235);
    std::vector<std::uint8_t> chroma(16 * 16, 128);
    const std::uint8_t* data[4] = {luma.data(), chroma.data(), chroma.data()};
    const int lineSizes[4] = {32, 16, 16};

    ASSERT_TRUE(converter_.PictureToBitmap(data, lineSizes, AV_PIX_FMT_YUV420P, 32, 32));
    const int firstBuffer = converter_.BufferSize();
    ASSERT_TRUE(converter_.PictureToBitmap(data, lineSizes, AV_PIX_FMT_YUV420P, 16, 16));
    EXPECT_EQ(converter_.BufferSize(), firstBuffer);  // large enough, kept
    EXPECT_EQ(converter_.GetBitmap()->Width(), 16);
    EXPECT_GE(converter_.GetBitmap()->ScanLine(15)[3 * 15], 250);  // white
}

TEST_F(BitmapConverterTest, UnconvertibleFormatFails) {
    std::vector<std::uint8_t> pixels(16 * 16 * 3);
    const std::uint8_t* data[4] = {pixels.data()};
    const int lineSizes[4] = {16 * 3};

    EXPECT_FALSE(converter_.PictureToBitmap(data, lineSizes, AV_PIX_FMT_NONE, 16, 16));
    EXPECT_FALSE(converter_.PictureToBitmap(data, lineSizes, AV_PIX_FMT_BGR24, 0, 16));
}

TEST_F(BitmapConverterTest, ResetReturnsToTheDefaults) {
    std::vector<std::uint8_t> luma(32 * 32, 16);
    std::vector<std::uint8_t> chroma(16 * 16, 128);
    const std::uint8_t* data[4] = {luma.data(), chroma.data(), chroma.data()};
    const int lineSizes[4] = {32, 16, 16};
    ASSERT_TRUE(converter_.PictureToBitmap(data, lineSizes, AV_PIX_FMT_YUV420P, 32, 32));

    converter_.ResetConverter();

    EXPECT_EQ(converter_.GetBitmap(), nullptr);
    EXPECT_EQ(converter_.BufferSize(), 0);
    EXPECT_EQ(converter_.RgbPixelFormat(), AV_PIX_FMT_BGR24);
}

}  // namespace
}  // namespace quillo::media
