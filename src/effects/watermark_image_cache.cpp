#include "effects/watermark_image_cache.h"

#include <sys/stat.h>

#include <algorithm>
#include <optional>
#include <utility>

#include "effects/bmp_file.h"

namespace quillo::effects {
namespace {

// Far more than any file system's timestamp step (two seconds on FAT).
constexpr time_t kSettleSeconds = 3;

bool SameTime(const timespec& a, const timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

timespec Now() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return now;
}

}  // namespace

bool WatermarkImageCache::SameStamp(const FileStamp& a, const FileStamp& b) {
    return a.device == b.device && a.inode == b.inode && a.size == b.size &&
           SameTime(a.modified, b.modified) && SameTime(a.changed, b.changed);
}

// A later write surely moves the modification time when that time lies a clear step before
// the check.
bool WatermarkImageCache::Settled(const FileStamp& stamp, const timespec& checkedAt) {
    return stamp.modified.tv_sec + kSettleSeconds < checkedAt.tv_sec;
}

std::shared_ptr<const media::Bitmap> WatermarkImageCache::Picture(
    const std::filesystem::path& file) {
    std::shared_ptr<const WatermarkPicture> picture = Look(file);
    // Shares the picture's ownership.
    return {picture, &picture->Pixels};
}

std::shared_ptr<const WatermarkPicture> WatermarkImageCache::Look(
    const std::filesystem::path& file) {
    // Taken before the stat: any write after it moves the stamp past this time.
    const timespec checkedAt = Now();
    struct stat status {};
    std::optional<FileStamp> stamp;
    if (::stat(file.c_str(), &status) == 0) {
        stamp =
            FileStamp{status.st_dev, status.st_ino, status.st_size, status.st_mtim, status.st_ctim};
    }
    std::scoped_lock lock(mutex_);
    const auto found = entries_.find(file);
    if (!stamp) {
        if (found != entries_.end()) {
            entries_.erase(found);
        }
        // Raises the reason.
        return std::make_shared<const WatermarkPicture>(
            DecodeWatermarkPicture(ReadPictureFile(file), file));
    }
    std::string bytes;
    if (found != entries_.end() && SameStamp(found->second.stamp, *stamp)) {
        Entry& entry = found->second;
        if (entry.settled) {
            return entry.picture;
        }
        bytes = ReadPictureFile(file);
        if (bytes == entry.bytes) {
            if (Settled(*stamp, checkedAt)) {
                entry.settled = true;
                entry.bytes.clear();
            }
            return entry.picture;
        }
    } else {
        bytes = ReadPictureFile(file);
    }
    if (found != entries_.end()) {
        entries_.erase(found);
    }
    auto picture = std::make_shared<const WatermarkPicture>(DecodeWatermarkPicture(bytes, file));
    Entry entry{*stamp, Settled(*stamp, checkedAt), {}, picture};
    if (!entry.settled) {
        entry.bytes = std::move(bytes);
    }
    entries_.insert_or_assign(file, std::move(entry));
    return picture;
}

void WatermarkImageCache::Clear() {
    std::scoped_lock lock(mutex_);
    entries_.clear();
}

}  // namespace quillo::effects
