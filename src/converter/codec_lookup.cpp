#include "converter/codec_lookup.h"

#include "converter/legacy_names.h"
#include "media/library_bindings.h"
#include "media/media_error.h"

namespace quillo::converter {

const AVCodec* FindCodec(const std::string& name, AVMediaType type, bool encoder, bool streamCopy,
                         int strictness) {
    if (name.empty() || streamCopy) {
        return nullptr;
    }
    const char* role = encoder ? "encoder" : "decoder";
    const AVCodec* codec =
        encoder
            ? media::lib::avcodec.avcodec_find_encoder_by_name(SuccessorEncoderName(name).c_str())
            : media::lib::avcodec.avcodec_find_decoder_by_name(name.c_str());
    if (codec == nullptr) {
        throw media::MediaError(std::string("Unknown ") + role + " '" + name + "'");
    }
    if (codec->type != type) {
        throw media::MediaError(std::string("Invalid ") + role + " type '" + name + "'");
    }
    if ((codec->capabilities & AV_CODEC_CAP_EXPERIMENTAL) != 0 &&
        strictness > FF_COMPLIANCE_EXPERIMENTAL) {
        throw media::MediaError(std::string(encoder ? "Encoder" : "Decoder") + " '" + codec->name +
                                "' is experimental and might produce bad results.\n"
                                "Add '-strict experimental' if you want to use it.");
    }
    return codec;
}

}  // namespace quillo::converter
