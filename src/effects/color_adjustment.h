#pragma once

#include "media/bitmap.h"

namespace quillo::effects {

// Brightness (0..512, 255 neutral, 256 the identity), contrast (-100..100, 0 neutral; levels
// pivot on 170) and saturation (0..512, 255 neutral, 0 grey) in one pass over every pixel,
// in place.
void AdjustColors(media::Bitmap& bitmap, int brightness, int contrast, int saturation);

// Exposure (-255..512, 0 neutral) over every byte of every pixel, in place; levels 0 and 255
// keep their values.
void AdjustExposure(media::Bitmap& bitmap, float exposure);

// Both passes at once, the colours first: the same bytes as AdjustColors then
// AdjustExposure, in one sweep over the pixels, as the exposure table is folded into the
// colour pass's last table.
void AdjustColorsAndExposure(media::Bitmap& bitmap, int brightness, int contrast, int saturation,
                             float exposure);

}  // namespace quillo::effects
