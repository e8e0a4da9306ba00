#include "player/subtitle_blend.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

namespace quillo::player {
namespace {

constexpr int kFractionBits = 10;

// A coefficient in fixed point; every coefficient used is positive.
constexpr int Fix(double value) {
    return static_cast<int>(value * (1 << kFractionBits) + 0.5);
}

// BT.601 studio range: luma 16..235 and chroma 16..240 out of full-range R, G, B.
constexpr int kYr = Fix(0.299 * 219.0 / 255.0);
constexpr int kYg = Fix(0.587 * 219.0 / 255.0);
constexpr int kYb = Fix(0.114 * 219.0 / 255.0);
constexpr int kCbR = Fix(0.16874 * 224.0 / 255.0);
constexpr int kCbG = Fix(0.33126 * 224.0 / 255.0);
constexpr int kCHalf = Fix(0.5 * 224.0 / 255.0);
constexpr int kCrG = Fix(0.41869 * 224.0 / 255.0);
constexpr int kCrB = Fix(0.08131 * 224.0 / 255.0);
constexpr int kRounding = 1 << (kFractionBits - 1);

constexpr std::uint32_t ClampedByte(int value) {
    return static_cast<std::uint32_t>(std::clamp(value, 0, 255));
}

constexpr std::uint32_t RgbaToYuva(std::uint32_t argb) {
    const int r = static_cast<int>((argb >> 16) & 0xFF);
    const int g = static_cast<int>((argb >> 8) & 0xFF);
    const int b = static_cast<int>(argb & 0xFF);
    const int y =
        (kYr * r + kYg * g + kYb * b + (16 << kFractionBits) + kRounding) >> kFractionBits;
    const int cb =
        (-kCbR * r - kCbG * g + kCHalf * b + (128 << kFractionBits) + kRounding) >> kFractionBits;
    const int cr =
        (kCHalf * r - kCrG * g - kCrB * b + (128 << kFractionBits) + kRounding) >> kFractionBits;
    return (argb & 0xFF000000U) | (ClampedByte(y) << 16) | (ClampedByte(cb) << 8) | ClampedByte(cr);
}

struct Yuva {
    int y = 0;
    int cb = 0;
    int cr = 0;
    int a = 0;
};

// The rectangle's palette, read once; indexes past its colours are transparent.
using Palette = std::array<Yuva, 256>;

Palette ReadPalette(const AVSubtitleRect& rect) {
    Palette palette{};
    const int colours = std::clamp(rect.nb_colors, 0, 256);
    for (int i = 0; i < colours; ++i) {
        std::uint32_t word = 0;
        std::memcpy(&word, rect.data[1] + static_cast<std::ptrdiff_t>(i) * 4, sizeof word);
        palette[static_cast<std::size_t>(i)] = {
            static_cast<int>((word >> 16) & 0xFF), static_cast<int>((word >> 8) & 0xFF),
            static_cast<int>(word & 0xFF), static_cast<int>(word >> 24)};
    }
    return palette;
}

}  // namespace

void PaletteToYuva(AVSubtitleRect& rect) {
    if (rect.data[1] == nullptr) {
        return;
    }
    for (int i = 0; i < rect.nb_colors; ++i) {
        std::uint8_t* const entry = rect.data[1] + static_cast<std::ptrdiff_t>(i) * 4;
        std::uint32_t word = 0;
        std::memcpy(&word, entry, sizeof word);
        word = RgbaToYuva(word);
        std::memcpy(entry, &word, sizeof word);
    }
}

void BlendSubtitleRect(AVFrame& picture, const AVSubtitleRect& rect) {
    if (picture.format != AV_PIX_FMT_YUV420P || picture.data[0] == nullptr ||
        picture.data[1] == nullptr || picture.data[2] == nullptr || rect.data[0] == nullptr ||
        rect.data[1] == nullptr || rect.w <= 0 || rect.h <= 0) {
        return;
    }
    // The part of the rectangle on the picture, in picture coordinates, end exclusive.
    const long long left = std::max<long long>(rect.x, 0);
    const long long top = std::max<long long>(rect.y, 0);
    const long long right =
        std::min<long long>(static_cast<long long>(rect.x) + rect.w, std::max(picture.width, 0));
    const long long bottom =
        std::min<long long>(static_cast<long long>(rect.y) + rect.h, std::max(picture.height, 0));
    if (left >= right || top >= bottom) {
        return;
    }
    const int x0 = static_cast<int>(left);
    const int y0 = static_cast<int>(top);
    const int x1 = static_cast<int>(right);
    const int y1 = static_cast<int>(bottom);

    const Palette palette = ReadPalette(rect);
    const auto at = [&](int x, int y) -> const Yuva& {
        const std::uint8_t index =
            rect.data[0][static_cast<std::ptrdiff_t>(y - rect.y) * rect.linesize[0] + (x - rect.x)];
        return palette[index];
    };

    for (int y = y0; y < y1; ++y) {
        std::uint8_t* const row =
            picture.data[0] + static_cast<std::ptrdiff_t>(y) * picture.linesize[0];
        for (int x = x0; x < x1; ++x) {
            const Yuva& colour = at(x, y);
            row[x] =
                static_cast<std::uint8_t>(((255 - colour.a) * row[x] + colour.a * colour.y) / 255);
        }
    }

    // Each chroma sample stands for a 2 x 2 block of picture pixels aligned to even
    // coordinates; only the block's pixels inside the clipped rectangle take part, so a
    // rectangle at an odd position blends a 1-pixel-wide first column or row.
    for (int by = y0 / 2; by <= (y1 - 1) / 2; ++by) {
        const int rowFirst = std::max(2 * by, y0);
        const int rowEnd = std::min(2 * by + 2, y1);
        std::uint8_t* const cbRow =
            picture.data[1] + static_cast<std::ptrdiff_t>(by) * picture.linesize[1];
        std::uint8_t* const crRow =
            picture.data[2] + static_cast<std::ptrdiff_t>(by) * picture.linesize[2];
        for (int bx = x0 / 2; bx <= (x1 - 1) / 2; ++bx) {
            const int columnFirst = std::max(2 * bx, x0);
            const int columnEnd = std::min(2 * bx + 2, x1);
            int alphaSum = 0;
            int cbSum = 0;
            int crSum = 0;
            for (int y = rowFirst; y < rowEnd; ++y) {
                for (int x = columnFirst; x < columnEnd; ++x) {
                    const Yuva& colour = at(x, y);
                    alphaSum += colour.a;
                    cbSum += colour.cb;
                    crSum += colour.cr;
                }
            }
            // 1, 2 or 4 pixels: the sums divide by a power of two.
            const int shift = (rowEnd - rowFirst - 1) + (columnEnd - columnFirst - 1);
            const int alpha = alphaSum >> shift;
            const int divisor = 255 << shift;
            cbRow[bx] = static_cast<std::uint8_t>(
                ((cbRow[bx] << shift) * (255 - alpha) + cbSum * alpha) / divisor);
            crRow[bx] = static_cast<std::uint8_t>(
                ((crRow[bx] << shift) * (255 - alpha) + crSum * alpha) / divisor);
        }
    }
}

}  // namespace quillo::player
