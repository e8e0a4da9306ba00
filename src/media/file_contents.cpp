#include "media/file_contents.h"

#include <fstream>
#include <sstream>
#include <system_error>

namespace quillo::media {

std::filesystem::path ExecutableFolder() {
    std::error_code error;
    const auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : executable.parent_path();
}

std::optional<std::string> ReadWholeFile(const std::filesystem::path& path) {
    std::ifstream stream(path, std::ios::binary);
    if (!stream) {
        return std::nullopt;
    }
    std::ostringstream content;
    content << stream.rdbuf();
    if (stream.bad()) {
        return std::nullopt;
    }
    return content.str();
}

}  // namespace quillo::media
