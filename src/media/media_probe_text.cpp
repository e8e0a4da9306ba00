// The probe's description of a whole file: file lines, metadata blocks, programs and one
// line per stream.

#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <map>
#include <memory>
#include <set>
#include <string_view>

#include "media/library_bindings.h"
#include "media/library_pointers.h"
#include "media/media_probe.h"
#include "media/media_text.h"

namespace quillo::media {

namespace {

constexpr AVRational Microseconds = {1, 1'000'000};
constexpr const char* LineEnd = "\r\n";

// ID3v2 frame names some demuxers still report, shown by what they mean.
const std::map<std::string_view, std::string_view>& DisplayKeys() {
    static const std::map<std::string_view, std::string_view> keys = {
        {"TALB", "album"},      {"TAL", "album"},      {"TCOM", "composer"}, {"TCON", "genre"},
        {"TCO", "genre"},       {"TCOP", "copyright"}, {"TDRL", "date"},     {"TENC", "encoder"},
        {"TEN", "encoder"},     {"TSOA", "albumsort"}, {"TIT2", "title"},    {"TT2", "title"},
        {"TLAN", "language"},   {"TPE1", "artist"},    {"TP1", "artist"},    {"TPOS", "disc"},
        {"TPUB", "publisher"},  {"TRCK", "track"},     {"TRK", "track"},     {"TSOT", "titlesort"},
        {"TSOP", "authorsort"}, {"TYER", "year"}};
    return keys;
}

std::string_view DisplayKey(std::string_view key) {
    const auto found = DisplayKeys().find(key);
    return found != DisplayKeys().end() ? found->second : key;
}

template <typename... Arguments>
std::string Format(const char* format, Arguments... arguments) {
    const int length = std::snprintf(nullptr, 0, format, arguments...);
    std::string text(static_cast<std::size_t>(std::max(length, 0)), '\0');
    std::snprintf(text.data(), text.size() + 1, format, arguments...);
    return text;
}

std::string WithUserDecimalSeparator(std::string text) {
    if (const auto point = text.find('.'); point != std::string::npos) {
        text[point] = UserDecimalSeparator();
    }
    return text;
}

// "seconds.micro", signed as a whole ("-0.021333", not "0.-21333").
std::string SecondsAndMicroseconds(std::int64_t microseconds) {
    const char* sign = microseconds < 0 ? "-" : "";
    const std::uint64_t magnitude = microseconds < 0 ? 0 - static_cast<std::uint64_t>(microseconds)
                                                     : static_cast<std::uint64_t>(microseconds);
    return Format("%s%" PRIu64 ".%.6" PRIu64, sign, magnitude / 1'000'000, magnitude % 1'000'000);
}

void AppendMetadataBlock(std::string& text, const AVDictionary* metadata, std::string_view indent) {
    const int count = metadata != nullptr ? lib::avutil.av_dict_count(metadata) : 0;
    if (count == 0) {
        return;
    }
    if (count == 1 && lib::avutil.av_dict_get(metadata, "", nullptr, AV_DICT_IGNORE_SUFFIX)->key ==
                          std::string_view("language")) {
        return;
    }
    text.append(indent).append("Metadata:").append(LineEnd);
    const AVDictionaryEntry* entry = nullptr;
    while ((entry = lib::avutil.av_dict_get(metadata, "", entry, AV_DICT_IGNORE_SUFFIX))) {
        if (std::string_view(entry->key) == "language") {
            continue;
        }
        const std::string key(DisplayKey(entry->key));
        text += Format("%s  %-16s: %s", std::string(indent).c_str(), key.c_str(), entry->value);
        text += LineEnd;
    }
}

// Frame rates as the libraries' own dumps show them: two decimals only when needed.
std::string RateText(AVRational rate, const char* label) {
    const double value = av_q2d(rate);
    const auto hundredths = static_cast<std::uint64_t>(std::llround(value * 100));
    std::string number;
    if (hundredths == 0) {
        number = Format("%1.4f", value);
    } else if (hundredths % 100 != 0) {
        number = Format("%3.2f", value);
    } else if (hundredths % 100'000 != 0) {
        number = Format("%1.0f", value);
    } else {
        number = Format("%1.0fk", value / 1000);
    }
    return ", " + WithUserDecimalSeparator(number) + " " + label;
}

std::string TimeStampText(std::int64_t secondsSince1970) {
    // Local standard time: the zone's base offset, without daylight saving.
    tzset();
    const std::time_t local = static_cast<std::time_t>(secondsSince1970 - timezone);
    std::tm parts{};
    gmtime_r(&local, &parts);
    char text[64];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &parts);
    return text;
}

}  // namespace

