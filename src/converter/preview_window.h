#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "media/bitmap.h"

namespace quillo::converter {

// A small window that shows the pictures a running task encodes, at most ten a second. The
// desktop front end supplies one through the factory below; without a factory nothing is
// shown. Show is called on the task's worker thread: an implementation does its window work
// on the main thread (CallInMainThread) and is freed on whichever thread drops it last.
class PreviewWindow {
public:
    virtual ~PreviewWindow() = default;

    // Shows one picture with its frame number and time (microseconds). False once the user
    // has closed the window: the task then shows no more previews.
    virtual bool Show(const media::Bitmap& bitmap, int frameNumber, std::int64_t time) = 0;
};

using PreviewWindowFactory = std::function<std::unique_ptr<PreviewWindow>()>;

// Process-wide, set by the front end at start-up.
void SetPreviewWindowFactory(PreviewWindowFactory factory);
// A new window, or null when no factory is set.
std::unique_ptr<PreviewWindow> MakePreviewWindow();

}  // namespace quillo::converter
