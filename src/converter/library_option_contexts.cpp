#include "converter/library_option_contexts.h"

extern "C" {
#include <libavutil/opt.h>
}

#include "media/library_bindings.h"
#include "media/media_error.h"

namespace quillo::converter {

namespace {

using media::lib::avcodec;
using media::lib::avformat;
using media::lib::avutil;
using media::lib::swscale;

constexpr AVMediaType CodecTypes[] = {AVMEDIA_TYPE_VIDEO, AVMEDIA_TYPE_AUDIO, AVMEDIA_TYPE_DATA,
                                      AVMEDIA_TYPE_SUBTITLE, AVMEDIA_TYPE_ATTACHMENT};

// The option flags that make an option one "of" a media type; data and attachment streams
// take any codec option.
int TypeFlags(AVMediaType type) {
    switch (type) {
        case AVMEDIA_TYPE_VIDEO:
            return AV_OPT_FLAG_VIDEO_PARAM;
        case AVMEDIA_TYPE_AUDIO:
            return AV_OPT_FLAG_AUDIO_PARAM;
        case AVMEDIA_TYPE_SUBTITLE:
            return AV_OPT_FLAG_SUBTITLE_PARAM;
        default:
            return 0;
    }
}

bool Knows(const AVClass* avClass, const std::string& name, int flags) {
    return avClass != nullptr && avutil.av_opt_find(&avClass, name.c_str(), nullptr, flags,
                                                    AV_OPT_SEARCH_FAKE_OBJ) != nullptr;
}

// Copies one option's current value as text, the way the libraries print and parse it.
void CopyOption(void* source, void* target, const std::string& name) {
    std::uint8_t* value = nullptr;
    if (avutil.av_opt_get(source, name.c_str(), 0, &value) >= 0 && value != nullptr) {
        avutil.av_opt_set(target, name.c_str(), reinterpret_cast<const char*>(value), 0);
    }
    avutil.av_free(value);
}

}  // namespace

LibraryOptionContexts::LibraryOptionContexts() {
    for (std::size_t slot = 0; slot < codecs_.size(); ++slot) {
        codecs_[slot].reset(avcodec.avcodec_alloc_context3(nullptr));
        if (!codecs_[slot]) {
            throw media::MediaError("avcodec_alloc_context3 failed");
        }
        codecs_[slot]->codec_type = CodecTypes[slot];
    }
    container_.reset(avformat.avformat_alloc_context());
    if (!container_) {
        throw media::MediaError("avformat_alloc_context failed");
    }
    // A small scaler is enough to hold the scaler options.
    scaler_.reset(swscale.sws_getContext(16, 16, AV_PIX_FMT_YUV420P, 16, 16, AV_PIX_FMT_YUV420P,
                                         SWS_BICUBIC, nullptr, nullptr, nullptr));
    if (!scaler_) {
        throw media::MediaError("sws_getContext failed");
    }
}

LibraryOptionContexts::~LibraryOptionContexts() = default;

AVCodecContext& LibraryOptionContexts::Codec(AVMediaType type) const {
    for (std::size_t slot = 0; slot < codecs_.size(); ++slot) {
        if (CodecTypes[slot] == type) {
            return *codecs_[slot];
        }
    }
    return *codecs_[2];  // any other kind is treated as data
}

int LibraryOptionContexts::KindSlot(AVMediaType type) {
    switch (type) {
        case AVMEDIA_TYPE_VIDEO:
            return 0;
        case AVMEDIA_TYPE_AUDIO:
            return 1;
        default:
            return 2;
    }
}

LibraryOptionContexts::Outcome LibraryOptionContexts::SetGeneric(const std::string& name,
                                                                 const std::string& value,
                                                                 bool videoOnly) {
    // Sets the option in every context given; the first refusal ends it.
    const auto setIn = [&](const std::vector<void*>& contexts, const std::string& optionName) {
        for (void* context : contexts) {
            if (avutil.av_opt_set(context, optionName.c_str(), value.c_str(), 0) < 0) {
                return Outcome::Refused;
            }
        }
        setNames_.push_back(optionName);
        return Outcome::Set;
    };

    const AVClass* codecClass = avcodec.avcodec_get_class();
    std::vector<void*> codecs;
    for (const AVMediaType type : CodecTypes) {
        if ((!videoOnly || type == AVMEDIA_TYPE_VIDEO) &&
            Knows(codecClass, name, TypeFlags(type))) {
            codecs.push_back(&Codec(type));
        }
    }
    if (!codecs.empty()) {
        return setIn(codecs, name);
    }
    if (Knows(avformat.avformat_get_class(), name, 0)) {
        return setIn({container_.get()}, name);
    }
    if (Knows(swscale.sws_get_class(), name, 0)) {
        return setIn({scaler_.get()}, name);
    }
    // "aflags" is "flags" of the audio codecs, and so on.
    if (name.size() > 1) {
        const char kind = name.front();
        const AVMediaType type = kind == 'a'   ? AVMEDIA_TYPE_AUDIO
                                 : kind == 'v' ? AVMEDIA_TYPE_VIDEO
                                 : kind == 's' ? AVMEDIA_TYPE_SUBTITLE
                                               : AVMEDIA_TYPE_UNKNOWN;
        const std::string rest = name.substr(1);
        if (type != AVMEDIA_TYPE_UNKNOWN && Knows(codecClass, rest, 0)) {
            return setIn({&Codec(type)}, rest);
        }
    }
    return Outcome::NotFound;
}

LibraryOptionContexts::Outcome LibraryOptionContexts::SetPrivate(AVMediaType type,
                                                                 const AVCodec& encoder,
                                                                 const std::string& name,
                                                                 const std::string& value) {
    if (!Knows(encoder.priv_class, name, 0)) {
        return Outcome::NotFound;
    }
    // Try the value on a throw-away context of that encoder, so a bad value is refused now
    // rather than when the stream is created.
    media::CodecContextPtr scratch(avcodec.avcodec_alloc_context3(&encoder));
    if (!scratch || scratch->priv_data == nullptr ||
        avutil.av_opt_set(scratch->priv_data, name.c_str(), value.c_str(), 0) < 0) {
        return Outcome::Refused;
    }
    privateOptions_[KindSlot(type)].emplace_back(name, value);
    return Outcome::Set;
}

LibraryOptionContexts::Outcome LibraryOptionContexts::SetContainerPrivate(
    const AVOutputFormat& format, const std::string& name, const std::string& value) {
    if (!Knows(format.priv_class, name, 0)) {
        return Outcome::NotFound;
    }
    AVFormatContext* scratch = nullptr;
    if (avformat.avformat_alloc_output_context2(&scratch, &format, nullptr, nullptr) < 0) {
        return Outcome::Refused;
    }
    const media::FormatContextPtr owner(scratch);
    if (scratch->priv_data == nullptr ||
        avutil.av_opt_set(scratch->priv_data, name.c_str(), value.c_str(), 0) < 0) {
        return Outcome::Refused;
    }
    containerPrivateOptions_.emplace_back(name, value);
    return Outcome::Set;
}

LibraryOptionContexts::Outcome LibraryOptionContexts::SetAnyContainerPrivate(
    const std::string& name, const std::string& value) {
    void* iteration = nullptr;
    while (const AVOutputFormat* format = avformat.av_muxer_iterate(&iteration)) {
        if (Knows(format->priv_class, name, 0)) {
            containerPrivateOptions_.emplace_back(name, value);
            return Outcome::Set;
        }
    }
    return Outcome::NotFound;
}

void LibraryOptionContexts::CopyCodecOptions(AVMediaType type, AVCodecContext& target,
                                             int flags) const {
    AVCodecContext& source = Codec(type);
    for (const std::string& name : setNames_) {
        if (avutil.av_opt_find(&source, name.c_str(), nullptr, flags, 0) != nullptr) {
            CopyOption(&source, &target, name);
        }
    }
}

void LibraryOptionContexts::CopyContainerOptions(AVFormatContext& target, int flags) const {
    for (const std::string& name : setNames_) {
        if (avutil.av_opt_find(container_.get(), name.c_str(), nullptr, flags, 0) != nullptr) {
            CopyOption(container_.get(), &target, name);
        }
    }
}

void LibraryOptionContexts::ApplyPrivateOptions(AVMediaType type, AVCodecContext& target) const {
    if (target.priv_data == nullptr) {
        return;
    }
    for (const auto& [name, value] : privateOptions_[KindSlot(type)]) {
        // Options of another encoder chosen earlier simply do not apply to this one.
        avutil.av_opt_set(target.priv_data, name.c_str(), value.c_str(), 0);
    }
}

void LibraryOptionContexts::ApplyContainerPrivateOptions(AVFormatContext& target) const {
    if (target.priv_data == nullptr) {
        return;
    }
    for (const auto& [name, value] : containerPrivateOptions_) {
        avutil.av_opt_set(target.priv_data, name.c_str(), value.c_str(), 0);
    }
}

bool LibraryOptionContexts::DebugRequested() const {
    std::int64_t videoDebug = 0;
    std::int64_t containerDebug = 0;
    avutil.av_opt_get_int(codecs_[0].get(), "debug", 0, &videoDebug);
    avutil.av_opt_get_int(container_.get(), "fdebug", 0, &containerDebug);
    return videoDebug != 0 || containerDebug != 0;
}

}  // namespace quillo::converter
