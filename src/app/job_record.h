#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "profiles/option_builder.h"
#include "profiles/profile_files.h"

namespace quillo::app {

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

// One watermark item: a text (Kind 0) or a BMP picture (Kind 1) drawn on the frames from
// StartSec to EndSec, both whole seconds and inclusive. Coordinates are source pixels.
struct WmRec {
    std::string Text;
    WatermarkFont Font;
    std::int32_t TextLeft = 0;
    std::int32_t TextTop = 0;
    std::int32_t TextWidth = 0;
    std::int32_t TextHeight = 0;
    std::int32_t TextOpacity = 255;  // 255 = opaque
    std::uint32_t BackColor = 0xFFFFFF;
    bool HasBackground = false;
    std::filesystem::path ImageFile;
    std::int32_t ImageLeft = 0;
    std::int32_t ImageTop = 0;
    std::int32_t ImageWidth = 0;
    std::int32_t ImageHeight = 0;
    std::int32_t ImageOpacity = 255;
    std::int32_t Kind = 0;
    std::int32_t StartSec = 0;
    std::int32_t EndSec = 0;

    // Whether the item shows at a frame time in microseconds.
    bool ShowsAt(std::int64_t microseconds) const;
};

// One job of the batch: a source file and the edits made to it. The record owns its
// watermark items by value, and each item its font.
struct JobRecord {
    std::filesystem::path SourceFile;
    std::filesystem::path OutputFile;
    std::int32_t Duration = 0;      // whole seconds
    std::int64_t StartTime = 0;     // trim start, microseconds; 0 = from the beginning
    std::int64_t TrimDuration = 0;  // microseconds; 0 = up to the end
    std::string ZoomMode = "lbox";  // "full", "lbox", "pan" or "center"
    std::int32_t CropTop = 0;
    std::int32_t CropLeft = 0;
    std::int32_t CropBottom = 0;
    std::int32_t CropRight = 0;
    std::int32_t CropEditTop = 0;  // the crop window's boxes as entered, preview pixels
    std::int32_t CropEditLeft = 0;
    std::int32_t CropEditBottom = 0;
    std::int32_t CropEditRight = 0;
    std::vector<WmRec> Watermarks;  // drawn in order, the first at the bottom
    std::int32_t Brightness = 255;  // 0..512, 255 = neutral
    std::int32_t Contrast = 0;      // -100..100
    std::int32_t Saturation = 255;  // 0..512, 255 = neutral
    std::int32_t Exposure = 0;      // -255..512

    // Picture adjustments or watermarks: the conversion needs its frame hook.
    bool NeedsFrameHook() const;

    // Drops the old items and keeps the new ones.
    void ReplaceWatermarks(std::vector<WmRec> items) { Watermarks = std::move(items); }

    // The zoom mode and crop margins the option builder needs.
    profiles::JobFraming Framing() const;
};

// The record of a newly added row: the current profile's zoom mode and the probe's duration
// (microseconds) in whole seconds.
JobRecord NewJobRecord(const profiles::ProfileFiles& files, const std::filesystem::path& source,
                       const std::filesystem::path& output, std::int64_t probeDurationUs);

}  // namespace quillo::app
