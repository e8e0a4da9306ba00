#include "effects/overlay_blend.h"

#include <algorithm>
#include <cstdint>

namespace quillo::effects {
namespace {

// The covered part along one axis: how many overlay pixels, from which overlay index, to
// which destination index. Worked in 64 bits so that extreme positions cannot overflow.
struct Span {
    std::int64_t count = 0;
    std::int64_t overlayStart = 0;
    std::int64_t destStart = 0;
};

Span Covered(std::int64_t position, std::int64_t overlaySize, std::int64_t destSize) {
    if (position >= 0) {
        return {position + overlaySize < destSize ? overlaySize : destSize - position, 0, position};
    }
    const std::int64_t skipped = -position;
    return {overlaySize - skipped < destSize ? overlaySize - skipped : destSize, skipped, 0};
}

}  // namespace

void BlendBitmap(media::Bitmap& dest, const media::Bitmap& overlay, int left, int top,
                 int opacity) {
    const Span rows = Covered(top, overlay.Height(), dest.Height());
    const Span columns = Covered(left, overlay.Width(), dest.Width());
    if (rows.count <= 0 || columns.count <= 0) {
        return;
    }
    // 16-bit lanes suffice: (256 - a) * d + a * o is at most 256 * 255.
    const auto weight = static_cast<std::uint16_t>(std::clamp(opacity, 0, 255));
    const auto keep = static_cast<std::uint16_t>(256 - weight);
    const auto bytes = static_cast<std::size_t>(columns.count * 3);
    for (std::int64_t r = 0; r < rows.count; ++r) {
        std::uint8_t* out =
            dest.ScanLine(static_cast<int>(rows.destStart + r)) + columns.destStart * 3;
        const std::uint8_t* in =
            overlay.ScanLine(static_cast<int>(rows.overlayStart + r)) + columns.overlayStart * 3;
        for (std::size_t i = 0; i < bytes; ++i) {
            out[i] = static_cast<std::uint8_t>(
                static_cast<std::uint16_t>(keep * out[i] + weight * in[i]) >> 8);
        }
    }
}

void BlendBitmapWithAlpha(media::Bitmap& dest, const media::Bitmap& overlay,
                          const std::vector<std::uint8_t>& alpha, int left, int top, int opacity) {
    if (alpha.size() != static_cast<std::size_t>(overlay.Width()) * overlay.Height()) {
        return;
    }
    const Span rows = Covered(top, overlay.Height(), dest.Height());
    const Span columns = Covered(left, overlay.Width(), dest.Width());
    if (rows.count <= 0 || columns.count <= 0) {
        return;
    }
    const auto opaque = static_cast<std::uint32_t>(std::clamp(opacity, 0, 255));
    for (std::int64_t r = 0; r < rows.count; ++r) {
        std::uint8_t* out =
            dest.ScanLine(static_cast<int>(rows.destStart + r)) + columns.destStart * 3;
        const std::uint8_t* in =
            overlay.ScanLine(static_cast<int>(rows.overlayStart + r)) + columns.overlayStart * 3;
        const std::uint8_t* weights =
            alpha.data() + (rows.overlayStart + r) * overlay.Width() + columns.overlayStart;
        for (std::int64_t x = 0; x < columns.count; ++x) {
            const std::uint32_t weight = (opaque * weights[x] + 127) / 255;
            const std::uint32_t keep = 256 - weight;
            for (int b = 0; b < 3; ++b) {
                out[x * 3 + b] = static_cast<std::uint8_t>(
                    (keep * out[x * 3 + b] + weight * in[x * 3 + b]) >> 8);
            }
        }
    }
}

}  // namespace quillo::effects
