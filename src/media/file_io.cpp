#include "media/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "media/library_bindings.h"

namespace quillo::media {

namespace {

constexpr int BufferSize = 64 * 1024;

int OpenFlags(FileIo::Mode mode) {
    switch (mode) {
        case FileIo::Mode::Write:
            return O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC;
        case FileIo::Mode::ReadWrite:
            return O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC;
        case FileIo::Mode::Read:
            break;
    }
    return O_RDONLY | O_CLOEXEC;
}

}  // namespace

std::unique_ptr<FileIo> FileIo::Open(const std::string& fileName, Mode mode, int& error) {
    const int descriptor = ::open(fileName.c_str(), OpenFlags(mode), 0666);
    if (descriptor < 0) {
        error = AVERROR(errno);
        return nullptr;
    }
    auto io = std::make_unique<FileIo>(Token{}, descriptor, mode);

    struct stat status {};
    if (::fstat(descriptor, &status) != 0) {
        error = AVERROR(errno);
        return nullptr;
    }
    // A directory opens for reading but cannot be read as media.
    if (S_ISDIR(status.st_mode)) {
        error = AVERROR(EISDIR);
        return nullptr;
    }

    auto* buffer = static_cast<std::uint8_t*>(lib::avutil.av_malloc(BufferSize));
    if (buffer == nullptr) {
        error = AVERROR(ENOMEM);
        return nullptr;
    }
    const bool writing = mode != Mode::Read;
    io->context_ = lib::avformat.avio_alloc_context(buffer, BufferSize, writing ? 1 : 0, io.get(),
                                                    Read, writing ? Write : nullptr, Seek);
    if (io->context_ == nullptr) {
        lib::avutil.av_free(buffer);
        error = AVERROR(ENOMEM);
        return nullptr;
    }
    error = 0;
    return io;
}

FileIo::~FileIo() {
    if (context_ != nullptr) {
        if (mode_ != Mode::Read) {
            lib::avformat.avio_flush(context_);
        }
        // The library may have replaced the buffer it was given.
        lib::avutil.av_freep(&context_->buffer);
        lib::avformat.avio_context_free(&context_);
    }
    ::close(descriptor_);
}

int FileIo::Read(void* opaque, std::uint8_t* buffer, int size) {
    auto* io = static_cast<FileIo*>(opaque);
    ssize_t count;
    do {
        count = ::read(io->descriptor_, buffer, static_cast<std::size_t>(size));
    } while (count < 0 && errno == EINTR);
    if (count < 0) {
        return AVERROR(errno);
    }
    return count == 0 ? AVERROR_EOF : static_cast<int>(count);
}

int FileIo::Write(void* opaque, std::uint8_t* buffer, int size) {
    auto* io = static_cast<FileIo*>(opaque);
    int written = 0;
    while (written < size) {
        const ssize_t count =
            ::write(io->descriptor_, buffer + written, static_cast<std::size_t>(size - written));
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            return AVERROR(errno);
        }
        written += static_cast<int>(count);
    }
    return written;
}

std::int64_t FileIo::Seek(void* opaque, std::int64_t offset, int whence) {
    auto* io = static_cast<FileIo*>(opaque);
    if ((whence & AVSEEK_SIZE) != 0) {
        struct stat status {};
        return ::fstat(io->descriptor_, &status) == 0 ? status.st_size : AVERROR(errno);
    }
    const off_t position = ::lseek(io->descriptor_, offset, whence & ~AVSEEK_FORCE);
    return position < 0 ? AVERROR(errno) : position;
}

}  // namespace quillo::media
