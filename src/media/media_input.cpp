#include "media/media_input.h"

#include <utility>

#include "media/library_bindings.h"
#include "media/media_url.h"

namespace quillo::media {

MediaInput::MediaInput(MediaInput&& other) noexcept
    : context_(std::exchange(other.context_, nullptr)), io_(std::move(other.io_)) {}

MediaInput& MediaInput::operator=(MediaInput&& other) noexcept {
    if (this != &other) {
        Close();
        context_ = std::exchange(other.context_, nullptr);
        io_ = std::move(other.io_);
    }
    return *this;
}

int MediaInput::Open(const std::string& url, const AVInputFormat* format, AVDictionary** options,
                     AVFormatContext* context) {
    Close();
    if (IsUnicodeURL(url)) {
        int error = 0;
        io_ = FileIo::Open(MediaURLToFileName(url), FileIo::Mode::Read, error);
        if (!io_) {
            if (context != nullptr) {
                lib::avformat.avformat_close_input(&context);
            }
            return error;
        }
        if (context == nullptr) {
            context = lib::avformat.avformat_alloc_context();
            if (context == nullptr) {
                io_.reset();
                return AVERROR(ENOMEM);
            }
        }
        context->pb = io_->Context();
        context->flags |= AVFMT_FLAG_CUSTOM_IO;
    }
    // Frees the context on failure.
    const int result = lib::avformat.avformat_open_input(&context, url.c_str(), format, options);
    if (result < 0) {
        io_.reset();
        return result;
    }
    context_ = context;
    return 0;
}

void MediaInput::Close() {
    if (context_ != nullptr) {
        lib::avformat.avformat_close_input(&context_);
    }
    io_.reset();
}

}  // namespace quillo::media
