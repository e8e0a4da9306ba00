#pragma once

#include <mutex>

namespace quillo::media {

// Process-wide lock held around opening and closing codecs and around probing an input's
// streams: those library calls are not safe to run concurrently.
std::mutex& CodecLock();

}  // namespace quillo::media
