#include "effects/bmp_file.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>

#include <string>
#include <vector>

#include "effects/watermark_error.h"
#include "effects_test_support.h"
#include "support/temp_folder.h"

namespace quillo::effects {
namespace {

using quillo::testing::TempFolder;
using testing::At;
using testing::Pixel;

QImage Pattern(int width, int height) {
    QImage image(width, height, QImage::Format_RGB888);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            image.setPixelColor(x, y, QColor((x * 40) % 256, (y * 60) % 256, (x + y) % 2 * 255));
        }
    }
    return image;
}

void ExpectSamePixels(const media::Bitmap& picture, const QImage& image) {
    ASSERT_EQ(picture.Width(), image.width());
    ASSERT_EQ(picture.Height(), image.height());
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            ASSERT_EQ(At(picture, x, y), (Pixel{std::uint8_t(c.blue()), std::uint8_t(c.green()),
                                                std::uint8_t(c.red())}))
                << x << ", " << y;
        }
    }
}

// The depths a BMP file may have all come back as the same 24-bit pixels.
TEST(ReadBmpFile, ReadsEveryDepthAs24Bits) {
    TempFolder folder;
    const QImage pattern = Pattern(7, 5);  // odd: padded rows in the file and the bitmap
    struct Case {
        std::string name;
        QImage image;
    };
    const std::vector<Case> cases = {
        {"24-bit", pattern},
        {"32-bit", pattern.convertToFormat(QImage::Format_RGB32)},
        {"8-bit palette", pattern.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither)},
        {"1-bit", pattern.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither)},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        const auto file = folder / (test.name + ".bmp");
        testing::WriteBmp(file, test.image);
        ExpectSamePixels(ReadBmpFile(file), test.image);
    }
}

TEST(ReadBmpFile, RefusesWhatIsNoReadableBmpNamingTheFile) {
    TempFolder folder;
    const auto png = folder / "logo.bmp";
    ASSERT_TRUE(Pattern(4, 4).save(QString::fromStdString(png.string()), "PNG"));
    const auto text = folder / "notes.bmp";
    quillo::testing::WriteFile(text, "just some text");
    const auto damaged = folder / "damaged.bmp";
    quillo::testing::WriteFile(damaged, "BM\x10\x00\x00\x00 truncated header");
    const auto empty = folder / "empty.bmp";
    quillo::testing::WriteFile(empty, "");
    struct Case {
        std::filesystem::path file;
        std::string says;
    };
    const std::vector<Case> cases = {
        {folder / "missing.bmp", "No such file or directory"},
        {png, "is not a BMP file"},
        {text, "is not a BMP file"},
        {empty, "is not a BMP file"},
        {damaged, "Cannot decode"},
        {folder.Path(), "is a folder"},
    };
    for (const Case& test : cases) {
        try {
            ReadBmpFile(test.file);
            ADD_FAILURE() << "read " << test.file;
        } catch (const WatermarkError& error) {
            const std::string message = error.what();
            EXPECT_NE(message.find(test.file.string()), std::string::npos) << message;
            EXPECT_NE(message.find(test.says), std::string::npos) << message;
        }
    }
}

}  // namespace
}  // namespace quillo::effects
