#pragma once

#include <cstdint>
#include <vector>

namespace quillo::media {

// A picture of 24-bit pixels, three bytes each in the order blue, green, red. Rows run from
// top to bottom; each row (scan line) is padded to a multiple of four bytes.
class Bitmap {
public:
    Bitmap() = default;
    Bitmap(int width, int height) { SetSize(width, height); }

    static int ScanLineSize(int width) { return (width * 24 + 31) / 32 * 4; }

    // Keeps no content that meant anything: pixels of a new size are zero.
    void SetSize(int width, int height) {
        width_ = width > 0 ? width : 0;
        height_ = height > 0 ? height : 0;
        pixels_.assign(static_cast<std::size_t>(ScanLineSize(width_)) * height_, 0);
    }

    int Width() const { return width_; }
    int Height() const { return height_; }
    int Stride() const { return ScanLineSize(width_); }

    std::uint8_t* ScanLine(int row) {
        return pixels_.data() + static_cast<std::size_t>(row) * Stride();
    }
    const std::uint8_t* ScanLine(int row) const {
        return pixels_.data() + static_cast<std::size_t>(row) * Stride();
    }

    bool operator==(const Bitmap&) const = default;

private:
    int width_ = 0;
    int height_ = 0;
    std::vector<std::uint8_t> pixels_;
};

}  // namespace quillo::media
