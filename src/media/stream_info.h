#pragma once

#include <cstdint>
#include <string>

namespace quillo::media {

// What the probe reports about a whole file. Numbers are -1 (strings empty) when a query
// fails; times are microseconds.
struct FileStreamInfo {
    std::int64_t StartTime = -1;
    std::int64_t Duration = -1;
    std::int32_t BitRate = -1;
    std::int64_t Timestamp = -1;  // seconds since 1970-01-01 UTC, 0 when the file has none
    std::int32_t Year = -1;
    std::int32_t Track = -1;
    std::string Title;
    std::string Author;
    std::string Copyright;
    std::string Comment;
    std::string Album;
    std::string Genre;
};

// What the probe reports about one audio stream. StartTime and Duration are in the stream's
// time base as the library holds them (INT64_MIN when unknown); the Us fields are -1 then.
struct AudioStreamInfo {
    std::string Language;
    std::string CodecName;
    std::int64_t StartTime = -1;
    std::int64_t StartTimeUs = -1;
    std::int64_t Duration = -1;
    std::int64_t DurationUs = -1;
    std::int32_t BitRate = -1;
    std::int32_t Channels = -1;
    std::int32_t SampleRate = -1;
    std::int32_t SampleFormat = -1;
};

struct VideoStreamInfo {
    std::string Language;
    std::string CodecName;
    std::int64_t StartTime = -1;
    std::int64_t StartTimeUs = -1;
    std::int64_t Duration = -1;
    std::int64_t DurationUs = -1;
    std::int32_t BitRate = -1;
    std::int32_t Height = -1;
    std::int32_t Width = -1;
    float DisplayAspect = -1.0F;  // 0 when the sample aspect ratio is unknown
    std::int32_t PixelFormat = -1;
    std::int32_t FrameRateNum = -1;
    std::int32_t FrameRateDen = -1;
};

}  // namespace quillo::media
