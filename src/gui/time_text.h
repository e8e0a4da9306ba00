#pragma once

#include <cstdint>
#include <string>

namespace quillo::gui {

// Whole seconds as hours without padding, two-digit minutes and seconds: 65 → "0:01:05",
// 3725 → "1:02:05".
std::string TimeText(std::int64_t seconds);
// Microseconds rounded to whole seconds, ties to even: 3 725 500 000 µs → 3726.
std::int64_t RoundedSeconds(std::int64_t microseconds);
// Microseconds rounded to whole seconds, ties to even, then as TimeText: 3 725 500 000 µs →
// "1:02:06", 3 724 500 000 µs → "1:02:04".
std::string TimeTextOfMicroseconds(std::int64_t microseconds);

// The editors' seconds: as TimeText, negative values counting as 0 (40000 → "11:06:40").
std::string FormatSeconds(std::int64_t seconds);
// Microseconds as hours, minutes, seconds and milliseconds, each padded:
// 3 725 250 000 µs → "01:02:05.250".
std::string FormatDuration(std::int64_t microseconds);

}  // namespace quillo::gui
