#pragma once

// Owning pointers for objects the media libraries allocate. Each deleter calls back into the
// library; when the library has been unloaded meanwhile the object goes with it.

#include <cstdint>
#include <memory>

#include "media/library_bindings.h"

namespace quillo::media {

struct AvFreeDeleter {
    void operator()(void* memory) const {
        if (lib::avutil.av_free != nullptr) {
            lib::avutil.av_free(memory);
        }
    }
};

struct SwsContextDeleter {
    void operator()(SwsContext* context) const {
        if (lib::swscale.sws_freeContext != nullptr) {
            lib::swscale.sws_freeContext(context);
        }
    }
};

struct CodecContextDeleter {
    void operator()(AVCodecContext* context) const {
        if (lib::avcodec.avcodec_free_context != nullptr) {
            lib::avcodec.avcodec_free_context(&context);
        }
    }
};

using AvBufferPtr = std::unique_ptr<std::uint8_t, AvFreeDeleter>;
using SwsContextPtr = std::unique_ptr<SwsContext, SwsContextDeleter>;
using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextDeleter>;

}  // namespace quillo::media
