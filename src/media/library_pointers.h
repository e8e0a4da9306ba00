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

using AvBufferPtr = std::unique_ptr<std::uint8_t, AvFreeDeleter>;
using SwsContextPtr = std::unique_ptr<SwsContext, SwsContextDeleter>;

struct CodecContextDeleter {
    void operator()(AVCodecContext* context) const {
        if (lib::avcodec.avcodec_free_context != nullptr) {
            lib::avcodec.avcodec_free_context(&context);
        }
    }
};

struct FrameDeleter {
    void operator()(AVFrame* frame) const {
        if (lib::avutil.av_frame_free != nullptr) {
            lib::avutil.av_frame_free(&frame);
        }
    }
};

struct PacketDeleter {
    void operator()(AVPacket* packet) const {
        if (lib::avcodec.av_packet_free != nullptr) {
            lib::avcodec.av_packet_free(&packet);
        }
    }
};

// For a context made by avformat_alloc_output_context2: closes the file the context writes,
// when it opened one, then frees the context with its streams.
// A format context that was never opened as an input nor given a file.
struct FormatContextDeleter {
    void operator()(AVFormatContext* context) const {
        if (lib::avformat.avformat_free_context != nullptr) {
            lib::avformat.avformat_free_context(context);
        }
    }
};

struct OutputContextDeleter {
    void operator()(AVFormatContext* context) const {
        if (lib::avformat.avformat_free_context == nullptr) {
            return;
        }
        if (context->oformat != nullptr && (context->oformat->flags & AVFMT_NOFILE) == 0) {
            lib::avformat.avio_closep(&context->pb);
        }
        lib::avformat.avformat_free_context(context);
    }
};

using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextDeleter>;
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;
using FormatContextPtr = std::unique_ptr<AVFormatContext, FormatContextDeleter>;
using OutputContextPtr = std::unique_ptr<AVFormatContext, OutputContextDeleter>;

// An owned AVDictionary. The libraries take the address of the pointer to fill or consume
// it (av_dict_set, avcodec_open2), so this holds the raw pointer and hands out its address.
class Dictionary {
public:
    Dictionary() = default;
    Dictionary(const Dictionary&) = delete;
    Dictionary& operator=(const Dictionary&) = delete;
    ~Dictionary() {
        if (dictionary_ != nullptr && lib::avutil.av_dict_free != nullptr) {
            lib::avutil.av_dict_free(&dictionary_);
        }
    }

    AVDictionary* Get() const { return dictionary_; }
    AVDictionary** Address() { return &dictionary_; }

private:
    AVDictionary* dictionary_ = nullptr;
};

}  // namespace quillo::media
