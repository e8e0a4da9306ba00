#include "media/media_probe.h"

#include <sys/stat.h>

#include <charconv>
#include <climits>
#include <filesystem>
#include <mutex>

#include "media/codec_lock.h"
#include "media/library_bindings.h"
#include "media/library_error.h"
#include "media/library_loader.h"
#include "media/log_level.h"
#include "media/logger.h"
#include "media/media_error.h"
#include "media/media_text.h"
#include "media/media_url.h"

namespace quillo::media {

namespace {

constexpr AVRational Microseconds = {1, 1'000'000};

std::int32_t ClampToInt32(std::int64_t value) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, INT32_MIN, INT32_MAX));
}

// The number a metadata value starts with ("2009-05-01" gives 2009, "7/12" gives 7); 0 when
// it starts with none.
std::int32_t LeadingNumber(const std::string& text) {
    std::int32_t number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    return error == std::errc{} ? number : 0;
}

// Seconds since 1970 of the container's creation time tag; 0 when it has none.
std::int64_t CreationTime(const AVDictionary* metadata) {
    const std::string text = MetadataValue(metadata, "creation_time", "");
    std::int64_t microseconds = 0;
    if (text.empty() || lib::avutil.av_parse_time(&microseconds, text.c_str(), 0) < 0) {
        return 0;
    }
    return microseconds / 1'000'000;
}

std::int64_t RescaledToMicroseconds(std::int64_t value, AVRational timeBase) {
    return value == AV_NOPTS_VALUE ? -1 : lib::avutil.av_rescale_q(value, timeBase, Microseconds);
}

// A time base with a zero denominator cannot be rescaled; it is mended in place.
void MendTimeBase(AVStream& stream) {
    if (stream.time_base.den == 0) {
        stream.time_base.den = stream.time_base.num != 0 ? stream.time_base.num : 1;
    }
}

template <typename Info>
void FillCommonStreamInfo(Info& info, AVStream& stream) {
    info.Language = MetadataValue(stream.metadata, "language", "");
    info.CodecName = CodecDescription(*stream.codecpar, false);
    info.StartTime = stream.start_time;
    MendTimeBase(stream);
    info.StartTimeUs = RescaledToMicroseconds(stream.start_time, stream.time_base);
    info.Duration = stream.duration;
    info.DurationUs = RescaledToMicroseconds(stream.duration, stream.time_base);
    info.BitRate = ClampToInt32(stream.codecpar->bit_rate);
}

}  // namespace

MediaProbe::MediaProbe() {
    AnalyzeStreams();
}

MediaProbe::~MediaProbe() {
    MediaProbe::CloseFile();
}

void MediaProbe::CheckLibraries() const {
    const LibraryLoader& loader = LibraryLoaderInstance();
    if (!loader.LibraryLoaded(LibraryIndex::avcodec)) {
        throw MediaError("LibAVCodec not loaded.");
    }
    if (!loader.LibraryLoaded(LibraryIndex::avformat)) {
        throw MediaError("LibAVFormat not loaded.");
    }
    if (!loader.LibraryLoaded(LibraryIndex::avutil)) {
        throw MediaError("LibAVUtil not loaded.");
    }
    if (!loader.LibraryLoaded(LibraryIndex::swscale)) {
        throw MediaError("LibSwScale not loaded.");
    }
}

bool MediaProbe::LoadFile(const std::string& fileName, const std::string& formatName) {
    CheckLibraries();
    CloseFile();

    const AVInputFormat* format = nullptr;
    if (!formatName.empty()) {
        format = lib::avformat.av_find_input_format(formatName.c_str());
        if (format == nullptr) {
            lastErrorMessage_ = "Unknown input format: " + formatName;
            return false;
        }
    }

    AVFormatContext* context = lib::avformat.avformat_alloc_context();
    if (context == nullptr) {
        ReportError(AV_LOG_ERROR, FormatLibraryError(fileName, AVERROR(ENOMEM)));
        return false;
    }
    context->flags |= AVFMT_FLAG_NONBLOCK;
    const int opened = input_.Open(MakeMediaURL(fileName), format, nullptr, context);
    if (opened < 0) {
        ReportError(AV_LOG_ERROR, FormatLibraryError(fileName, opened));
        CloseFile();
        return false;
    }
    context_ = input_.Context();

    int analysed;
    {
        std::scoped_lock lock(CodecLock());
        analysed = lib::avformat.avformat_find_stream_info(context_, nullptr);
    }
    if (analysed < 0) {
        lastErrorMessage_ = fileName + ": could not find codec parameters";
        CloseFile();
        return false;
    }
    AnalyzeStreams();
    forcedFormatName_ = formatName;
    return true;
}

