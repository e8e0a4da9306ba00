#include "media/dynamic_library.h"

#include <dlfcn.h>

#include <system_error>

#include "media/media_error.h"

namespace quillo::media {

namespace {

std::string LastDlError(const char* fallback) {
    const char* text = dlerror();
    return text != nullptr ? text : fallback;
}

}  // namespace

LoadResult LoadLibraryFrom(const std::filesystem::path& folder, const std::string& fileName) {
    std::string target = fileName;
    if (!folder.empty()) {
        const std::filesystem::path fullName = folder / fileName;
        std::error_code error;
        if (std::filesystem::is_regular_file(fullName, error)) {
            target = fullName.string();
        }
    }
    dlerror();
    LoadResult result;
    result.handle = dlopen(target.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (result.handle == nullptr) {
        result.errorText = LastDlError("cannot open shared object file");
    }
    return result;
}

void* ResolveExport(const std::string& libraryFileName, void* handle, const char* name,
                    bool isVariable) {
    dlerror();
    void* address = dlsym(handle, name);
    if (address == nullptr) {
        const std::string reason = LastDlError("symbol has no address");
        throw MediaError(std::string(isVariable ? "Load variable " : "Load function ") + name +
                         "@" + libraryFileName + " error: " + reason);
    }
    return address;
}

}  // namespace quillo::media
