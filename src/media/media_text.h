#pragma once

#include <cstdint>
#include <string>

extern "C" {
#include <libavcodec/codec_id.h>
#include <libavutil/dict.h>
}

struct AVCodecContext;
struct AVCodecParameters;

namespace quillo::media {

// "HH:MM:SS.mmm" (hours not wrapped at 24), or "N/A" for INT64_MIN.
std::string FormatTimeUs(std::int64_t microseconds);

// "%.2f GB" / "MB" / "KB" above each power of 1024, else "%d Byte"; the decimal separator is
// the user's (LC_NUMERIC).
std::string FormatFileSize(std::int64_t bytes);
std::string FormatFileSize(std::int64_t bytes, char decimalSeparator);

// The user's decimal separator, read once from the environment's locale.
char UserDecimalSeparator();

// "Video", "Audio", "Data", "Subtitle", "Attachment" or "Unknown".
std::string MediaTypeName(int mediaType);

// The codec's short name, with its long name in brackets when it has one; for codecs the
// libraries cannot handle, the best identification the id or the tag give. Needs avcodec.
std::string CodecDescription(AVCodecID codecId, std::uint32_t codecTag, bool encoder);
std::string CodecDescription(const AVCodecContext& context, bool encoder);
std::string CodecDescription(const AVCodecParameters& parameters, bool encoder);

// The value of the entry named key (compared as the libraries compare metadata keys), else
// defaultValue. Needs avutil.
std::string MetadataValue(const AVDictionary* dictionary, const std::string& key,
                          const std::string& defaultValue);

}  // namespace quillo::media