std::string MediaProbe::StreamLine(int streamIndex) {
    AVStream& stream = *context_->streams[streamIndex];
    const AVCodecParameters& codec = *stream.codecpar;
    std::string line = Format("Stream #%d", streamIndex);
    if (context_->iformat != nullptr && (context_->iformat->flags & AVFMT_SHOW_IDS) != 0) {
        line += Format("[0x%x]", stream.id);
    }
    const std::string language = MetadataValue(stream.metadata, "language", "");
    if (!language.empty()) {
        line += "(" + language + ")";
    }
    std::int64_t divisor = lib::avutil.av_gcd(stream.time_base.num, stream.time_base.den);
    if (divisor == 0) {
        divisor = 1;
    }
    line += Format(", %" PRId64 "/%" PRId64, stream.time_base.num / divisor,
                   stream.time_base.den / divisor);

    char description[256] = {};
    CodecContextPtr codecContext(lib::avcodec.avcodec_alloc_context3(nullptr));
    if (codecContext &&
        lib::avcodec.avcodec_parameters_to_context(codecContext.get(), &codec) >= 0) {
        lib::avcodec.avcodec_string(description, sizeof description, codecContext.get(), 0);
    }
    line += ": ";
    line += description;

    const AVRational streamRatio = stream.sample_aspect_ratio;
    if (streamRatio.num != 0 && av_cmp_q(streamRatio, codec.sample_aspect_ratio) != 0) {
        int displayNum = 0;
        int displayDen = 0;
        lib::avutil.av_reduce(
            &displayNum, &displayDen, static_cast<std::int64_t>(codec.width) * streamRatio.num,
            static_cast<std::int64_t>(codec.height) * streamRatio.den, 1024 * 1024);
        line = Format("%s, PAR %d:%d DAR %d:%d", line.c_str(), streamRatio.num, streamRatio.den,
                      displayNum, displayDen);
    }

    if (codec.codec_type == AVMEDIA_TYPE_VIDEO) {
        if (stream.avg_frame_rate.num != 0 && stream.avg_frame_rate.den != 0) {
            line += RateText(stream.avg_frame_rate, "fps");
        }
        if (stream.r_frame_rate.num != 0 && stream.r_frame_rate.den != 0) {
            line += RateText(stream.r_frame_rate, "tbr");
        }
        if (stream.time_base.num != 0 && stream.time_base.den != 0) {
            line += RateText(av_inv_q(stream.time_base), "tbn");
        }
    }

    if (stream.start_time != AV_NOPTS_VALUE) {
        line += ", StartTime: " + SecondsAndMicroseconds(lib::avutil.av_rescale_q(
                                      stream.start_time, stream.time_base, Microseconds));
    }
    if (stream.duration == AV_NOPTS_VALUE) {
        line += ", Duration: N/A";
    } else {
        line += ", Duration: " + FormatTimeUs(lib::avutil.av_rescale_q(
                                     stream.duration, stream.time_base, Microseconds));
    }
    line += LineEnd;
    AppendMetadataBlock(line, stream.metadata, "  ");
    return line;
}

std::string MediaProbe::GetInfoText() {
    if (!RequireFile()) {
        return {};
    }
    std::string text;
    const auto addLine = [&text](const std::string& line) { text += line + LineEnd; };

    addLine("File Name: " + FileName());
    const AVInputFormat* format = context_->iformat;
    addLine("Format Name: " + std::string(format != nullptr ? format->name : ""));
    addLine("Format Long Name: " + std::string(format != nullptr && format->long_name != nullptr
                                                   ? format->long_name
                                                   : ""));
    addLine("File Size: " + FormatFileSize(fileSize_));

    const FileStreamInfo info = GetFileInfo();
    addLine(info.Duration < 0 ? "Duration: N/A" : "Duration: " + FormatTimeUs(info.Duration));
    if (info.StartTime >= 0) {
        addLine("StartTime: " + SecondsAndMicroseconds(info.StartTime));
    }
    addLine(info.BitRate <= 0 ? "Bit Rate: N/A" : Format("Bit Rate: %d kb/s", info.BitRate / 1000));
    if (info.Timestamp > 0) {
        addLine("Time Stamp: " + TimeStampText(info.Timestamp));
    }
    AppendMetadataBlock(text, context_->metadata, "");

    std::set<int> streamsInPrograms;
    for (unsigned p = 0; p < context_->nb_programs; ++p) {
        const AVProgram& program = *context_->programs[p];
        // MPEG-TS services name their provider and themselves under newer keys now.
        const std::string provider =
            MetadataValue(program.metadata, "provider_name",
                          MetadataValue(program.metadata, "service_provider", "N/A"));
        const std::string name = MetadataValue(
            program.metadata, "name", MetadataValue(program.metadata, "service_name", "N/A"));
        addLine(Format("Program %d %s@%s", program.id, provider.c_str(), name.c_str()));
        AppendMetadataBlock(text, program.metadata, "  ");
        for (unsigned s = 0; s < program.nb_stream_indexes; ++s) {
            const int index = static_cast<int>(program.stream_index[s]);
            if (index < streamCount_) {
                text += StreamLine(index);
                streamsInPrograms.insert(index);
            }
        }
    }
    for (int index = 0; index < streamCount_; ++index) {
        if (!streamsInPrograms.contains(index)) {
            text += StreamLine(index);
        }
    }
    return text;
}

}  // namespace quillo::media
