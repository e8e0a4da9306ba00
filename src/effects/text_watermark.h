#pragma once

#include <string>

#include "effects/watermark_item.h"
#include "media/bitmap.h"

namespace quillo::effects {

// The pixel size of a font of the given point size at the classic 96 dots per inch:
// round(points * 96 / 72), at least 1. Every text watermark is measured and drawn with it,
// so the box the editor measures is the box the conversion fills.
int FontPixelSize(int points);

struct TextSize {
    int Width = 0;
    int Height = 0;

    bool operator==(const TextSize&) const = default;
};

// The box a one-line text takes in the font: its advance width and the font's line height.
// Needs a GUI application (EnsureGuiApplication); raises a WatermarkError without one.
TextSize MeasureText(const std::string& text, const WatermarkFont& font);

// Draws a text item (Kind is not looked at) into the frame: its text at the font's own size
// at the top-left of a TextWidth x TextHeight box at (TextLeft, TextTop), cut off at the box,
// over a BackColor box or over the frame itself, then blended with TextOpacity. An empty
// text or an empty box draws nothing. Raises a WatermarkError without a GUI application.
void DrawTextItem(media::Bitmap& frame, const WmRec& item);

}  // namespace quillo::effects
