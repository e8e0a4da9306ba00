#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillo::converter {

// The classic frame-hook plug-in convention: a shared module exporting Configure, Process
// and Release, which sees every decoded picture before it is encoded.
struct HookPicture {
    std::uint8_t* data[4];
    int linesize[4];
};
using HookConfigure = int (*)(void** context, int argumentCount, char* arguments[]);
using HookProcess = void (*)(void* context, HookPicture* picture, int pixelFormat, int width,
                             int height, std::int64_t time);
using HookRelease = void (*)(void* context);

struct FrameHookModule {
    void* context = nullptr;
    HookConfigure configure = nullptr;
    HookProcess process = nullptr;
    HookRelease release = nullptr;
};

// The modules one engine has loaded, in load order. Module files stay loaded for the rest
// of the process, shared by every engine that names them.
class FrameHookModules {
public:
    FrameHookModules() = default;
    ~FrameHookModules() { ReleaseAll(); }
    FrameHookModules(const FrameHookModules&) = delete;
    FrameHookModules& operator=(const FrameHookModules&) = delete;

    // argumentText: the module path and its arguments, split at "|" when it holds one,
    // else at blanks. False when the module cannot be loaded or configured; the reason goes
    // to the library log.
    bool Add(const std::string& argumentText);
    // Calls every module's Release and forgets them.
    void ReleaseAll();

    const std::vector<FrameHookModule>& Modules() const { return modules_; }
    bool Empty() const { return modules_.empty(); }

private:
    std::vector<FrameHookModule> modules_;
};

std::vector<std::string> SplitHookArguments(const std::string& text);

}  // namespace quillo::converter
