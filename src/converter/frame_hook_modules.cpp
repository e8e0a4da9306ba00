#include "converter/frame_hook_modules.h"

#include <dlfcn.h>

#include <map>
#include <mutex>

#include "media/library_bindings.h"

namespace quillo::converter {

namespace {

// Module files loaded in this process, by path; never unloaded, since a module may keep
// state between the engines that use it.
void* LoadModuleFile(const std::string& path) {
    static std::mutex mutex;
    static std::map<std::string, void*> loaded;
    std::scoped_lock lock(mutex);
    if (const auto found = loaded.find(path); found != loaded.end()) {
        return found->second;
    }
    dlerror();
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* reason = dlerror();
        media::lib::avutil.av_log(nullptr, AV_LOG_ERROR, "%s\n",
                                  reason != nullptr ? reason : path.c_str());
        return nullptr;
    }
    loaded.emplace(path, handle);
    return handle;
}

template <typename Function>
Function Entry(void* handle, const char* name) {
    return reinterpret_cast<Function>(dlsym(handle, name));
}

}  // namespace

std::vector<std::string> SplitHookArguments(const std::string& text) {
    const char separator = text.find('|') != std::string::npos ? '|' : ' ';
    std::vector<std::string> arguments;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(separator, start);
        if (end == std::string::npos) {
            end = text.size();
        }
        if (end > start) {
            arguments.push_back(text.substr(start, end - start));
        }
        start = end + 1;
    }
    return arguments;
}

bool FrameHookModules::Add(const std::string& argumentText) {
    std::vector<std::string> arguments = SplitHookArguments(argumentText);
    if (arguments.empty()) {
        return false;
    }
    const std::string& path = arguments.front();
    void* handle = LoadModuleFile(path);
    if (handle == nullptr) {
        return false;
    }
    FrameHookModule module;
    module.configure = Entry<HookConfigure>(handle, "Configure");
    module.process = Entry<HookProcess>(handle, "Process");
    module.release = Entry<HookRelease>(handle, "Release");
    auto& avutil = media::lib::avutil;
    if (module.process == nullptr) {
        avutil.av_log(nullptr, AV_LOG_ERROR, "Failed to find Process entrypoint in %s\n",
                      path.c_str());
        return false;
    }
    if (arguments.size() > 1 && module.configure == nullptr) {
        avutil.av_log(nullptr, AV_LOG_ERROR, "Failed to find Configure entrypoint in %s\n",
                      path.c_str());
        return false;
    }
    if (module.configure != nullptr) {
        std::vector<char*> argv;
        for (std::string& argument : arguments) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        if (module.configure(&module.context, static_cast<int>(arguments.size()), argv.data()) !=
            0) {
            avutil.av_log(nullptr, AV_LOG_ERROR, "Failed to Configure %s\n", path.c_str());
            return false;
        }
    }
    modules_.push_back(module);
    return true;
}

void FrameHookModules::ReleaseAll() {
    for (const FrameHookModule& module : modules_) {
        if (module.release != nullptr) {
            module.release(module.context);
        }
    }
    modules_.clear();
}

}  // namespace quillo::converter