void MediaProbe::CloseFile() {
    forcedFormatName_.clear();
    input_.Close();
    context_ = nullptr;
    AnalyzeStreams();
}

void MediaProbe::AttachContext(AVFormatContext* context) {
    CheckLibraries();
    CloseFile();
    context_ = context;
    AnalyzeStreams();
}

void MediaProbe::AnalyzeStreams() {
    fileSize_ = -1;
    streamCount_ = programCount_ = -1;
    audioStreamCount_ = videoStreamCount_ = subtitleStreamCount_ = -1;
    firstAudioStream_ = firstVideoStream_ = firstSubtitleStream_ = -1;
    if (context_ == nullptr) {
        return;
    }

    const std::int64_t contextSize =
        context_->pb != nullptr ? lib::avformat.avio_size(context_->pb) : 0;
    fileSize_ = contextSize;
    if (contextSize <= 0) {
        // Some containers report no size; a local file still has one.
        std::error_code error;
        const std::filesystem::path path = MediaURLToFileName(context_->url ? context_->url : "");
        if (!path.empty() && std::filesystem::is_regular_file(path, error)) {
            const auto size = std::filesystem::file_size(path, error);
            fileSize_ = error ? -1 : static_cast<std::int64_t>(size);
        }
    }

    streamCount_ = static_cast<int>(context_->nb_streams);
    programCount_ = static_cast<int>(context_->nb_programs);
    audioStreamCount_ = videoStreamCount_ = subtitleStreamCount_ = 0;
    for (int index = 0; index < streamCount_; ++index) {
        switch (context_->streams[index]->codecpar->codec_type) {
            case AVMEDIA_TYPE_VIDEO:
                ++videoStreamCount_;
                if (firstVideoStream_ < 0) {
                    firstVideoStream_ = index;
                }
                break;
            case AVMEDIA_TYPE_AUDIO:
                ++audioStreamCount_;
                if (firstAudioStream_ < 0) {
                    firstAudioStream_ = index;
                }
                break;
            case AVMEDIA_TYPE_SUBTITLE:
                ++subtitleStreamCount_;
                if (firstSubtitleStream_ < 0) {
                    firstSubtitleStream_ = index;
                }
                break;
            default:
                break;
        }
    }
}

bool MediaProbe::RequireFile() {
    if (context_ == nullptr) {
        ReportError(AV_LOG_WARNING, "file not loaded.");
        return false;
    }
    return true;
}

FileStreamInfo MediaProbe::GetFileInfo() {
    FileStreamInfo info;
    if (!RequireFile()) {
        return info;
    }
    info.StartTime = context_->start_time == AV_NOPTS_VALUE ? -1 : context_->start_time;
    info.Duration = context_->duration == AV_NOPTS_VALUE ? -1 : context_->duration;
    info.BitRate = ClampToInt32(context_->bit_rate);
    // The container fields of old are metadata tags now.
    const AVDictionary* metadata = context_->metadata;
    info.Timestamp = CreationTime(metadata);
    info.Year = LeadingNumber(MetadataValue(metadata, "date", MetadataValue(metadata, "year", "")));
    info.Track = LeadingNumber(MetadataValue(metadata, "track", ""));
    info.Title = MetadataValue(metadata, "title", "");
    info.Author = MetadataValue(metadata, "author", MetadataValue(metadata, "artist", ""));
    info.Copyright = MetadataValue(metadata, "copyright", "");
    info.Comment = MetadataValue(metadata, "comment", "");
    info.Album = MetadataValue(metadata, "album", "");
    info.Genre = MetadataValue(metadata, "genre", "");
    return info;
}

