#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "effects/watermark_item.h"
#include "profiles/option_builder.h"
#include "profiles/profile_files.h"

namespace quillo::app {

// The watermark items belong to the frame effects, which draw them; the job keeps them.
using effects::WatermarkFont;
using effects::WmRec;

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

    // The conversion needs its frame hook: an adjustment is off neutral, or the first
    // watermark item has a text or a picture file (items are made with one or the other).
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
// The same with the profile's zoom mode already read, for adding many rows at once.
JobRecord NewJobRecord(const std::string& zoomMode, const std::filesystem::path& source,
                       const std::filesystem::path& output, std::int64_t probeDurationUs);

}  // namespace quillo::app
