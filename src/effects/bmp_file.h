#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "media/bitmap.h"

namespace quillo::effects {

// The bytes of a watermark picture file; raises a WatermarkError naming the file and the
// reason when it cannot be read.
std::string ReadPictureFile(const std::filesystem::path& file);

// Decodes the bytes of a Windows bitmap (BMP) of any depth as a 24-bit picture; raises a
// WatermarkError naming the file when they are not a BMP or cannot be decoded.
media::Bitmap DecodeBmp(std::string_view bytes, const std::filesystem::path& file);

// Both of the above.
media::Bitmap ReadBmpFile(const std::filesystem::path& file);

}  // namespace quillo::effects
