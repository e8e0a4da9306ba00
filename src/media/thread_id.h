#pragma once

#include <unistd.h>

#include <cstdint>

namespace quillo::media {

// The kernel's id of the calling thread, as shown in log lines and debuggers.
inline std::uint32_t CurrentThreadId() {
    return static_cast<std::uint32_t>(gettid());
}

}  // namespace quillo::media
