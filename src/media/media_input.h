#pragma once

#include <memory>
#include <string>

extern "C" {
#include <libavformat/avformat.h>
}

#include "media/file_io.h"

namespace quillo::media {

// An input opened for demuxing: the library's format context and, for a wrapped file name,
// the file I/O it reads through. Closing closes both, in that order.
class MediaInput {
public:
    MediaInput() = default;
    ~MediaInput() { Close(); }
    MediaInput(MediaInput&& other) noexcept;
    MediaInput& operator=(MediaInput&& other) noexcept;

    // Opens url (a file name as MakeMediaURL gives it, or a URL). context may be a
    // pre-allocated format context with its flags set; it is taken over either way. Returns 0
    // or a negative library error code; on failure nothing stays open.
    int Open(const std::string& url, const AVInputFormat* format, AVDictionary** options,
             AVFormatContext* context = nullptr);
    void Close();

    AVFormatContext* Context() const { return context_; }
    bool IsOpen() const { return context_ != nullptr; }

private:
    AVFormatContext* context_ = nullptr;
    std::unique_ptr<FileIo> io_;
};

}  // namespace quillo::media
