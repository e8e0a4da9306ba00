#pragma once

#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace quillo::converter {

// The encoder or decoder named name, for streams of type. Null when no name is given or the
// stream is copied. Throws MediaError when there is no such codec, when it is for another
// kind of stream, or when it is experimental and strictness is above experimental. Names of
// 2010 that have successors are looked up under their successors.
const AVCodec* FindCodec(const std::string& name, AVMediaType type, bool encoder, bool streamCopy,
                         int strictness = FF_COMPLIANCE_NORMAL);

}  // namespace quillo::converter
