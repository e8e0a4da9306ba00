#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace quillo::media {

// The folder of the running program; empty when the system does not say.
std::filesystem::path ExecutableFolder();

// The whole content of a file; nullopt when it does not exist or cannot be read.
std::optional<std::string> ReadWholeFile(const std::filesystem::path& path);

}  // namespace quillo::media
