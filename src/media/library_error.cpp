#include "media/library_error.h"

#include <cerrno>

extern "C" {
#include <libavutil/error.h>
}

namespace quillo::media {

namespace {

// Several codes stand for one meaning; each meaning keeps the text users have always seen.
const char* ErrorText(int code) {
    switch (code) {
        case AVERROR(ENOENT):
            return "No such file or directory";
        case AVERROR(EIO):
            return "I/O error";
        case AVERROR(ENOMEM):
            return "Not enough memory";
        case AVERROR(EINVAL):
        case AVERROR_INVALIDDATA:
            return "Invalid data found when processing input";
        case AVERROR(EPIPE):
        case AVERROR_EOF:
            return "End of file";
        case AVERROR(EDOM):
            return "Number syntax expected in filename";
        case AVERROR(EILSEQ):
        case AVERROR_DEMUXER_NOT_FOUND:
            return "Unknown format";
        case AVERROR(EPROTONOSUPPORT):
        case AVERROR_PROTOCOL_NOT_FOUND:
            return "Unsupported network protocol";
        case AVERROR_PATCHWELCOME:
            return "Not yet implemented in FFmpeg";
        case AVERROR(EACCES):
        case AVERROR(EPERM):
            return "Permission denied";
        case AVERROR(EISDIR):
            return "Is a directory";
        case AVERROR(ENOTDIR):
            return "Not a directory";
        // What writing an output can run into.
        case AVERROR(ENOSPC):
            return "No space left on device";
        case AVERROR(EFBIG):
            return "File too large";
        case AVERROR(EROFS):
            return "Read-only file system";
        default:
            return nullptr;
    }
}

}  // namespace

std::string FormatLibraryError(std::string_view name, int code) {
    std::string result(name);
    result += ": ";
    if (const char* text = ErrorText(code)) {
        result += text;
    } else {
        result += "Error number " + std::to_string(code) + " occurred";
    }
    return result;
}

}  // namespace quillo::media
