#pragma once

#include <cstdint>
#include <vector>

#include "media/bitmap.h"

namespace quillo::effects {

// Blends overlay into dest with its top-left corner at (left, top) in dest pixels, clipped to
// both: every covered byte becomes ((256 - opacity) * dest + opacity * overlay) >> 8.
// Opacity is 0..255 (values outside are clamped); 255 is not an exact copy (255 over 0 gives
// 254), but equal bytes stay unchanged at any opacity.
void BlendBitmap(media::Bitmap& dest, const media::Bitmap& overlay, int left, int top, int opacity);

// The same with a weight of its own for every overlay pixel: opacity times its alpha byte
// (overlay.Width() bytes per row) / 255, rounded; an alpha of 255 gives BlendBitmap's bytes and
// an alpha of 0 leaves the destination as it was. A plane of the wrong size draws nothing.
void BlendBitmapWithAlpha(media::Bitmap& dest, const media::Bitmap& overlay,
                          const std::vector<std::uint8_t>& alpha, int left, int top, int opacity);

}  // namespace quillo::effects
