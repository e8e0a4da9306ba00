// A frame-hook module for the tests: it records how it was configured and released in a file
// named by its second argument, so the test can see the calls.

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
__attribute__((visibility("default"))) void Process(void*, void*, int, int, int, std::int64_t) {}
#endif

__attribute__((visibility("default"))) void Release(void* context) {
    const std::unique_ptr<HookState> state(static_cast<HookState*>(context));
    Note(state->logFile, "release\n");
}
}
