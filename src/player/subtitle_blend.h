#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
}

namespace quillo::player {

// Bitmap subtitles are drawn into 4:2:0 planar pictures (AV_PIX_FMT_YUV420P).

// Converts every palette entry of the rectangle (data[1], 32-bit 0xAARRGGBB words) from
// R, G, B, A to Y, Cb, Cr, A, stored the same way (Y where R was, Cb for G, Cr for B), with
// the ITU-R BT.601 studio-range formulas in fixed point with 10 fractional bits.
void PaletteToYuva(AVSubtitleRect& rect);

// Blends one rectangle (palette already converted) into the writable picture, clipped to it:
// luma per pixel, chroma per 2 x 2 block (2 x 1 or 1 x 2 at odd edges) from the block's
// alphas and chroma values.
void BlendSubtitleRect(AVFrame& picture, const AVSubtitleRect& rect);

}  // namespace quillo::player
