// A frame-hook module for the tests: it records how it was configured, every picture it was
// given and its release in a file named by its second argument, so the test can see the
// calls, and paints the top-left 8x8 block of the first plane white.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace {

struct HookState {
    std::string logFile;
};

void Note(const std::string& file, const std::string& text) {
    if (FILE* out = std::fopen(file.c_str(), "a")) {
        std::fputs(text.c_str(), out);
        std::fclose(out);
    }
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) int Configure(void** context, int argumentCount,
                                                     char* arguments[]) {
    if (argumentCount < 2) {
        return 1;  // needs the log file
    }
    auto owned = std::make_unique<HookState>(HookState{arguments[1]});
    HookState* state = owned.get();
    *context = owned.release();  // the engine hands it back to Release
    std::string line = "configure";
    for (int i = 0; i < argumentCount; ++i) {
        line += std::string(" ") + arguments[i];
    }
    Note(state->logFile, line + "\n");
    return 0;
}

#ifndef QUILLO_HOOK_WITHOUT_PROCESS
struct Picture {
    std::uint8_t* data[4];
    int linesize[4];
};

__attribute__((visibility("default"))) void Process(void* context, Picture* picture,
                                                    int pixelFormat, int width, int height,
                                                    std::int64_t time) {
    const auto* state = static_cast<const HookState*>(context);
    for (int y = 0; y < 8 && y < height; ++y) {
        for (int x = 0; x < 8 && x < width; ++x) {
            picture->data[0][y * picture->linesize[0] + x] = 255;
        }
    }
    Note(state->logFile, "process " + std::to_string(pixelFormat) + " " + std::to_string(width) +
                             "x" + std::to_string(height) + " " + std::to_string(time) + "\n");
}
#endif

__attribute__((visibility("default"))) void Release(void* context) {
    const std::unique_ptr<HookState> state(static_cast<HookState*>(context));
    Note(state->logFile, "release\n");
}
}
