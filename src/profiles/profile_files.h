#pragma once

#include <filesystem>

namespace quillo::profiles {

// The two INI files a profile lives in: the user's program settings (read and written) and
// the shipped profile catalogue (only read).
struct ProfileFiles {
    std::filesystem::path Settings;
    std::filesystem::path Catalogue;
};

}  // namespace quillo::profiles
