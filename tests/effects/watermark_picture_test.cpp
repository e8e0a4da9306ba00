#include "effects/watermark_picture.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <string>

#include "effects/frame_effects.h"
#include "effects/overlay_blend.h"
#include "effects/watermark_error.h"
#include "effects/watermark_image_cache.h"
#include "effects_test_support.h"
#include "support/temp_folder.h"

namespace quillo::effects {
namespace {

using testing::At;
using testing::Noise;
using testing::Pixel;
using testing::Solid;

std::string Encoded(const QImage& image, const char* format, int quality = -1) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(image.save(&buffer, format, quality));
    return bytes.toStdString();
}

// Half transparent and half opaque red, with a fully transparent column at the left.
QImage HalfTransparent() {
    QImage image(4, 2, QImage::Format_ARGB32);
    for (int y = 0; y < 2; ++y) {
        image.setPixel(0, y, qRgba(0, 0, 255, 0));
        image.setPixel(1, y, qRgba(255, 0, 0, 128));
        image.setPixel(2, y, qRgba(255, 0, 0, 255));
        image.setPixel(3, y, qRgba(0, 255, 0, 255));
    }
    return image;
}

TEST(WatermarkPicture, PngKeepsItsTransparencyAndJpegAndBmpAreOpaque) {
    const WatermarkPicture png = DecodeWatermarkPicture(Encoded(HalfTransparent(), "PNG"), "a.png");
    ASSERT_EQ(png.Pixels.Width(), 4);
    ASSERT_EQ(png.Pixels.Height(), 2);
    EXPECT_EQ(png.Alpha, (std::vector<std::uint8_t>{0, 128, 255, 255, 0, 128, 255, 255}));
    EXPECT_EQ(At(png.Pixels, 2, 1), (Pixel{0, 0, 255}));  // blue, green, red
    EXPECT_EQ(At(png.Pixels, 3, 0), (Pixel{0, 255, 0}));

    // An opaque PNG needs no plane.
    QImage opaque(3, 3, QImage::Format_RGB32);
    opaque.fill(qRgb(10, 20, 30));
    EXPECT_TRUE(DecodeWatermarkPicture(Encoded(opaque, "PNG"), "b.png").Alpha.empty());

    const WatermarkPicture jpeg = DecodeWatermarkPicture(Encoded(opaque, "JPEG", 100), "c.jpg");
    EXPECT_TRUE(jpeg.Alpha.empty());
    ASSERT_EQ(jpeg.Pixels.Width(), 3);
    EXPECT_NEAR(At(jpeg.Pixels, 1, 1).r, 10, 3);
    EXPECT_NEAR(At(jpeg.Pixels, 1, 1).b, 30, 3);

    const QImage bmp = testing::ToQImage(Noise(5, 4));
    const WatermarkPicture decoded = DecodeWatermarkPicture(Encoded(bmp, "BMP"), "d.bmp");
    EXPECT_EQ(decoded.Pixels, Noise(5, 4));
    EXPECT_TRUE(decoded.Alpha.empty());
}

TEST(WatermarkPicture, OtherAndDamagedFilesAreRefusedByName) {
    const std::string png = Encoded(HalfTransparent(), "PNG");
    const std::string jpeg = Encoded(testing::ToQImage(Noise(8, 8)), "JPEG");
    const struct {
        std::string bytes;
        const char* message;
    } cases[] = {
        {"not a picture at all", "\"logo\" is not a BMP, PNG or JPEG file"},
        {"", "\"logo\" is not a BMP, PNG or JPEG file"},
        {png.substr(0, 20), "Cannot decode the PNG file \"logo\""},
        {jpeg.substr(0, 4), "Cannot decode the JPEG file \"logo\""},
    };
    for (const auto& test : cases) {
        try {
            DecodeWatermarkPicture(test.bytes, "logo");
            ADD_FAILURE() << "no refusal for " << test.message;
        } catch (const WatermarkError& error) {
            EXPECT_NE(std::string(error.what()).find(test.message), std::string::npos)
                << error.what();
        }
    }
}

TEST(WatermarkPicture, EachPixelWeighsWithItsAlphaInTheConversionsDrawing) {
    const quillo::testing::TempFolder folder;
    const auto file = folder / "logo.png";
    quillo::testing::WriteFile(file, Encoded(HalfTransparent(), "PNG"));
    WmRec item;
    item.Kind = WmRec::ImageKind;
    item.ImageFile = file;
    item.ImageLeft = 1;
    item.ImageTop = 1;
    item.ImageOpacity = 255;
    item.EndSec = 10;
    media::Bitmap frame = Solid(6, 4, {200, 200, 200});
    WatermarkImageCache images;
    ApplyFrameEffects(frame, 0, {}, {item}, images);
    // Transparent: untouched; half: between; opaque: as BlendBitmap draws it.
    EXPECT_EQ(At(frame, 1, 1), (Pixel{200, 200, 200}));
    const Pixel half = At(frame, 2, 1);
    EXPECT_NEAR(half.r, (200 + 255) / 2, 2);
    EXPECT_NEAR(half.b, 200 / 2, 2);
    media::Bitmap solid = Solid(6, 4, {200, 200, 200});
    BlendBitmap(solid, Solid(1, 1, {0, 0, 255}), 3, 1, 255);
    EXPECT_EQ(At(frame, 3, 1), At(solid, 3, 1));
    // Outside the picture nothing changes.
    EXPECT_EQ(At(frame, 0, 0), (Pixel{200, 200, 200}));
    EXPECT_EQ(At(frame, 5, 3), (Pixel{200, 200, 200}));
    // Opacity 0 changes nothing, whatever the alpha.
    media::Bitmap untouched = Solid(6, 4, {200, 200, 200});
    item.ImageOpacity = 0;
    ApplyFrameEffects(untouched, 0, {}, {item}, images);
    EXPECT_EQ(untouched, Solid(6, 4, {200, 200, 200}));
}

}  // namespace
}  // namespace quillo::effects
