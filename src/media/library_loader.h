#pragma once

#include <array>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "media/library_set.h"

namespace quillo::media {

// One constant row of the library table.
struct LibraryItem {
    LibraryIndex index;
    std::string baseName;  // file name is "lib" + baseName + ".so." + version
    int version;           // -1: the file name carries no version
    void (*bind)(const std::string& fileName, void* handle);
    void (*unbind)();
};

using LibraryTable = std::array<LibraryItem, LibraryCount>;

// The FFmpeg and SDL libraries the program binds, with the major versions of the headers it
// was built against.
LibraryTable DefaultLibraryTable();

// Loads media libraries at run time and binds their entry points into the tables of
// library_bindings.h. A set loads all or nothing. Each successful load of a set holds each of
// its libraries once; a library is unbound and closed only when its last holder lets go, so
// one user's failed or finished set cannot pull a library from under another's live objects.
// Used from the main thread.
class LibraryLoader {
public:
    explicit LibraryLoader(LibraryTable table = DefaultLibraryTable());
    LibraryLoader(const LibraryLoader&) = delete;
    LibraryLoader& operator=(const LibraryLoader&) = delete;

    // The folder searched first for every library; when a library is not there, the
    // system's search finds it.
    void SetLibraryFolder(std::filesystem::path folder);
    const std::filesystem::path& LibraryFolder() const { return folder_; }

    // On failure it releases only the holds it took itself.
    bool LoadLibraries(LibrarySet set);
    bool LibraryLoaded(LibraryIndex index) const;
    bool LibrariesLoaded(LibrarySet set) const;
    // Release one hold of the library, or of each library of the set; a library nobody
    // holds is left alone.
    void UnloadLibrary(LibraryIndex index);
    void UnloadLibraries(LibrarySet set);

    std::string LibraryFileName(LibraryIndex index) const;
    // Where a loaded library actually came from; empty when it is not loaded.
    std::filesystem::path LibraryPath(LibraryIndex index) const;
    const std::string& LastErrorMessage() const { return lastErrorMessage_; }

    // Runs after the library has loaded, on every successful load of it, also when it had
    // been loaded before.
    void AddLoadHook(LibraryIndex index, std::function<void()> hook);

private:
    struct LibraryStatus {
        void* handle = nullptr;
        int holders = 0;  // > 0 only while open and bound
    };

    // Takes one hold of the library, opening and binding it for its first holder.
    bool LoadLibrary(LibraryIndex index);
    void CloseLibrary(LibraryIndex index);
    const LibraryItem& Item(LibraryIndex index) const;
    LibraryStatus& Status(LibraryIndex index);
    const LibraryStatus& Status(LibraryIndex index) const;

    LibraryTable table_;
    std::array<LibraryStatus, LibraryCount> status_{};
    std::array<std::vector<std::function<void()>>, LibraryCount> hooks_;
    std::filesystem::path folder_;
    std::string lastErrorMessage_;
};

// The process-wide loader. Its first use also masks every floating-point exception for the
// rest of the process, so call it from the main thread before starting other threads.
LibraryLoader& LibraryLoaderInstance();

}  // namespace quillo::media
