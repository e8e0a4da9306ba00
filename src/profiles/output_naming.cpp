#include "profiles/output_naming.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <system_error>

#include "media/media_error.h"
#include "profiles/ini_file.h"
#include "profiles/settings_keys.h"

namespace quillo::profiles {

namespace {

std::filesystem::path Normal(const std::filesystem::path& name) {
    return name.lexically_normal();
}

bool CreateFolder(const std::filesystem::path& folder) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    return std::filesystem::is_directory(folder, error);
}

// Any entry counts, a folder or a dangling link too: the conversion could not write there
// without harm.
bool Taken(const std::filesystem::path& name, const OutputNameBook* book) {
    std::error_code error;
    const bool exists = std::filesystem::exists(std::filesystem::symlink_status(name, error));
    return exists || (book != nullptr && book->Contains(name));
}

}  // namespace

bool OutputNameBook::Contains(const std::filesystem::path& name) const {
    return names_.contains(Normal(name));
}

void OutputNameBook::Add(const std::filesystem::path& name) {
    names_.insert(Normal(name));
}

std::filesystem::path DefaultOutputFolder() {
    const char* home = std::getenv("HOME");
    if (home == nullptr || *home == '\0') {
        const passwd* entry = getpwuid(getuid());
        home = entry != nullptr ? entry->pw_dir : "/tmp";
    }
    return std::filesystem::path(home) / "korvana";
}

std::filesystem::path MakeOutputFileName(const ProfileFiles& files,
                                         const std::filesystem::path& source,
                                         const std::string& extension, Prompter& prompter,
                                         OutputNameBook* book) {
    const IniFile settings(files.Settings);
    std::string folder = settings.ReadString(settings::Section, settings::OutputFolder,
                                             DefaultOutputFolder().string());
    // A relative folder (a Windows "c:\\korvana" among them) would move with the working
    // folder; it counts as a folder that cannot be made.
    if (!std::filesystem::path(folder).is_absolute() || !CreateFolder(folder)) {
        const std::filesystem::path fallback = DefaultOutputFolder();
        prompter.Warn("Warning", "Cannot create output directory:" + folder +
                                     ".It will create default directory " + fallback.string() +
                                     "!");
        if (!CreateFolder(fallback)) {
            throw media::MediaError("Cannot create output directory:" + fallback.string());
        }
        settings.WriteString(settings::Section, settings::OutputFolder, fallback.string());
        // The folder that failed would give a name nothing can be written to.
        folder = fallback.string();
    }
    if (folder.empty() || folder.back() != '/') {
        folder += '/';
    }
    const std::string fileName = source.filename().string();
    const std::size_t dot = fileName.rfind('.');
    const std::string base =
        folder + (dot == std::string::npos ? fileName : fileName.substr(0, dot));

    std::filesystem::path name = base + "_(new)" + extension;
    for (long long n = 1; Taken(name, book); ++n) {
        name = base + "_(new_" + std::to_string(n) + ")" + extension;
    }
    if (book != nullptr) {
        book->Add(name);
    }
    return name;
}

}  // namespace quillo::profiles
