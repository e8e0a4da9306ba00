#include "app/startup_folders.h"

#include <string>

#include "app/global_object.h"
#include "profiles/ini_file.h"
#include "profiles/output_naming.h"
#include "profiles/settings_keys.h"

namespace quillo::app {

namespace {

std::filesystem::path CheckFolderSetting(const profiles::ProfileFiles& files, const char* key) {
    const profiles::IniFile settings(files.Settings);
    const std::filesystem::path fallback = profiles::DefaultOutputFolder();
    const std::filesystem::path stored =
        settings.ReadString(profiles::settings::Section, key, fallback.string());
    // A relative folder (such as a Windows "c:\korvana") would move with the working folder.
    if (stored.is_absolute() && GlobalObject::IsFolderWritable(stored)) {
        return stored;
    }
    settings.WriteString(profiles::settings::Section, key, fallback.string());
    return fallback;
}

}  // namespace

std::filesystem::path CheckOutputFolder(const profiles::ProfileFiles& files) {
    return CheckFolderSetting(files, profiles::settings::OutputFolder);
}

std::filesystem::path CheckSnapshotFolder(const profiles::ProfileFiles& files) {
    return CheckFolderSetting(files, profiles::settings::SnapshotFolder);
}

}  // namespace quillo::app
