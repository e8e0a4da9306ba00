#pragma once

#include <optional>
#include <string_view>

namespace quillo::media {

enum class LogLevel { llQuiet, llPanic, llFatal, llError, llWarning, llInfo, llVerbose, llDebug };

// The level number the media libraries use for a level: (ordinal - 1) * 8.
int LibraryLevelOf(LogLevel level);

// The level of a library level number: ordinal = n / 8 + 1 (truncated), clamped.
LogLevel LogLevelOfLibraryLevel(int libraryLevel);

// "quiet" ... "debug".
std::string_view LogLevelName(LogLevel level);

// The level whose name matches, ignoring case.
std::optional<LogLevel> LogLevelFromName(std::string_view name);

}  // namespace quillo::media
