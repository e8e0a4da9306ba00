#include "gui/time_text.h"

#include <cstdio>

namespace quillo::gui {

namespace {

// Hours, minutes and seconds of a magnitude, with the sign in front.
std::string Compose(bool negative, std::uint64_t seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%s%llu:%02u:%02u", negative ? "-" : "",
                  static_cast<unsigned long long>(seconds / 3600),
                  static_cast<unsigned>(seconds / 60 % 60), static_cast<unsigned>(seconds % 60));
    return text;
}

// The magnitude as unsigned, so that the most negative value has one too.
std::uint64_t Magnitude(std::int64_t value) {
    return value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
}

}  // namespace

std::string TimeText(std::int64_t seconds) {
    return Compose(seconds < 0, Magnitude(seconds));
}

std::int64_t RoundedSeconds(std::int64_t microseconds) {
    // Integer arithmetic keeps the ties exact, which a double would not for long times.
    constexpr std::uint64_t kSecond = 1'000'000;
    const std::uint64_t magnitude = Magnitude(microseconds);
    std::uint64_t seconds = magnitude / kSecond;
    const std::uint64_t rest = magnitude % kSecond;
    if (rest > kSecond / 2 || (rest == kSecond / 2 && seconds % 2 == 1)) {
        ++seconds;
    }
    const auto rounded = static_cast<std::int64_t>(seconds);
    return microseconds < 0 ? -rounded : rounded;
}

std::string TimeTextOfMicroseconds(std::int64_t microseconds) {
    return TimeText(RoundedSeconds(microseconds));
}

std::string FormatSeconds(std::int64_t seconds) {
    return TimeText(seconds < 0 ? 0 : seconds);
}

std::string FormatDuration(std::int64_t microseconds) {
    const std::uint64_t magnitude = Magnitude(microseconds);
    const std::uint64_t seconds = magnitude / 1'000'000;
    char text[48];
    std::snprintf(text, sizeof text, "%s%02llu:%02u:%02u.%03u", microseconds < 0 ? "-" : "",
                  static_cast<unsigned long long>(seconds / 3600),
                  static_cast<unsigned>(seconds / 60 % 60), static_cast<unsigned>(seconds % 60),
                  static_cast<unsigned>(magnitude % 1'000'000 / 1000));
    return text;
}

}  // namespace quillo::gui
