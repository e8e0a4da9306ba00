#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

namespace quillo::app {

// What opening one file as a converter task tells: nullopt when the converter refuses the
// file, else the probe's duration in microseconds (-1 when the file does not say).
using ProbeOutcome = std::optional<std::int64_t>;

// min(4, hardware threads), at least 1.
int DefaultProbeWorkers();

// Opens every file the way the converter's AddTask does, on up to workerCount threads at
// once, each with a converter of its own whose task list it empties after every file. The
// results come in the order of files. On the main thread the queued main-thread calls keep
// running while the workers do their part. The converter's libraries must be loaded.
std::vector<ProbeOutcome> ProbeFiles(const std::vector<std::filesystem::path>& files,
                                     int workerCount = DefaultProbeWorkers());

}  // namespace quillo::app
