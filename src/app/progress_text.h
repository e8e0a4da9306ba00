#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "converter/conversion_events.h"

namespace quillo::app {

// The value fields of the progress window, next to the labels "Current Time:", "Length:",
// "File Size:", "Progress:" and "File:".
struct ProgressFields {
    std::string CurrentTime;
    std::string Length;
    std::string FileSize;
    std::string Counter;
    std::string File;

    bool operator==(const ProgressFields&) const = default;
};

// current * 100 div total, kept within 0..100 (an output may run a little past the expected
// length). A total of -1 (not available) or 0 gives no percentage: the bar and the row keep
// what they showed.
std::optional<int> ProgressPercent(std::int64_t currentUs, std::int64_t totalUs);

// "50%".
std::string PercentText(int percent);
// Whole seconds of a time in microseconds: "30 Second".
std::string SecondsText(std::int64_t microseconds);
// Thousands of bytes: "2345 kb".
std::string KilobytesText(std::int64_t bytes);
// Task index 0 of 2 is "[1/2]".
std::string TaskCounterText(int taskIndex, int taskCount);
// A caption of fewer than 51 characters as it is; a longer one as its first 44 characters,
// "..", and its extension with the dot. Characters are UTF-8 characters, never cut apart.
std::string ShortenedFileName(const std::string& caption);

// The fields for one progress report of a task whose row shows caption. Length is empty when
// the report has no total length.
ProgressFields MakeProgressFields(const converter::ProgressInfo& info, int taskCount,
                                  const std::string& caption);

}  // namespace quillo::app
