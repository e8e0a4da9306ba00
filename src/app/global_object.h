#pragma once

#include <filesystem>
#include <string>

#include "profiles/profile_files.h"

namespace quillo::app {

// The application-wide settings object: where the two INI files live, the title and version
// text, and a few system questions. One instance, made by the main window.
class GlobalObject {
public:
    // Paths in the config folder (ConfigFolder()).
    GlobalObject();
    // Paths in the given folder.
    explicit GlobalObject(const std::filesystem::path& configFolder);

    const std::filesystem::path& SettingsFile() const { return settingsFile_; }
    const std::filesystem::path& CatalogueFile() const { return catalogueFile_; }
    const std::string& Title() const { return title_; }
    const std::string& VersionText() const { return versionText_; }
    // The online help and product pages; empty until the project has them.
    const std::string& HelpAddress() const { return helpAddress_; }
    const std::string& ProductAddress() const { return productAddress_; }
    profiles::ProfileFiles Files() const { return {settingsFile_, catalogueFile_}; }

    // Too short values are ignored: paths of 3 characters or less, empty texts.
    void SetSettingsFile(const std::filesystem::path& path);
    void SetCatalogueFile(const std::filesystem::path& path);
    void SetTitle(const std::string& title);
    void SetVersionText(const std::string& text);
    void SetHelpAddress(const std::string& address);
    void SetProductAddress(const std::string& address);

    // First use: creates the config folder, copies the shipped catalogue into it when it is
    // missing there, and writes the initial program settings when there is no settings file.
    // Existing files are never touched. Raises a MediaError naming the folder or file that
    // could not be made.
    void PrepareConfigFolder() const;

    // " " major "." minor patch tweak " ", such as " 1.800 " for version 1.8.0.0.
    static std::string BuildVersionText();
    // The last count characters of text, the whole text when it is shorter.
    static std::string RightPart(const std::string& text, std::size_t count);
    // True when a file can be created in folder (it is removed again at once).
    static bool IsFolderWritable(const std::filesystem::path& folder);
    // The logged-on user's name; empty when the system has none.
    static std::string UserName();
    // $QUILLO_CONFIG_DIR when set, else $XDG_CONFIG_HOME/quillo-video-converter, else
    // ~/.config/quillo-video-converter.
    static std::filesystem::path ConfigFolder();

private:
    std::filesystem::path settingsFile_;
    std::filesystem::path catalogueFile_;
    std::string title_ = "Quillo Video Converter";
    std::string versionText_ = " ver 1.80 ";
    std::string helpAddress_;
    std::string productAddress_;
};

}  // namespace quillo::app
