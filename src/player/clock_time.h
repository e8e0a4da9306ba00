#pragma once

#include <chrono>
#include <cstdint>

namespace quillo::player {

// The player's "now": a steady clock, so that timing never jumps with the wall clock.
inline std::int64_t NowMicroseconds() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

inline double NowSeconds() {
    return static_cast<double>(NowMicroseconds()) / 1'000'000.0;
}

}  // namespace quillo::player
