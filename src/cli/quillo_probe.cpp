// Describes media files: for each file its container, streams, programs and tags, or why it
// could not be read. Exits non-zero when any file could not be read.

#include <cstdio>
#include <string>

#include "media/file_contents.h"
#include "media/library_loader.h"
#include "media/media_probe.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: quillo-probe FILE...\n");
        return 2;
    }
    quillo::media::LibraryLoader& loader = quillo::media::LibraryLoaderInstance();
    loader.SetLibraryFolder(quillo::media::ExecutableFolder() / "medialibs");
    if (!loader.LoadLibraries(quillo::media::ConverterLibrarySet)) {
        std::fprintf(stderr, "%s\n", loader.LastErrorMessage().c_str());
        return 1;
    }

    int status = 0;
    quillo::media::MediaProbe probe;
    for (int i = 1; i < argc; ++i) {
        const std::string fileName = argv[i];
        if (i > 1) {
            std::fputs("\n", stdout);
        }
        if (probe.LoadFile(fileName)) {
            std::string text = probe.GetInfoText();
            // Lines end in CR LF for the windows that show them; a terminal wants LF.
            std::erase(text, '\r');
            std::fputs(text.c_str(), stdout);
        } else {
            std::fflush(stdout);
            std::fprintf(stderr, "%s\n", probe.LastErrorMessage().c_str());
            status = 1;
        }
    }
    return status;
}
