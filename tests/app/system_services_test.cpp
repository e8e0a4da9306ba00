#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "app/system_services.h"
#include "support/temp_folder.h"

namespace quillo::app {
namespace {

using quillo::testing::TempFolder;

// The opener is a small script that writes the argument it was given into a FIFO; reading
// the FIFO waits for it, so the test needs no timing.
TEST(DesktopSystemServices, OpenFolderPassesTheFolderAsOneArgumentWithoutAShell) {
    TempFolder folder;
    const std::filesystem::path fifo = folder / "opened";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    DesktopSystemServices services(
        {.openFolder = {"sh", "-c", "printf %s \"$1\" > \"$0\"", fifo.string()}});
    const std::filesystem::path odd = "/tmp/a folder/$(touch never) 'quoted'";
    ASSERT_TRUE(services.OpenFolder(odd));
    std::ifstream reader(fifo);
    const std::string received{std::istreambuf_iterator<char>(reader), {}};
    EXPECT_EQ(received, odd.string());
    EXPECT_FALSE(std::filesystem::exists("never"));
}

TEST(DesktopSystemServices, PowerOffReportsWhetherTheRequestWasAccepted) {
    const struct {
        std::vector<std::string> command;
        bool accepted;
    } cases[] = {
        {{"true"}, true},
        {{"false"}, false},
        {{"sh", "-c", "exit 3"}, false},
        {{"quillo-no-such-program"}, false},
        {{}, false},
    };
    for (const auto& c : cases) {
        DesktopSystemServices services({.openFolder = {"true"}, .powerOff = c.command});
        EXPECT_EQ(services.PowerOff(), c.accepted) << (c.command.empty() ? "" : c.command[0]);
    }
    EXPECT_FALSE(DesktopSystemServices({.openFolder = {"quillo-no-such-program"}}).OpenFolder("/"));
}

}  // namespace
}  // namespace quillo::app
