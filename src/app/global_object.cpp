#include "app/global_object.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <system_error>

#include "app/shipped_data.h"
#include "media/media_error.h"
#include "profiles/ini_file.h"
#include "quillo/version.h"

namespace quillo::app {

namespace {

std::filesystem::path HomeFolder() {
    const char* home = std::getenv("HOME");
    if (home != nullptr && *home != '\0') {
        return home;
    }
    const passwd* entry = getpwuid(getuid());
    return entry != nullptr && entry->pw_dir != nullptr ? entry->pw_dir : "/tmp";
}

// Writes a shipped file into the config folder unless a file of that name is already there.
void ProvideFile(const std::filesystem::path& path, const std::string& text) {
    std::error_code error;
    if (std::filesystem::exists(std::filesystem::symlink_status(path, error))) {
        return;
    }
    const std::string reason = profiles::CreateFileAtomically(path, text);
    if (!reason.empty() && reason != "exists") {
        throw media::MediaError("Cannot create " + path.string() + ": " + reason);
    }
}

}  // namespace

GlobalObject::GlobalObject() : GlobalObject(ConfigFolder()) {}

GlobalObject::GlobalObject(const std::filesystem::path& configFolder)
    : settingsFile_(configFolder / SettingsFileName),
      catalogueFile_(configFolder / CatalogueFileName) {}

void GlobalObject::SetSettingsFile(const std::filesystem::path& path) {
    if (path.native().size() > 3) {
        settingsFile_ = path;
    }
}

void GlobalObject::SetCatalogueFile(const std::filesystem::path& path) {
    if (path.native().size() > 3) {
        catalogueFile_ = path;
    }
}

void GlobalObject::SetTitle(const std::string& title) {
    if (!title.empty()) {
        title_ = title;
    }
}

void GlobalObject::SetVersionText(const std::string& text) {
    if (!text.empty()) {
        versionText_ = text;
    }
}

void GlobalObject::SetHelpAddress(const std::string& address) {
    if (!address.empty()) {
        helpAddress_ = address;
    }
}

void GlobalObject::SetProductAddress(const std::string& address) {
    if (!address.empty()) {
        productAddress_ = address;
    }
}

void GlobalObject::PrepareConfigFolder() const {
    for (const auto& folder : {settingsFile_.parent_path(), catalogueFile_.parent_path()}) {
        std::error_code error;
        std::filesystem::create_directories(folder, error);
        if (!std::filesystem::is_directory(folder)) {
            throw media::MediaError("Cannot create the settings folder " + folder.string() +
                                    (error ? ": " + error.message() : std::string()));
        }
    }
    ProvideFile(catalogueFile_, ShippedDataText(CatalogueFileName));
    ProvideFile(settingsFile_, ShippedDataText(SettingsFileName));
}

std::string GlobalObject::BuildVersionText() {
    return " " + std::to_string(VersionMajor) + "." + std::to_string(VersionMinor) +
           std::to_string(VersionPatch) + std::to_string(VersionTweak) + " ";
}

std::string GlobalObject::RightPart(const std::string& text, std::size_t count) {
    return count >= text.size() ? text : text.substr(text.size() - count);
}

bool GlobalObject::IsFolderWritable(const std::filesystem::path& folder) {
    std::string name = (folder / "DAXXXXXX").string();
    const int descriptor = mkstemp(name.data());
    if (descriptor < 0) {
        return false;
    }
    close(descriptor);
    return unlink(name.c_str()) == 0;
}

std::string GlobalObject::UserName() {
    const passwd* entry = getpwuid(getuid());
    return entry != nullptr && entry->pw_name != nullptr ? entry->pw_name : std::string();
}

std::filesystem::path GlobalObject::ConfigFolder() {
    if (const char* folder = std::getenv("QUILLO_CONFIG_DIR"); folder != nullptr && *folder) {
        return folder;
    }
    // A relative XDG_CONFIG_HOME is invalid and ignored.
    if (const char* config = std::getenv("XDG_CONFIG_HOME");
        config != nullptr && std::filesystem::path(config).is_absolute()) {
        return std::filesystem::path(config) / "quillo-video-converter";
    }
    return HomeFolder() / ".config" / "quillo-video-converter";
}

}  // namespace quillo::app
