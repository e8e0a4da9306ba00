#include <gtest/gtest.h>
#include <pwd.h>
#include <stdlib.h>
#include <unistd.h>

#include "app/global_object.h"
#include "app/shipped_data.h"
#include "media/media_error.h"
#include "profiles/ini_file.h"
#include "profiles/test_support.h"

namespace quillo::app {
namespace {

using testing::ReadFile;
using testing::TempFolder;
using testing::WriteFile;

const std::filesystem::path DataFolder = QUILLO_DATA_DIR;

TEST(GlobalObject, ConfigFolderFollowsTheEnvironment) {
    const testing::ScopedEnvironment environment({"HOME", "QUILLO_CONFIG_DIR", "XDG_CONFIG_HOME"});
    setenv("HOME", "/home/someone", 1);
    unsetenv("QUILLO_CONFIG_DIR");
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(GlobalObject::ConfigFolder(), "/home/someone/.config/quillo-video-converter");
    setenv("XDG_CONFIG_HOME", "relative/config", 1);
    EXPECT_EQ(GlobalObject::ConfigFolder(), "/home/someone/.config/quillo-video-converter");
    setenv("XDG_CONFIG_HOME", "/xdg", 1);
    EXPECT_EQ(GlobalObject::ConfigFolder(), "/xdg/quillo-video-converter");
    setenv("QUILLO_CONFIG_DIR", "/tmp/quillo-config", 1);
    EXPECT_EQ(GlobalObject::ConfigFolder(), "/tmp/quillo-config");
    const GlobalObject global;
    EXPECT_EQ(global.SettingsFile(), "/tmp/quillo-config/quilloxvidconverter.ini");
    EXPECT_EQ(global.CatalogueFile(), "/tmp/quillo-config/quilloxvidformat.ini");
}

TEST(GlobalObject, TitleVersionAndSetters) {
    GlobalObject global("/cfg");
    EXPECT_EQ(global.Title(), "Quillo Video Converter");
    EXPECT_EQ(global.VersionText(), " ver 1.80 ");
    EXPECT_EQ(GlobalObject::BuildVersionText(), " 1.800 ");
    global.SetVersionText(GlobalObject::BuildVersionText());
    EXPECT_EQ(global.VersionText(), " 1.800 ");
    global.SetTitle("");
    global.SetVersionText("");
    global.SetSettingsFile("/ab");
    global.SetCatalogueFile("");
    EXPECT_EQ(global.Title(), "Quillo Video Converter");
    EXPECT_EQ(global.VersionText(), " 1.800 ");
    EXPECT_EQ(global.SettingsFile(), "/cfg/quilloxvidconverter.ini");
    global.SetSettingsFile("/abc");
    EXPECT_EQ(global.SettingsFile(), "/abc");
    EXPECT_EQ(global.Files().Catalogue, "/cfg/quilloxvidformat.ini");
    EXPECT_EQ(GlobalObject::RightPart("korvana", 3), "ana");
    EXPECT_EQ(GlobalObject::RightPart("ab", 3), "ab");
    global.SetHelpAddress("file:///usr/share/doc/quillo/index.html");
    global.SetHelpAddress("");
    EXPECT_EQ(global.HelpAddress(), "file:///usr/share/doc/quillo/index.html");
    global.SetProductAddress("");
    EXPECT_EQ(global.ProductAddress(), "");
}

TEST(GlobalObject, WritableFolderTestLeavesNothingBehind) {
    TempFolder folder;
    EXPECT_TRUE(GlobalObject::IsFolderWritable(folder.Path()));
    EXPECT_TRUE(std::filesystem::is_empty(folder.Path()));
    EXPECT_FALSE(GlobalObject::IsFolderWritable(folder / "missing"));
    WriteFile(folder / "file", "x");
    EXPECT_FALSE(GlobalObject::IsFolderWritable(folder / "file"));
}

TEST(GlobalObject, UserNameIsTheLoggedOnUsers) {
    const passwd* entry = getpwuid(getuid());
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(GlobalObject::UserName(), entry->pw_name);
}

TEST(GlobalObject, FirstUseProvidesTheShippedFilesOnce) {
    TempFolder folder;
    const GlobalObject global(folder / "config" / "quillo");
    global.PrepareConfigFolder();
    EXPECT_EQ(ReadFile(global.CatalogueFile()), ReadFile(DataFolder / "quilloxvidformat.ini"));
    EXPECT_EQ(ReadFile(global.SettingsFile()), ReadFile(DataFolder / "quilloxvidconverter.ini"));

    // What the user has is never replaced.
    profiles::IniFile(global.SettingsFile()).WriteString("settings", "FormatCode", "404");
    WriteFile(global.CatalogueFile(), "[formatInfo1]\nFileExt=m4v\n");
    const std::string settings = ReadFile(global.SettingsFile());
    global.PrepareConfigFolder();
    EXPECT_EQ(ReadFile(global.SettingsFile()), settings);
    EXPECT_EQ(ReadFile(global.CatalogueFile()), "[formatInfo1]\nFileExt=m4v\n");

    // A missing catalogue comes back without touching the settings.
    std::filesystem::remove(global.CatalogueFile());
    global.PrepareConfigFolder();
    EXPECT_EQ(ReadFile(global.CatalogueFile()), ReadFile(DataFolder / "quilloxvidformat.ini"));
    EXPECT_EQ(ReadFile(global.SettingsFile()), settings);
}

TEST(GlobalObject, AConfigFolderThatCannotBeMadeGivesOneClearMessage) {
    TempFolder folder;
    WriteFile(folder / "file", "x");
    const GlobalObject global(folder / "file" / "config");
    try {
        global.PrepareConfigFolder();
        FAIL() << "no error";
    } catch (const media::MediaError& error) {
        EXPECT_EQ(
            std::string(error.what())
                .rfind("Cannot create the settings folder " + (folder / "file" / "config").string(),
                       0),
            0u)
            << error.what();
    }
    EXPECT_EQ(ReadFile(folder / "file"), "x");
}

TEST(ShippedData, BuiltInCopiesMatchTheDataFolder) {
    EXPECT_EQ(BuiltInCatalogue(), ReadFile(DataFolder / "quilloxvidformat.ini"));
    EXPECT_EQ(BuiltInSettings(), ReadFile(DataFolder / "quilloxvidconverter.ini"));
    EXPECT_EQ(ShippedDataText(CatalogueFileName), BuiltInCatalogue());
}

}  // namespace
}  // namespace quillo::app
