#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace quillo::effects {

// A watermark text's font: a plain value owned by its item.
struct WatermarkFont {
    std::string Name = "Sans";
    int Size = 12;  // points
    bool Bold = false;
    bool Italic = false;
    bool Underline = false;
    bool StrikeOut = false;
    std::uint32_t Color = 0x000000;  // 0xRRGGBB
};

// One watermark item: a text (Kind 0) or a BMP, PNG or JPEG picture (Kind 1) drawn on the frames
// from StartSec to EndSec, both whole seconds and inclusive. Coordinates are source pixels.
struct WmRec {
    static constexpr std::int32_t TextKind = 0;
    static constexpr std::int32_t ImageKind = 1;

    std::string Text;
    WatermarkFont Font;
    std::int32_t TextLeft = 0;
    std::int32_t TextTop = 0;
    std::int32_t TextWidth = 0;
    std::int32_t TextHeight = 0;
    std::int32_t TextOpacity = 255;      // 255 = opaque
    std::uint32_t BackColor = 0xFFFFFF;  // 0xRRGGBB; the top byte is ignored
    bool HasBackground = false;
    std::filesystem::path ImageFile;
    std::int32_t ImageLeft = 0;
    std::int32_t ImageTop = 0;
    std::int32_t ImageWidth = 0;  // the editor's layer size; the picture is drawn at its own
    std::int32_t ImageHeight = 0;
    std::int32_t ImageOpacity = 255;
    std::int32_t Kind = TextKind;
    std::int32_t StartSec = 0;
    std::int32_t EndSec = 0;

    // Whether the item shows at a frame time in microseconds: the time is cut to whole
    // seconds toward zero, so 5.999999 s still counts as second 5.
    bool ShowsAt(std::int64_t microseconds) const;
};

}  // namespace quillo::effects
