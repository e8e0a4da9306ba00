#include "converter/frame_hooks.h"

#include <exception>

#include "converter/transcoder.h"
#include "converter/working_set.h"
#include "media/library_bindings.h"

namespace quillo::converter {

namespace {

using media::lib::avutil;

constexpr std::int64_t PreviewInterval = 100'000;  // microseconds

}  // namespace

FrameHooks::FrameHooks(Transcoder& engine)
    : engine_(engine), hookOn_(engine.HasCustomHook()), modulesOn_(!engine.HookModules().Empty()) {}

AVFrame* FrameHooks::WritablePicture(const AVFrame& picture, bool copyPixels) {
    AVFrame* copy = nullptr;
    for (auto& candidate : copies_) {
        if (candidate->width != picture.width || candidate->height != picture.height ||
            candidate->format != picture.format) {
            candidate.reset();  // a picture of the old size: its memory is of no more use
        } else if (avutil.av_frame_is_writable(candidate.get()) != 0) {
            copy = candidate.get();
            break;
        }
    }
    std::erase_if(copies_, [](const media::FramePtr& candidate) { return !candidate; });
    if (copy == nullptr) {
        // Every copy made so far is still held by an encoder: make one more.
        media::FramePtr made(avutil.av_frame_alloc());
        if (made) {
            made->format = picture.format;
            made->width = picture.width;
            made->height = picture.height;
            if (avutil.av_frame_get_buffer(made.get(), 0) < 0) {
                made.reset();
            }
        }
        if (!made) {
            engine_.Log(media::LogLevel::llError, "hook buf malloc error.");
            return nullptr;
        }
        copies_.push_back(std::move(made));
        copy = copies_.back().get();
    }
    if ((copyPixels && avutil.av_frame_copy(copy, &picture) < 0) ||
        avutil.av_frame_copy_props(copy, &picture) < 0) {
        engine_.Log(media::LogLevel::llError, "hook buf malloc error.");
        return nullptr;
    }
    return copy;
}

AVFrame* FrameHooks::Process(AVFrame& picture, bool owned, std::int64_t time) {
    if (hookOn_) {
        return RunCustomHook(picture, owned, time);
    }
    if (modulesOn_) {
        // Decoders keep their pictures as references: modules change a copy.
        AVFrame* target = owned ? &picture : WritablePicture(picture, true);
        if (target != nullptr) {
            RunModules(*target, time);
            return target;
        }
    }
    return &picture;
}

AVFrame* FrameHooks::RunCustomHook(AVFrame& picture, bool owned, std::int64_t time) {
    const auto format = static_cast<AVPixelFormat>(picture.format);
    if (!hookConverter_.PictureToBitmap(picture.data, picture.linesize, format, picture.height,
                                        picture.width)) {
        engine_.Log(media::LogLevel::llError, "Cannot initialize the toRGB conversion context");
        StopHooks();
        return &picture;
    }
    bool update = true;
    bool stopHook = false;
    try {
        engine_.customHook_(engine_, *hookConverter_.GetBitmap(), frameCounter_, time, update,
                            stopHook);
    } catch (const std::exception& error) {
        engine_.Log(media::LogLevel::llError,
                    std::string("Error occurs OnCustomHook: ") + error.what());
        update = false;
    } catch (...) {
        engine_.Log(media::LogLevel::llError, "Error occurs OnCustomHook: unknown exception");
        update = false;
    }
    AVFrame* result = &picture;
    if (update) {
        // The bitmap makes the whole picture, so the target needs none of the old pixels.
        AVFrame* target = owned ? &picture : WritablePicture(picture, false);
        if (target == nullptr) {
            stopHook = true;
        } else if (hookConverter_.BitmapToPicture(target->data, target->linesize, format,
                                                  target->height, target->width)) {
            result = target;
        } else {
            engine_.Log(media::LogLevel::llError,
                        "Cannot initialize the fromRGB conversion context");
            stopHook = true;
        }
    }
    if (stopHook) {
        StopHooks();
    }
    return result;
}

void FrameHooks::RunModules(AVFrame& picture, std::int64_t time) {
    HookPicture planes{};
    for (int plane = 0; plane < 4; ++plane) {
        planes.data[plane] = picture.data[plane];
        planes.linesize[plane] = picture.linesize[plane];
    }
    for (const FrameHookModule& module : engine_.HookModules().Modules()) {
        module.process(module.context, &planes, picture.format, picture.width, picture.height,
                       time);
    }
}

void FrameHooks::StopHooks() {
    hookOn_ = false;
    modulesOn_ = false;
}

void FrameHooks::Preview(const AVFrame& picture, std::int64_t time) {
    const int flags = engine_.PreviewFlags();
    const bool toCallback = (flags & PreviewBitmapFlag) != 0 && engine_.onPreview_;
    const bool toWindow = !toCallback && (flags & PreviewWindowFlag) != 0;
    if (!toCallback && !toWindow) {
        return;
    }
    const std::int64_t now = WallClockMicroseconds();
    if (lastPreview_ != 0 && now - lastPreview_ <= PreviewInterval) {
        return;
    }
    lastPreview_ = now;
    const int failedFlag = toCallback ? PreviewBitmapFlag : PreviewWindowFlag;
    if (!previewConverter_.PictureToBitmap(picture)) {
        engine_.Log(media::LogLevel::llError, "Cannot initialize the toRGB conversion context");
        engine_.ChangePreviewFlag(failedFlag, false);
        return;
    }
    const media::Bitmap& bitmap = *previewConverter_.GetBitmap();
    if (toCallback) {
        engine_.onPreview_(engine_, bitmap, frameCounter_, time);
        return;
    }
    // Held here, so that switching the preview off meanwhile cannot free the window in use.
    const std::shared_ptr<PreviewWindow> window = engine_.PreviewWindowToShow();
    if (window && !window->Show(bitmap, frameCounter_, time)) {
        engine_.ChangePreviewFlag(PreviewWindowFlag, false);
    }
}

}  // namespace quillo::converter
