#pragma once

#include <cstdint>
#include <vector>

#include "effects/watermark_image_cache.h"
#include "effects/watermark_item.h"
#include "media/bitmap.h"

namespace quillo::effects {

// A job's four picture adjustments; the defaults are the neutral values.
struct PictureAdjustments {
    int Brightness = 255;  // 0..512
    int Contrast = 0;      // -100..100
    int Saturation = 255;  // 0..512
    int Exposure = 0;      // -255..512

    bool operator==(const PictureAdjustments&) const = default;
};

// What a conversion does to one decoded frame: the colour pass when brightness, contrast or
// saturation is not neutral, the exposure pass when exposure is not 0, then every item that
// shows at the frame's time (whole seconds, cut toward zero), in order, over the adjusted
// picture. Items of another kind and items without text or picture are skipped. Raises a
// WatermarkError (an image that cannot be read, text without a GUI application); the frame
// may then be partly drawn.
void ApplyFrameEffects(media::Bitmap& frame, std::int64_t ptsMicroseconds,
                       const PictureAdjustments& adjustments, const std::vector<WmRec>& items,
                       WatermarkImageCache& images);

}  // namespace quillo::effects
