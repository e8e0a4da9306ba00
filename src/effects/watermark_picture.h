#pragma once

#include <cstdint>
#include <filesystem>
#include <string_view>
#include <vector>

#include "media/bitmap.h"

namespace quillo::effects {

// A watermark picture: its 24-bit pixels and, for a picture with transparent parts, one alpha
// byte per pixel (Width bytes per row, rows top to bottom, 255 opaque); Alpha is empty when
// every pixel is opaque.
struct WatermarkPicture {
    media::Bitmap Pixels;
    std::vector<std::uint8_t> Alpha;
};

// Decodes the bytes of a BMP (any depth), a PNG or a JPEG file, told apart by their first bytes;
// raises a WatermarkError naming the file when they are none of these or cannot be decoded.
WatermarkPicture DecodeWatermarkPicture(std::string_view bytes, const std::filesystem::path& file);

}  // namespace quillo::effects
