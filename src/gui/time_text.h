#pragma once

#include <cstdint>
#include <string>

namespace quillo::gui {

// Whole seconds as hours without padding, two-digit minutes and seconds: 65 → "0:01:05",
// 3725 → "1:02:05".
std::string TimeText(std::int64_t seconds);
// Microseconds rounded to whole seconds, ties to even, then as TimeText: 3 725 500 000 µs →
// "1:02:06", 3 724 500 000 µs → "1:02:04".
std::string TimeTextOfMicroseconds(std::int64_t microseconds);

}  // namespace quillo::gui
