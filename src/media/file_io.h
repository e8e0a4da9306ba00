#pragma once

#include <cstdint>
#include <memory>
#include <string>

struct AVIOContext;

namespace quillo::media {

// A library I/O context over a local file that is opened by its exact name with POSIX calls,
// for the names the libraries' own file protocol would misread.
class FileIo {
public:
    enum class Mode { Read, Write, ReadWrite };

    // Writing creates the file or truncates it. On failure returns null and sets error to a
    // negative library error code (AVERROR(errno)).
    static std::unique_ptr<FileIo> Open(const std::string& fileName, Mode mode, int& error);

    ~FileIo();
    FileIo(const FileIo&) = delete;
    FileIo& operator=(const FileIo&) = delete;

    AVIOContext* Context() const { return context_; }

private:
    // Lets Open, and only Open, construct through std::make_unique.
    struct Token {
        explicit Token() = default;
    };

public:
    FileIo(Token, int descriptor, Mode mode) : descriptor_(descriptor), mode_(mode) {}

private:
    static int Read(void* opaque, std::uint8_t* buffer, int size);
    static int Write(void* opaque, std::uint8_t* buffer, int size);
    static std::int64_t Seek(void* opaque, std::int64_t offset, int whence);

    int descriptor_;
    Mode mode_;
    AVIOContext* context_ = nullptr;
};

}  // namespace quillo::media
