#pragma once

// Pictures for the frame-effect tests: made here, compared pixel by pixel, written as BMP.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <QImage>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <random>

#include "effects/gui_application.h"
#include "media/bitmap.h"

namespace quillo::effects::testing {

struct Pixel {
    std::uint8_t b = 0;
    std::uint8_t g = 0;
    std::uint8_t r = 0;

    bool operator==(const Pixel&) const = default;
};

inline Pixel At(const media::Bitmap& bitmap, int x, int y) {
    const std::uint8_t* p = bitmap.ScanLine(y) + std::size_t(x) * 3;
    return {p[0], p[1], p[2]};
}

inline void Set(media::Bitmap& bitmap, int x, int y, Pixel pixel) {
    std::uint8_t* p = bitmap.ScanLine(y) + std::size_t(x) * 3;
    p[0] = pixel.b;
    p[1] = pixel.g;
    p[2] = pixel.r;
}

inline void PrintTo(const Pixel& pixel, std::ostream* out) {
    *out << "(b " << int(pixel.b) << ", g " << int(pixel.g) << ", r " << int(pixel.r) << ")";
}

// Pixel bytes from a fixed seed, the same on every run; padding bytes stay zero.
inline media::Bitmap Noise(int width, int height, unsigned seed = 7) {
    media::Bitmap bitmap(width, height);
    std::mt19937 random(seed);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::uint32_t bits = random();
            Set(bitmap, x, y,
                {std::uint8_t(bits), std::uint8_t(bits >> 8), std::uint8_t(bits >> 16)});
        }
    }
    return bitmap;
}

inline media::Bitmap Solid(int width, int height, Pixel pixel) {
    media::Bitmap bitmap(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            Set(bitmap, x, y, pixel);
        }
    }
    return bitmap;
}

// One grey pixel per level: pixel i is (i, i, i).
inline media::Bitmap GreyRamp() {
    media::Bitmap bitmap(256, 1);
    for (int i = 0; i < 256; ++i) {
        Set(bitmap, i, 0, {std::uint8_t(i), std::uint8_t(i), std::uint8_t(i)});
    }
    return bitmap;
}

// Text needs a GUI application; tests never use a real display.
inline void UseOffscreenGui() {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    EnsureGuiApplication();
}

inline QImage ToQImage(const media::Bitmap& bitmap) {
    QImage image(bitmap.Width(), bitmap.Height(), QImage::Format_BGR888);
    for (int y = 0; y < bitmap.Height(); ++y) {
        std::memcpy(image.scanLine(y), bitmap.ScanLine(y), std::size_t(bitmap.Width()) * 3);
    }
    return image;
}

inline void WriteBmp(const std::filesystem::path& file, const QImage& image) {
    ASSERT_TRUE(image.save(QString::fromStdString(file.string()), "BMP")) << file;
}

inline void WriteBmp(const std::filesystem::path& file, const media::Bitmap& bitmap) {
    WriteBmp(file, ToQImage(bitmap));
}

}  // namespace quillo::effects::testing
