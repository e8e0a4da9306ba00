// The preview flags and window of a task: changed from any thread while the task runs.

#include <mutex>

#include "converter/transcoder.h"

namespace quillo::converter {

namespace {

// One lock for every task, as the flag setters and the preview step of all tasks share the
// rule that a window is only freed when no worker is about to show it.
std::mutex& PreviewLock() {
    static std::mutex lock;
    return lock;
}

}  // namespace

void Transcoder::SetPreviewFlags(int flags) {
    ChangePreviewFlags([flags](int) { return flags; });
}

void Transcoder::ChangePreviewFlag(int flag, bool on) {
    ChangePreviewFlags([flag, on](int flags) { return on ? flags | flag : flags & ~flag; });
}

void Transcoder::ChangePreviewFlags(const std::function<int(int)>& change) {
    std::shared_ptr<PreviewWindow> closed;
    std::scoped_lock lock(PreviewLock());
    const int flags = change(previewFlags_.load());
    previewFlags_.store(flags);
    if ((flags & PreviewWindowFlag) == 0) {
        // Freed after the lock is released (declared first): a window does its closing on
        // the main thread and waits for it.
        closed = std::move(previewWindow_);
    }
}

std::shared_ptr<PreviewWindow> Transcoder::PreviewWindowToShow() {
    std::scoped_lock lock(PreviewLock());
    if ((previewFlags_.load() & PreviewWindowFlag) == 0) {
        return nullptr;
    }
    if (!previewWindow_) {
        previewWindow_ = MakePreviewWindow();
    }
    return previewWindow_;
}

void Transcoder::ClosePreviewWindow() {
    std::shared_ptr<PreviewWindow> closed;
    std::scoped_lock lock(PreviewLock());
    closed.swap(previewWindow_);
}

}  // namespace quillo::converter
