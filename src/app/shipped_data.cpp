#include "app/shipped_data.h"

#include <fstream>
#include <optional>
#include <sstream>
#include <system_error>

namespace quillo::app {

namespace {

std::optional<std::string> ReadFile(const std::filesystem::path& path) {
    std::ifstream stream(path, std::ios::binary);
    if (!stream) {
        return std::nullopt;
    }
    std::ostringstream content;
    content << stream.rdbuf();
    if (stream.bad() || content.str().empty()) {
        return std::nullopt;
    }
    return content.str();
}

}  // namespace

std::filesystem::path ExecutableFolder() {
    std::error_code error;
    const auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : executable.parent_path();
}

std::string ShippedDataText(const std::string& name) {
    const std::filesystem::path folder = ExecutableFolder();
    if (!folder.empty()) {
        for (const auto& candidate :
             {folder / "data" / name, folder / ".." / "share" / "quillo-video-converter" / name}) {
            if (auto text = ReadFile(candidate)) {
                return *text;
            }
        }
    }
    return std::string(name == CatalogueFileName ? BuiltInCatalogue() : BuiltInSettings());
}

}  // namespace quillo::app
