#pragma once

// Thin layer over dlopen/dlsym used by the library loader.

#include <filesystem>
#include <string>

namespace quillo::media {

struct LoadResult {
    void* handle = nullptr;  // null on failure
    std::string errorText;   // the system's text when handle is null
};

// Opens folder/fileName by full path when that file exists, so a private copy wins;
// otherwise opens the bare file name through the system's search.
LoadResult LoadLibraryFrom(const std::filesystem::path& folder, const std::string& fileName);

// Resolves one export; raises MediaError "Load function %s@%s error: %s" (or "Load variable
// ...") naming the export and the library when it is missing.
void* ResolveExport(const std::string& libraryFileName, void* handle, const char* name,
                    bool isVariable);

template <typename Function>
void BindFunction(const std::string& libraryFileName, void* handle, const char* name,
                  Function& entry) {
    entry = reinterpret_cast<Function>(ResolveExport(libraryFileName, handle, name, false));
}

template <typename Variable>
void BindVariable(const std::string& libraryFileName, void* handle, const char* name,
                  Variable*& entry) {
    entry = static_cast<Variable*>(ResolveExport(libraryFileName, handle, name, true));
}

}  // namespace quillo::media
