#include "converter/transcoder.h"

#include <sys/stat.h>
#include <unistd.h>

#include "media/library_bindings.h"
#include "media/library_loader.h"
#include "media/logger.h"

namespace quillo::converter {

namespace {

// Deletes a regular file that holds nothing, or anything when asked; devices and other
// special files are never removed.
void RemoveOutput(const std::string& fileName, bool evenWithContent) {
    struct stat status {};
    if (fileName.empty() || stat(fileName.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) {
        return;
    }
    if (status.st_size == 0 || evenWithContent) {
        unlink(fileName.c_str());
    }
}

}  // namespace

OutputFile::~OutputFile() {
    if (context == nullptr) {
        return;
    }
    const bool writesFile = context->oformat != nullptr &&
                            (context->oformat->flags & AVFMT_NOFILE) == 0 &&
                            (context->pb != nullptr || io);
    if (media::lib::avformat.avformat_free_context != nullptr) {
        if (io) {
            context->pb = nullptr;  // our own I/O, closed with io
        } else if (writesFile) {
            media::lib::avformat.avio_closep(&context->pb);
        }
        streams.clear();
        media::lib::avformat.avformat_free_context(context);
    }
    io.reset();
    if (writesFile) {
        RemoveOutput(fileName, removeWhenClosed);
    }
}

Transcoder::Transcoder() {
    ResetOptions();
}

Transcoder::~Transcoder() {
    // A running task stops and reports its end as any stopped task does; freeing one that
    // never ran reports nothing, since whoever frees it knows it is gone.
    if (running_.load()) {
        StopConvert(true);
    }
    WaitForWorker();
    WaitForTerminator();
    CloseFiles();
}

void Transcoder::CloseFiles() {
    outputs_.clear();
    outputFiles_.clear();
    inputs_.clear();
    join_ = false;
}

void Transcoder::ResetOptions() {
    CloseFiles();
    hookModules_.ReleaseAll();
    options_ = OptionState{};
    totalDuration_ = -1;
    libraryOptions_.reset();
    // Without the libraries there is nothing to hold library options in; every operation
    // that needs them refuses until the engine is reset with the libraries loaded.
    if (media::LibraryLoaderInstance().LibrariesLoaded(media::ConverterLibrarySet)) {
        libraryOptions_ = std::make_unique<LibraryOptionContexts>();
    }
}

void Transcoder::RequireLibraries() const {
    if (!libraryOptions_) {
        throw media::MediaError("The media libraries are not loaded.");
    }
}

void Transcoder::Log(media::LogLevel level, const std::string& text) const {
    media::LoggerInstance().Log(this, level, text);
}

}  // namespace quillo::converter
