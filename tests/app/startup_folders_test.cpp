#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "app/startup_folders.h"
#include "profiles/ini_file.h"
#include "support/temp_folder.h"

namespace quillo::app {
namespace {

using quillo::testing::ScopedEnvironment;
using quillo::testing::TempFolder;

class StartupFolders : public ::testing::Test {
protected:
    void SetUp() override { setenv("HOME", home_.Path().c_str(), 1); }

    std::string Stored(const char* key) const { return settings_.ReadString("settings", key, "-"); }

    ScopedEnvironment environment_{"HOME"};
    TempFolder home_;
    TempFolder config_;
    const profiles::ProfileFiles files_{config_ / "settings.ini", config_ / "catalogue.ini"};
    const profiles::IniFile settings_{files_.Settings};
};

// No settings file and no ~/korvana yet: the default cannot be written to either, so both
// settings become it and are stored; the folder is not made.
TEST_F(StartupFolders, AFirstRunStoresTheDefaultFolderForBoth) {
    const std::filesystem::path fallback = home_ / "korvana";
    EXPECT_EQ(CheckOutputFolder(files_), fallback);
    EXPECT_EQ(CheckSnapshotFolder(files_), fallback);
    EXPECT_EQ(Stored("OutPutDir"), fallback.string());
    EXPECT_EQ(Stored("SnapOutPutDir"), fallback.string());
    EXPECT_FALSE(std::filesystem::exists(fallback));
}

TEST_F(StartupFolders, AWritableFolderStaysAndOthersGiveWayToTheDefault) {
    const std::filesystem::path writable = config_ / "videos";
    std::filesystem::create_directory(writable);
    std::filesystem::create_directory(home_ / "korvana");
    const struct {
        std::string stored;
        std::filesystem::path shown;
    } cases[] = {
        {writable.string(), writable},
        {(config_ / "missing").string(), home_ / "korvana"},
        {(config_ / "settings.ini" / "below a file").string(), home_ / "korvana"},
        {"c:\\korvana", home_ / "korvana"},  // relative here
        {"", home_ / "korvana"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        for (const char* key : {"OutPutDir", "SnapOutPutDir"}) {
            settings_.WriteString("settings", key, c.stored);
        }
        EXPECT_EQ(CheckOutputFolder(files_), c.shown);
        EXPECT_EQ(CheckSnapshotFolder(files_), c.shown);
        EXPECT_EQ(Stored("OutPutDir"), c.shown.string());
        EXPECT_EQ(Stored("SnapOutPutDir"), c.shown.string());
        // The test leaves nothing behind in the folder.
        EXPECT_TRUE(std::filesystem::is_empty(writable));
    }
}

}  // namespace
}  // namespace quillo::app
