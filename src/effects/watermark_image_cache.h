#pragma once

#include <sys/types.h>

#include <ctime>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "effects/watermark_picture.h"
#include "media/bitmap.h"

namespace quillo::effects {

// The decoded pictures of a task's image watermarks, so that a picture is decoded once per
// task and not once per frame, with the same output as reading the file for every frame:
// every look-up checks the file (one stat call), a file that is gone raises again each
// time, and one that was replaced or rewritten is decoded anew. Failures are never kept.
// Safe to use from several threads.
class WatermarkImageCache {
public:
    // The picture of file (a BMP, PNG or JPEG) with its transparency; raises a WatermarkError
    // naming the file when it is missing, not such a picture or cannot be decoded.
    std::shared_ptr<const WatermarkPicture> Look(const std::filesystem::path& file);
    // Its pixels alone.
    std::shared_ptr<const media::Bitmap> Picture(const std::filesystem::path& file);
    void Clear();

private:
    // What tells that a file may have changed since it was read.
    struct FileStamp {
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = 0;
        timespec modified{};
        timespec changed{};
    };
    struct Entry {
        FileStamp stamp;
        // A file written shortly before it was read may be written again within the same
        // tick of the file system's clock, keeping its stamp: until its stamp is old enough
        // to tell, its bytes are kept and compared instead.
        bool settled = false;
        std::string bytes;
        std::shared_ptr<const WatermarkPicture> picture;
    };

    static bool SameStamp(const FileStamp& a, const FileStamp& b);
    static bool Settled(const FileStamp& stamp, const timespec& checkedAt);

    std::mutex mutex_;
    std::map<std::filesystem::path, Entry> entries_;
};

}  // namespace quillo::effects
