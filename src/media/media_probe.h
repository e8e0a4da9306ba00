#pragma once

#include <cstdint>
#include <string>

#include "media/media_component.h"
#include "media/media_input.h"
#include "media/stream_info.h"

namespace quillo::media {

// Answers what a media file contains, opening it exactly as a decoder would. Holds at most
// one file: one it opened itself (LoadFile) or a context another component owns
// (AttachContext). Queries without a file, with a bad index or of the wrong stream kind are
// logged, kept in LastErrorMessage() and give neutral results; they never throw.
class MediaProbe : public MediaComponent {
public:
    MediaProbe();
    ~MediaProbe() override;

    // Throws MediaError naming the first of avcodec, avformat, avutil, swscale not loaded.
    void CheckLibraries() const;

    bool LoadFile(const std::string& fileName, const std::string& formatName = {});
    virtual void CloseFile();
    // Describes a context the caller keeps owning; it is never closed here.
    virtual void AttachContext(AVFormatContext* context);
    virtual void AnalyzeStreams();

    FileStreamInfo GetFileInfo();
    AudioStreamInfo GetAudioInfo(int streamIndex);
    VideoStreamInfo GetVideoInfo(int streamIndex);
    // The description of the whole file, lines ended by CR LF; empty with no file.
    std::string GetInfoText();

    std::string FileName();
    std::string FormatName();
    bool IsAudioStream(int streamIndex);
    bool IsVideoStream(int streamIndex);

    void ReportError(int libraryLevel, const std::string& text);

    AVFormatContext* Context() const { return context_; }
    const std::string& LastErrorMessage() const { return lastErrorMessage_; }
    const std::string& ForcedFormatName() const { return forcedFormatName_; }
    std::int64_t FileSize() const { return fileSize_; }
    int StreamCount() const { return streamCount_; }
    int ProgramCount() const { return programCount_; }
    int AudioStreamCount() const { return audioStreamCount_; }
    int VideoStreamCount() const { return videoStreamCount_; }
    int SubtitleStreamCount() const { return subtitleStreamCount_; }
    int FirstAudioStream() const { return firstAudioStream_; }
    int FirstVideoStream() const { return firstVideoStream_; }
    int FirstSubtitleStream() const { return firstSubtitleStream_; }

private:
    bool RequireFile();
    // The stream to describe for index, or null after reporting why there is none.
    AVStream* StreamOfKind(int streamIndex, AVMediaType kind);
    bool IsStreamOfType(int streamIndex, AVMediaType kind);
    std::string StreamLine(int streamIndex);

    MediaInput input_;  // what LoadFile opened; empty for an attached context
    AVFormatContext* context_ = nullptr;
    std::string lastErrorMessage_;
    std::string forcedFormatName_;
    std::int64_t fileSize_ = -1;
    int streamCount_ = -1;
    int programCount_ = -1;
    int audioStreamCount_ = -1;
    int videoStreamCount_ = -1;
    int subtitleStreamCount_ = -1;
    int firstAudioStream_ = -1;
    int firstVideoStream_ = -1;
    int firstSubtitleStream_ = -1;
};

}  // namespace quillo::media
