#include "converter/transcoder.h"

#include "media/library_bindings.h"
#include "media/library_loader.h"
#include "media/logger.h"

namespace quillo::converter {

OutputFile::~OutputFile() {
    if (context == nullptr) {
        return;
    }
    if (io) {
        context->pb = nullptr;  // our own I/O, closed with io
    } else if (context->oformat != nullptr && (context->oformat->flags & AVFMT_NOFILE) == 0 &&
               context->pb != nullptr) {
        media::lib::avformat.avio_closep(&context->pb);
    }
    streams.clear();
    media::lib::avformat.avformat_free_context(context);
    io.reset();
}

Transcoder::Transcoder() {
    ResetOptions();
}

Transcoder::~Transcoder() {
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
