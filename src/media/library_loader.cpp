#include "media/library_loader.h"

#include <dlfcn.h>
#include <link.h>

#include <stdexcept>

#include "media/codec_lock.h"
#include "media/dynamic_library.h"
#include "media/floating_point_mask.h"
#include "media/library_bindings.h"
#include "media/logger.h"
#include "media/media_error.h"

namespace quillo::media {

namespace {

void RequireNonEmpty(LibrarySet set) {
    if (set.Empty()) {
        throw std::invalid_argument("library set must not be empty");
    }
}

constexpr LibraryIndex IndexAt(int position) {
    return static_cast<LibraryIndex>(position);
}

}  // namespace

LibraryTable DefaultLibraryTable() {
    return {{
        {LibraryIndex::avcodec, "avcodec", LIBAVCODEC_VERSION_MAJOR, lib::BindAvCodec,
         lib::UnbindAvCodec},
        {LibraryIndex::avdevice, "avdevice", LIBAVDEVICE_VERSION_MAJOR, lib::BindAvDevice,
         lib::UnbindAvDevice},
        {LibraryIndex::avfilter, "avfilter", LIBAVFILTER_VERSION_MAJOR, lib::BindAvFilter,
         lib::UnbindAvFilter},
        {LibraryIndex::avformat, "avformat", LIBAVFORMAT_VERSION_MAJOR, lib::BindAvFormat,
         lib::UnbindAvFormat},
        {LibraryIndex::avutil, "avutil", LIBAVUTIL_VERSION_MAJOR, lib::BindAvUtil,
         lib::UnbindAvUtil},
        {LibraryIndex::swscale, "swscale", LIBSWSCALE_VERSION_MAJOR, lib::BindSwScale,
         lib::UnbindSwScale},
        {LibraryIndex::swresample, "swresample", LIBSWRESAMPLE_VERSION_MAJOR, lib::BindSwResample,
         lib::UnbindSwResample},
        {LibraryIndex::sdl2, "SDL2-2.0", 0, lib::BindSdl2, lib::UnbindSdl2},
    }};
}

LibraryLoader::LibraryLoader(LibraryTable table) : table_(std::move(table)) {
    for (int position = 0; position < LibraryCount; ++position) {
        if (table_[position].index != IndexAt(position)) {
            throw std::invalid_argument("library table is not in index order");
        }
    }
    // Every time avutil is (re)loaded the library log lines are routed to the logger again.
    AddLoadHook(LibraryIndex::avutil, [] { LoggerInstance().InstallLibraryCallback(); });
}

void LibraryLoader::SetLibraryFolder(std::filesystem::path folder) {
    folder_ = std::move(folder);
}

const LibraryItem& LibraryLoader::Item(LibraryIndex index) const {
    return table_[static_cast<std::size_t>(index)];
}

LibraryLoader::LibraryStatus& LibraryLoader::Status(LibraryIndex index) {
    return status_[static_cast<std::size_t>(index)];
}

const LibraryLoader::LibraryStatus& LibraryLoader::Status(LibraryIndex index) const {
    return status_[static_cast<std::size_t>(index)];
}

std::string LibraryLoader::LibraryFileName(LibraryIndex index) const {
    const LibraryItem& item = Item(index);
    std::string name = "lib" + item.baseName + ".so";
    if (item.version >= 0) {
        name += "." + std::to_string(item.version);
    }
    return name;
}

std::filesystem::path LibraryLoader::LibraryPath(LibraryIndex index) const {
    const LibraryStatus& status = Status(index);
    link_map* map = nullptr;
    if (status.handle == nullptr || dlinfo(status.handle, RTLD_DI_LINKMAP, &map) != 0 ||
        map == nullptr || map->l_name == nullptr) {
        return {};
    }
    return map->l_name;
}

void LibraryLoader::AddLoadHook(LibraryIndex index, std::function<void()> hook) {
    hooks_[static_cast<std::size_t>(index)].push_back(std::move(hook));
}

bool LibraryLoader::LoadLibrary(LibraryIndex index) {
    const LibraryItem& item = Item(index);
    LibraryStatus& status = Status(index);
    const std::string fileName = LibraryFileName(index);

    if (status.holders == 0) {
        LoadResult result = LoadLibraryFrom(folder_, fileName);
        if (result.handle == nullptr) {
            const std::string shownName =
                folder_.empty() ? fileName : (folder_ / fileName).string();
            lastErrorMessage_ = "Load library " + shownName + " error: " + result.errorText;
            return false;
        }
        status.handle = result.handle;
        try {
            item.bind(fileName, status.handle);
        } catch (const MediaError& error) {
            lastErrorMessage_ = error.what();
            // Also resets the entries the failed binding had already resolved.
            CloseLibrary(index);
            return false;
        }
    }
    ++status.holders;

    for (const auto& hook : hooks_[static_cast<std::size_t>(index)]) {
        hook();
    }
    return true;
}

bool LibraryLoader::LoadLibraries(LibrarySet set) {
    RequireNonEmpty(set);
    for (int position = 0; position < LibraryCount; ++position) {
        const LibraryIndex index = IndexAt(position);
        if (set.Contains(index) && !LoadLibrary(index)) {
            // All or nothing, but only for this call: holds others took stay.
            for (int taken = 0; taken < position; ++taken) {
                if (set.Contains(IndexAt(taken))) {
                    UnloadLibrary(IndexAt(taken));
                }
            }
            return false;
        }
    }
    return true;
}

bool LibraryLoader::LibraryLoaded(LibraryIndex index) const {
    return Status(index).holders > 0;
}

bool LibraryLoader::LibrariesLoaded(LibrarySet set) const {
    RequireNonEmpty(set);
    for (int position = 0; position < LibraryCount; ++position) {
        const LibraryIndex index = IndexAt(position);
        if (set.Contains(index) && !LibraryLoaded(index)) {
            return false;
        }
    }
    return true;
}

void LibraryLoader::CloseLibrary(LibraryIndex index) {
    LibraryStatus& status = Status(index);
    // The entries are reset even when binding failed half-way.
    Item(index).unbind();
    status.holders = 0;
    if (status.handle != nullptr) {
        dlclose(status.handle);
        status.handle = nullptr;
    }
}

void LibraryLoader::UnloadLibrary(LibraryIndex index) {
    LibraryStatus& status = Status(index);
    if (status.holders > 0 && --status.holders == 0) {
        CloseLibrary(index);
    }
}

void LibraryLoader::UnloadLibraries(LibrarySet set) {
    RequireNonEmpty(set);
    for (int position = 0; position < LibraryCount; ++position) {
        if (set.Contains(IndexAt(position))) {
            UnloadLibrary(IndexAt(position));
        }
    }
}

LibraryLoader& LibraryLoaderInstance() {
    // Created before the loader and destroyed after it: the mask covers all library code,
    // and no thread still holds the codec lock when the process ends.
    static FloatingPointMask floatingPointMask;
    static std::mutex& codecLock = CodecLock();
    static struct CodecLockDrain {
        ~CodecLockDrain() { std::scoped_lock drain(codecLock); }
    } codecLockDrain;
    static LibraryLoader loader;
    return loader;
}

}  // namespace quillo::media
