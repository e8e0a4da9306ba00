#include "media/codec_lock.h"

namespace quillo::media {

std::mutex& CodecLock() {
    static std::mutex lock;
    return lock;
}

}  // namespace quillo::media
