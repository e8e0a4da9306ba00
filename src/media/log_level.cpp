#include "media/log_level.h"

#include "media/value_text.h"

#include <algorithm>
#include <array>

namespace quillo::media {

namespace {

constexpr std::array<std::string_view, 8> LevelNames = {"quiet",   "panic", "fatal",   "error",
                                                        "warning", "info",  "verbose", "debug"};

}  // namespace

int LibraryLevelOf(LogLevel level) {
    return (static_cast<int>(level) - 1) * 8;
}

LogLevel LogLevelOfLibraryLevel(int libraryLevel) {
    const int ordinal = std::clamp(libraryLevel / 8 + 1, 0, static_cast<int>(LogLevel::llDebug));
    return static_cast<LogLevel>(ordinal);
}

std::string_view LogLevelName(LogLevel level) {
    return LevelNames[static_cast<std::size_t>(level)];
}

std::optional<LogLevel> LogLevelFromName(std::string_view name) {
    for (std::size_t ordinal = 0; ordinal < LevelNames.size(); ++ordinal) {
        if (EqualsIgnoreCase(name, LevelNames[ordinal])) {
            return static_cast<LogLevel>(ordinal);
        }
    }
    return std::nullopt;
}

}  // namespace quillo::media
