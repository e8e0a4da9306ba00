#pragma once

#include <array>
#include <string>
#include <utility>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include "media/library_pointers.h"

namespace quillo::converter {

// The generic fallback of the engine's options: any option the media libraries know is set
// in one of these contexts, which start with the libraries' defaults, and later copied into
// every codec, container and scaler the engine creates. Options only a particular encoder
// knows (its private options) are kept as text for the next stream of their kind.
class LibraryOptionContexts {
public:
    enum class Outcome { NotFound, Set, Refused };

    // Needs avcodec, avformat, avutil and swscale loaded.
    LibraryOptionContexts();
    ~LibraryOptionContexts();
    LibraryOptionContexts(const LibraryOptionContexts&) = delete;
    LibraryOptionContexts& operator=(const LibraryOptionContexts&) = delete;

    // Codec contexts by media type (video, audio, data, subtitle, attachment), then the
    // container, then the scaler, then the name without its a/v/s prefix. The name the
    // option was found under is remembered for copying.
    Outcome SetGeneric(const std::string& name, const std::string& value, bool videoOnly = false);
    // A private option of the encoder that will be used for streams of this kind.
    Outcome SetPrivate(AVMediaType type, const AVCodec& encoder, const std::string& name,
                       const std::string& value);
    // A private option of the container format the next output will have.
    Outcome SetContainerPrivate(const AVOutputFormat& format, const std::string& name,
                                const std::string& value);
    // With the output format not known yet: kept when some muxer has such an option, and
    // applied to the output whose muxer has it.
    Outcome SetAnyContainerPrivate(const std::string& name, const std::string& value);
    const std::vector<std::string>& SetNames() const { return setNames_; }

    AVCodecContext& Codec(AVMediaType type) const;
    AVFormatContext& Container() const { return *container_; }
    SwsContext& Scaler() const { return *scaler_; }

    // Copies every option set so far that carries all of flags (for example video and
    // encoding) from the type's context into target.
    void CopyCodecOptions(AVMediaType type, AVCodecContext& target, int flags) const;
    // The same for the container options.
    void CopyContainerOptions(AVFormatContext& target, int flags) const;
    // Applies the private options kept for this kind that target's encoder knows.
    void ApplyPrivateOptions(AVMediaType type, AVCodecContext& target) const;
    // Applies the container private options that target's format knows.
    void ApplyContainerPrivateOptions(AVFormatContext& target) const;

    bool DebugRequested() const;

private:
    static int KindSlot(AVMediaType type);

    std::array<media::CodecContextPtr, 5> codecs_;
    media::FormatContextPtr container_;
    media::SwsContextPtr scaler_;
    std::vector<std::string> setNames_;
    // Video, audio and subtitle private options, in the order they were set.
    std::array<std::vector<std::pair<std::string, std::string>>, 3> privateOptions_;
    std::vector<std::pair<std::string, std::string>> containerPrivateOptions_;
};

}  // namespace quillo::converter
