#include "media/media_text.h"

#include <cinttypes>
#include <cstdio>
#include <locale>

#include "media/library_bindings.h"

namespace quillo::media {

namespace {

constexpr std::int64_t KiB = 1024;
constexpr std::int64_t MiB = KiB * 1024;
constexpr std::int64_t GiB = MiB * 1024;

std::string Trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t\r\n");
    return std::string(text.substr(first, last - first + 1));
}

std::string FormatScaled(double value, const char* unit, char decimalSeparator) {
    char text[64];
    std::snprintf(text, sizeof text, "%.2f %s", value, unit);
    std::string result(text);
    if (const auto point = result.find('.'); point != std::string::npos) {
        result[point] = decimalSeparator;
    }
    return result;
}

bool IsPrintable(std::uint32_t byte) {
    return byte >= 32 && byte <= 126;
}

}  // namespace

std::string FormatTimeUs(std::int64_t microseconds) {
    if (microseconds == INT64_MIN) {
        return "N/A";
    }
    const std::int64_t seconds = microseconds / 1'000'000;
    const std::int64_t hours = seconds / 60 / 60;
    const std::int64_t minutes = (seconds / 60) % 60;
    const std::int64_t secondsOfMinute = seconds % 60;
    const std::int64_t milliseconds = (microseconds % 1'000'000) * 1000 / 1'000'000;
    char text[96];
    std::snprintf(text, sizeof text, "%.2" PRId64 ":%.2" PRId64 ":%.2" PRId64 ".%.3" PRId64, hours,
                  minutes, secondsOfMinute, milliseconds);
    return text;
}

char UserDecimalSeparator() {
    static const char separator = [] {
        try {
            return std::use_facet<std::numpunct<char>>(std::locale("")).decimal_point();
        } catch (const std::runtime_error&) {
            // The environment names a locale this machine does not have.
            return '.';
        }
    }();
    return separator;
}

std::string FormatFileSize(std::int64_t bytes) {
    return FormatFileSize(bytes, UserDecimalSeparator());
}

std::string FormatFileSize(std::int64_t bytes, char decimalSeparator) {
    if (bytes > GiB) {
        return FormatScaled(static_cast<double>(bytes) / GiB, "GB", decimalSeparator);
    }
    if (bytes > MiB) {
        return FormatScaled(static_cast<double>(bytes) / MiB, "MB", decimalSeparator);
    }
    if (bytes > KiB) {
        return FormatScaled(static_cast<double>(bytes) / KiB, "KB", decimalSeparator);
    }
    return std::to_string(bytes) + " Byte";
}

std::string MediaTypeName(int mediaType) {
    switch (mediaType) {
        case AVMEDIA_TYPE_VIDEO:
            return "Video";
        case AVMEDIA_TYPE_AUDIO:
            return "Audio";
        case AVMEDIA_TYPE_DATA:
            return "Data";
        case AVMEDIA_TYPE_SUBTITLE:
            return "Subtitle";
        case AVMEDIA_TYPE_ATTACHMENT:
            return "Attachment";
        default:
            return "Unknown";
    }
}

std::string CodecDescription(AVCodecID codecId, std::uint32_t codecTag, bool encoder) {
    const AVCodec* codec = encoder ? lib::avcodec.avcodec_find_encoder(codecId)
                                   : lib::avcodec.avcodec_find_decoder(codecId);
    if (codec != nullptr) {
        const std::string longName = codec->long_name != nullptr ? Trimmed(codec->long_name) : "";
        return longName.empty() ? codec->name : std::string(codec->name) + "(" + longName + ")";
    }
    if (codecId == AV_CODEC_ID_MPEG2TS) {
        return "mpeg2ts";
    }
    // A codec the libraries know by name but cannot handle in this direction.
    if (const AVCodecDescriptor* descriptor = lib::avcodec.avcodec_descriptor_get(codecId)) {
        if (const std::string name = Trimmed(descriptor->name); !name.empty()) {
            return name;
        }
    }
    const std::uint32_t bytes[4] = {codecTag & 0xFF, (codecTag >> 8) & 0xFF,
                                    (codecTag >> 16) & 0xFF, codecTag >> 24};
    char text[64];
    if (IsPrintable(bytes[0]) && IsPrintable(bytes[1]) && IsPrintable(bytes[2]) &&
        IsPrintable(bytes[3])) {
        std::snprintf(text, sizeof text, "%c%c%c%c / 0x%04X", bytes[0], bytes[1], bytes[2],
                      bytes[3], codecTag);
    } else {
        std::snprintf(text, sizeof text, "0x%04x", codecTag);
    }
    return text;
}

std::string CodecDescription(const AVCodecContext& context, bool encoder) {
    return CodecDescription(context.codec_id, context.codec_tag, encoder);
}

std::string CodecDescription(const AVCodecParameters& parameters, bool encoder) {
    return CodecDescription(parameters.codec_id, parameters.codec_tag, encoder);
}

std::string MetadataValue(const AVDictionary* dictionary, const std::string& key,
                          const std::string& defaultValue) {
    const AVDictionaryEntry* entry = lib::avutil.av_dict_get(dictionary, key.c_str(), nullptr, 0);
    return entry != nullptr && entry->value != nullptr ? std::string(entry->value) : defaultValue;
}

}  // namespace quillo::media
