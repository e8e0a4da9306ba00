// Loads the media libraries the way the converter does (from "medialibs" beside this program,
// else from the system) and lists each library with its version and where it came from.

#include <cstdio>
#include <string>
#include <string_view>

#include "media/file_contents.h"
#include "media/library_bindings.h"
#include "media/library_loader.h"
#include "quillo/version.h"

namespace {

using quillo::media::LibraryIndex;
using quillo::media::LibraryLoader;

std::string FFmpegVersion(unsigned version) {
    return std::to_string(AV_VERSION_MAJOR(version)) + "." +
           std::to_string(AV_VERSION_MINOR(version)) + "." +
           std::to_string(AV_VERSION_MICRO(version));
}

std::string LibraryVersion(LibraryIndex index) {
    namespace lib = quillo::media::lib;
    switch (index) {
        case LibraryIndex::avcodec:
            return FFmpegVersion(lib::avcodec.avcodec_version());
        case LibraryIndex::avdevice:
            return FFmpegVersion(lib::avdevice.avdevice_version());
        case LibraryIndex::avfilter:
            return FFmpegVersion(lib::avfilter.avfilter_version());
        case LibraryIndex::avformat:
            return FFmpegVersion(lib::avformat.avformat_version());
        case LibraryIndex::avutil:
            return FFmpegVersion(lib::avutil.avutil_version());
        case LibraryIndex::swscale:
            return FFmpegVersion(lib::swscale.swscale_version());
        case LibraryIndex::swresample:
            return FFmpegVersion(lib::swresample.swresample_version());
        case LibraryIndex::sdl2: {
            SDL_version version{};
            lib::sdl2.SDL_GetVersion(&version);
            return std::to_string(version.major) + "." + std::to_string(version.minor) + "." +
                   std::to_string(version.patch);
        }
    }
    return "?";
}

int Usage() {
    std::fprintf(stderr,
                 "usage: quillo-libraries [--player]\n"
                 "Loads the converter's media libraries (with --player, also SDL 2)\n"
                 "and lists them with their versions.\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    bool player = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--player") {
            player = true;
        } else {
            return Usage();
        }
    }

    LibraryLoader& loader = quillo::media::LibraryLoaderInstance();
    loader.SetLibraryFolder(quillo::media::ExecutableFolder() / "medialibs");
    const auto set = player ? quillo::media::PlayerLibrarySet : quillo::media::ConverterLibrarySet;

    std::printf("Quillo Video Converter %s\n", quillo::VersionString);
    if (!loader.LoadLibraries(set)) {
        std::fprintf(stderr, "%s\n", loader.LastErrorMessage().c_str());
        return 1;
    }
    std::printf("FFmpeg %s\n", quillo::media::lib::avutil.av_version_info());
    for (int position = 0; position < quillo::media::LibraryCount; ++position) {
        const auto index = static_cast<LibraryIndex>(position);
        if (set.Contains(index)) {
            std::printf("%-22s %-10s %s\n", loader.LibraryFileName(index).c_str(),
                        LibraryVersion(index).c_str(), loader.LibraryPath(index).c_str());
        }
    }
    return 0;
}
