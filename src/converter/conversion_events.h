#pragma once

#include <cstdint>
#include <string>

#include "media/bitmap.h"

namespace quillo::converter {

// Reported with OnTerminate when a task ends; TaskIndex -1 closes the whole run.
struct TerminateInfo {
    std::int32_t TaskIndex = -1;
    bool Finished = false;  // ran to its end with no stop request (true in the -1 record)
    bool Exception = false;
    std::string ExceptionMsg;
};

// Reported with OnProgress at every progress interval.
struct ProgressInfo {
    std::int32_t TaskIndex = -1;
    std::int32_t FileIndex = -1;       // input of the last packet read; -1 in the final report
    std::int32_t FrameNumber = -1;     // frames encoded on the first video output; -1 = none
    std::int32_t FPS = -1;             // since the task's start; -1 = no video output
    float Quality = -1.0f;             // quantiser of the last encoded frame; -1 = none
    float BitRate = 0.0f;              // kbit/s so far
    std::int64_t TotalSize = 0;        // bytes written to the first output
    std::int64_t CurrentDuration = 0;  // microseconds of output reached
    std::int64_t TotalDuration = -1;   // microseconds expected; -1 = not available
};

// Handed to OnCustomHook for every decoded video frame; the handler may change Update and
// StopHook.
struct HookInfo {
    std::int32_t TaskIndex = -1;
    media::Bitmap* Bitmap = nullptr;  // the frame as BGR pixels, owned by the task
    std::int32_t FrameNumber = 0;
    std::int64_t PTS = 0;  // microseconds from the conversion's start position
    bool Update = true;    // write the bitmap's pixels back into the frame
    bool StopHook = false;
};

// Handed to OnPreviewBitmap with the picture in the form given to the encoder.
struct PreviewInfo {
    std::int32_t TaskIndex = -1;
    const media::Bitmap* Bitmap = nullptr;  // owned by the task
    std::int32_t FrameNumber = 0;
    std::int64_t PTS = 0;  // microseconds, the encoder's last coded picture
};

}  // namespace quillo::converter
