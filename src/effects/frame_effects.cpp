#include "effects/frame_effects.h"

#include "effects/color_adjustment.h"
#include "effects/overlay_blend.h"
#include "effects/text_watermark.h"

namespace quillo::effects {
namespace {

void DrawImageItem(media::Bitmap& frame, const WmRec& item, WatermarkImageCache& images) {
    if (item.ImageFile.empty()) {
        return;
    }
    // At the picture's own size: ImageWidth and ImageHeight are the editor's layer only.
    const auto picture = images.Look(item.ImageFile);
    if (picture->Alpha.empty()) {
        BlendBitmap(frame, picture->Pixels, item.ImageLeft, item.ImageTop, item.ImageOpacity);
    } else {
        BlendBitmapWithAlpha(frame, picture->Pixels, picture->Alpha, item.ImageLeft, item.ImageTop,
                             item.ImageOpacity);
    }
}

}  // namespace

void ApplyFrameEffects(media::Bitmap& frame, std::int64_t ptsMicroseconds,
                       const PictureAdjustments& adjustments, const std::vector<WmRec>& items,
                       WatermarkImageCache& images) {
    const bool colors =
        adjustments.Brightness != 255 || adjustments.Contrast != 0 || adjustments.Saturation != 255;
    const bool exposure = adjustments.Exposure != 0;
    const auto exposureValue = static_cast<float>(adjustments.Exposure);
    if (colors && exposure) {
        AdjustColorsAndExposure(frame, adjustments.Brightness, adjustments.Contrast,
                                adjustments.Saturation, exposureValue);
    } else if (colors) {
        AdjustColors(frame, adjustments.Brightness, adjustments.Contrast, adjustments.Saturation);
    } else if (exposure) {
        AdjustExposure(frame, exposureValue);
    }
    for (const WmRec& item : items) {
        if (!item.ShowsAt(ptsMicroseconds)) {
            continue;
        }
        if (item.Kind == WmRec::TextKind) {
            DrawTextItem(frame, item);
        } else if (item.Kind == WmRec::ImageKind) {
            DrawImageItem(frame, item, images);
        }
    }
}

}  // namespace quillo::effects
