#pragma once

#include <cstdint>
#include <vector>

extern "C" {
#include <libavutil/frame.h>
}

#include "media/bitmap_converter.h"
#include "media/library_pointers.h"

namespace quillo::converter {

class Transcoder;

// What one run does to decoded pictures before they are encoded (the custom hook, or else
// the frame-hook modules) and with encoded ones (the preview, at most one picture per
// 100 ms). Failures here never end the task: they are logged and switch the failing
// mechanism off for the rest of the run.
class FrameHooks {
public:
    explicit FrameHooks(Transcoder& engine);
    FrameHooks(const FrameHooks&) = delete;
    FrameHooks& operator=(const FrameHooks&) = delete;

    // Counts one decoded picture; the count is the frame number hooks and previews see.
    void CountPicture() { ++frameCounter_; }
    // Whether decoded pictures go to the custom hook or the modules.
    bool Active() const { return hookOn_ || modulesOn_; }
    // The custom hook or else every module on a picture; time in microseconds. The result
    // is the picture to encode: the picture itself, or a changed one from a pool of pictures
    // the encoders no longer hold. With owned, the picture is the caller's to change.
    AVFrame* Process(AVFrame& picture, bool owned, std::int64_t time);
    // The preview step for one picture as it is encoded; time in microseconds.
    void Preview(const AVFrame& picture, std::int64_t time);

private:
    AVFrame* RunCustomHook(AVFrame& picture, bool owned, std::int64_t time);
    void RunModules(AVFrame& picture, std::int64_t time);
    // A picture of the same size, format and properties to write into; its pixels are
    // copied only with copyPixels. Null (logged) when none can be made.
    AVFrame* WritablePicture(const AVFrame& picture, bool copyPixels);
    void StopHooks();

    Transcoder& engine_;
    bool hookOn_ = false;
    bool modulesOn_ = false;
    int frameCounter_ = 0;
    media::BitmapConverter hookConverter_;
    media::BitmapConverter previewConverter_;
    std::int64_t lastPreview_ = 0;  // wall clock, microseconds; 0: none yet
    std::vector<media::FramePtr> copies_;
};

}  // namespace quillo::converter