AVStream* MediaProbe::StreamOfKind(int streamIndex, AVMediaType kind) {
    if (!RequireFile()) {
        return nullptr;
    }
    const bool audio = kind == AVMEDIA_TYPE_AUDIO;
    if (streamIndex < 0) {
        streamIndex = audio ? firstAudioStream_ : firstVideoStream_;
        if (streamIndex < 0) {
            ReportError(AV_LOG_ERROR, audio ? "no audio stream." : "no video stream.");
            return nullptr;
        }
    }
    if (streamIndex >= streamCount_) {
        ReportError(AV_LOG_ERROR, "stream index #" + std::to_string(streamIndex) + " is invalid.");
        return nullptr;
    }
    AVStream* stream = context_->streams[streamIndex];
    if (stream->codecpar->codec_type != kind) {
        ReportError(AV_LOG_ERROR, "stream #" + std::to_string(streamIndex) + " is not " +
                                      (audio ? "audio" : "video") + " stream.");
        return nullptr;
    }
    return stream;
}

AudioStreamInfo MediaProbe::GetAudioInfo(int streamIndex) {
    AudioStreamInfo info;
    AVStream* stream = StreamOfKind(streamIndex, AVMEDIA_TYPE_AUDIO);
    if (stream == nullptr) {
        return info;
    }
    FillCommonStreamInfo(info, *stream);
    const AVCodecParameters& codec = *stream->codecpar;
    info.Channels = codec.ch_layout.nb_channels;
    info.SampleRate = codec.sample_rate;
    info.SampleFormat = codec.format;
    return info;
}

VideoStreamInfo MediaProbe::GetVideoInfo(int streamIndex) {
    VideoStreamInfo info;
    AVStream* stream = StreamOfKind(streamIndex, AVMEDIA_TYPE_VIDEO);
    if (stream == nullptr) {
        return info;
    }
    FillCommonStreamInfo(info, *stream);
    const AVCodecParameters& codec = *stream->codecpar;
    info.Height = codec.height;
    info.Width = codec.width;
    info.DisplayAspect =
        codec.sample_aspect_ratio.num == 0 || codec.height == 0
            ? 0.0F
            : static_cast<float>(av_q2d(codec.sample_aspect_ratio) * codec.width / codec.height);
    info.PixelFormat = codec.format;
    info.FrameRateNum = stream->r_frame_rate.num;
    info.FrameRateDen = stream->r_frame_rate.den;
    return info;
}

std::string MediaProbe::FileName() {
    if (!RequireFile()) {
        return {};
    }
    return MediaURLToFileName(context_->url != nullptr ? context_->url : "");
}

std::string MediaProbe::FormatName() {
    if (!RequireFile()) {
        return {};
    }
    return context_->iformat != nullptr ? context_->iformat->name : "";
}

bool MediaProbe::IsStreamOfType(int streamIndex, AVMediaType kind) {
    if (!RequireFile()) {
        return false;
    }
    if (streamIndex < 0 || streamIndex >= streamCount_) {
        ReportError(AV_LOG_ERROR, "stream index #" + std::to_string(streamIndex) + " is invalid.");
        return false;
    }
    return context_->streams[streamIndex]->codecpar->codec_type == kind;
}

bool MediaProbe::IsAudioStream(int streamIndex) {
    return IsStreamOfType(streamIndex, AVMEDIA_TYPE_AUDIO);
}

bool MediaProbe::IsVideoStream(int streamIndex) {
    return IsStreamOfType(streamIndex, AVMEDIA_TYPE_VIDEO);
}

void MediaProbe::ReportError(int libraryLevel, const std::string& text) {
    LoggerInstance().Log(this, LogLevelOfLibraryLevel(libraryLevel), text);
    lastErrorMessage_ = text;
}

}  // namespace quillo::media
